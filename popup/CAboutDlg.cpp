#include "popup/CAboutDlg.h"

#include "app/Resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
