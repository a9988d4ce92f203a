// One kind of request that a window makes again and again (a list, a picture, a download, a
// report): its work runs on a thread of its own, its result waits in storage that the work and
// the window share, and the window is told that the work has ended by a posted message that
// carries a ticket, never a pointer. A message that is lost or comes late therefore leaks
// nothing, and a result that is no longer wanted is simply not taken.
//
// The window's thread asks, starts and takes; it never waits for the work. At most one call of a
// request runs: Start refuses while earlier work still runs, so work that never ends costs one
// thread, not one per call. An ask that comes while a call is under way is not started: one more
// call serves every such ask when the running one has been taken, and the running one's result,
// older than what those asks want, is marked overtaken. A call started supersedes every earlier
// one; a cancelled call's result is not taken, but its work still holds the request until it ends.
// The work must own whatever it touches, since it may outlive this object, which never waits.
//
// Never start a call before the window exists: a message posted to a null window is a thread
// message that no window procedure sees.
//
// Any program on the desktop can post a message: tickets start from a random number, and a
// result is taken only once its work has ended (the work's thread clears the busy flag, a full
// barrier, before it posts), so a forged message never hands over a result still being written.
//
// Portable but for the window's overload of Start; the window's side is used by one thread only.
#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "fw/WorkThread.h"

template <class Result>
class CAsyncRequest {
public:
    // Starts `run` on a thread of its own; false when none could start.
    using Launcher = std::function<bool(std::function<void()> run)>;
    // Tells the window, from the work's thread, that the call with this ticket has ended.
    using Teller = std::function<void(unsigned ticket)>;

    // What the window makes of a message.
    struct Answer {
        std::shared_ptr<Result> result; // null: the message is no answer the window waits for
        bool overtaken = false;         // asks came meanwhile: start one more call now for them
        explicit operator bool() const { return result != nullptr; }
    };

    explicit CAsyncRequest(Launcher launch = StartWorkThread, unsigned ticketBase = RandomTicketBase())
        : m_launch(std::move(launch)), m_busy(std::make_shared<std::atomic<bool>>(false)), m_latest(ticketBase)
    {
    }
    ~CAsyncRequest() = default; // never waits for the work
    CAsyncRequest(const CAsyncRequest&) = delete;
    CAsyncRequest& operator=(const CAsyncRequest&) = delete;

    // A call is wanted. True: none is under way, start one now. False: one is; one more call
    // will be wanted when its answer is taken (Answer::overtaken).
    bool Ask()
    {
        if (!m_awaiting)
            return true;
        m_askedAgain = true;
        return false;
    }

    // Runs work on a new thread with a fresh Result to fill; when it has ended, `tell` gets the
    // ticket returned here. 0 when earlier work still runs or no thread started.
    unsigned Start(Teller tell, std::function<void(Result&)> work)
    {
        bool idle = false;
        if (!m_busy->compare_exchange_strong(idle, true))
            return 0;
        if (++m_latest == 0)
            m_latest = 1;
        const unsigned ticket = m_latest;
        auto result = std::make_shared<Result>();
        std::shared_ptr<std::atomic<bool>> busy = m_busy;
        std::function<void()> run = [work, result, busy, tell, ticket]() mutable {
            work(*result);
            work = nullptr; // the work's own data goes before the request is free again
            result.reset();
            busy->store(false); // free before the message goes: the window may start the next call as it takes it
            tell(ticket);
        };
        if (!m_launch(std::move(run))) {
            m_busy->store(false);
            m_awaiting = false;
            m_askedAgain = false;
            return 0;
        }
        m_result = std::move(result);
        m_awaiting = true;
        return ticket;
    }

#ifdef _WIN32
    // As above: the ticket comes as `message`'s wParam (lParam 0) to `target`, which may be gone
    // by then (the result is then not taken).
    unsigned Start(HWND target, UINT message, std::function<void(Result&)> work)
    {
        return Start([target, message](unsigned ticket) { ::PostMessageA(target, message, ticket, 0); },
                     std::move(work));
    }
#endif

    // On the window's thread, when a message comes: the result when the ticket is that of the
    // call awaited and its work has ended. The call is then over. A message that comes while
    // the work still runs was not posted by it and changes nothing.
    Answer Take(unsigned long long ticket)
    {
        Answer answer;
        if (!m_awaiting || ticket == 0 || ticket != m_latest || m_busy->load())
            return answer;
        m_awaiting = false;
        answer.result = std::move(m_result);
        answer.overtaken = m_askedAgain;
        m_askedAgain = false;
        return answer;
    }

    // The result of the call under way is no longer wanted (the user moved on, a deadline passed,
    // the window goes); its work still holds the request until it ends.
    void Cancel()
    {
        m_awaiting = false;
        m_askedAgain = false;
        m_result.reset();
    }

    // True from Start until the window has taken the call's answer or cancelled the call.
    bool IsWaiting() const { return m_awaiting; }
    // True while the work of some call still runs on its thread.
    bool IsBusy() const { return m_busy->load(); }

private:
    Launcher m_launch;
    std::shared_ptr<std::atomic<bool>> m_busy; // shared with the work's thread
    std::shared_ptr<Result> m_result;           // the awaited call's, shared with its work
    unsigned m_latest;                          // the ticket of the latest call started
    bool m_awaiting = false;
    bool m_askedAgain = false;
};
