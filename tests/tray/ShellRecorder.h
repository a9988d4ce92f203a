// Stands between the tray code of this program and the shell: every Shell_NotifyIconA call of
// CSystemTray is written down, with the record as it was sent, and then passed on to the shell.
#pragma once
#include <string>
#include <vector>

// The calls since the last time, one line each:
// "ADD|MODIFY|DELETE size=.. flags=.. window=.. id=.. callback=.. icon=0|1 tip=[..] info=[..] title=[..]
//  timeout=.. infoflags=.. result=0|1".
std::vector<std::string> TakeShellCalls();
