// The tickets of one kind of asynchronous call, kept on the window's side: which call's answer
// is the one wanted. Every call started gets a new ticket, and supersedes the calls before it;
// an answer counts only when it carries the latest ticket and that call was not cancelled.
// Tickets count on from a starting point of the owner's choosing: a random one makes the ticket
// of a call hard to guess for a program that posts forged answers. Portable, and used by one
// thread only.
#pragma once

class CCallTickets {
public:
    explicit CCallTickets(unsigned before = 0) : m_latest(before) {}

    // A call starts: its ticket (never 0). Earlier tickets are stale from now on.
    unsigned Issue()
    {
        if (++m_latest == 0)
            m_latest = 1;
        m_awaiting = true;
        m_cancelled = false;
        return m_latest;
    }

    // The call of this ticket could not start after all: no answer is awaited.
    void Withdraw(unsigned ticket)
    {
        if (ticket == m_latest)
            m_awaiting = false;
    }

    // The answer of the call under way is no longer wanted.
    void Cancel() { m_cancelled = true; }

    bool IsLatest(unsigned ticket) const { return ticket != 0 && ticket == m_latest; }

    // The answer of `ticket` came: true when it is the one wanted. After the latest call's answer,
    // wanted or not, nothing is awaited.
    bool Accept(unsigned ticket)
    {
        if (!IsLatest(ticket) || !m_awaiting)
            return false;
        m_awaiting = false;
        return !m_cancelled;
    }

    // True while a wanted answer is on its way.
    bool Awaiting() const { return m_awaiting && !m_cancelled; }

private:
    unsigned m_latest;
    bool m_awaiting = false;
    bool m_cancelled = false;
};
