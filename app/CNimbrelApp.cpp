#include "app/CNimbrelApp.h"

#include <shellapi.h>

#include <cstring>

#include "app/CCompanion.h"
#include "app/CrashDumps.h"
#include "fw/CDiagnosticLog.h"
#include "fw/CGdiPlusScope.h"
#include "fw/CRichEditCtrl.h"
#include "fw/CScopedHandle.h"
#include "fw/Win32Util.h"
#include "hook/WatchMessages.h"
#include "popup/CNimbrelDlg.h"
#include "res/Resource.h"

namespace {

// How long a start waits for the popup of a copy that is still starting, for a running copy to
// take its Exit command, and for its process to end after it.
const DWORD kStartingCopyWaitMs = 30000;
const UINT kExitCommandWaitMs = 10000;
const DWORD kExitWaitMs = 10000;
// Each of the diagnostic log's two files.
const unsigned kLogFileBytes = 256 * 1024;

bool CommandLineHas(const char* commandLine, const char* switchText)
{
    return std::strstr(commandLine, switchText) != nullptr;
}

void StartNewCopy()
{
    ::ShellExecuteA(nullptr, nullptr, GetModulePath(nullptr), nullptr, nullptr, SW_SHOW);
}

// Hands Exit to the running copy and waits until its process has ended, so that an installer
// may replace its files at once. The copy never holds its thread for long, but Windows counts a
// thread that read no input for a while as hung: the command is sent with a bounded wait that
// does not give up on such a thread (a hung copy, or another window with the main caption,
// still cannot hold this start for ever).
void EndRunningCopy(HWND copy)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(copy, &processId);
    CKernelHandle process(processId ? ::OpenProcess(SYNCHRONIZE, FALSE, processId) : nullptr);
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(copy, WM_COMMAND, ID_TRAY_EXIT, 0, SMTO_NORMAL, kExitCommandWaitMs, &result))
        ::PostMessageA(copy, WM_COMMAND, ID_TRAY_EXIT, 0);
    if (process)
        ::WaitForSingleObject(process.Get(), kExitWaitMs);
}

// The diagnostic log, %LOCALAPPDATA%\Lullcast\Lullcast.log, made the process's log.
std::unique_ptr<CDiagnosticLog> OpenDiagnosticLog()
{
    const std::wstring localAppData = GetLocalAppDataFolder();
    if (localAppData.empty())
        return nullptr;
    const std::wstring folder = localAppData + L"\\Lullcast";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    auto log = std::make_unique<CDiagnosticLog>(folder + L"\\Lullcast.log", kLogFileBytes);
    CDiagnosticLog::SetProcessLog(log.get());
    CDiagnosticLog::Log("Lullcast started");
    return log;
}

} // namespace

CNimbrelApp theApp;

BOOL CNimbrelApp::InitInstance()
{
    CWinApp::InitInstance();
    InstallCrashDumps(L"Lullcast");
    HWND runningCopy = m_singleInstance.FindRunningCopy(kStartingCopyWaitMs);

    if (CommandLineHas(m_lpCmdLine, "/Uninstall")) {
        if (runningCopy)
            EndRunningCopy(runningCopy);
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
    // Windows starts the running copy again after it restarts for an update.
    ::RegisterApplicationRestart(nullptr, 0);
    const std::unique_ptr<CDiagnosticLog> log = OpenDiagnosticLog();
    RunPopup();
    CDiagnosticLog::SetProcessLog(nullptr);
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
bool CNimbrelApp::InstallWatchHook()
{
    HMODULE library = LoadLibraryBeside(nullptr, LULLCAST_HOOK_LIBRARY);
    HOOKPROC procedure = library
        ? reinterpret_cast<HOOKPROC>(::GetProcAddress(library, LULLCAST_HOOK_PROC))
        : nullptr;
    if (!procedure)
        CDiagnosticLog::Log("the hook library " LULLCAST_HOOK_LIBRARY " could not be loaded: no window is watched");
    const bool installed = m_watchHook.Start(procedure, library);
#ifdef _WIN64
    CCompanion::Start();
#endif
    return installed;
}

// The hook is installed once the popup has its caption: until then every window event of every
// process would look for the popup in vain. GDI+, which decodes the sponsor picture, runs as long
// as the popup does.
void CNimbrelApp::RunPopup()
{
    const CGdiPlusScope gdiPlus;
    auto popup = std::make_unique<CNimbrelDlg>([this] { return InstallWatchHook(); });
    m_pMainWnd = popup.get();
    popup->DoModal();
    m_pMainWnd = nullptr;
}
