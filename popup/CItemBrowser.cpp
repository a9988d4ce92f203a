#include "popup/CItemBrowser.h"

#include <cstring>
#include <vector>

#include "feeds/CFeedLoader.h"
#include "feeds/WideText.h"
#include "fw/CComPtr.h"
#include "fw/CWinApp.h"
#include "fw/Win32Util.h"
#include "popup/CRSSEditCtrl.h"
#include "popup/CServiceClient.h"
#include "popup/DecisionLog.h"
#include "popup/ItemNavigation.h"
#include "popup/ItemText.h"
#include "popup/MutedItems.h"
#include "popup/PopupMessages.h"
#include "popup/PopupTimers.h"
#include "popup/PresetFeedList.h"

namespace {

const UINT kFirstRefreshMs = 10000;
// The preset list is read up to this size, and given up after this long.
const size_t kPresetBytes = 1024 * 1024;
const DWORD kPresetDeadlineMs = 10000;
const char kPresetPath[] = "/preset_feeds.xml";
// A download-and-parse that failed says this first.
const char kFailedDownload[] = "Failed to download";
// A refresh that has not ended after this long says so in the status line.
const UINT kLoadingNoticeMs = 700;
const char kLoadingText[] = "Loading news...";
// A time of day as the user reads it fits in this many characters.
const int kTimeTextLength = 64;

const UINT kMinuteMs = 60000;

// Refresh interval in milliseconds; out-of-range settings are held to what a timer can do.
UINT RefreshPeriodMs(int minutes)
{
    const int longestMinutes = USER_TIMER_MAXIMUM / kMinuteMs;
    if (minutes < 1)
        minutes = 1;
    if (minutes > longestMinutes)
        minutes = longestMinutes;
    return static_cast<UINT>(minutes) * kMinuteMs;
}

// Runs on the load's own thread, in an apartment of its own, into a feed of its own.
void LoadFeed(CFeed& feed, const CString& url, const CHttpValidators& conditions, CHttpAnswer& answer)
{
    CComApartment com;
    if (com.Entered())
        CFeedLoader(feed).Load(url, conditions, answer);
    else
        feed.m_strError = "Failed to load XML parser";
}

// The system's comparison: case ignored, and accents where the user's locale takes them as
// marks on a letter. Where the system refuses the flags, the portable folding stands in.
bool SystemFinds(const std::wstring& text, const std::wstring& word)
{
    if (text.empty() || word.empty())
        return false;
    ::SetLastError(ERROR_SUCCESS);
    const int at = ::FindNLSStringEx(LOCALE_NAME_USER_DEFAULT, FIND_FROMSTART | NORM_IGNORECASE | LINGUISTIC_IGNOREDIACRITIC,
                                     text.c_str(), static_cast<int>(text.size()), word.c_str(),
                                     static_cast<int>(word.size()), nullptr, nullptr, nullptr, 0);
    if (at >= 0)
        return true;
    return ::GetLastError() != ERROR_SUCCESS && FoldedContains(text, word);
}

} // namespace

CItemBrowser::CItemBrowser() : m_feed(std::make_shared<CFeed>()) {}

CItemBrowser::~CItemBrowser() = default;

void CItemBrowser::Attach(CWnd& popup, IEvents& events, const CSettings& settings, const CServiceClient& service,
                          CRSSEditCtrl& itemView, CStatic& statusLine)
{
    m_popup = popup;
    m_events = &events;
    m_settings = &settings;
    m_itemView = &itemView;
    m_statusLine = &statusLine;
    m_serviceAddress = service.BaseAddress();
    m_serviceDomain = service.Domain();
    m_presetExchange = service.Exchange(kPresetPath, kPresetBytes, kPresetDeadlineMs);
    m_seen.Load(*AfxGetApp());
    ::SetTimer(m_popup, kRefreshTimer, kFirstRefreshMs, nullptr);
}

void CItemBrowser::Stop()
{
    m_load.Cancel();
    m_presetList.Cancel();
    ::KillTimer(m_popup, kRefreshTimer);
    ::KillTimer(m_popup, kLoadingTimer);
    ::KillTimer(m_popup, kPresetDeadlineTimer);
}

void CItemBrowser::LoadFeedList()
{
    if (m_settings->m_preferredChannel == CSettings::kMyFeedsChannel) {
        m_listComing = false;
        m_feedUrls.RemoveAll();
        m_feedUrls.Copy(m_settings->m_myFeeds);
        ForgetFeedsNotListed();
        if (m_refreshWhenListed) {
            m_refreshWhenListed = false;
            RefreshFeed(false);
        }
        return;
    }
    // The list in use stays until the new one has come, so that the steps meanwhile report
    // the feed they show.
    m_listComing = true;
    if (m_presetList.Ask() && !StartPresetList())
        OnPresetList(std::string()); // no list can come: as if it had failed
}

// One preset list is asked for at a time; one asked for meanwhile is asked for once it has come.
bool CItemBrowser::StartPresetList()
{
    const ServiceExchange prepared = m_presetExchange;
    const unsigned ticket = m_presetList.Start(m_popup, WM_PRESET_LIST_ANSWER, [prepared](ServiceExchange& answer) {
        answer = prepared;
        RunServiceExchange(answer);
        // A list cut short by a failure keeps only its whole lines.
        if (!answer.ok)
            answer.body.resize(WholeLinesLength(answer.body.data(), answer.body.size()));
    });
    if (!ticket) {
        LogServiceRequest(prepared.url, false, 0);
        return false;
    }
    m_presetStartedAt = ::GetTickCount64();
    ::SetTimer(m_popup, kPresetDeadlineTimer, kPresetDeadlineMs, nullptr);
    return true;
}

void CItemBrowser::OnPresetListAnswer(WPARAM ticket)
{
    const CAsyncRequest<ServiceExchange>::Answer answer = m_presetList.Take(ticket);
    if (!answer)
        return;
    ::KillTimer(m_popup, kPresetDeadlineTimer);
    LogServiceRequest(answer.result->url, answer.result->ok, answer.result->tookMs);
    if (!answer.overtaken)
        OnPresetList(answer.result->body);
    else if (!StartPresetList())
        OnPresetList(std::string());
}

// The list is given up: nothing of it counts. Its thread ends in its own time, and holds the
// request until then.
void CItemBrowser::OnPresetListDeadline()
{
    ::KillTimer(m_popup, kPresetDeadlineTimer);
    if (!m_presetList.IsWaiting())
        return;
    m_presetList.Cancel();
    LogServiceRequest(m_presetExchange.url, false, static_cast<DWORD>(::GetTickCount64() - m_presetStartedAt));
    OnPresetList(std::string());
}

// The preset list came (or failed: then only the lines read before the failure count).
void CItemBrowser::OnPresetList(const std::string& body)
{
    if (!m_listComing)
        return; // the user's own feeds were chosen since
    m_listComing = false;
    m_feedUrls.RemoveAll();
    ReadPresetSection(body.data(), body.size(), m_settings->m_preferredChannel, m_feedUrls);
    ForgetFeedsNotListed();
    if (m_refreshWhenListed) {
        m_refreshWhenListed = false;
        RefreshFeed(false);
    }
}

std::vector<std::string> CItemBrowser::ListedFeeds() const
{
    std::vector<std::string> listed;
    for (int i = 0; i < m_feedUrls.GetSize(); ++i)
        listed.emplace_back(m_feedUrls[i]);
    return listed;
}

void CItemBrowser::ForgetFeedsNotListed()
{
    const std::vector<std::string> listed = ListedFeeds();
    m_polling.KeepOnly(listed);
    m_health.KeepOnly(listed);
}

void CItemBrowser::RefreshFeed(bool reportView)
{
    if (!HasCurrentFeed())
        m_currentFeed = 0; // how Feed returns from the last feed to the first
    m_reportWhenLoaded = m_reportWhenLoaded || reportView;
    ArmRefreshTimer(); // the next refresh counts from the last one asked for, of any origin
    if (m_listComing) {
        m_refreshWhenListed = true;
        return;
    }
    if (m_load.Ask())
        StartLoad();
}

void CItemBrowser::StartLoad()
{
    if (!HasCurrentFeed())
        m_currentFeed = 0;
    if (!HasCurrentFeed()) {
        // No feed to load: the list is empty.
        ApplyLoad(nullptr);
        return;
    }
    // The channel fields of the feed loaded before stay where the new document supplies none.
    auto feed = std::make_shared<CFeed>();
    feed->m_source.CopyFieldsFrom(m_feed->m_source);
    const CString url = m_feedUrls[m_currentFeed];
    const CFeedPolling::Plan plan = m_polling.PlanLoad(std::string(url), SystemEpochSeconds());
    if (!plan.ask) {
        // The server asked to be left alone for now: the refresh shows what it has.
        ApplyLoad(plan.kept ? plan.kept : feed);
        return;
    }
    m_loadingUrl = url;
    const CHttpValidators conditions = plan.conditions;
    const unsigned ticket = m_load.Start(m_popup, WM_FEED_ANSWER, [feed, url, conditions](FeedAnswer& answer) {
        LoadFeed(*feed, url, conditions, answer.http);
        answer.feed = feed;
    });
    if (!ticket) {
        feed->m_strError = kFailedDownload;
        ApplyLoad(feed);
        return;
    }
    ::SetTimer(m_popup, kLoadingTimer, kLoadingNoticeMs, nullptr);
}

void CItemBrowser::OnFeedAnswer(WPARAM ticket)
{
    const CAsyncRequest<FeedAnswer>::Answer answer = m_load.Take(ticket);
    if (!answer)
        return;
    const FeedAnswer& loaded = *answer.result;
    RecordHealth(loaded);
    if (loaded.feed)
        LogFeedLoad(std::string(m_loadingUrl), loaded.http.status, loaded.feed->m_items.GetSize(),
                    std::string(loaded.feed->m_strError));
    if (answer.overtaken) {
        StartLoad(); // what was asked since is loaded now; this older result is dropped
        return;
    }
    ::KillTimer(m_popup, kLoadingTimer);
    // A feed list rebuilt meanwhile may no longer hold the feed that was loaded.
    if (HasCurrentFeed() && m_feedUrls[m_currentFeed] == m_loadingUrl) {
        // A "not modified" shows the feed kept: no body was read, and the shown item stays.
        ApplyLoad(m_polling.Answered(std::string(m_loadingUrl), SystemEpochSeconds(), loaded.http, loaded.feed));
    } else {
        m_reportWhenLoaded = false;
        ShowChannelTitle();
    }
}

// The end of every refresh: the status line shows the channel's title, and the newest item that
// no mute word hides is put on display when it is new. A load that failed has no items: the
// no-feeds page; a feed whose items are all hidden says so.
void CItemBrowser::ApplyLoad(const std::shared_ptr<CFeed>& loaded)
{
    if (loaded)
        m_feed = loaded;
    else
        m_feed->m_items.RemoveAll();
    ShowChannelTitle();
    KeepUnmutedItems();
    ShowNewestOrPage(true);
    ArmRefreshTimer();
    if (m_reportWhenLoaded) {
        m_reportWhenLoaded = false;
        ReportView();
    }
}

void CItemBrowser::KeepUnmutedItems()
{
    std::vector<std::wstring> words;
    for (int i = 0; i < m_settings->m_muteWords.GetSize(); ++i)
        words.push_back(AnsiToWide(m_settings->m_muteWords[i]));
    const CArray<CFeedItem, CFeedItem>& all = m_feed->m_items;
    m_items.clear();
    for (int i : UnmutedIndexes(all.GetSize(), [&](int at) {
             return !words.empty() &&
                    IsMuted(AnsiToWide(all[at].m_strTitle), AnsiToWide(all[at].m_strDescription), words, SystemFinds);
         }))
        m_items.push_back(all[i]);
}

// The newest item goes on display when it is not the one put there last; with announce, a
// balloon may tell of it.
void CItemBrowser::ShowNewestOrPage(bool announce)
{
    if (m_items.empty()) {
        if (m_feed->m_items.GetSize() > 0) {
            ShowPage(AllMutedRtf(), CString());
            m_shownTitle = m_shownPubDate = CString(); // no item is on display
            m_newestTitle = m_newestPubDate = CString(); // one shown again later is new on display
        } else {
            ShowPage(NoFeedsRtf(m_serviceDomain), m_serviceAddress);
        }
        return;
    }
    const CFeedItem newest = m_items.back();
    if (newest.m_strTitle != m_newestTitle || newest.m_strPubDate != m_newestPubDate) {
        ShowItem(newest);
        if (announce)
            Announce(newest);
        m_newestTitle = newest.m_strTitle;
        m_newestPubDate = newest.m_strPubDate;
    }
}

void CItemBrowser::ApplyMuteWords()
{
    KeepUnmutedItems();
    if (FindShownItem() >= 0)
        return; // the item on display is not hidden: it stays
    m_newestTitle = m_newestPubDate = CString();
    ShowNewestOrPage(false);
}

// The newest item was put on display: the popup is told, unless the user was shown it before, in
// this run or an earlier one.
void CItemBrowser::Announce(const CFeedItem& newest)
{
    if (!HasCurrentFeed())
        return;
    const std::string feed(m_feedUrls[m_currentFeed]);
    const std::string title(newest.m_strTitle), date(newest.m_strPubDate);
    if (m_seen.IsSeen(feed, title, date))
        return;
    m_events->OnNewItem(newest);
    m_seen.MarkSeen(*AfxGetApp(), feed, title, date, ListedFeeds());
}

// What the load of m_loadingUrl came to, with the time it ended as the user reads times.
void CItemBrowser::RecordHealth(const FeedAnswer& answer)
{
    const CFeed& feed = *answer.feed;
    FeedLoadFacts facts;
    facts.status = answer.http.status;
    facts.result = answer.http.result;
    facts.abandoned = answer.http.abandoned;
    facts.redirectedTo = answer.http.redirectedTo;
    facts.downloaded = facts.status != 304
                       && std::strncmp(feed.m_strError, kFailedDownload, sizeof kFailedDownload - 1) != 0;
    facts.parsed = facts.downloaded && feed.m_strError.IsEmpty();
    facts.items = feed.m_items.GetSize();
    char when[kTimeTextLength] = "";
    if (!::GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, when, sizeof when))
        when[0] = '\0';
    const std::string url(m_loadingUrl);
    m_health.Record(url, url, facts, when);
}

std::string CItemBrowser::HealthTextOf(const std::string& feed) const
{
    const FeedHealth* health = m_health.Find(feed);
    return health ? FeedHealthText(*health) : std::string();
}

std::string CItemBrowser::ListHealthText() const
{
    std::string text;
    for (int i = 0; i < m_feedUrls.GetSize(); ++i) {
        if (i == kListedHealthLines) {
            text += "\r\nand " + std::to_string(m_feedUrls.GetSize() - i) + " more";
            break;
        }
        const std::string feed(m_feedUrls[i]);
        const std::string health = HealthTextOf(feed);
        text += (text.empty() ? "" : "\r\n") + feed + ": " + (health.empty() ? "not loaded yet" : health);
    }
    return text;
}

// The channel's title; a feed whose loads failed time after time says so instead.
void CItemBrowser::ShowChannelTitle()
{
    const FeedHealth* health = HasCurrentFeed() ? m_health.Find(std::string(m_feedUrls[m_currentFeed])) : nullptr;
    if (health && health->failuresInRow >= kFailuresToTell) {
        const std::string text = "This feed failed " + std::to_string(health->failuresInRow) +
                                 " loads in a row: " + FeedHealthText(*health);
        m_statusLine->SetWindowText(text.c_str());
        return;
    }
    m_statusLine->SetWindowText(m_feed->m_source.m_strTitle);
}

void CItemBrowser::ArmRefreshTimer()
{
    ::SetTimer(m_popup, kRefreshTimer, RefreshPeriodMs(m_settings->m_interval), nullptr);
}

// A page that is no item (all muted, no feeds); the feed of the item shown before stays.
void CItemBrowser::ShowPage(const char* rtf, const CString& link)
{
    m_shownLink = link;
    m_itemView->ShowText(rtf, std::wstring(), link);
}

void CItemBrowser::ShowItem(const CFeedItem& item)
{
    m_shownLink = item.m_strLink;
    // After the settings changed the feed list, the current feed may be gone.
    m_shownFeed = HasCurrentFeed() ? m_feedUrls[m_currentFeed] : CString();
    // The rich text is made of UTF-8, whatever code page this Windows gives the program.
    m_itemView->ShowText(ItemRtf(AnsiToUtf8(item.m_strTitle), AnsiToUtf8(item.m_strDescription)),
                         AnsiToWide(item.m_strTitle), m_shownLink);
    m_shownTitle = item.m_strTitle;
    m_shownPubDate = item.m_strPubDate;
}

// The index of the shown item among the loaded feed's unmuted items (the first of equal keys), or -1.
int CItemBrowser::FindShownItem() const
{
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const CFeedItem& item = m_items[i];
        if (item.m_strTitle == m_shownTitle && item.m_strPubDate == m_shownPubDate)
            return static_cast<int>(i);
    }
    return -1;
}

void CItemBrowser::ShowNextItem()
{
    const int target = OlderItemIndex(FindShownItem(), static_cast<int>(m_items.size()));
    if (target < 0) {
        ::MessageBeep(kSimpleBeep);
        return;
    }
    ShowItem(m_items[target]);
    ReportView();
}

void CItemBrowser::ShowPreviousItem()
{
    const int target = NewerItemIndex(FindShownItem(), static_cast<int>(m_items.size()));
    if (target < 0) {
        ::MessageBeep(kSimpleBeep);
        return;
    }
    ShowItem(m_items[target]);
    ReportView();
}

void CItemBrowser::ShowNextFeed()
{
    ++m_currentFeed;
    RefreshFeed(true);
}

void CItemBrowser::SwitchChannel()
{
    m_currentFeed = 0;
    LoadFeedList();
    RefreshFeed(true);
}

void CItemBrowser::ReportView()
{
    if (HasCurrentFeed())
        m_events->OnFeedViewed(m_feedUrls[m_currentFeed]);
}

bool CItemBrowser::OnMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_FEED_ANSWER:
        OnFeedAnswer(wParam);
        return true;
    case WM_PRESET_LIST_ANSWER:
        OnPresetListAnswer(wParam);
        return true;
    case WM_TIMER:
        if (wParam == kRefreshTimer) {
            RefreshFeed(false);
        } else if (wParam == kLoadingTimer) {
            ::KillTimer(m_popup, kLoadingTimer);
            if (m_load.IsWaiting())
                m_statusLine->SetWindowText(kLoadingText);
        } else if (wParam == kPresetDeadlineTimer) {
            OnPresetListDeadline();
        } else {
            return false;
        }
        return true;
    default:
        return false;
    }
}
