// Where a downloaded feed is kept.
#pragma once
#include "fw/CString.h"
#include "fw/Win32Util.h" // ReadWholeFile and WriteWholeFile, which read and write the feed file

// The folder of the running program, without a trailing backslash; empty when it cannot be
// read or holds no backslash.
CString GetModuleDirectory();

// "\Tidewell.xml" in the program's folder; in the user's temporary folder instead when the
// program's folder cannot be written (a program installed under Program Files).
CString GetFeedFilePath();
