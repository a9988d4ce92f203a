#include "fw/CGdiPlusScope.h"

#include <windows.h>

#include "fw/CImage.h"

namespace {

volatile LONG g_uses = 0;

} // namespace

CGdiPlusScope::CGdiPlusScope() : m_started(CImage::StartDecoder()) {}

CGdiPlusScope::~CGdiPlusScope()
{
    if (m_started && ::InterlockedCompareExchange(&g_uses, 0, 0) == 0)
        CImage::ReleaseDecoder();
}

CGdiPlusScope::Use CGdiPlusScope::Hold()
{
    ::InterlockedIncrement(&g_uses);
    return Use(nullptr, [](void*) { ::InterlockedDecrement(&g_uses); });
}
