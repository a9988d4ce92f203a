#pragma once
#include <windows.h>

#include <sstream>
#include <string>

#include "tests/driver/CTestWindows.h"

// The driver's commands about window watching: windows that appear without activation or change
// their title later, the threads that own the watch hooks, a stalled program, processes by name
// and their end or crash, what a process asked Windows to restart it with, and a window that only
// pretends to be Lullcast's popup.
class CWatchCommands
{
public:
    explicit CWatchCommands(CTestWindows& windows) : m_windows(windows) {}
    // Runs the command if it is one of these, putting its answer line in answer.
    bool execute(const std::string& command, std::istringstream& args, std::string& answer);

private:
    std::string createQuiet(std::istringstream& args);
    std::string cover(std::istringstream& args);
    std::string setTitle(std::istringstream& args);
    std::string hookWindows(std::istringstream& args);
    std::string suspend(std::istringstream& args, bool resume);
    std::string processes(std::istringstream& args);
    std::string terminate(std::istringstream& args);
    std::string crash(std::istringstream& args);
    std::string restartSettings(std::istringstream& args);
    std::string impostor(std::istringstream& args);

    CTestWindows& m_windows;
};
