// Loads feeds into one CFeed on Windows: the download, the system's XML parser, and the feed
// that a web page names in its head. COM must be initialised on the calling thread, and the
// loader must go before the thread leaves COM: it holds the parser of a failed parse.
#pragma once
#include "feeds/CFeed.h"
#include "feeds/HttpAnswer.h"
#include "fw/CComPtr.h"
#include "fw/CString.h"

#include <cstddef>
#include <string>

struct IXMLDOMDocument;

class CFeedLoader {
public:
    explicit CFeedLoader(CFeed& feed);
    CFeedLoader(const CFeedLoader&) = delete;
    CFeedLoader& operator=(const CFeedLoader&) = delete;
    ~CFeedLoader();

    // Downloads and parses one feed into the feed. Channel fields are overwritten only where
    // the document supplies them and items are only added; a failure is recorded in the feed's
    // m_strError. Besides RSS it reads Atom, documents that use the named references of HTML,
    // and the feed that a web page names in its head. A document that is not well-formed is
    // repaired, or its whole items are kept (CDocumentRepair); one whose entities would expand
    // beyond all measure is refused, repaired or not.
    void Load(const CString& url);
    // The same, asking the server for the document only if it changed since `conditions` were
    // given. `answer` takes what the server said beyond the body: after a "304 Not Modified" the
    // feed is as it was and nothing was read.
    void Load(const CString& url, const CHttpValidators& conditions, CHttpAnswer& answer);

    // True while the parser of a failed parse is kept: from that load until the next one.
    bool HoldsParser() const { return static_cast<bool>(m_document); }

private:
    enum class Parsed { kNotDownloaded, kNotModified, kNoParser, kFeed, kWebPage, kNotXml, kRefused };
    static const size_t kMaxExpansion = 16u << 20; // what a document's entities may add, repairs and all

    Parsed DownloadAndParse(const CString& url, const CString& path, const CHttpValidators& conditions,
                            CHttpAnswer& answer, std::string& bytes);
    void DownloadFailed(const CString& url);
    bool CreateParser();
    Parsed ParseFile(const CString& path, std::string& bytes);
    void WalkDocument();

    CFeed& m_feed;
    CComPtr<IXMLDOMDocument> m_document;
};
