#include "app/CNimbrelApp.h"

#include <shellapi.h>

#include <cstring>

#include "app/CCompanion.h"
#include "app/Resource.h"
#include "app/WatchMessages.h"
#include "fw/CRichEditCtrl.h"
#include "fw/Win32Util.h"
#include "popup/CNimbrelDlg.h"

namespace {

// How long a start waits for the popup of a copy that is still starting, and for a running
// copy to take its Exit command.
const DWORD kStartingCopyWaitMs = 30000;
const UINT kExitCommandWaitMs = 10000;

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
    HWND runningCopy = m_singleInstance.FindRunningCopy(kStartingCopyWaitMs);

    if (CommandLineHas(m_lpCmdLine, "/Uninstall")) {
        // Bounded: a hung copy, or some other window with the main caption, must not hang this start.
        DWORD_PTR result = 0;
        if (runningCopy)
            ::SendMessageTimeoutA(runningCopy, WM_COMMAND, ID_TRAY_EXIT, 0, SMTO_ABORTIFHUNG, kExitCommandWaitMs,
                                  &result);
        return FALSE;
    }
    if (runningCopy) {
        ::PostMessageA(runningCopy, WM_COMMAND, ID_TRAY_VIEW, 0);
        return FALSE;
    }
    if (m_singleInstance.Undecided())
        return FALSE; // another copy is starting and keeps the place, though it never showed its popup
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
    m_watchHook.Stop(); // removes the hook
    return 0;
}

// The hook library is loaded from the program's own folder by full path: a library of the
// same name planted in the current folder must never be loaded. The hook is installed by a
// thread of its own; the 64-bit program also starts the 32-bit companion for 32-bit programs.
void CNimbrelApp::InstallWatchHook()
{
    HMODULE library = LoadLibraryBeside(nullptr, LULLCAST_HOOK_LIBRARY);
    HOOKPROC procedure = library
        ? reinterpret_cast<HOOKPROC>(::GetProcAddress(library, LULLCAST_HOOK_PROC))
        : nullptr;
    m_watchHook.Start(procedure, library);
#ifdef _WIN64
    CCompanion::Start();
#endif
}

void CNimbrelApp::RunPopup()
{
    auto popup = std::make_unique<CNimbrelDlg>();
    m_pMainWnd = popup.get();
    popup->DoModal();
    m_pMainWnd = nullptr;
}
