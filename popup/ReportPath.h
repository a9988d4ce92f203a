// The paths of the view and click reports, as the service reads them: its query unescaped, the
// feed address and the link as they are, except for what would end or split the request line or
// cut the query short (control characters, blanks, "#"), which is percent-encoded. Only web
// addresses are reported: a feed or a link that names a file on this machine or a share (a path,
// a file: address) would tell the service the user's folders and could not be counted anyway.
#pragma once
#include <string>

// True for a feed address that may go into a report: an http or https one, once the blanks and
// control characters around it are left out (as they are from the report).
bool IsReportableFeed(const char* feedUrl);

// "/clicks.php?action=view&feed=" and the trimmed feed address; empty when the feed may not be
// reported.
std::string ViewReportPath(const char* feedUrl);

// "/clicks.php?action=browse&feed=" and the trimmed feed address, "&url=" and the trimmed link;
// empty when the link is no web link or the feed may not be reported (an empty feed may: a click
// on the page shown when no feed could be read).
std::string ClickReportPath(const char* feedUrl, const char* link);
