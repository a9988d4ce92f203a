#include "popup/ReportPath.h"

#include "feeds/FeedDiscovery.h"
#include "popup/WebLink.h"

bool IsReportableFeed(const char* feedUrl)
{
    return feedUrl && IsHttpUrl(feedUrl);
}

std::string ViewReportPath(const char* feedUrl)
{
    if (!IsReportableFeed(feedUrl))
        return std::string();
    return "/clicks.php?action=view&feed=" + PercentEncode(feedUrl, LinkEscapes::Query);
}

std::string ClickReportPath(const char* feedUrl, const char* link)
{
    const bool noFeed = !feedUrl || !*feedUrl;
    if (!IsWebLink(link) || (!noFeed && !IsReportableFeed(feedUrl)))
        return std::string();
    const CString trimmed = TrimLink(link);
    return "/clicks.php?action=browse&feed=" + PercentEncode(noFeed ? "" : feedUrl, LinkEscapes::Query) +
           "&url=" + PercentEncode(std::string(trimmed.GetString(), trimmed.GetLength()), LinkEscapes::Query);
}
