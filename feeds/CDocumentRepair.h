// Has the system's parser read a downloaded document the way a forgiving feed reader would.
// The parser is given the document as it came; only when it refuses it is the document repaired
// (see TextEncoding.h and MarkupRepair.h) and given again, and when even the repaired document
// does not parse, a document of the whole items that can be found in it (ItemSalvage.h) is given
// instead. Well-formed documents are thus read as they are, at the cost of the parse alone.
//
// The entity guard reads every text before the parser sees it, and all the texts of one read
// share one allowance of what their entities may add. The repairs and the search for whole items
// take time and memory linear in the document's size; the parses of parts of a document that
// the salvage asks for are bounded in number and in the bytes they read.
#pragma once
#include <cstddef>
#include <string>

class CDocumentRepair {
public:
    // What the platform offers: its parser and its code pages.
    class System {
    public:
        // True when `text` is a well-formed document; the parser then holds it for the walk.
        // `original` is true for the document as it came (what the feed file holds).
        virtual bool Parse(const std::string& text, bool original) = 0;
        // The text in the code page as UTF-8; false when the system has no such code page.
        virtual bool ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8) = 0;

    protected:
        ~System() = default;
    };

    // The repairs, each of which may be left out (to measure what each gains).
    enum Repair : unsigned {
        kEncoding = 1u << 0,          // bytes not in the declared encoding, encodings the parser lacks
        kLeadingJunk = 1u << 1,       // before the XML declaration or the root
        kForbiddenCharacters = 1u << 2,
        kHtmlReferences = 1u << 3,    // "&nbsp;" and the like made numeric
        kStrayReferences = 1u << 4,   // a bare "&", an unknown "&name;", a stray "<"
        kTrailingText = 1u << 5,      // after the root element
        kItemSalvage = 1u << 6,       // the whole items of what still does not parse
        kCutRootEndTag = 1u << 7,     // the root's end tag cut short at the end
        kAllRepairs = (1u << 8) - 1,
    };

    enum class Outcome {
        kParsed,   // as it came (or read from its code page first, see Read)
        kRepaired, // after the repairs
        kSalvaged, // a document of its whole items
        kNotXml,   // nothing of it parses
        kRefused,  // the entity guard refused a text
    };

    // At most this many parses of parts of a document, reading at most this many times its size.
    static const int kMaxSalvageParses = 160;
    static const size_t kSalvageReadFactor = 16;

    CDocumentRepair(System& system, size_t maxExpansion, unsigned repairs = kAllRepairs);
    CDocumentRepair(const CDocumentRepair&) = delete;
    CDocumentRepair& operator=(const CDocumentRepair&) = delete;

    // A document in an encoding whose bytes do not show its markup as ASCII (UTF-7, ISO 2022,
    // one not known here) is read from its code page, or as windows-1252, before the first parse:
    // the entity guard could not read it otherwise. When the outcome is not kNotXml or kRefused,
    // the parser holds the document of the last parse.
    Outcome Read(const std::string& bytes);

private:
    enum class Parsed { kYes, kNo, kRefused };

    Parsed Parse(const std::string& text, bool original);
    std::string Decoded(const std::string& text);
    std::string Repaired(const std::string& text);
    Outcome Salvage();

    System& m_system;
    size_t m_allowance; // what the entities of the texts still to be parsed may add
    const unsigned m_repairs;
    std::string m_repaired; // what the repairs made of the document
};
