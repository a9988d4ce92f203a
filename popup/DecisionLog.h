// The lines the popup writes to the diagnostic log, one per decision a user may ask about. They
// hold nothing of other programs but the titles of windows that announced a long operation, no
// feed text, and of a web address no user name, password or query.
#pragma once
#include <windows.h>

#include <string>

// A window was reported whose title announces no long operation (its title stays out of the log).
void LogWindowIgnored(HWND window);
// The popup comes to the window, or waits because the user is busy.
void LogPopupComes(HWND window, bool quietTime);
// Where the popup docked beside the window: below, above, or inside its bottom edge (no room).
void LogPlacement(const RECT& watched, const RECT& popup);
// A request to the service: its address, whether it succeeded, how long it took.
void LogServiceRequest(const std::string& url, bool ok, DWORD milliseconds);
// A feed load: the HTTP status, the items it brought or its failure.
void LogFeedLoad(const std::string& url, unsigned status, int items, const std::string& error);
