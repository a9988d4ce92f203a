// The popup news window: the program's one top-level window, run modally for the life of
// the process. It stays out of sight until a window announcing a long operation appears,
// then docks below that window, as wide as it and topmost.
#pragma once
#include "app/CSettings.h"
#include "feeds/CFeed.h"
#include "fw/CImage.h"
#include "fw/CDialog.h"
#include "fw/CStatic.h"
#include "fw/CString.h"
#include "fw/CStringArray.h"
#include "popup/CRSSEditCtrl.h"
#include "popup/CServiceClient.h"
#include "settings/CDlgSettings.h"
#include "popup/CTitleWatchList.h"
#include "tray/CSystemTray.h"

class CNimbrelDlg : public CDialog {
public:
    CNimbrelDlg();
    ~CNimbrelDlg() override;

    // The two moments the settings are written: after the settings dialog (oldFeedCount is the
    // length of m_myFeeds when it opened) and after the channel menu.
    void SaveSettings(int oldFeedCount);
    void SavePreferredChannel();

    // Rebuilds m_feedUrls for the chosen channel: the user's own feeds, or the channel's
    // section of the service's preset list. Does not refresh.
    void LoadFeedList();

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnCancel() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HICON m_icon = nullptr;
    UINT_PTR m_timerId = 0;
    HFONT m_textFont = nullptr;
    HFONT m_linkFont = nullptr;
    CString m_newestTitle, m_newestPubDate;
    CString m_shownTitle, m_shownPubDate;
    BOOL m_popupVisible = FALSE;
    int m_interval = 1;
    BOOL m_notify = TRUE;
    int m_channels = 0xFFFF;
    CStringArray m_feedUrls;
    CStringArray m_myFeeds;
    CSystemTray m_tray;
    CImage m_sponsorImage;
    RECT m_savedRect = {};
    HWND m_watchedWnd = nullptr;
    bool m_watchedAlive = false;
    RECT m_placedBeside = {}; // the watched window's rectangle at the last placement
    CRSSEditCtrl m_itemView;
    CStatic m_linkBar;
    CStatic m_statusLine;
    CStatic m_menuIcon;
    CFeed m_feed;
    int m_currentFeed = 0;
    int m_preferredChannel = 0;
    int m_dpi = 96;
    CServiceClient m_service;
    CTitleWatchList m_titleWatch;

    // Set-up
    void LoadSettings();
    CSettings CurrentSettings() const;
    void AddAboutToSystemMenu();
    void CreateFonts();
    void MoveOutOfSight();
    void FocusSponsorArea();

    // Appearance
    void OnSize(int cx, int cy);
    void OnPaint();
    LRESULT OnNcHitTest(LPARAM lParam);
    bool OnSetCursor();
    LRESULT OnCtlColor(UINT message, HDC dc, HWND control);
    void OnDrawItem(const DRAWITEMSTRUCT& item);
    void OnSysCommand(WPARAM command, LPARAM lParam);
    void HideAndRemember();
    void OnDestroy();
    int Px(int pixelsAt96Dpi) const;

    // Watch events and placement
    void OnWatchCreated(HWND window);
    void OnWatchPlace(HWND window);
    void OnWatchDestroyed(HWND window);
    void OnTimer();
    void OnSettleTimer();
    bool HasLongOperationTitle(HWND window);
    void Accompany(HWND window);
    void WatchTitle(HWND window);
    void OnTitleTimer();

    // Commands
    void OnView();
    void OnSettings();
    void OnMenuIconClicked();
    // The settings dialog while it is open: a second Settings command brings it to the front.
    CDlgSettings* m_settingsDlg = nullptr;

    // Items and navigation
    void RefreshFeed();
    void ShowItem(const CFeedItem& item);
    void ShowNextItem();
    void ShowPreviousItem();
    void OnLinkBarClicked();
    int FindShownItem() const;

    // Service requests
    void ReportView();
    void FetchSponsorImage();
};
