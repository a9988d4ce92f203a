// Asks screen readers to announce a text that appeared without the focus moving (a new item
// shown in a window the user is not typing into), through UI Automation's notification event.
// UiaRaiseNotificationEvent came with Windows 10 version 1709; it and UiaHostProviderFromHwnd
// are looked up at run time in uiautomationcore.dll, so the program starts on systems without
// them, where Announce does nothing and says so.
#pragma once
#include <windows.h>
#include <oleauto.h>
#include <unknwn.h>

#include "fw/CScopedHandle.h"

class CUiaNotifier {
public:
    // What the text is, as UI Automation's NotificationKind tells it to the reader.
    enum class Kind { ItemAdded = 0, ItemRemoved = 1, ActionCompleted = 2, ActionAborted = 3, Other = 4 };

    CUiaNotifier();
    CUiaNotifier(const CUiaNotifier&) = delete;
    CUiaNotifier& operator=(const CUiaNotifier&) = delete;

    // Whether this system raises notification events at all.
    bool IsAvailable() const { return m_raise && m_hostProvider; }

    // Raises the notification on the window's element. activityId groups notifications of one
    // kind: a newer one of the same activity replaces one not yet read. True when it was raised.
    bool Announce(HWND window, const wchar_t* text, Kind kind, const wchar_t* activityId);

private:
    // The provider is an IRawElementProviderSimple, passed through as the IUnknown it begins with.
    using RaiseFn = HRESULT(WINAPI*)(IUnknown* provider, int kind, int processing, BSTR text, BSTR activityId);
    using HostProviderFn = HRESULT(WINAPI*)(HWND window, IUnknown** provider);

    CLibraryModule m_library;
    RaiseFn m_raise = nullptr;
    HostProviderFn m_hostProvider = nullptr;
};
