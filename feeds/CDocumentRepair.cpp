#include "feeds/CDocumentRepair.h"

#include "feeds/EntityGuard.h"
#include "feeds/HtmlEntities.h"
#include "feeds/ItemSalvage.h"
#include "feeds/MarkupRepair.h"
#include "feeds/TextEncoding.h"

#include <numeric>
#include <utility>
#include <vector>

namespace {

// True when the guard could not read the markup from the bytes as they are.
bool HidesItsMarkup(const std::string& bytes)
{
    if (DetectByteForm(bytes) != ByteForm::kEightBit)
        return false; // UTF-16 and UTF-32 the guard reads itself; EBCDIC it refuses
    const std::string encoding = DeclaredEncoding(bytes, false);
    return !encoding.empty() && !IsAsciiCompatible(encoding);
}

} // namespace

CDocumentRepair::CDocumentRepair(System& system, size_t maxExpansion, unsigned repairs)
    : m_system(system), m_allowance(maxExpansion), m_repairs(repairs)
{
}

CDocumentRepair::Outcome CDocumentRepair::Read(const std::string& bytes)
{
    const bool decodeFirst = HidesItsMarkup(bytes);
    const std::string decoded = decodeFirst ? Decoded(bytes) : std::string();
    const std::string& document = decodeFirst ? decoded : bytes;
    Parsed parsed = Parse(document, !decodeFirst);
    if (parsed != Parsed::kNo)
        return parsed == Parsed::kYes ? Outcome::kParsed : Outcome::kRefused;

    m_repaired = Repaired(document);
    if (m_repaired != document) {
        parsed = Parse(m_repaired, false);
        if (parsed != Parsed::kNo)
            return parsed == Parsed::kYes ? Outcome::kRepaired : Outcome::kRefused;
    }
    return m_repairs & kItemSalvage ? Salvage() : Outcome::kNotXml;
}

CDocumentRepair::Parsed CDocumentRepair::Parse(const std::string& text, bool original)
{
    const size_t added = EntityExpansion(text, m_allowance);
    if (added > m_allowance)
        return Parsed::kRefused;
    m_allowance -= added;
    return m_system.Parse(text, original) ? Parsed::kYes : Parsed::kNo;
}

std::string CDocumentRepair::Decoded(const std::string& text)
{
    const Decoding decoding = ChooseDecoding(text);
    std::string converted;
    const bool haveConverted =
        decoding.kind == Decoding::kCodePage
        && m_system.ConvertCodePage(CodePageInput(text, decoding), decoding.codePage, converted);
    return DecodeToUtf8(text, decoding, haveConverted ? &converted : nullptr);
}

// The repairs in the order in which each makes the next one's work possible: the characters
// first, then where the document begins, what it holds, and where it ends.
std::string CDocumentRepair::Repaired(const std::string& text)
{
    std::string repaired = m_repairs & kEncoding ? Decoded(text) : text;
    if (DetectByteForm(repaired) != ByteForm::kEightBit)
        return repaired; // the others read eight-bit text
    if (m_repairs & kLeadingJunk)
        StripLeadingJunk(repaired);
    if (m_repairs & kForbiddenCharacters)
        RemoveForbiddenCharacters(repaired);
    if (m_repairs & kHtmlReferences)
        ReplaceHtmlEntities(repaired);
    if (m_repairs & kStrayReferences)
        EscapeStrayMarkup(repaired);
    if (m_repairs & kCutRootEndTag)
        CloseCutRootEndTag(repaired);
    if (m_repairs & kTrailingText)
        CutAfterRoot(repaired);
    return repaired;
}

// A document of every whole part is tried first. When it does not parse, some part is not what
// its tags promise (an attribute given twice, a prefix never declared): the parts are halved
// until each that fails stands alone, and the rest are kept.
CDocumentRepair::Outcome CDocumentRepair::Salvage()
{
    if (DetectByteForm(m_repaired) != ByteForm::kEightBit)
        return Outcome::kNotXml;
    const WholeParts whole = FindWholeParts(m_repaired);
    if (whole.items == 0)
        return Outcome::kNotXml;
    std::vector<size_t> kept(whole.parts.size());
    std::iota(kept.begin(), kept.end(), 0);
    Parsed parsed = Parse(WholePartsDocument(m_repaired, whole, kept), false);
    if (parsed != Parsed::kNo)
        return parsed == Parsed::kYes ? Outcome::kSalvaged : Outcome::kRefused;

    kept.clear();
    int parses = 0;
    size_t readable = kSalvageReadFactor * m_repaired.size();
    std::vector<std::pair<size_t, size_t>> ranges; // to try, the next on top
    const size_t all = whole.parts.size();
    if (all > 1)
        ranges = {{all / 2, all}, {0, all / 2}};
    while (!ranges.empty()) {
        const std::pair<size_t, size_t> range = ranges.back();
        ranges.pop_back();
        std::vector<size_t> chosen(range.second - range.first);
        std::iota(chosen.begin(), chosen.end(), range.first);
        const std::string document = WholePartsDocument(m_repaired, whole, chosen);
        if (parses >= kMaxSalvageParses || document.size() > readable)
            break;
        ++parses;
        readable -= document.size();
        parsed = Parse(document, false);
        if (parsed == Parsed::kRefused)
            return Outcome::kRefused;
        if (parsed == Parsed::kYes) {
            kept.insert(kept.end(), chosen.begin(), chosen.end());
        } else if (chosen.size() > 1) {
            const size_t middle = range.first + chosen.size() / 2;
            ranges.push_back({middle, range.second});
            ranges.push_back({range.first, middle});
        }
    }
    bool anyItem = false;
    for (const size_t index : kept)
        anyItem = anyItem || whole.parts[index].item;
    if (!anyItem)
        return Outcome::kNotXml;
    parsed = Parse(WholePartsDocument(m_repaired, whole, kept), false);
    if (parsed != Parsed::kNo)
        return parsed == Parsed::kYes ? Outcome::kSalvaged : Outcome::kRefused;
    return Outcome::kNotXml;
}
