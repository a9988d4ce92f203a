#include "app/CSingleInstance.h"

#include "hook/WatchMessages.h"

namespace {
const wchar_t kMutexName[] = L"Local\\Lullcast.Idlewaven.RunningCopy";
const DWORD kPollMs = 100;

HWND FindPopup()
{
    return ::FindWindowA(nullptr, LULLCAST_MAIN_CAPTION);
}
}

HWND CSingleInstance::FindRunningCopy(DWORD waitMs)
{
    m_undecided = false;
    m_mutex.Reset(::CreateMutexW(nullptr, TRUE, kMutexName));
    const bool taken = m_mutex && ::GetLastError() == ERROR_ALREADY_EXISTS;
    HWND popup = FindPopup();
    if (popup || !taken)
        return popup; // without the mutex at all, the caption is all there is to go by
    const ULONGLONG deadline = ::GetTickCount64() + waitMs;
    for (;;) {
        const DWORD waited = ::WaitForSingleObject(m_mutex.Get(), kPollMs);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            return FindPopup(); // the other copy has ended, or is about to
        if ((popup = FindPopup()) != nullptr)
            return popup;
        if (::GetTickCount64() >= deadline)
            break;
    }
    m_undecided = true;
    return nullptr;
}
