#include <windows.h>

#include "fw/CWinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int)
{
    return AfxWinMain(instance, commandLine);
}
