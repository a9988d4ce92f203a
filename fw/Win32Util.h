// Small helpers over Win32 that several classes share.
#pragma once
#include <windows.h>

#include "fw/CString.h"

#include <string>
#include <vector>

// MessageBeep's kinds as the program sounds them: the simple beep answers a step or a list
// operation that cannot be taken.
enum : UINT { kSimpleBeep = 0xFFFFFFFF };

// The longest path Windows takes (in the \\?\ form), terminator included, in characters.
const DWORD kLongestPathChars = 32768;

// The full path of the given module's file (the executable's for NULL); empty when unknown.
// With UTF-8 as the code page a path of fewer than MAX_PATH characters can take more bytes.
CString GetModulePath(HMODULE module);

// The folder of the given module's file, without a trailing backslash; empty when unknown.
CString GetModuleFolder(HMODULE module);

// Loads a DLL from the system folder only, never from the current folder.
HMODULE LoadSystemLibrary(const char* fileName);

// Loads a DLL from the given module's own folder, by full path.
HMODULE LoadLibraryBeside(HMODULE module, const char* fileName);

// The header of an uncompressed bitmap whose rows run from the top down, as GDI+ hands them
// and as pixels are read back.
inline BITMAPINFO TopDownBitmapInfo(int width, int height, WORD bitsPerPixel)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

// True for a path on another machine: a UNC path, or one on a drive mapped to a share.
bool IsNetworkPath(const char* path);

// The whole file, when it is at most maxBytes long; false when it cannot be read.
bool ReadWholeFile(const CString& path, std::string& bytes, unsigned long long maxBytes);
bool WriteWholeFile(const CString& path, const std::string& bytes);

// Dots per inch of the screen, as the process sees it.
int GetScreenDpi();

// The DPI the window is drawn at: its monitor's under per-monitor awareness
// (GetDpiForWindow, looked up at run time), else the screen's.
int GetWindowDpi(HWND window);

// Copies size bytes from address into out when all of them lie in committed, readable memory of
// this process; false (and nothing read) otherwise. For pointers in messages that any process
// can send.
bool ReadOwnMemory(const void* address, void* out, size_t size);

// Keyboard cues (focus frames) of a window and its children, as the system keeps them: hidden
// until the user works the window with the keyboard.
bool AreFocusCuesHidden(HWND window);
// Shows (the keyboard is used) or hides (the window was shown for the mouse) the cues of the
// window's top-level window and all its children.
void SetFocusCues(HWND window, bool shown);

// The shell's desktop (its icons' window and the one behind them) and its taskbars: windows that
// cover the screen or live as long as the session without being programs the user watches.
bool IsShellWindow(HWND window);

// The visible top-level windows of other processes, the shell's own left out, topmost first.
std::vector<HWND> VisibleWindowsOfOtherProcesses();

// Seconds since 1970-01-01 00:00:00 UTC by the system's clock, as HTTP dates count them.
long long SystemEpochSeconds();

// The user's folder for data that stays on this machine (%LOCALAPPDATA%), or empty.
std::wstring GetLocalAppDataFolder();

// A length in pixels at 96 DPI, scaled to the given DPI.
inline int ScaleForDpi(int pixels, int dpi)
{
    return MulDiv(pixels, dpi, 96);
}
