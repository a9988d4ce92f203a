// The preset feed list, the service address and the links the item view opens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "popup/ItemNavigation.h"
#include "popup/PresetFeedList.h"
#include "popup/ReportPath.h"
#include "popup/ServiceAddress.h"
#include "popup/WebLink.h"

namespace {

std::vector<std::string> Section(const std::string& body, int channel)
{
    CStringArray feeds;
    feeds.Add("kept"); // the reader appends
    ReadPresetSection(body.data(), body.size(), channel, feeds);
    std::vector<std::string> result;
    for (int i = 1; i < feeds.GetSize(); ++i)
        result.push_back(std::string(feeds[i].GetString(), feeds[i].GetLength()));
    return result;
}

using Lines = std::vector<std::string>;

} // namespace

TEST(PresetFeedList, ReadsTheSectionOfTheChannel)
{
    const std::string body = "[News]\nhttp://a/1\nhttp://a/2\n\n[Sports]\nhttp://b/1\n[Entertainment]\n"
                             "[Technology]\n\nhttp://lost\n[Business]\nhttp://e/1\nhttp://e/2";
    EXPECT_EQ(Section(body, 0), (Lines{"http://a/1", "http://a/2"}));
    EXPECT_EQ(Section(body, 1), (Lines{"http://b/1"}));  // ended by the next header
    EXPECT_EQ(Section(body, 2), Lines{});                // a header right after the header
    EXPECT_EQ(Section(body, 3), Lines{});                // an empty line right after the header
    EXPECT_EQ(Section(body, 4), (Lines{"http://e/1", "http://e/2"})); // ended by the body, no last line feed
    EXPECT_EQ(Section(body, 5), Lines{});                // fewer headers than channels
    EXPECT_EQ(Section(body, -1), Lines{});
    EXPECT_EQ(Section("", 0), Lines{});
    EXPECT_EQ(Section("http://before/any/header\n[News]\nhttp://a\n", 0), (Lines{"http://a"}));
    EXPECT_EQ(Section("[News", 0), Lines{});
}

TEST(PresetFeedList, KeepsCarriageReturnsSoBlankLookingLinesDoNotEndTheSection)
{
    // The blank-looking line is no address: it is passed over, and the section goes on.
    const std::string body = "[News]\r\nhttp://a/1\r\n\r\nhttp://a/2\r\n[Sports]\r\nhttp://b/1\r\n";
    EXPECT_EQ(Section(body, 0), (Lines{"http://a/1\r", "http://a/2\r"}));
    EXPECT_EQ(Section(body, 1), (Lines{"http://b/1\r"}));
}

TEST(PresetFeedList, TakesAnyBytesButOnlyWebAddresses)
{
    const std::string body("[A]\nhttp://x\0y\n\xff\xfe\nHTTPS://z\n", 28);
    EXPECT_EQ(Section(body, 0), (Lines{std::string("http://x\0y", 10), "HTTPS://z"}));
}

TEST(PresetFeedList, PassesOverAddressesThatAreNotWebFeeds)
{
    const std::string body = "[News]\nfile:///C:/users/Public/secret.xml\nhttp://a/1\n\\\\host\\share\\feed.xml\n"
                             "file://host/share/feed.xml\nC:\\feed.xml\nftp://a/f\n javascript:x\n https://a/lead\n"
                             "hTtPs://a/2\nhttp:/a/3\n\nhttp://after/the/end\n";
    EXPECT_EQ(Section(body, 0), (Lines{"http://a/1", "hTtPs://a/2"}));
    EXPECT_EQ(Section("[News]\nfile:///x\n[Sports]\nhttp://b\n", 0), Lines{}); // still ended by the next header
}

TEST(PresetFeedList, AListCutShortKeepsOnlyItsWholeLines)
{
    const std::string cut = "[News]\nhttp://a/1\nhttp://a/2\nhttp://a/3-cut-sh";
    const std::string kept = cut.substr(0, WholeLinesLength(cut.data(), cut.size()));
    EXPECT_EQ(Section(kept, 0), (Lines{"http://a/1", "http://a/2"}));
    // What a zero-filled read buffer would have added is no line either.
    const std::string zeros = std::string("[News]\nhttp://a/1\n") + std::string(64, '\0');
    EXPECT_EQ(WholeLinesLength(zeros.data(), zeros.size()), 18u);
    EXPECT_EQ(WholeLinesLength("no line feed", 12), 0u);
    EXPECT_EQ(WholeLinesLength("", 0), 0u);
}

TEST(ServiceAddress, TakesOnlyAPlainHttpOrHttpsAddressFromTheEnvironment)
{
    const char* builtIn = "http://lullcast.example";
    EXPECT_EQ(std::string(ChooseServiceAddress(nullptr, builtIn)), builtIn);
    EXPECT_EQ(std::string(ChooseServiceAddress("http://127.0.0.1:8080", builtIn)), "http://127.0.0.1:8080");
    EXPECT_EQ(std::string(ChooseServiceAddress("http://news.test/", builtIn)), "http://news.test");
    EXPECT_EQ(std::string(ChooseServiceAddress("https://news.test/", builtIn)), "https://news.test");
    EXPECT_EQ(std::string(ChooseServiceAddress("https://localhost:8443", builtIn)), "https://localhost:8443");
    for (const char* refused : {"", "https://", "https:/x.test", "httpss://x", "ftp://x", "http://", "http://x/path",
                                "http://x:", "http://x:123456", "http://x y", "HTTP://x", "file:///c:/", "http://x?q",
                                "http://user@x", "http://.x", "https://x/path"})
        EXPECT_EQ(std::string(ChooseServiceAddress(refused, builtIn)), builtIn) << refused;

    EXPECT_EQ(std::string(ServiceDomain("http://www.lullcast.example")), "lullcast.example");
    EXPECT_EQ(std::string(ServiceDomain("http://127.0.0.1:8080")), "127.0.0.1");
    EXPECT_EQ(std::string(ServiceDomain("https://www.news.test:8443/")), "news.test");
}

TEST(WebLink, OpensOnlyHttpAndHttps)
{
    for (const char* link : {"http://a.test/x", "HTTPS://a.test", "  hTTp://a.test/\r\n", "https://a.test/?q=1&r=\"x\""})
        EXPECT_TRUE(IsWebLink(link)) << link;
    for (const char* link : {"", "   ", "http://", "https:// ", "file:///c:/windows/system32/calc.exe",
                             "C:\\Windows\\notepad.exe", "\\\\server\\share\\x.exe", "javascript:alert(1)",
                             "mailto:a@b.test", "http:/a.test", "http:\\\\a.test", "xhttp://a.test", "ftp://a.test"})
        EXPECT_FALSE(IsWebLink(link)) << link;
}

TEST(WebLink, EncodesWhatWouldSplitTheBrowsersCommandLine)
{
    EXPECT_EQ(std::string(EncodeWebLink("http://a.test/a b\"c --flag")), "http://a.test/a%20b%22c%20--flag");
    EXPECT_EQ(std::string(EncodeWebLink(" https://a.test/<x>|^`{}\\\t\x7f!\n")),
              "https://a.test/%3Cx%3E%7C%5E%60%7B%7D%5C%09%7F!");
    EXPECT_EQ(std::string(EncodeWebLink("http://a.test/caf\xC3\xA9?q=1&r=%41#top")),
              "http://a.test/caf%C3%A9?q=1&r=%41#top");
}

TEST(WebLink, QueryEncodingTakesOnlyWhatWouldSplitTheRequest)
{
    // A line break would end the request line and start a header of the link's choosing; a blank
    // would end the request target; "#" would cut the query short.
    EXPECT_EQ(PercentEncode("http://a.test/x\r\nX-Forwarded-For: 203.0.113.9", LinkEscapes::Query),
              "http://a.test/x%0D%0AX-Forwarded-For:%20203.0.113.9");
    EXPECT_EQ(PercentEncode("http://a.test/a b#top", LinkEscapes::Query), "http://a.test/a%20b%23top");
    EXPECT_EQ(PercentEncode(std::string("\x01\t\x7f\0", 4), LinkEscapes::Query), "%01%09%7F%00");
    // What the service reads unescaped stays as it is: "&", "?", quotes, escapes already made,
    // and bytes beyond ASCII.
    for (const char* kept : {"http://a.test/?q=1&r=\"x\"&url=y", "http://a.test/caf\xC3\xA9", "http://a.test/%0D%0A%23",
                             "<>\\^`{|}", ""})
        EXPECT_EQ(PercentEncode(kept, LinkEscapes::Query), kept);
    // The browser's form takes more, the same way.
    EXPECT_EQ(PercentEncode("a b#\"\xC3\xA9%41", LinkEscapes::Browser), "a%20b#%22%C3%A9%41");
}

TEST(ReportPath, ReportsWebFeedsAndWebLinksOnly)
{
    EXPECT_EQ(ViewReportPath("http://a.test/rss?x=1&y=2"), "/clicks.php?action=view&feed=http://a.test/rss?x=1&y=2");
    // Blanks and control characters around an address are left out: a preset list with CR LF line
    // ends leaves a CR after each address.
    EXPECT_EQ(ViewReportPath(" HTTPS://a.test/feed\r"), "/clicks.php?action=view&feed=HTTPS://a.test/feed");
    EXPECT_EQ(ClickReportPath("http://a.test/rss", "  http://a.test/story 1#more\r\nX-Evil: 1\n"),
              "/clicks.php?action=browse&feed=http://a.test/rss&url=http://a.test/story%201%23more%0D%0AX-Evil:%201");
    // The page shown when no feed could be read has no feed: its click is reported with an empty one.
    EXPECT_EQ(ClickReportPath("", "http://service.test"), "/clicks.php?action=browse&feed=&url=http://service.test");
    // A feed on this machine or a share, and a link that is no web link, never reach the service.
    for (const char* local : {"C:\\Users\\me\\Saved feed.xml", "\\\\server\\share\\feed.xml", "file:///C:/feed.xml",
                              "file://server/share/feed.xml", "x http://a.test/rss", "feed.xml"}) {
        EXPECT_EQ(ViewReportPath(local), "") << local;
        EXPECT_EQ(ClickReportPath(local, "http://a.test/story"), "") << local;
    }
    EXPECT_EQ(ViewReportPath(nullptr), "");
    for (const char* link : {"", "file:///C:/secret.txt", "\\\\server\\share\\x", "javascript:alert(1)", "http://"})
        EXPECT_EQ(ClickReportPath("http://a.test/rss", link), "") << link;
}

TEST(ItemSteps, OlderAndNewer)
{
    // Next: one step older, the newest when the shown item is gone, a beep at the oldest.
    EXPECT_EQ(OlderItemIndex(3, 5), 2);
    EXPECT_EQ(OlderItemIndex(0, 5), -1);
    EXPECT_EQ(OlderItemIndex(-1, 5), 4);
    EXPECT_EQ(OlderItemIndex(-1, 0), -1);
    // Previous: one step newer, a beep at the newest or when the shown item is gone.
    EXPECT_EQ(NewerItemIndex(3, 5), 4);
    EXPECT_EQ(NewerItemIndex(4, 5), -1);
    EXPECT_EQ(NewerItemIndex(-1, 5), -1);
    EXPECT_EQ(NewerItemIndex(-1, 0), -1);
}
