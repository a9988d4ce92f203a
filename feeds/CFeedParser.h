// The system's XML parser (MSXML) as a load of a feed uses it: set up so that a feed can make it
// read no other file or address and nest no deeper than feeds do, and given the feed file to read
// (rewritten first with the text of a repaired document).
#pragma once
#include "feeds/CDocumentRepair.h"
#include "fw/CComPtr.h"
#include "fw/CString.h"

#include <string>

struct IXMLDOMDocument;

class CFeedParser : public CDocumentRepair::System {
public:
    static const int kMaxElementDepth = 1024;

    // Puts a new parser document set up for feeds into `document`, in place of the one it held;
    // false, and none, when the parser's class cannot be created.
    static bool Create(CComPtr<IXMLDOMDocument>& document);

    // Reads into `document`, which stays the caller's (and must outlive this object), through
    // the file at `path`, which holds the document as it came.
    CFeedParser(IXMLDOMDocument* document, const CString& path);
    CFeedParser(const CFeedParser&) = delete;
    CFeedParser& operator=(const CFeedParser&) = delete;

    bool Parse(const std::string& text, bool original) override;
    bool ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8) override;

    // The name of the root element of the document read last; empty when it has none.
    CString RootName() const;

private:
    IXMLDOMDocument* m_document; // borrowed
    const CString m_path;
};
