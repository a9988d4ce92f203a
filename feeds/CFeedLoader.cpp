#include "feeds/CFeedLoader.h"

#include "feeds/CDocumentRepair.h"
#include "feeds/CFeedDownloader.h"
#include "feeds/CFeedParser.h"
#include "feeds/CMsxmlNode.h"
#include "feeds/FeedDiscovery.h"
#include "feeds/FeedFile.h"

#include <windows.h>
#include <msxml2.h>

namespace {

const IID kIidXmlDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

} // namespace

CFeedLoader::CFeedLoader(CFeed& feed) : m_feed(feed) {}

CFeedLoader::~CFeedLoader() = default;

void CFeedLoader::Load(const CString& url)
{
    CHttpAnswer answer;
    Load(url, CHttpValidators(), answer);
}

void CFeedLoader::Load(const CString& url, const CHttpValidators& conditions, CHttpAnswer& answer)
{
    const CString path = GetFeedFilePath();
    std::string bytes;
    const Parsed parsed = DownloadAndParse(url, path, conditions, answer, bytes);
    if (parsed == Parsed::kFeed)
        return WalkDocument();
    if (parsed == Parsed::kNotDownloaded || parsed == Parsed::kNotModified || parsed == Parsed::kNoParser)
        return;

    // A web page instead of a feed: the feed that the page names, if any, is read instead; the
    // feed found there is not searched for another.
    const std::string feedUrl = parsed == Parsed::kRefused ? std::string() : FindFeedLink(bytes, url.GetString());
    if (feedUrl.empty()) {
        m_feed.m_strError = "Failed to load XML Document";
        return; // the parser stays until the next load, or until the loader goes
    }
    const CString discovered(feedUrl.c_str());
    CHttpAnswer discoveredAnswer; // the caller's answer is the one of the address it gave
    switch (DownloadAndParse(discovered, path, CHttpValidators(), discoveredAnswer, bytes)) {
    case Parsed::kFeed:
        return WalkDocument();
    case Parsed::kNotModified: // to a request that asked for the document whatever its age
        return DownloadFailed(discovered);
    case Parsed::kNotDownloaded:
    case Parsed::kNoParser:
        return;
    default:
        m_feed.m_strError = "Failed to load XML Document";
    }
}

// Downloads the document into the feed file and has a new parser read it (the bytes as they came
// go to `bytes`). A download that fails or a parser that cannot be had is recorded in the feed's
// error, but for a "not modified" answer, which is no failure to a request with conditions.
CFeedLoader::Parsed CFeedLoader::DownloadAndParse(const CString& url, const CString& path,
                                                  const CHttpValidators& conditions, CHttpAnswer& answer,
                                                  std::string& bytes)
{
    if (!CFeedDownloader::Download(url, path, conditions, answer)) {
        if (answer.status == 304)
            return Parsed::kNotModified;
        DownloadFailed(url);
        return Parsed::kNotDownloaded;
    }
    if (!CreateParser())
        return Parsed::kNoParser;
    return ParseFile(path, bytes);
}

void CFeedLoader::DownloadFailed(const CString& url)
{
    m_feed.m_strError.Format("Failed to download %s", url.GetString());
}

bool CFeedLoader::CreateParser()
{
    if (!CFeedParser::Create(m_document)) {
        m_feed.m_strError = "Failed to load XML parser";
        return false;
    }
    return true;
}

// Reads the downloaded file into `bytes` and has the parser read it, as it came when it can;
// a document that it refuses is repaired, or its whole items salvaged. A document that declares
// entities expanding beyond all measure is refused before the parser sees it, repaired or not.
CFeedLoader::Parsed CFeedLoader::ParseFile(const CString& path, std::string& bytes)
{
    if (!ReadWholeFile(path, bytes, CFeedDownloader::kMaxBytes))
        return Parsed::kRefused;
    CFeedParser parser(m_document.Get(), path);
    CDocumentRepair repair(parser, kMaxExpansion);
    switch (repair.Read(bytes)) {
    case CDocumentRepair::Outcome::kRefused:
        return Parsed::kRefused;
    case CDocumentRepair::Outcome::kNotXml:
        return Parsed::kNotXml;
    default:
        return parser.RootName() == "html" ? Parsed::kWebPage : Parsed::kFeed;
    }
}

// Walks the document read into the feed; the parser goes once the walk is done.
void CFeedLoader::WalkDocument()
{
    IXMLDOMNode* documentNode = nullptr;
    if (SUCCEEDED(m_document->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(&documentNode)))
        && documentNode) {
        const CMsxmlNode root(documentNode); // takes the reference over
        m_feed.ParseNode(root);
    }
    m_document.Reset();
}
