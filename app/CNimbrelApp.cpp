#include "app/CNimbrelApp.h"

#include <shellapi.h>

#include <cstring>

#include "app/Resource.h"
#include "app/WatchMessages.h"
#include "fw/CRichEditCtrl.h"
#include "fw/Win32Util.h"
#include "popup/CNimbrelDlg.h"

namespace {

HHOOK g_hook = nullptr;

bool CommandLineHas(const char* commandLine, const char* switchText)
{
    return std::strstr(commandLine, switchText) != nullptr;
}

void StartNewCopy()
{
    ::ShellExecuteA(nullptr, nullptr, GetModulePath(nullptr), nullptr, nullptr, SW_SHOW);
}

} // namespace

CNimbrelApp theApp;

BOOL CNimbrelApp::InitInstance()
{
    CWinApp::InitInstance();
    HWND runningCopy = ::FindWindowA(nullptr, LULLCAST_MAIN_CAPTION);

    if (CommandLineHas(m_lpCmdLine, "/Uninstall")) {
        if (runningCopy)
            ::SendMessageA(runningCopy, WM_COMMAND, ID_TRAY_EXIT, 0);
        return FALSE;
    }
    if (runningCopy) {
        ::PostMessageA(runningCopy, WM_COMMAND, ID_TRAY_VIEW, 0);
        return FALSE;
    }
    if (CommandLineHas(m_lpCmdLine, "/Install")) {
        StartNewCopy();
        return FALSE;
    }

    AfxOleInit();
    AfxEnableControlContainer();
    CRichEditCtrl::LoadLibrary20();
    SetRegistryKey("Kestrova\\Lullcast");
    InstallWatchHook();
    RunPopup();
    return FALSE;
}

int CNimbrelApp::ExitInstance()
{
    if (g_hook)
        ::UnhookWindowsHookEx(g_hook);
    g_hook = nullptr;
    return 0;
}

// The hook library is loaded from the program's own folder by full path: a library of the
// same name planted in the current folder must never be loaded.
void CNimbrelApp::InstallWatchHook()
{
    HMODULE library = LoadLibraryBeside(nullptr, LULLCAST_HOOK_LIBRARY);
    HOOKPROC procedure = library
        ? reinterpret_cast<HOOKPROC>(::GetProcAddress(library, LULLCAST_HOOK_PROC))
        : nullptr;
    if (procedure)
        g_hook = ::SetWindowsHookExA(WH_CBT, procedure, library, 0);
}

void CNimbrelApp::RunPopup()
{
    auto popup = std::make_unique<CNimbrelDlg>();
    m_pMainWnd = popup.get();
    popup->DoModal();
    m_pMainWnd = nullptr;
}
