// Runs a piece of work on a thread of its own and waits for it until a deadline. Work that
// overruns the deadline is abandoned: the caller goes on and the thread finishes in its own
// time. Until it has, a new call of the same object fails at once without running its work,
// so work that never ends costs one thread, not one per call.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

class CWorkerCall {
public:
    CWorkerCall();
    ~CWorkerCall(); // never waits for abandoned work
    CWorkerCall(const CWorkerCall&) = delete;
    CWorkerCall& operator=(const CWorkerCall&) = delete;

    // True when the work ran to its end within timeoutMs. The work must own whatever it
    // touches, since it may outlive this call and this object. While it waits, the calling
    // thread handles the messages that other threads send to its windows (posted messages wait),
    // so that it does not hold up other programs.
    bool Run(std::function<void()> work, DWORD timeoutMs);
    // The same, but the work is also abandoned as soon as `stalled` gives true; it is asked
    // about ten times a second.
    bool Run(std::function<void()> work, DWORD timeoutMs, std::function<bool()> stalled);

    // True while earlier work of this object is still running.
    bool IsBusy() const;

private:
    struct Slot {
        volatile LONG busy = 0;
    };
    struct Task {
        std::function<void()> work;
        std::shared_ptr<Slot> slot;
    };

    static DWORD WINAPI ThreadProc(void* task);
    static bool WaitUntil(HANDLE thread, ULONGLONG deadline, const std::function<bool()>& stalled);

    std::shared_ptr<Slot> m_slot;
};
