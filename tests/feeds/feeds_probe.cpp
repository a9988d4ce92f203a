// Drives CFeed::Load under Wine for the feed tests: runs the commands of its command line in
// order against one CFeed and prints one JSON line per command.
//
//   feeds_probe [--stall-timeout-ms N] [--deadline-ms N] [--max-bytes N]
//               (acp | paths | clear | load URL | convert CODEPAGE TEXT)...
//
// The options set the download's limits through its test-only hook. "convert" gives the bytes
// (in hex) that the feed text TEXT becomes in the code page.
#include "feeds/CFeed.h"
#include "feeds/CFeedDownloader.h"
#include "feeds/FeedFile.h"
#include "feeds/WideText.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
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

std::string Describe(const CFeed& feed, const CString& url, ULONGLONG elapsedMs)
{
    const CFeedSource& s = feed.m_source;
    std::string out = "{\"command\":\"load\"," + Field("url", url) + "," + Field("error", feed.m_strError) + ",";
    out += "\"doc\":" + std::string(feed.m_pDoc ? "true" : "false") + ",";
    out += "\"depth\":" + std::to_string(feed.m_nDepth) + ",";
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
        CFeed feed;
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
            } else if (command == "acp") {
                Print("{\"command\":\"acp\",\"acp\":" + std::to_string(::GetACP()) + "}");
            } else if (command == "paths") {
                Print("{\"command\":\"paths\"," + Field("moduleDirectory", GetModuleDirectory()) + ","
                      + Field("feedFile", GetFeedFilePath()) + "}");
            } else if (command == "clear") {
                feed.m_items.RemoveAll();
                Print("{\"command\":\"clear\"}");
            } else if (command == "load" && i + 1 < argc) {
                const CString url(argv[++i]);
                const ULONGLONG start = ::GetTickCount64();
                feed.Load(url);
                Print(Describe(feed, url, ::GetTickCount64() - start));
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
