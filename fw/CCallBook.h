// The window's bookkeeping of one kind of call that is asked for again and again (a list, a
// picture, a download): at most one call runs at a time. What is asked while one runs waits for
// its end, and one more call then serves every ask that waited; the answer of a call that was
// overtaken by a later ask is not applied, since it may be older than what the later ask wants.
// Portable, and used by one thread only.
#pragma once

class CCallBook {
public:
    // A call is asked for. True: none runs, start one now (and call Started). False: one runs;
    // another starts when it has ended.
    bool Ask()
    {
        if (m_running) {
            m_askedAgain = true;
            return false;
        }
        return true;
    }

    void Started() { m_running = true; }

    struct Outcome {
        bool apply;     // the answer is the latest wanted: apply it
        bool startNext; // asks waited: start another call now
    };
    // The running call has ended (its answer came, or it could not start at all).
    Outcome Ended()
    {
        const Outcome outcome = {!m_askedAgain, m_askedAgain};
        m_running = false;
        m_askedAgain = false;
        return outcome;
    }

    bool Running() const { return m_running; }
    // True while an ask waits for the running call to end.
    bool AskedAgain() const { return m_askedAgain; }

private:
    bool m_running = false;
    bool m_askedAgain = false;
};
