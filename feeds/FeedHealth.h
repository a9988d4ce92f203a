// What the last loads of each feed came to, in words a user understands: "12 items, 14:05",
// "not found (404)", "not a feed", "certificate not trusted", "no answer", "moved to ...". Kept
// in memory for the feeds of the list in use; nothing of it leaves the program.
#pragma once
#include <map>
#include <string>
#include <vector>

// The facts of one load as the download and the parser give them.
struct FeedLoadFacts {
    unsigned status = 0;        // the HTTP status, 0 when no answer came
    long result = 0;            // the system's result code for the download, 0 when it ended well
    bool abandoned = false;     // given up: it stalled or ran past its deadline
    bool downloaded = false;    // the whole document came
    bool parsed = false;        // ... and was read as a feed
    int items = 0;
    std::string redirectedTo;   // the last address a redirect led to, if any
};

enum class FeedHealthKind { Items, NotModified, NotFound, ServerError, NotAFeed, CertificateNotTrusted, NoAnswer };

struct FeedHealth {
    FeedHealthKind kind = FeedHealthKind::NoAnswer;
    unsigned status = 0;
    int items = 0;
    std::string when;       // the time of the load as the user reads times
    std::string movedTo;    // where the feed moved, when a redirect led elsewhere
    int failuresInRow = 0;  // loads in a row that brought no feed, this one included
};

FeedHealthKind ClassifyFeedLoad(const FeedLoadFacts& facts);
bool IsFailure(FeedHealthKind kind);
std::string FeedHealthText(const FeedHealth& health);

// The last load of each feed address.
class CFeedHealthBook {
public:
    // A load ended at the time `when`; the count of failures in a row goes on from the one before.
    const FeedHealth& Record(const std::string& feed, const std::string& requested, const FeedLoadFacts& facts,
                             const std::string& when);
    // The last load of the feed, or null when it was not loaded since it joined the list.
    const FeedHealth* Find(const std::string& feed) const;
    // Forgets the feeds not listed.
    void KeepOnly(const std::vector<std::string>& listed);

private:
    std::map<std::string, FeedHealth> m_feeds;
};

// Failures in a row from which the popup's status line tells of the feed.
const int kFailuresToTell = 3;
