// Runs a piece of work on a thread of its own and tells a window when it has ended, by a
// posted message that carries a ticket, never a pointer: the result waits in storage that the
// work and the caller share, so a message that is lost or comes late leaks nothing, and a
// result that is no longer wanted is simply not taken.
//
// The window's thread starts calls and takes their results; it never waits for one. One call
// of an object runs at a time: Start refuses while earlier work still runs, so work that never
// ends costs one thread, not one per call. The work must own whatever it touches, since it may
// outlive this object, which never waits for it.
//
// Never start a call before the window exists: a message posted to a null window is a thread
// message that no window procedure sees.
//
// Any program on the desktop can post a message: tickets start from a random number, and a call's
// answer is taken only once its work has ended (its thread clears the busy flag, a full barrier,
// before it posts), so a forged message never hands over a result still being written.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "fw/CallTickets.h"

class CAsyncCall {
public:
    CAsyncCall();
    ~CAsyncCall(); // never waits for the work
    CAsyncCall(const CAsyncCall&) = delete;
    CAsyncCall& operator=(const CAsyncCall&) = delete;

    // Runs work on a new thread; when it has ended, posts `message` to `target` with the ticket
    // returned here as wParam (lParam 0). 0 when earlier work still runs or no thread started.
    // A call started supersedes every earlier one: their messages are stale from now on.
    unsigned Start(HWND target, UINT message, std::function<void()> work);

    // On the window's thread, when `message` arrives: true when the ticket is that of the latest
    // call, its work has ended and the call was not cancelled. The call is then over for the
    // window, wanted or not; a message that comes while the work still runs was not posted by it
    // and changes nothing.
    bool Finish(WPARAM ticket) { return !IsBusy() && m_tickets.Accept(static_cast<unsigned>(ticket)); }

    // The result of the call in flight is no longer wanted (the user moved on, the window goes).
    void Cancel() { m_tickets.Cancel(); }

    // True when the message carries the latest call's ticket, wanted or cancelled, and that call's
    // work has ended (only one runs at a time, so work that still runs is the latest call's).
    bool IsAnswer(WPARAM ticket) const { return m_tickets.IsLatest(static_cast<unsigned>(ticket)) && !IsBusy(); }

    // True from Start until the window has taken the call's message or cancelled the call.
    bool IsWaiting() const { return m_tickets.Awaiting(); }
    // True while the work of some call still runs on its thread.
    bool IsBusy() const;

private:
    struct Slot {
        volatile LONG busy = 0;
    };
    struct Task {
        std::function<void()> work;
        std::shared_ptr<Slot> slot;
        HWND target;
        UINT message;
        unsigned ticket;
    };
    static DWORD WINAPI ThreadProc(void* task);

    std::shared_ptr<Slot> m_slot;
    CCallTickets m_tickets;
};

// A call with a result: the work fills a Result on its thread, and the window's thread takes
// it when the call's message arrives, if it is still wanted.
template <class Result>
class CAsyncRequest {
public:
    // As CAsyncCall::Start; work gets a fresh Result to fill.
    unsigned Start(HWND target, UINT message, std::function<void(Result&)> work)
    {
        auto result = std::make_shared<Result>();
        const unsigned ticket = m_call.Start(target, message, [result, work] { work(*result); });
        if (ticket)
            m_result = result;
        return ticket;
    }

    // The result of the call that `ticket` answers, when it is the one wanted; else null (the
    // message of an older call, or of one cancelled since).
    std::shared_ptr<Result> Take(WPARAM ticket)
    {
        if (!m_call.IsAnswer(ticket))
            return nullptr;
        std::shared_ptr<Result> result = std::move(m_result);
        return m_call.Finish(ticket) ? result : nullptr;
    }

    void Cancel() { m_call.Cancel(); }
    bool IsWaiting() const { return m_call.IsWaiting(); }
    bool IsBusy() const { return m_call.IsBusy(); }

private:
    CAsyncCall m_call;
    std::shared_ptr<Result> m_result;
};
