// Drives CFeedLoader under Wine for the feed tests: runs the commands of its command line in
// order against one CFeed and its loader and prints one JSON line per command.
//
//   feeds_probe [--stall-timeout-ms N] [--deadline-ms N] [--max-bytes N]
//               (acp | paths | clear | fresh | memory | load URL | convert CODEPAGE TEXT | read REPAIRS FILE)...
//
// "fresh" puts a new feed in place of the one loaded so far, as the program loads each refresh
// into a feed of its own; "memory" gives what the process holds in memory, in bytes.
// The options set the download's limits through its test-only hook. "convert" gives the bytes
// (in hex) that the feed text TEXT becomes in the code page. "read" has the parser read a local
// file as a load does, with only the repairs of CDocumentRepair whose bits REPAIRS sets, and
// gives the outcome, the channel's title and the items' titles.
#include "feeds/CDocumentRepair.h"
#include "feeds/CFeed.h"
#include "feeds/CFeedDownloader.h"
#include "feeds/CFeedLoader.h"
#include "feeds/CFeedParser.h"
#include "feeds/CMsxmlNode.h"
#include "feeds/FeedFile.h"
#include "feeds/WideText.h"

#include <windows.h>
#include <msxml2.h>
#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <string>

namespace {

std::string Json(const char* text)
{
    std::string out = "\"";
    for (const char* at = text; *at; ++at) {
        const unsigned char c = static_cast<unsigned char>(*at);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c); // other bytes as they are: the code page's own text
        }
    }
    return out + "\"";
}

std::string Field(const char* name, const CString& value)
{
    return Json(name) + ":" + Json(value.GetString());
}

std::string Describe(const CFeed& feed, const CFeedLoader& loader, const CString& url, ULONGLONG elapsedMs)
{
    const CFeedSource& s = feed.m_source;
    std::string out = "{\"command\":\"load\"," + Field("url", url) + "," + Field("error", feed.m_strError) + ",";
    out += "\"doc\":" + std::string(loader.HoldsParser() ? "true" : "false") + ",";
    out += "\"depth\":" + std::to_string(feed.Depth()) + ",";
    out += "\"ms\":" + std::to_string(elapsedMs) + ",";
    out += "\"source\":{" + Field("copyright", s.m_strCopyright) + "," + Field("description", s.m_strDescription) + ","
        + Field("generator", s.m_strGenerator) + "," + Field("language", s.m_strLanguage) + ","
        + Field("lastBuildDate", s.m_strLastBuildDate) + "," + Field("link", s.m_strLink) + ","
        + Field("title", s.m_strTitle) + "," + Field("ttl", s.m_strTtl) + "," + Field("webMaster", s.m_strWebMaster)
        + "," + Field("imageDescription", s.m_strImageDescription) + "," + Field("imageHeight", s.m_strImageHeight)
        + "," + Field("imageWidth", s.m_strImageWidth) + "," + Field("imageLink", s.m_strImageLink) + ","
        + Field("imageTitle", s.m_strImageTitle) + "," + Field("imageUrl", s.m_strImageUrl) + "},";
    out += "\"items\":[";
    for (int i = 0; i < feed.m_items.GetSize(); ++i) {
        const CFeedItem& item = feed.m_items[i];
        out += std::string(i ? "," : "") + "{" + Field("author", item.m_strAuthor) + ","
            + Field("category", item.m_strCategory) + "," + Field("description", item.m_strDescription) + ","
            + Field("link", item.m_strLink) + "," + Field("pubDate", item.m_strPubDate) + ","
            + Field("subject", item.m_strSubject) + "," + Field("title", item.m_strTitle) + "}";
    }
    return out + "]}";
}

const IID kIidXmlDomNode = {0x2933BF80, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const size_t kMaxExpansion = 16u << 20; // as a load allows

const char* OutcomeName(CDocumentRepair::Outcome outcome)
{
    switch (outcome) {
    case CDocumentRepair::Outcome::kParsed: return "parsed";
    case CDocumentRepair::Outcome::kRepaired: return "repaired";
    case CDocumentRepair::Outcome::kSalvaged: return "salvaged";
    case CDocumentRepair::Outcome::kNotXml: return "not-xml";
    case CDocumentRepair::Outcome::kRefused: return "refused";
    }
    return "";
}

// The file read through a copy beside the probe, which the repairs may rewrite.
std::string Read(unsigned repairs, const CString& path)
{
    std::string bytes;
    const CString work = GetModuleDirectory() + "\\probe-read.xml";
    CComPtr<IXMLDOMDocument> document;
    if (!CFeedParser::Create(document) || !ReadWholeFile(path, bytes, CFeedDownloader::kMaxBytes)
        || !WriteWholeFile(work, bytes))
        return "{\"command\":\"read\",\"outcome\":\"unreadable\"}";
    CFeedParser parser(document.Get(), work);
    CDocumentRepair repair(parser, kMaxExpansion, repairs);
    const CDocumentRepair::Outcome outcome = repair.Read(bytes);
    CFeed feed;
    IXMLDOMNode* root = nullptr;
    if (outcome != CDocumentRepair::Outcome::kNotXml && outcome != CDocumentRepair::Outcome::kRefused
        && SUCCEEDED(document->QueryInterface(kIidXmlDomNode, reinterpret_cast<void**>(&root))) && root) {
        const CMsxmlNode node(root); // takes the reference over
        feed.ParseNode(node);
    }
    std::string out = "{\"command\":\"read\",\"outcome\":\"" + std::string(OutcomeName(outcome)) + "\","
        + Field("title", feed.m_source.m_strTitle) + ",\"items\":[";
    for (int i = 0; i < feed.m_items.GetSize(); ++i)
        out += std::string(i ? "," : "") + Json(feed.m_items[i].m_strTitle.GetString());
    return out + "]}";
}

void Print(const std::string& line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    ::CoInitialize(nullptr);
    int status = 0;
    {
        std::unique_ptr<CFeed> feed(new CFeed);
        std::unique_ptr<CFeedLoader> loader(new CFeedLoader(*feed));
        unsigned long stallMs = CFeedDownloader::kStallTimeoutMs, deadlineMs = CFeedDownloader::kDeadlineMs;
        unsigned long long maxBytes = CFeedDownloader::kMaxBytes;
        for (int i = 1; i < argc; ++i) {
            const std::string command = argv[i];
            if (command.compare(0, 2, "--") == 0 && i + 1 < argc) {
                const unsigned long long value = std::strtoull(argv[++i], nullptr, 10);
                if (command == "--stall-timeout-ms")
                    stallMs = static_cast<unsigned long>(value);
                else if (command == "--deadline-ms")
                    deadlineMs = static_cast<unsigned long>(value);
                else
                    maxBytes = value;
                CFeedDownloader::SetLimitsForTests(stallMs, deadlineMs, maxBytes);
            } else if (command == "convert" && i + 2 < argc) {
                const UINT codePage = static_cast<UINT>(std::strtoul(argv[++i], nullptr, 10));
                const char* text = argv[++i];
                std::wstring wide(std::strlen(text) + 1, L'\0');
                const int length = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], static_cast<int>(wide.size()));
                const CString converted = WideToCodePage(wide.c_str(), length > 0 ? length - 1 : 0, codePage);
                std::string hex;
                for (int k = 0; k < converted.GetLength(); ++k) {
                    char byte[4];
                    std::snprintf(byte, sizeof byte, "%02x", static_cast<unsigned char>(converted[k]));
                    hex += byte;
                }
                Print("{\"command\":\"convert\",\"hex\":\"" + hex + "\"}");
            } else if (command == "read" && i + 2 < argc) {
                const unsigned repairs = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 0));
                const CString path(argv[++i]);
                Print(Read(repairs, path));
            } else if (command == "acp") {
                Print("{\"command\":\"acp\",\"acp\":" + std::to_string(::GetACP()) + "}");
            } else if (command == "paths") {
                Print("{\"command\":\"paths\"," + Field("moduleDirectory", GetModuleDirectory()) + ","
                      + Field("feedFile", GetFeedFilePath()) + "}");
            } else if (command == "clear") {
                feed->m_items.RemoveAll();
                Print("{\"command\":\"clear\"}");
            } else if (command == "fresh") {
                loader.reset();
                feed.reset(new CFeed);
                loader.reset(new CFeedLoader(*feed));
                Print("{\"command\":\"fresh\"}");
            } else if (command == "memory") {
                PROCESS_MEMORY_COUNTERS counters = {};
                counters.cb = sizeof counters;
                ::K32GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
                Print("{\"command\":\"memory\",\"workingSet\":" + std::to_string(counters.WorkingSetSize) + "}");
            } else if (command == "load" && i + 1 < argc) {
                const CString url(argv[++i]);
                const ULONGLONG start = ::GetTickCount64();
                loader->Load(url);
                Print(Describe(*feed, *loader, url, ::GetTickCount64() - start));
            } else {
                std::fprintf(stderr, "feeds_probe: unknown command %s\n", command.c_str());
                status = 2;
                break;
            }
        }
    }
    ::CoUninitialize();
    return status;
}
