// The platform for the native tests of CDocumentRepair: libxml2 as the parser (the engine under
// the system parser that the Wine tests use), told to know only the encodings that parser knows
// under Wine, and iconv for the code pages. It keeps every text it was given, and gives the last
// document that parsed as a tree for the feed walk.
#pragma once
#include "feeds/CDocumentRepair.h"

#include "CTestDocument.h"

#include <string>
#include <vector>

class CLibxmlSystem : public CDocumentRepair::System {
public:
    CLibxmlSystem() = default;
    CLibxmlSystem(const CLibxmlSystem&) = delete;
    CLibxmlSystem& operator=(const CLibxmlSystem&) = delete;
    ~CLibxmlSystem();

    bool Parse(const std::string& text, bool original) override;
    bool ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8) override;

    // The document of the last parse that worked.
    CTestDocument Document() const;

    std::vector<std::string> texts; // every text given to Parse, in order
    std::vector<bool> originals;    // and whether it was the document as it came

private:
    void* m_document = nullptr; // xmlDocPtr
};
