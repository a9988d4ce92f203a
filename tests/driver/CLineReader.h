#pragma once
#include <windows.h>

#include <deque>
#include <string>

// Reads command lines from standard input on a thread of its own, so that the GUI thread can keep
// pumping its windows' messages while it waits: the GUI thread waits on event() together with its
// message queue and takes the lines with next().
class CLineReader
{
public:
    CLineReader();
    ~CLineReader();
    bool start();
    HANDLE event() const { return m_event; }
    // Takes the oldest complete line; false when none is waiting.
    bool next(std::string& line);
    // True once standard input has ended and every line was taken.
    bool finished();

private:
    static DWORD WINAPI threadMain(void* self);
    void readAll();
    void push(const std::string& line);

    HANDLE m_event;
    HANDLE m_thread;
    CRITICAL_SECTION m_lock;
    std::deque<std::string> m_lines;
    bool m_ended;
};
