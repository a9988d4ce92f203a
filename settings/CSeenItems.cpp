#include "settings/CSeenItems.h"

#include <algorithm>

namespace {

const char kSection[] = "Seen";

std::string Name(const char* kind, int number)
{
    return kind + std::to_string(number);
}

// Values are cut on store and on comparison alike, so that a long title still matches itself.
std::string Cut(const std::string& value)
{
    return value.substr(0, std::min(value.size(), CSeenItems::kMaxValueLength));
}

} // namespace

void CSeenItems::Load(CProfileStore& profile)
{
    m_entries.clear();
    for (int number = 1; number <= kMaxEntries; ++number) {
        const CString feed = profile.GetProfileString(kSection, Name("Feed", number).c_str(), "");
        if (feed.IsEmpty())
            break;
        Entry entry;
        entry.feed = Cut(feed.GetString());
        entry.title = Cut(profile.GetProfileString(kSection, Name("Title", number).c_str(), "").GetString());
        entry.date = Cut(profile.GetProfileString(kSection, Name("Date", number).c_str(), "").GetString());
        m_entries.push_back(entry);
    }
    m_stored = static_cast<int>(m_entries.size());
}

bool CSeenItems::IsSeen(const std::string& feed, const std::string& title, const std::string& date) const
{
    const std::string cutFeed = Cut(feed);
    for (const Entry& entry : m_entries) {
        if (entry.feed == cutFeed)
            return entry.title == Cut(title) && entry.date == Cut(date);
    }
    return false;
}

void CSeenItems::MarkSeen(CProfileStore& profile, const std::string& feed, const std::string& title,
                          const std::string& date, const std::vector<std::string>& listed)
{
    if (feed.empty())
        return;
    std::vector<Entry> kept;
    for (const Entry& entry : m_entries) {
        const bool listedStill = std::any_of(listed.begin(), listed.end(),
                                             [&entry](const std::string& url) { return Cut(url) == entry.feed; });
        if (entry.feed != Cut(feed) && listedStill)
            kept.push_back(entry);
    }
    // The newest goes first: when the list is longer than the bound, the longest unseen go.
    kept.insert(kept.begin(), Entry{Cut(feed), Cut(title), Cut(date)});
    if (kept.size() > static_cast<std::size_t>(kMaxEntries))
        kept.resize(kMaxEntries);
    m_entries.swap(kept);
    Save(profile);
}

// The entries are written in order; the ones past the new end that the profile held go, and so
// does the one right after the new end, so that the next start reads exactly this list.
void CSeenItems::Save(CProfileStore& profile)
{
    int number = 0;
    for (const Entry& entry : m_entries) {
        ++number;
        profile.WriteProfileString(kSection, Name("Feed", number).c_str(), entry.feed.c_str());
        profile.WriteProfileString(kSection, Name("Title", number).c_str(), entry.title.c_str());
        profile.WriteProfileString(kSection, Name("Date", number).c_str(), entry.date.c_str());
    }
    const int last = std::max(m_stored, number + 1);
    for (int gone = number + 1; gone <= last && gone <= kMaxEntries; ++gone) {
        profile.WriteProfileString(kSection, Name("Feed", gone).c_str(), nullptr);
        profile.WriteProfileString(kSection, Name("Title", gone).c_str(), nullptr);
        profile.WriteProfileString(kSection, Name("Date", gone).c_str(), nullptr);
    }
    m_stored = number;
}
