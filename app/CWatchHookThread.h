// The thread that owns the window-watch hook. On 64-bit Windows the system runs a global hook
// for the processes of the other bitness on the thread that installed it, through that
// thread's message queue: while the thread does not pump messages, window creation and
// activation in those processes wait for it. So the hook is installed by a thread that does
// nothing but pump messages, never by the popup's thread, which waits on the network.
#pragma once
#include <windows.h>

#include "fw/CScopedHandle.h"

// The thread's message-only window, by which the companion and the tests find the thread, and
// what it is asked:
// - WM_HOOK_INSTALLED: whether the hook is installed (1) or not (0);
// - WM_HOOK_TO_FRONT: install the hook anew, so that it is the first of the hooks of its kind
//   (answer as WM_HOOK_INSTALLED). Windows runs a hook of the other bitness through its owner's
//   thread and goes on along the chain; Wine instead ends the chain in a process that cannot load
//   a hook's library, so there the first hook of the chain decides which processes are watched.
#define LULLCAST_HOOK_WINDOW_CLASS L"LullcastWatchHook"
enum : UINT { WM_HOOK_INSTALLED = WM_APP + 1, WM_HOOK_TO_FRONT = WM_APP + 2 };

class CWatchHookThread {
public:
    CWatchHookThread() = default;
    CWatchHookThread(const CWatchHookThread&) = delete;
    CWatchHookThread& operator=(const CWatchHookThread&) = delete;
    ~CWatchHookThread();

    // Starts the thread, which installs the procedure of the library as a WH_CBT hook for the
    // whole desktop; returns once it has, or has failed (then the thread is gone again).
    bool Start(HOOKPROC procedure, HMODULE library);
    // Removes the hook and ends the thread.
    void Stop();

private:
    static DWORD WINAPI ThreadMain(void* self);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();
    LRESULT InstallAgain();

    HOOKPROC m_procedure = nullptr;
    HMODULE m_library = nullptr;
    CKernelHandle m_thread;
    DWORD m_threadId = 0;
    CKernelHandle m_started;
    bool m_installed = false; // written by the thread before m_started is set
    HHOOK m_hook = nullptr;   // the thread's alone
};
