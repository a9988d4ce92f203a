// The settings dialog: refresh interval, notification, the channels the channel menu offers,
// the user's own feeds, which grow by links and files dropped on the list, and the words whose
// items are hidden. It edits its own copy of the settings; the caller takes the copy back when it
// ends with OK.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "fw/CDialog.h"
#include "fw/CListBox.h"
#include "fw/CSpinButtonCtrl.h"
#include "settings/COleListBoxDropTarget.h"
#include "settings/CSettings.h"
#include "settings/CSubscriptionFetch.h"

class CDlgSettings : public CDialog {
public:
    explicit CDlgSettings(const CSettings& settings);

    INT_PTR DoModal() override;

    // The interval (1 to 120 minutes), the balloon's check box, the channels offered, the
    // user's own feeds in list order and the words whose items are hidden (one a line in the
    // box) as the dialog shows them, and after OK as the user left them.
    CSettings m_settings;
    CListBox m_feedList;
    // What the last load of a feed came to, shown beside it; empty when it was not loaded.
    std::function<std::string(const std::string& feed)> m_healthOf;
    CSpinButtonCtrl m_spin;
    COleListBoxDropTarget m_dropTarget;

    // What the drop target hands over; TRUE when the drop is taken. A link is added as it is
    // dropped (a feed: link as the address it stands for), unless the list holds it already; a
    // link to a subscription list is fetched, and its feeds are added when they come. Files
    // add the feeds of the subscription lists among them and the feeds among them themselves;
    // files that are neither are refused.
    BOOL TakeDroppedLink(const CString& text);
    BOOL TakeDroppedFiles(const std::vector<CString>& files);

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void UpdateListButtons();
    // The health list shows a line for each line of the feed list, scrolled as it is.
    void ShowFeedHealth();
    void ScrollHealthWithFeeds();
    void OnRemoveFeed();
    void OnMoveFeedUp();
    void OnMoveFeedDown();
    void MoveSelectedFeed(int by);
    // Appends the feeds the list does not hold yet, in order.
    void AddFeeds(const std::vector<std::string>& feeds);
    void OnSubscriptionListFetched(WPARAM ticket);

    CSubscriptionFetch m_fetch;
};
