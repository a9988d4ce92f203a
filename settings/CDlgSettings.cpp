#include "settings/CDlgSettings.h"

#include "fw/Win32Util.h"
#include "res/Resource.h"
#include "settings/CSettings.h"
#include "settings/FeedListRules.h"
#include "settings/MuteWordList.h"
#include "settings/SubscriptionList.h"

namespace {

const unsigned kShortestInterval = 1;
const unsigned kLongestInterval = 120;

void Beep()
{
    ::MessageBeep(kSimpleBeep);
}

std::string DialogItemText(HWND dialog, int id)
{
    HWND item = ::GetDlgItem(dialog, id);
    const int length = item ? ::GetWindowTextLengthA(item) : 0;
    if (length <= 0)
        return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextA(item, &text[0], length + 1)));
    return text;
}

} // namespace

CDlgSettings::CDlgSettings(const CSettings& settings) : CDialog(IDD_SETTINGS), m_settings(settings) {}

INT_PTR CDlgSettings::DoModal()
{
    CSpinButtonCtrl::RegisterWindowClass();
    return CDialog::DoModal();
}

void CDlgSettings::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    // The box holds an unsigned number: a stored interval below zero shows as the large number
    // it is read as, which OK refuses.
    unsigned interval = static_cast<unsigned>(m_settings.m_interval);
    DDX_Text(pDX, IDC_INTERVAL, interval);
    DDV_MinMaxUInt(pDX, interval, kShortestInterval, kLongestInterval);
    m_settings.m_interval = static_cast<int>(interval);
    DDX_Control(pDX, IDC_INTERVAL_SPIN, m_spin);
    DDX_Check(pDX, IDC_NOTIFY, m_settings.m_notify);
    DDX_Control(pDX, IDC_FEED_LIST, m_feedList);
    CStringArray& feeds = m_settings.m_myFeeds;
    CStringArray& muteWords = m_settings.m_muteWords;
    int& channels = m_settings.m_channels; // bits beyond the channels stay as they are
    if (!pDX->m_bSaveAndValidate) {
        for (int i = 0; i < feeds.GetSize(); ++i)
            m_feedList.AddString(feeds[i]);
        for (int i = 0; i < CSettings::kChannelCount; ++i)
            ::CheckDlgButton(m_hWnd, IDC_CHANNEL_FIRST + i, (channels >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
        std::vector<std::string> words;
        for (int i = 0; i < muteWords.GetSize(); ++i)
            words.emplace_back(muteWords[i].GetString());
        ::SetDlgItemTextA(m_hWnd, IDC_MUTE_WORDS, MuteWordsText(words).c_str());
    } else {
        feeds.RemoveAll();
        for (int i = 0; i < m_feedList.GetCount(); ++i)
            feeds.Add(m_feedList.GetText(i));
        for (int i = 0; i < CSettings::kChannelCount; ++i) {
            const int bit = 1 << i;
            if (::IsDlgButtonChecked(m_hWnd, IDC_CHANNEL_FIRST + i) == BST_CHECKED)
                channels |= bit;
            else
                channels &= ~bit;
        }
        muteWords.RemoveAll();
        for (const std::string& word : MuteWordsFromText(DialogItemText(m_hWnd, IDC_MUTE_WORDS)))
            muteWords.Add(word.c_str());
    }
}

// The focus starts on OK, the first control.
BOOL CDlgSettings::OnInitDialog()
{
    CDialog::OnInitDialog();
    // The range OK accepts, so that the up arrow raises the number.
    m_spin.SetRange32(static_cast<int>(kShortestInterval), static_cast<int>(kLongestInterval));
    m_dropTarget.Register(this); // without it the dialog simply takes no drops
    // Room for every word the list keeps, with its line break.
    ::SendDlgItemMessageA(m_hWnd, IDC_MUTE_WORDS, EM_SETLIMITTEXT,
                          CSettings::kMaxMuteWords * (CSettings::kMaxMuteWordLength * 4 + 2), 0);
    UpdateListButtons();
    return TRUE;
}

BOOL CDlgSettings::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (id == IDC_FEED_LIST && code == LBN_SELCHANGE) {
        UpdateListButtons();
        return TRUE;
    }
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_REMOVE_FEED:
            OnRemoveFeed();
            return TRUE;
        case IDC_MOVE_FEED_UP:
            OnMoveFeedUp();
            return TRUE;
        case IDC_MOVE_FEED_DOWN:
            OnMoveFeedDown();
            return TRUE;
        default:
            break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

bool CDlgSettings::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT&)
{
    switch (message) {
    case CSubscriptionFetch::kFetchedMessage:
        OnSubscriptionListFetched(wParam);
        return true;
    case WM_TIMER:
        if (wParam != CSubscriptionFetch::kDeadlineTimer)
            return false;
        m_fetch.Cancel(m_hWnd); // too late: whatever comes now is not added
        Beep();
        return true;
    case WM_DESTROY:
        m_fetch.Cancel(m_hWnd);
        return false;
    case WM_CTLCOLORLISTBOX:
        // Each list asks for its colours as it paints, a scrolled one too: the health list
        // keeps the feed list's first line.
        ScrollHealthWithFeeds();
        return false;
    default:
        return false;
    }
}

void CDlgSettings::ShowFeedHealth()
{
    HWND health = GetDlgItem(IDC_FEED_HEALTH);
    if (!health)
        return;
    ::SendMessageA(health, WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(health, LB_RESETCONTENT, 0, 0);
    for (int i = 0; i < m_feedList.GetCount(); ++i) {
        const CString feed = m_feedList.GetText(i);
        std::string text = m_healthOf ? m_healthOf(std::string(feed.GetString(), feed.GetLength())) : std::string();
        if (text.empty())
            text = "not loaded yet";
        ::SendMessageA(health, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    ::SendMessageA(health, WM_SETREDRAW, TRUE, 0);
    ScrollHealthWithFeeds();
    ::InvalidateRect(health, nullptr, TRUE);
}

void CDlgSettings::ScrollHealthWithFeeds()
{
    HWND health = GetDlgItem(IDC_FEED_HEALTH);
    const LRESULT top = m_feedList.m_hWnd ? ::SendMessageA(m_feedList.m_hWnd, LB_GETTOPINDEX, 0, 0) : 0;
    if (health && top >= 0 && ::SendMessageA(health, LB_GETTOPINDEX, 0, 0) != top)
        ::SendMessageA(health, LB_SETTOPINDEX, static_cast<WPARAM>(top), 0);
}

void CDlgSettings::UpdateListButtons()
{
    const ListButtons buttons = ListButtonsFor(m_feedList.GetCurSel(), m_feedList.GetCount());
    ::EnableWindow(GetDlgItem(IDC_MOVE_FEED_UP), buttons.moveUp);
    ::EnableWindow(GetDlgItem(IDC_MOVE_FEED_DOWN), buttons.moveDown);
    ::EnableWindow(GetDlgItem(IDC_REMOVE_FEED), buttons.remove);
    ShowFeedHealth();
}

// The item that followed the removed one takes its place in the selection.
void CDlgSettings::OnRemoveFeed()
{
    const int selection = m_feedList.GetCurSel();
    if (!ListButtonsFor(selection, m_feedList.GetCount()).remove) {
        Beep();
        return;
    }
    m_feedList.DeleteString(selection);
    m_feedList.SetCurSel(selection < m_feedList.GetCount() ? selection : -1);
    UpdateListButtons();
}

void CDlgSettings::OnMoveFeedUp()
{
    if (!ListButtonsFor(m_feedList.GetCurSel(), m_feedList.GetCount()).moveUp) {
        Beep();
        return;
    }
    MoveSelectedFeed(-1);
}

void CDlgSettings::OnMoveFeedDown()
{
    if (!ListButtonsFor(m_feedList.GetCurSel(), m_feedList.GetCount()).moveDown) {
        Beep();
        return;
    }
    MoveSelectedFeed(+1);
}

void CDlgSettings::MoveSelectedFeed(int by)
{
    const int selection = m_feedList.GetCurSel();
    const CString text = m_feedList.GetText(selection);
    m_feedList.DeleteString(selection);
    m_feedList.InsertString(selection + by, text);
    m_feedList.SetCurSel(selection + by);
    UpdateListButtons();
}

BOOL CDlgSettings::TakeDroppedLink(const CString& text)
{
    const std::string address = FeedLinkAddress(std::string(text.GetString(), text.GetLength()));
    if (IsSubscriptionListLink(address))
        return m_fetch.Start(m_hWnd, {address}); // refused while another list is on its way
    CStringArray items;
    for (int i = 0; i < m_feedList.GetCount(); ++i)
        items.Add(m_feedList.GetText(i));
    if (FindFeedIgnoringCase(items, address.c_str()) >= 0)
        return TRUE;
    const bool added = m_feedList.AddString(address.c_str()) >= 0;
    ShowFeedHealth();
    return added;
}

// Files on this machine are read at once; files on another machine wait for the fetch.
BOOL CDlgSettings::TakeDroppedFiles(const std::vector<CString>& files)
{
    std::vector<std::string> feeds, elsewhere;
    for (const CString& file : files) {
        std::string document;
        if (IsNetworkPath(file))
            elsewhere.push_back(file.GetString());
        else if (ReadWholeFile(file, document, kLargestSubscriptionList))
            for (const std::string& feed : FeedsOfDroppedDocument(document, file.GetString()))
                feeds.push_back(feed);
    }
    const bool fetching = !elsewhere.empty() && m_fetch.Start(m_hWnd, elsewhere);
    if (feeds.empty() && !fetching)
        return FALSE;
    AddFeeds(feeds);
    return TRUE;
}

void CDlgSettings::AddFeeds(const std::vector<std::string>& feeds)
{
    CStringArray items;
    for (int i = 0; i < m_feedList.GetCount(); ++i)
        items.Add(m_feedList.GetText(i));
    for (const CString& feed : NewFeeds(items, feeds))
        m_feedList.AddString(feed);
    ShowFeedHealth();
}

// The feeds of a list that was fetched; a list that could not be had, or named none, is
// answered with the beep a refused drop gets.
void CDlgSettings::OnSubscriptionListFetched(WPARAM ticket)
{
    std::vector<std::string> feeds;
    if (!m_fetch.Finish(m_hWnd, ticket, feeds))
        return;
    if (feeds.empty())
        Beep();
    AddFeeds(feeds);
}
