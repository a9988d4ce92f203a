#pragma once
#include <windows.h>

#include <map>
#include <sstream>
#include <string>

#include "tests/driver/CLineReader.h"
#include "tests/driver/CTestWindows.h"

class CDragSource;

// Plays the rest of the desktop for the end-to-end tests: it takes one command per line on standard
// input, answers each with one line on standard output ("ok ..." or "error ..."), and keeps its own
// windows responsive in between. Window handles travel as decimal numbers; the commands and their
// answers are listed with their handlers in CDriver.cpp.
class CDriver
{
public:
    explicit CDriver(HINSTANCE instance);
    int run();

private:
    using Args = std::istringstream;
    using Handler = std::string (CDriver::*)(Args&);

    void pumpMessages();
    std::string execute(const std::string& line);

    // The driver's own windows
    std::string create(Args& args);
    std::string destroy(Args& args);
    std::string destroyAll(Args& args);
    std::string minimize(Args& args);
    std::string restore(Args& args);
    // Any window
    std::string info(Args& args);
    std::string popup(Args& args);
    std::string client(Args& args);
    std::string style(Args& args);
    std::string find(Args& args);
    std::string count(Args& args);
    std::string text(Args& args);
    std::string children(Args& args);
    std::string post(Args& args);
    std::string send(Args& args);
    std::string foreground(Args& args);
    std::string hitTest(Args& args);
    std::string hitPoint(Args& args);
    std::string setText(Args& args);
    std::string focus(Args& args);
    std::string listItems(Args& args);
    std::string menu(Args& args);
    std::string dragText(Args& args);
    std::string dragFiles(Args& args);
    std::string runDrag(CDragSource& source);
    std::string wideText(Args& args);
    std::string colours(Args& args);
    std::string sendRect(Args& args);
    std::string ink(Args& args);
    std::string palette(Args& args);
    std::string highContrast(Args& args);
    std::string sysColours(Args& args);
    // The desktop
    std::string workArea(Args& args);
    std::string tooltips(Args& args);
    std::string mutex(Args& args);
    std::string procAddress(Args& args);
    // Measurements for the benchmarks
    std::string dock(Args& args);
    std::string follow(Args& args);
    std::string get(Args& args);
    std::string resources(Args& args);
    std::string quit(Args& args);

    static std::string windowInfo(HWND window);
    static void reply(const std::string& text);
    static HWND readWindow(Args& args);
    static std::string restOfLine(Args& args);
    static std::string escape(const std::string& text);
    static std::string unescape(const std::string& text);
    static std::string number(HWND window);
    static std::string rectText(const RECT& rect);

    static const std::map<std::string, Handler> s_commands;
    HINSTANCE m_instance;
    CLineReader m_reader;
    CTestWindows m_windows;
    bool m_quit = false;
};
