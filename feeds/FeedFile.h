// Where a downloaded feed is kept.
#pragma once
#include "fw/CString.h"

#include <string>

// The folder of the running program, without a trailing backslash; empty when it cannot be
// read or holds no backslash.
CString GetModuleDirectory();

// "\Tidewell.xml" in the program's folder; in the user's temporary folder instead when the
// program's folder cannot be written (a program installed under Program Files).
CString GetFeedFilePath();

// The whole file, when it is at most maxBytes long; false when it cannot be read.
bool ReadWholeFile(const CString& path, std::string& bytes, unsigned long long maxBytes);
bool WriteWholeFile(const CString& path, const std::string& bytes);
