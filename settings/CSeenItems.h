// The newest item of each feed that was already put on display, kept in the profile's "Seen"
// section beside the settings, so that a start does not announce again what the user was shown
// before. An entry is a feed address with the item's title and date; only the feeds of the list
// in use are kept, and no more than kMaxEntries of them, each value cut to kMaxValueLength.
#pragma once
#include <string>
#include <vector>

#include "fw/CProfileStore.h"

class CSeenItems {
public:
    static constexpr int kMaxEntries = 100;
    static constexpr std::size_t kMaxValueLength = 2048;

    // Reads the entries up to the first absent or empty address; a failed read leaves none.
    void Load(CProfileStore& profile);

    // Whether this item is the one last put on display for that feed.
    bool IsSeen(const std::string& feed, const std::string& title, const std::string& date) const;

    // Remembers the item as the one on display for the feed, forgets the feeds that are not in
    // listed, and writes the whole section back. A failed write changes nothing else.
    void MarkSeen(CProfileStore& profile, const std::string& feed, const std::string& title, const std::string& date,
                  const std::vector<std::string>& listed);

    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        std::string feed, title, date;
    };
    std::vector<Entry> m_entries;
    int m_stored = 0; // how many entries the profile holds, as last read or written

    void Save(CProfileStore& profile);
};
