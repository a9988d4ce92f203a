// The application object: start-up and exit, the main window, and the per-user profile.
//
// One global object derived from CWinApp; WinMain hands control to AfxWinMain, which calls
// InitInstance and then ExitInstance, whose result is the process exit code.
#pragma once
#include <windows.h>

#include <memory>

#include "fw/CProfileStore.h"
#include "fw/CString.h"
#include "fw/CWnd.h"

class CWinApp : public CProfileStore {
public:
    // Without a name the application takes its executable's base file name.
    explicit CWinApp(const char* appName = nullptr);
    ~CWinApp() override;

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    // From now on the profile lives under HKEY_CURRENT_USER\Software\<key>\<application name>.
    void SetRegistryKey(const char* key);

    unsigned GetProfileInt(const char* section, const char* entry, int defaultValue) override;
    CString GetProfileString(const char* section, const char* entry, const char* defaultValue) override;
    bool WriteProfileInt(const char* section, const char* entry, int value) override;
    bool WriteProfileString(const char* section, const char* entry, const char* value) override;

    HINSTANCE m_hInstance = nullptr;
    CString m_pszAppName;
    CString m_pszRegistryKey;
    const char* m_lpCmdLine = "";
    CWnd* m_pMainWnd = nullptr;

private:
    friend int AfxWinMain(HINSTANCE instance, const char* commandLine);
    std::unique_ptr<CProfileStore> m_profile;
    bool m_oleInitialized = false;
    friend BOOL AfxOleInit();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
int AfxWinMain(HINSTANCE instance, const char* commandLine);

// A message box over the active window, with the application's name as its title.
int AfxMessageBox(const char* text, UINT type = MB_OK);

// OLE for the GUI thread, undone when the application ends.
BOOL AfxOleInit();
// The program hosts no ActiveX controls; kept so that start-up reads as designed.
inline void AfxEnableControlContainer() {}
