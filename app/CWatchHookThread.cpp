#include "app/CWatchHookThread.h"

namespace {
const DWORD kStopWaitMs = 10000;
}

CWatchHookThread::~CWatchHookThread()
{
    Stop();
}

bool CWatchHookThread::Start(HOOKPROC procedure, HMODULE library)
{
    if (m_thread || !procedure || !library)
        return false;
    m_procedure = procedure;
    m_library = library;
    m_started.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_started)
        return false;
    m_thread.Reset(::CreateThread(nullptr, 0, &CWatchHookThread::ThreadMain, this, 0, &m_threadId));
    if (m_thread) {
        HANDLE waitFor[] = {m_started.Get(), m_thread.Get()};
        ::WaitForMultipleObjects(2, waitFor, FALSE, INFINITE);
    }
    m_started.Reset();
    if (m_thread && !m_installed)
        Stop();
    return static_cast<bool>(m_thread);
}

void CWatchHookThread::Stop()
{
    if (!m_thread)
        return;
    ::PostThreadMessageW(m_threadId, WM_QUIT, 0, 0);
    // The thread only pumps messages, so it ends at once; should it not, the process's end takes it.
    ::WaitForSingleObject(m_thread.Get(), kStopWaitMs);
    m_thread.Reset();
    m_threadId = 0;
}

DWORD WINAPI CWatchHookThread::ThreadMain(void* self)
{
    static_cast<CWatchHookThread*>(self)->Run();
    return 0;
}

void CWatchHookThread::Run()
{
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = &CWatchHookThread::WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = LULLCAST_HOOK_WINDOW_CLASS;
    ::RegisterClassW(&windowClass); // fails harmlessly when a former thread registered it
    HWND window = ::CreateWindowExW(0, LULLCAST_HOOK_WINDOW_CLASS, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                    instance, this);
    m_hook = window ? ::SetWindowsHookExA(WH_CBT, m_procedure, m_library, 0) : nullptr;
    const bool hooked = m_hook != nullptr;
    m_installed = hooked;
    ::SetEvent(m_started.Get()); // from here on Start has returned: only this thread and Stop touch the object
    if (!hooked) {
        if (window)
            ::DestroyWindow(window);
        return;
    }
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0)
        ::DispatchMessageW(&message);
    ::UnhookWindowsHookEx(m_hook);
    m_hook = nullptr;
    ::DestroyWindow(window);
}

LRESULT CWatchHookThread::InstallAgain()
{
    HHOOK hook = ::SetWindowsHookExA(WH_CBT, m_procedure, m_library, 0);
    if (hook) {
        ::UnhookWindowsHookEx(m_hook);
        m_hook = hook;
    }
    return m_hook ? 1 : 0;
}

LRESULT CALLBACK CWatchHookThread::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    CWatchHookThread* self = reinterpret_cast<CWatchHookThread*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_HOOK_INSTALLED:
        return self && self->m_hook ? 1 : 0;
    case WM_HOOK_TO_FRONT:
        return self ? self->InstallAgain() : 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}
