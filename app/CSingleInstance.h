// One running copy per session. A copy is found by its popup's caption, which the popup takes
// only some time after the process started; a per-session mutex, held by the running copy for
// its whole life, covers that time: a start that finds the mutex taken but no popup yet waits
// (bounded) for the popup or for the mutex to come free.
#pragma once
#include <windows.h>

#include "fw/CScopedHandle.h"

class CSingleInstance {
public:
    CSingleInstance() = default;
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // The running copy's popup, or NULL when there is none: then this process holds the mutex
    // (until it ends) and may become the running copy, unless Undecided() says another copy is
    // still starting and did not show its popup within waitMs.
    HWND FindRunningCopy(DWORD waitMs);
    bool Undecided() const { return m_undecided; }

private:
    CKernelHandle m_mutex;
    bool m_undecided = false;
};
