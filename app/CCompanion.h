// On 64-bit Windows a 64-bit hook never sees the windows of 32-bit programs. The 64-bit program
// therefore starts a small 32-bit companion beside it, which installs the 32-bit build of the
// hook library; both report to the same popup. The companion ends when the program ends or is
// gone; without it, only 32-bit programs' windows go unnoticed.
#pragma once
#include <windows.h>

#define LULLCAST_COMPANION_PROGRAM L"Lullcast32.exe"
#define LULLCAST_COMPANION_LIBRARY "Lullcast32.dll"

class CCompanion {
public:
    // Starts the companion from this program's own folder, by full path, handing it this
    // process's id; false when it could not be started (the file is missing, for one).
    static bool Start();
};
