#include "fw/CWorkerCall.h"

#include "fw/CScopedHandle.h"

CWorkerCall::CWorkerCall() : m_slot(std::make_shared<Slot>())
{
}

CWorkerCall::~CWorkerCall() = default;

bool CWorkerCall::IsBusy() const
{
    return ::InterlockedCompareExchange(&m_slot->busy, 0, 0) != 0;
}

bool CWorkerCall::Run(std::function<void()> work, DWORD timeoutMs)
{
    return Run(std::move(work), timeoutMs, nullptr);
}

bool CWorkerCall::Run(std::function<void()> work, DWORD timeoutMs, std::function<bool()> stalled)
{
    if (::InterlockedCompareExchange(&m_slot->busy, 1, 0) != 0)
        return false;
    Task* task = new Task{std::move(work), m_slot};
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    CKernelHandle thread(::CreateThread(nullptr, 0, ThreadProc, task, 0, nullptr));
    if (!thread) {
        delete task;
        ::InterlockedExchange(&m_slot->busy, 0);
        return false;
    }
    return WaitUntil(thread.Get(), deadline, stalled);
}

DWORD WINAPI CWorkerCall::ThreadProc(void* parameter)
{
    Task* task = static_cast<Task*>(parameter);
    task->work();
    std::shared_ptr<Slot> slot = std::move(task->slot);
    delete task; // the work's own data goes before the slot is free again
    ::InterlockedExchange(&slot->busy, 0);
    return 0;
}

bool CWorkerCall::WaitUntil(HANDLE thread, ULONGLONG deadline, const std::function<bool()>& stalled)
{
    const DWORD kStallCheckMs = 100;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        DWORD left = now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
        if (stalled) {
            if (left > 0 && stalled())
                left = 0;
            else if (left > kStallCheckMs)
                left = kStallCheckMs;
        }
        const DWORD result = ::MsgWaitForMultipleObjects(1, &thread, FALSE, left, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result == WAIT_TIMEOUT && left > 0)
            continue; // only time to look for a stall again
        if (result != WAIT_OBJECT_0 + 1)
            return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}
