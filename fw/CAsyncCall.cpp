#include "fw/CAsyncCall.h"

#include <bcrypt.h>

namespace {

// Where an object's tickets start: random, so that another program cannot tell which ticket an
// answer will carry. Should the system give no random number, the tickets are merely harder to
// guess than counting from 1.
unsigned RandomTicketBase()
{
    unsigned base = 0;
    if (!BCRYPT_SUCCESS(::BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&base), sizeof base,
                                          BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        base = static_cast<unsigned>(::GetTickCount64() * 2654435761u) ^ ::GetCurrentThreadId() ^ ::GetCurrentProcessId();
    return base;
}

} // namespace

CAsyncCall::CAsyncCall() : m_slot(std::make_shared<Slot>()), m_tickets(RandomTicketBase()) {}

CAsyncCall::~CAsyncCall() = default;

bool CAsyncCall::IsBusy() const
{
    return ::InterlockedCompareExchange(&m_slot->busy, 0, 0) != 0;
}

unsigned CAsyncCall::Start(HWND target, UINT message, std::function<void()> work)
{
    if (::InterlockedCompareExchange(&m_slot->busy, 1, 0) != 0)
        return 0;
    const unsigned ticket = m_tickets.Issue();
    Task* task = new Task{std::move(work), m_slot, target, message, ticket};
    HANDLE thread = ::CreateThread(nullptr, 0, ThreadProc, task, 0, nullptr);
    if (!thread) {
        delete task;
        m_tickets.Withdraw(ticket);
        ::InterlockedExchange(&m_slot->busy, 0);
        return 0;
    }
    ::CloseHandle(thread);
    return ticket;
}

DWORD WINAPI CAsyncCall::ThreadProc(void* parameter)
{
    Task* task = static_cast<Task*>(parameter);
    task->work();
    const HWND target = task->target;
    const UINT message = task->message;
    const WPARAM ticket = task->ticket;
    std::shared_ptr<Slot> slot = std::move(task->slot);
    delete task; // the work's own data goes before the slot is free again
    // Free before the message goes, so that the window may start the next call as it takes it.
    ::InterlockedExchange(&slot->busy, 0);
    ::PostMessageA(target, message, ticket, 0); // the window may be gone: the result is then not taken
    return 0;
}
