// The popup news window: the program's one top-level window, run modally for the life of
// the process. It stays out of sight until a window announcing a long operation appears,
// then docks below that window, as wide as it and topmost.
//
// The window owns all the popup's state and routes its messages; the concerns are collaborators
// it holds by value, each answering only its own messages and making its own requests: the
// placement beside the watched window, the news (feed list, refresh, items, steps), the reports
// to the service and the sponsor picture. What crosses concerns is decided here: the balloon of
// a new item, the report of a view or a click, a fresh picture at every docking. Nothing here
// waits: requests run on threads of their own and come back as messages.
#pragma once
#include <functional>

#include "fw/CAccessibleStatic.h"
#include "fw/CDialog.h"
#include "fw/CScopedHandle.h"
#include "fw/CStatic.h"
#include "popup/CItemBrowser.h"
#include "popup/CLinkBar.h"
#include "popup/CPopupLayout.h"
#include "popup/CPopupPlacement.h"
#include "popup/CRSSEditCtrl.h"
#include "popup/CServiceClient.h"
#include "popup/CSponsorPicture.h"
#include "settings/CDlgSettings.h"
#include "settings/CSettings.h"
#include "tray/CSystemTray.h"

class CNimbrelDlg : public CDialog, private CItemBrowser::IEvents, private CPopupPlacement::IEvents {
public:
    // onCaptioned runs once the window has its main caption, by which other programs find it,
    // and installs the watch hook: true when the hook is in place.
    explicit CNimbrelDlg(std::function<bool()> onCaptioned = nullptr);
    ~CNimbrelDlg() override = default;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HICON m_icon = nullptr;
    CGdiObject m_textFont;
    CGdiObject m_linkFont;
    CSettings m_settings;
    CSystemTray m_tray;
    CRSSEditCtrl m_itemView;
    CLinkBar m_linkBar;
    CStatic m_statusLine;
    CAccessibleStatic m_menuIcon;
    int m_dpi = 96;
    CServiceClient m_service;
    CPopupPlacement m_placement;
    CItemBrowser m_browser;
    CSponsorPicture m_sponsor;
    CPopupLayout m_layout;
    std::function<bool()> m_onCaptioned;
    // The settings dialog while it is open: a second Settings command brings it to the front.
    CDlgSettings* m_settingsDlg = nullptr;
    // The menu icon's tooltip: the channel's feeds and how their last loads went.
    HWND m_menuTip = nullptr;

    // What crosses concerns
    bool OnOwnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void OnNewItem(const CFeedItem& item) override;
    void OnFeedViewed(const CString& feed) override;
    void OnDocked() override;
    void OnItemClicked();

    // Set-up
    void AddAboutToSystemMenu();
    void CreateFonts();
    void SetUpKeyboardAndScreenReaders();
    void LayOutAgain();
    void FocusSponsorArea();
    void AddMenuIconTip();
    void UpdateMenuIconTip();
    void OnDpiChanged(WPARAM dpis, LPARAM suggestion);

    void OnDestroy();

    // Commands
    void OnView();
    void OnSettings();
    void OnMenuIconClicked();
    void OnLinkBarStep(LinkBarWord word);
    void OnExit();
};
