#include "popup/DecisionLog.h"

#include <cstdio>

#include "fw/CDiagnosticLog.h"
#include "fw/LogAddress.h"
#include "fw/MarkupText.h"

namespace {

// A title goes into the log up to this many characters.
const int kLoggedTitleChars = 256;

std::string WindowName(HWND window)
{
    char text[32];
    std::snprintf(text, sizeof text, "window 0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
    return text;
}

std::string TitleOf(HWND window)
{
    wchar_t title[kLoggedTitleChars] = L"";
    ::GetWindowTextW(window, title, kLoggedTitleChars);
    std::string text;
    for (const wchar_t* c = title; *c; ++c) {
        unsigned long code = static_cast<unsigned short>(*c);
        if (code >= 0xD800 && code <= 0xDBFF && c[1] >= 0xDC00 && c[1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<unsigned short>(c[1]) - 0xDC00);
            ++c;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        AppendUtf8(text, code);
    }
    return "\"" + text + "\"";
}

} // namespace

void LogWindowIgnored(HWND window)
{
    CDiagnosticLog::Log(WindowName(window) + " seen: its title announces no long operation, no popup");
}

void LogPopupComes(HWND window, bool quietTime)
{
    CDiagnosticLog::Log(WindowName(window) + " " + TitleOf(window) +
                        (quietTime ? ": a long operation, but the user is busy (quiet time): the popup waits"
                                   : ": a long operation: the popup comes"));
}

void LogPlacement(const RECT& watched, const RECT& popup)
{
    const char* where = popup.top >= watched.bottom ? "below it"
                        : popup.bottom <= watched.top ? "above it (no room below)"
                                                      : "inside its bottom edge (no room below or above)";
    char text[128];
    std::snprintf(text, sizeof text, "popup docked %s at %ld,%ld %ldx%ld", where, popup.left, popup.top, popup.right - popup.left,
              popup.bottom - popup.top);
    CDiagnosticLog::Log(text);
}

void LogServiceRequest(const std::string& url, bool ok, DWORD milliseconds)
{
    CDiagnosticLog::Log("service request " + AddressForLog(url) + (ok ? ": ok" : ": failed") + " after " +
                        std::to_string(milliseconds) + " ms");
}

void LogFeedLoad(const std::string& url, unsigned status, int items, const std::string& error)
{
    std::string line = "feed " + AddressForLog(url) + ": status " + std::to_string(status);
    if (status == 304)
        line += ", not modified, the feed kept";
    else if (!error.empty())
        line += ", failed: " + error.substr(0, 80);
    else
        line += ", " + std::to_string(items) + " items";
    CDiagnosticLog::Log(line);
}
