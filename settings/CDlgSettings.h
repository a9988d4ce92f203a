// The settings dialog: refresh interval, notification, the channels the channel menu offers,
// the user's own feeds, which grow by links and files dropped on the list, and the words whose
// items are hidden. It edits its
// members only; the caller gives it the values and takes them back when it ends with OK.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "fw/CDialog.h"
#include "fw/CListBox.h"
#include "fw/CSpinButtonCtrl.h"
#include "fw/CStringArray.h"
#include "settings/COleListBoxDropTarget.h"
#include "settings/CSubscriptionFetch.h"

class CDlgSettings : public CDialog {
public:
    CDlgSettings();

    INT_PTR DoModal() override;

    unsigned m_interval = 0;   // minutes, 1 to 120
    int m_notify = 0;          // check box state
    CStringArray m_feeds;      // the user's own feeds, in list order
    CStringArray m_muteWords;  // words or phrases whose items are hidden, one a line in the box
    CListBox m_feedList;
    // What the last load of a feed came to, shown beside it; empty when it was not loaded.
    std::function<std::string(const std::string& feed)> m_healthOf;
    unsigned m_channels = 0xFFFF; // bit i: channel i is offered (bits 0 to 7)
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
