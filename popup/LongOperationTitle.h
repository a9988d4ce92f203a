#pragma once

// Whether a window title announces a long operation: it contains "Progress", "Printing",
// "Copying" or "remaining" (exact case), or it has a "%" followed by a blank in second or
// third place, as in "7% done" or "42% complete".
bool IsLongOperationTitle(const char* title);
