// libFuzzer target for the repairs of broken documents: the encodings, each markup repair, the
// search for whole items, and CDocumentRepair over a parser that refuses or takes what it is
// given. Besides the sanitizers' checks it holds each to its promises; the first byte chooses.
#include "feeds/CDocumentRepair.h"
#include "feeds/EntityGuard.h"
#include "feeds/ItemSalvage.h"
#include "feeds/MarkupRepair.h"
#include "feeds/TextEncoding.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <string>
#include <vector>

namespace {

const size_t kAllowance = 1 << 16;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

bool HasForbiddenBytes(const std::string& text)
{
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
            return true;
    }
    return false;
}

// A parser that takes a text when `accepting` says so, and checks that the guard let it through.
class FuzzSystem : public CDocumentRepair::System {
public:
    explicit FuzzSystem(unsigned accepting) : m_accepting(accepting) {}
    bool Parse(const std::string& text, bool) override
    {
        Check(EntityExpansion(text, kAllowance) <= kAllowance, "the guard reads every text first");
        ++parses;
        return m_accepting == 1 || (m_accepting == 2 && text.size() % 3 == 0);
    }
    bool ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8) override
    {
        if (codePage % 2 == 0)
            return false;
        utf8 = Windows1252ToUtf8(bytes);
        return true;
    }
    int parses = 0;

private:
    unsigned m_accepting;
};

void FuzzEncodings(const std::string& input)
{
    Check(IsValidUtf8(MendUtf8(input)), "mended text is UTF-8");
    if (IsValidUtf8(input))
        Check(MendUtf8(input) == input, "valid UTF-8 stays as it is");
    Check(IsValidUtf8(Windows1252ToUtf8(input)), "windows-1252 gives UTF-8");
    for (const ByteForm form : {ByteForm::kUtf16LE, ByteForm::kUtf16BE, ByteForm::kUtf32LE, ByteForm::kUtf32BE})
        Check(IsValidUtf8(WideToUtf8(input, form)), "wide text gives UTF-8");
    Check(Iso2022JpToEucJp(input).size() <= 2 * input.size(), "EUC-JP takes at most two bytes for one");
    const Decoding decoding = ChooseDecoding(input);
    const std::string decoded = DecodeToUtf8(input, decoding, nullptr);
    if (decoding.kind != Decoding::kNone && DetectByteForm(input) != ByteForm::kEbcdic)
        Check(IsValidUtf8(decoded), "a decoded document is UTF-8");
}

void FuzzMarkupRepairs(const std::string& input)
{
    std::string text = input;
    StripLeadingJunk(text);
    Check(text.size() <= input.size(), "junk is only taken away");

    text = input;
    RemoveForbiddenCharacters(text);
    Check(!HasForbiddenBytes(text), "no forbidden byte is left");
    std::string again = text;
    Check(!RemoveForbiddenCharacters(again), "nothing forbidden is left to remove");

    text = input;
    EscapeStrayMarkup(text);
    again = text;
    Check(!EscapeStrayMarkup(again), "nothing stray is left to escape");

    text = input;
    if (CloseCutRootEndTag(text)) {
        const size_t cut = input.rfind("</");
        Check(cut != std::string::npos && text.compare(0, cut, input, 0, cut) == 0, "a close keeps what is before");
        Check(text.compare(cut, 2, "</") == 0 && text.find('>', cut) != std::string::npos, "a close ends the tag");
        again = text;
        Check(!CloseCutRootEndTag(again), "a closed tag is not cut");
    }

    text = input;
    if (CutAfterRoot(text)) {
        Check(text.size() < input.size() && input.compare(0, text.size(), text) == 0, "a cut keeps the start");
        again = text;
        Check(!CutAfterRoot(again), "nothing follows the root after the cut");
    }
}

void FuzzSalvage(const std::string& input)
{
    const WholeParts whole = FindWholeParts(input);
    size_t items = 0, last = 0;
    for (const WholeParts::Part& part : whole.parts) {
        Check(part.span.begin >= last && part.span.begin < part.span.end && part.span.end <= input.size(),
              "parts stand in order inside the text");
        last = part.span.end;
        items += part.item ? 1 : 0;
    }
    Check(items == whole.items, "the count of items is right");
    Check(whole.items > 0 || whole.parts.empty(), "nothing is kept without an item");
    std::vector<size_t> all(whole.parts.size());
    std::iota(all.begin(), all.end(), 0);
    size_t closing = 32;
    for (const WholeParts::Holder& holder : whole.holders)
        closing += holder.name.size() + 3;
    Check(WholePartsDocument(input, whole, all).size() <= input.size() + closing + 64, "whole parts are no longer");
}

void FuzzDocumentRepair(const std::string& input, unsigned accepting, unsigned repairs)
{
    FuzzSystem system(accepting);
    CDocumentRepair repair(system, kAllowance, repairs);
    const CDocumentRepair::Outcome outcome = repair.Read(input);
    Check(system.parses <= 4 + CDocumentRepair::kMaxSalvageParses, "the parses are bounded");
    if (accepting == 1)
        Check(outcome == CDocumentRepair::Outcome::kParsed || outcome == CDocumentRepair::Outcome::kRefused,
              "what parses at once is not repaired");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
    switch (data[0] % 4) {
    case 0:
        FuzzEncodings(input);
        break;
    case 1:
        FuzzMarkupRepairs(input);
        break;
    case 2:
        FuzzSalvage(input);
        break;
    default:
        FuzzDocumentRepair(input, data[1] % 3, data[1] / 3 % 2 ? CDocumentRepair::kAllRepairs : data[1]);
        break;
    }
    return 0;
}
