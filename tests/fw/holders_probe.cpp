// The framework's holders on real system objects under Wine: each case prints "ok NAME" or
// "failed NAME: WHY"; the probe exits with 1 when any case failed. What a holder must do is seen
// from the system's side: the object is gone (or unlocked, or selected out) when the holder goes,
// once, and not before.
#include <windows.h>

#include <string>
#include <utility>

#include "fw/CDeviceContext.h"
#include "fw/CGlobalLock.h"
#include "fw/CScopedHandle.h"
#include "ProbeReport.h"

namespace {

bool IsOpen(HANDLE handle)
{
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

// A handle handed on is closed once, by its last holder; one taken over by assignment closes the
// handle that holder had before.
void AMovedHandleIsClosedOnceByItsLastHolder()
{
    HANDLE first = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE second = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string why;
    {
        CKernelHandle a(first);
        CKernelHandle b(std::move(a));
        if (a || b.Get() != first)
            why += "the handle did not move; ";
        CKernelHandle c(second);
        c = std::move(b);
        if (IsOpen(second))
            why += "the handle replaced by assignment is still open; ";
        if (!IsOpen(first))
            why += "the moved handle was closed while held; ";
        CKernelHandle& same = c;
        c = std::move(same);
        if (!c || !IsOpen(first))
            why += "moving a holder onto itself lost its handle; ";
    }
    if (IsOpen(first))
        why += "the last holder left the handle open; ";
    Report("a_moved_handle_is_closed_once_by_its_last_holder", why.empty(), why);
}

// A font and a pen are in the context while the holders live, and the context has its own
// objects back afterwards; a null object selects nothing.
void ASelectionEndsWithItsScope()
{
    std::string why;
    CMemoryDC dc(nullptr);
    CGdiObject font(::CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Arial"));
    CGdiObject pen(::CreatePen(PS_DOT, 1, RGB(1, 2, 3)));
    const HGDIOBJ ownFont = ::GetCurrentObject(dc, OBJ_FONT), ownPen = ::GetCurrentObject(dc, OBJ_PEN);
    {
        CSelectObject fontIn(dc, font.Get());
        CSelectObject penIn(dc, pen.Get());
        CSelectObject nothing(dc, nullptr);
        if (::GetCurrentObject(dc, OBJ_FONT) != font.Get() || ::GetCurrentObject(dc, OBJ_PEN) != pen.Get())
            why += "not selected; ";
    }
    if (::GetCurrentObject(dc, OBJ_FONT) != ownFont || ::GetCurrentObject(dc, OBJ_PEN) != ownPen)
        why += "the context's own objects did not come back; ";
    { CSelectObject noContext(nullptr, font.Get()); }
    Report("a_selection_ends_with_its_scope", why.empty(), why);
}

// A bitmap selected into a memory context that goes: the context is deleted, and the bitmap is
// out of it again, so that it can be deleted in turn.
void AMemoryContextGoesWithTheBitmapOut()
{
    std::string why;
    CGdiObject bitmap(::CreateBitmap(4, 4, 1, 32, nullptr));
    HDC seen = nullptr;
    {
        CMemoryDC dc(nullptr);
        CSelectObject in(dc, bitmap.Get());
        seen = dc;
        if (!seen || ::GetCurrentObject(dc, OBJ_BITMAP) != bitmap.Get())
            why += "no context with the bitmap in it; ";
    }
    if (::GetObjectType(seen) != 0)
        why += "the context was not deleted; ";
    if (!::DeleteObject(bitmap.Detach()))
        why += "the bitmap could not be deleted after; ";
    Report("a_memory_context_goes_with_the_bitmap_out", why.empty(), why);
}

// A menu is destroyed, a registry key closed and a global block unlocked when their holders go.
void EachPairingEndsWithItsHolder()
{
    std::string why;
    HMENU seenMenu = nullptr;
    {
        CMenuHandle menu(::CreatePopupMenu());
        seenMenu = menu.Get();
    }
    if (!seenMenu || ::IsMenu(seenMenu))
        why += "the menu was not destroyed; ";

    HKEY opened = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        why += "no key to open; ";
    } else {
        { CRegistryKey key(opened); }
        DWORD subKeys = 0;
        if (::RegQueryInfoKeyA(opened, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            why += "the key was not closed; ";
    }

    CGlobalMemory memory(::GlobalAlloc(GMEM_MOVEABLE, 16));
    {
        const CGlobalLock lock(memory.Get());
        if (!lock.Data() || lock.Size() < 16 || (::GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT) != 1)
            why += "the block was not locked; ";
    }
    if ((::GlobalFlags(memory.Get()) & GMEM_LOCKCOUNT) != 0)
        why += "the block was not unlocked; ";
    Report("each_pairing_ends_with_its_holder", why.empty(), why);
}

} // namespace

int main()
{
    AMovedHandleIsClosedOnceByItsLastHolder();
    ASelectionEndsWithItsScope();
    AMemoryContextGoesWithTheBitmapOut();
    EachPairingEndsWithItsHolder();
    return ProbeExitCode();
}
