#include "tests/driver/CLineReader.h"

CLineReader::CLineReader()
    : m_event(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_thread(nullptr), m_ended(false)
{
    InitializeCriticalSection(&m_lock);
}

CLineReader::~CLineReader()
{
    // The reader thread may still block in ReadFile; the process ends around it.
    DeleteCriticalSection(&m_lock);
    CloseHandle(m_event);
}

bool CLineReader::start()
{
    m_thread = CreateThread(nullptr, 0, &CLineReader::threadMain, this, 0, nullptr);
    return m_thread != nullptr;
}

DWORD WINAPI CLineReader::threadMain(void* self)
{
    static_cast<CLineReader*>(self)->readAll();
    return 0;
}

void CLineReader::readAll()
{
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        std::string::size_type end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            pending.erase(0, end + 1);
            push(line);
        }
    }
    EnterCriticalSection(&m_lock);
    m_ended = true;
    LeaveCriticalSection(&m_lock);
    SetEvent(m_event);
}

void CLineReader::push(const std::string& line)
{
    EnterCriticalSection(&m_lock);
    m_lines.push_back(line);
    LeaveCriticalSection(&m_lock);
    SetEvent(m_event);
}

bool CLineReader::next(std::string& line)
{
    EnterCriticalSection(&m_lock);
    bool have = !m_lines.empty();
    if (have) {
        line = m_lines.front();
        m_lines.pop_front();
    }
    if (m_lines.empty() && !m_ended)
        ResetEvent(m_event);
    LeaveCriticalSection(&m_lock);
    return have;
}

bool CLineReader::finished()
{
    EnterCriticalSection(&m_lock);
    bool done = m_ended && m_lines.empty();
    LeaveCriticalSection(&m_lock);
    return done;
}
