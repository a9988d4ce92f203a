// The application object: decides at start whether this process becomes the running copy,
// hands its request to a copy that already runs, or starts a fresh copy of itself.
#pragma once
#include "app/CSingleInstance.h"
#include "app/CWatchHookThread.h"
#include "fw/CWinApp.h"

class CNimbrelApp : public CWinApp {
public:
    BOOL InitInstance() override;
    int ExitInstance() override;

private:
    bool InstallWatchHook();
    void RunPopup();

    CSingleInstance m_singleInstance;
    CWatchHookThread m_watchHook;
};
