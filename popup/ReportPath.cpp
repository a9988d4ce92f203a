#include "popup/ReportPath.h"

#include "feeds/FeedDiscovery.h"
#include "popup/WebLink.h"

namespace {

// The text without the blanks and control characters around it (a preset list with CR LF line
// ends leaves a CR at the end of each address), as a query is written.
std::string Trimmed(const char* text)
{
    const CString trimmed = TrimLink(text);
    return std::string(trimmed.GetString(), trimmed.GetLength());
}

} // namespace

bool IsReportableFeed(const char* feedUrl)
{
    return IsHttpUrl(Trimmed(feedUrl));
}

std::string ViewReportPath(const char* feedUrl)
{
    if (!IsReportableFeed(feedUrl))
        return std::string();
    return "/clicks.php?action=view&feed=" + PercentEncode(Trimmed(feedUrl), LinkEscapes::Query);
}

std::string ClickReportPath(const char* feedUrl, const char* link)
{
    const std::string feed = Trimmed(feedUrl);
    if (!IsWebLink(link) || (!feed.empty() && !IsHttpUrl(feed)))
        return std::string();
    return "/clicks.php?action=browse&feed=" + PercentEncode(feed, LinkEscapes::Query) +
           "&url=" + PercentEncode(Trimmed(link), LinkEscapes::Query);
}
