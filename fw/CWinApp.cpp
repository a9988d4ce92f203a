#include "fw/CWinApp.h"

#include <ole2.h>

#include "fw/CRegistryProfile.h"
#include "fw/Win32Util.h"

namespace {

CWinApp* g_app = nullptr;

CString ExecutableBaseName()
{
    CString name = GetModulePath(nullptr);
    name = name.Mid(name.ReverseFind('\\') + 1);
    const int dot = name.ReverseFind('.');
    return dot < 0 ? name : name.Left(dot);
}

} // namespace

CWinApp::CWinApp(const char* appName)
{
    g_app = this;
    if (appName)
        m_pszAppName = appName;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetRegistryKey(const char* key)
{
    m_pszRegistryKey = key;
    m_profile = std::make_unique<CRegistryProfile>(CString("Software\\") + key + "\\" + m_pszAppName);
}

unsigned CWinApp::GetProfileInt(const char* section, const char* entry, int defaultValue)
{
    return m_profile ? m_profile->GetProfileInt(section, entry, defaultValue) : static_cast<unsigned>(defaultValue);
}

CString CWinApp::GetProfileString(const char* section, const char* entry, const char* defaultValue)
{
    return m_profile ? m_profile->GetProfileString(section, entry, defaultValue) : CString(defaultValue);
}

bool CWinApp::WriteProfileInt(const char* section, const char* entry, int value)
{
    return m_profile && m_profile->WriteProfileInt(section, entry, value);
}

bool CWinApp::WriteProfileString(const char* section, const char* entry, const char* value)
{
    return m_profile && m_profile->WriteProfileString(section, entry, value);
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app ? g_app->m_hInstance : ::GetModuleHandleA(nullptr);
}

int AfxMessageBox(const char* text, UINT type)
{
    const char* title = g_app ? g_app->m_pszAppName.GetString() : nullptr;
    HWND owner = ::GetActiveWindow();
    if (owner)
        owner = ::GetAncestor(owner, GA_ROOT);
    return ::MessageBoxA(owner, text, title, type);
}

BOOL AfxOleInit()
{
    const HRESULT result = ::OleInitialize(nullptr);
    if (g_app && SUCCEEDED(result))
        g_app->m_oleInitialized = true;
    return SUCCEEDED(result);
}

int AfxWinMain(HINSTANCE instance, const char* commandLine)
{
    CWinApp* app = g_app;
    if (!app)
        return 1;
    app->m_hInstance = instance;
    app->m_lpCmdLine = commandLine ? commandLine : "";
    if (app->m_pszAppName.IsEmpty())
        app->m_pszAppName = ExecutableBaseName();
    // The program runs inside InitInstance; it has no message pump of its own afterwards.
    app->InitInstance();
    const int exitCode = app->ExitInstance();
    if (app->m_oleInitialized)
        ::OleUninitialize();
    return exitCode;
}
