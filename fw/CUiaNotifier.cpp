#include "fw/CUiaNotifier.h"

#include <oleauto.h>

#include "fw/CBstr.h"
#include "fw/CComPtr.h"
#include "fw/Win32Util.h"

namespace {

// NotificationProcessing_MostRecent: of several waiting notifications of one activity, only
// the newest is read (stepping quickly through items reads the last one reached).
const int kMostRecent = 3;

} // namespace

CUiaNotifier::CUiaNotifier() : m_library(LoadSystemLibrary("uiautomationcore.dll"))
{
    if (!m_library)
        return;
    m_raise = reinterpret_cast<RaiseFn>(::GetProcAddress(m_library.Get(), "UiaRaiseNotificationEvent"));
    m_hostProvider = reinterpret_cast<HostProviderFn>(::GetProcAddress(m_library.Get(), "UiaHostProviderFromHwnd"));
}

bool CUiaNotifier::Announce(HWND window, const wchar_t* text, Kind kind, const wchar_t* activityId)
{
    if (!IsAvailable() || !window || !text)
        return false;
    CComPtr<IUnknown> provider;
    if (FAILED(m_hostProvider(window, provider.Receive())) || !provider)
        return false;
    CBstr displayText(text);
    CBstr activity(activityId);
    if (!displayText.Get())
        return false;
    return SUCCEEDED(m_raise(provider.Get(), static_cast<int>(kind), kMostRecent, displayText.Get(), activity.Get()));
}
