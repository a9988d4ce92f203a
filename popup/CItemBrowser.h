// The news in the popup: the feed list of the chosen channel, the loaded feed, and the user's
// way through it. A refresh loads the current feed on a thread of its own and puts its newest
// item on display when it is new (telling the popup of an item the user was not shown before);
// Previous and Next step through the loaded items; Feed goes on to the next feed of the list.
// The feed list of a channel comes from the service's preset list, which the news asks for in
// the background (given up after a deadline, as if it had failed): a refresh asked for meanwhile
// waits for it.
//
// A refresh asked for while another loads waits for that load to end and then loads what is
// current, and the earlier load's result is dropped. Feeds are polled politely: a feed read
// before is asked for only if it changed, and a server that asked to be left alone is. Every
// path of a refresh ends with the display brought up to date and the refresh timer re-armed: a failed or abandoned download
// gives the no-feeds page.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "feeds/CFeed.h"
#include "feeds/CFeedPolling.h"
#include "feeds/FeedHealth.h"
#include "fw/CAsyncRequest.h"
#include "fw/CStatic.h"
#include "fw/CString.h"
#include "fw/CStringArray.h"
#include "popup/ServiceExchange.h"
#include "settings/CSeenItems.h"
#include "settings/CSettings.h"

class CRSSEditCtrl;
class CServiceClient;

class CItemBrowser {
public:
    // What the news tells the popup, which decides what follows.
    class IEvents {
    public:
        // An item the user was not shown before, in this run or an earlier one, came on display.
        virtual void OnNewItem(const CFeedItem& item) = 0;
        // The user was shown an item of this feed (a refresh asked to report it, or a step).
        virtual void OnFeedViewed(const CString& feed) = 0;

    protected:
        ~IEvents() = default;
    };

    CItemBrowser();
    ~CItemBrowser(); // never waits for a load

    // Once the popup's window exists: the news is shown in its item view and status line, and
    // its answers and timers come to the popup. The first refresh comes 10 s later. The items
    // seen before are read from the profile. All outlive this object's use.
    void Attach(CWnd& popup, IEvents& events, const CSettings& settings, const CServiceClient& service,
                CRSSEditCtrl& itemView, CStatic& statusLine);
    // The popup's window goes: loads and lists still on their way are not applied.
    void Stop();

    // Rebuilds the feed list for the chosen channel: the user's own feeds at once, or the
    // channel's section of the preset list once it has come from the service. Does not refresh.
    void LoadFeedList();

    // Reloads the current feed. With reportView, the view of the current feed is reported once
    // the refresh has ended.
    void RefreshFeed(bool reportView);
    // The words of the link bar.
    void ShowPreviousItem();
    void ShowNextItem();
    void ShowNextFeed();
    // A channel was chosen: its list from the first feed, refreshed and reported.
    void SwitchChannel();
    // The mute words changed: the items they hide now go from display and from the steps, and
    // the ones they no longer hide come back.
    void ApplyMuteWords();

    // The link the item view opens when clicked (empty when it opens none), and the feed of the
    // item shown.
    const CString& ShownLink() const { return m_shownLink; }
    const CString& ShownFeed() const { return m_shownFeed; }

    // What the last load of a feed of the list came to, in the user's words; empty when it was
    // not loaded since it joined the list.
    std::string HealthTextOf(const std::string& feed) const;
    // The feeds of the list in use, each with what its last load came to, one a line (at most
    // kListedHealthLines of them, then how many more).
    std::string ListHealthText() const;
    static constexpr int kListedHealthLines = 12;

    // The preset list's and the feeds' answers, their timers; false for any other message.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct FeedAnswer {
        std::shared_ptr<CFeed> feed;
        CHttpAnswer http;
    };

    bool StartPresetList();
    void OnPresetListAnswer(WPARAM ticket);
    void OnPresetListDeadline();
    void OnPresetList(const std::string& body);
    void StartLoad();
    void OnFeedAnswer(WPARAM ticket);
    void ApplyLoad(const std::shared_ptr<CFeed>& loaded);
    void ShowChannelTitle();
    void ArmRefreshTimer();
    void ShowPage(const char* rtf, const CString& link);
    void ShowItem(const CFeedItem& item);
    void ShowNewestOrPage(bool announce);
    void KeepUnmutedItems();
    int FindShownItem() const;
    void ReportView();
    void ForgetFeedsNotListed();
    std::vector<std::string> ListedFeeds() const;
    void Announce(const CFeedItem& newest);
    void RecordHealth(const FeedAnswer& answer);
    bool HasCurrentFeed() const { return m_currentFeed >= 0 && m_currentFeed < m_feedUrls.GetSize(); }

    HWND m_popup = nullptr;
    IEvents* m_events = nullptr;
    const CSettings* m_settings = nullptr;
    CRSSEditCtrl* m_itemView = nullptr;
    CStatic* m_statusLine = nullptr;
    CString m_serviceAddress, m_serviceDomain; // the no-feeds page names and opens the service

    std::shared_ptr<CFeed> m_feed;
    std::vector<CFeedItem> m_items;  // the items of m_feed that no mute word hides, oldest first
    CStringArray m_feedUrls;
    int m_currentFeed = 0;
    CString m_newestTitle, m_newestPubDate;
    CString m_shownTitle, m_shownPubDate;
    CString m_shownLink, m_shownFeed;
    CSeenItems m_seen;               // the newest item put on display, per feed, kept across starts

    CFeedPolling m_polling;         // what is kept of each feed of the list between downloads
    CFeedHealthBook m_health;       // the last load of each feed of the list
    CAsyncRequest<FeedAnswer> m_load;
    CString m_loadingUrl;            // the feed the running load reads
    bool m_reportWhenLoaded = false; // the refresh under way ends with a view report

    ServiceExchange m_presetExchange; // the preset list's address and the program's name
    CAsyncRequest<ServiceExchange> m_presetList;
    unsigned long long m_presetStartedAt = 0;
    bool m_listComing = false;        // the preset list was asked for and has not come
    bool m_refreshWhenListed = false; // a refresh waits for it
};
