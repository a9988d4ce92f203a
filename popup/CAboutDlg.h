// The About box, opened from the popup's system menu.
#pragma once
#include "fw/CDialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();
};
