#include "feeds/MarkupRepair.h"

#include "feeds/CMarkupScanner.h"
#include "feeds/EntityGuard.h"
#include "feeds/HtmlEntities.h"
#include "feeds/TextEncoding.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

typedef CMarkupScanner::Piece Piece;

const size_t kLongestReference = 64; // of a name; longer ones are taken as text
const size_t kLongestCharacterReference = 32;

bool IsBlankText(const std::string& xml, size_t begin, size_t end)
{
    for (size_t at = begin; at < end; ++at) {
        if (!CMarkupScanner::IsBlank(xml[at]))
            return false;
    }
    return true;
}

bool IsForbiddenCharacter(unsigned long code)
{
    return (code < 0x20 && code != 0x9 && code != 0xA && code != 0xD) || (code >= 0xD800 && code <= 0xDFFF)
        || code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
}

// The length of the character reference "&#...;" at `at`, with its value; 0 when there is none.
size_t CharacterReference(const std::string& xml, size_t at, unsigned long& code)
{
    if (xml.compare(at, 2, "&#") != 0)
        return 0;
    const bool hex = at + 2 < xml.size() && xml[at + 2] == 'x';
    size_t end = at + (hex ? 3 : 2);
    const size_t digitsBegin = end;
    code = 0;
    for (; end < xml.size(); ++end) {
        const char c = xml[end];
        unsigned long digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned long>(c - '0');
        else if (hex && c >= 'a' && c <= 'f')
            digit = static_cast<unsigned long>(c - 'a' + 10);
        else if (hex && c >= 'A' && c <= 'F')
            digit = static_cast<unsigned long>(c - 'A' + 10);
        else
            break;
        code = std::min<unsigned long>(code * (hex ? 16 : 10) + digit, 0x110000); // past the last character
    }
    if (end == digitsBegin || end >= xml.size() || xml[end] != ';')
        return 0;
    return end + 1 - at;
}

// The length of the named reference "&name;" at `at`; 0 when there is none.
size_t NamedReference(const std::string& xml, size_t at)
{
    size_t end = at + 1;
    if (end >= xml.size() || !CMarkupScanner::IsNameStart(xml[end]))
        return 0;
    while (end < xml.size() && end - at <= kLongestReference && CMarkupScanner::IsNameCharacter(xml[end]))
        ++end;
    return end < xml.size() && xml[end] == ';' ? end + 1 - at : 0;
}

// The start of the root element; with `rootNameEnd` the end of its name.
size_t FindRoot(const std::string& xml, size_t from, size_t& nameBegin, size_t& nameEnd)
{
    CMarkupScanner scanner(xml, from);
    Piece piece;
    size_t first = std::string::npos;
    while (scanner.Next(piece)) {
        if (piece.kind != CMarkupScanner::kStartTag || piece.nameBegin == piece.nameEnd)
            continue;
        if (IsFeedRootName(scanner.Name(piece)) || first == std::string::npos) {
            first = piece.begin;
            nameBegin = piece.nameBegin;
            nameEnd = piece.nameEnd;
            if (IsFeedRootName(scanner.Name(piece)))
                return first;
        }
    }
    return first;
}

// Counts the elements open in the root as the pieces from its start tag on are read; an end tag
// of another name that would end the root is stray. True for the piece that ends the root.
bool EndsRoot(const CMarkupScanner& scanner, const Piece& piece, const std::string& rootName, size_t& depth)
{
    if (piece.kind == CMarkupScanner::kStartTag && !piece.broken) {
        if (!piece.selfClosing)
            ++depth;
        return piece.selfClosing && depth == 0;
    }
    if (piece.kind == CMarkupScanner::kEndTag && depth > 0) {
        if (depth > 1 || scanner.Name(piece) == rootName)
            --depth;
        return depth == 0;
    }
    return false;
}

} // namespace

bool IsFeedRootName(const std::string& name)
{
    if (name == "rss" || name == "feed" || name == "RDF")
        return true;
    return name.size() > 4 && name.compare(name.size() - 4, 4, ":RDF") == 0;
}

size_t FindRootElement(const std::string& xml, size_t from)
{
    size_t nameBegin = 0, nameEnd = 0;
    return FindRoot(xml, from, nameBegin, nameEnd);
}

bool StripLeadingJunk(std::string& xml)
{
    const bool bom = xml.compare(0, 3, "\xEF\xBB\xBF") == 0;
    const XmlDeclaration declaration = FindXmlDeclaration(xml, true);
    std::string out;
    size_t from = bom ? 3 : 0;
    bool changed = false;
    if (declaration.begin != std::string::npos) {
        changed = declaration.begin != from;
        out.assign(xml, declaration.begin, declaration.end - declaration.begin);
        from = declaration.end;
    } else {
        out.assign(xml, 0, from);
    }
    const size_t root = FindRootElement(xml, from);
    if (root == std::string::npos) {
        if (changed)
            xml = out + xml.substr(from);
        return changed;
    }
    CMarkupScanner scanner(xml, from);
    Piece piece;
    while (scanner.Position() < root && scanner.Next(piece)) {
        const bool kept = piece.kind == CMarkupScanner::kComment || piece.kind == CMarkupScanner::kDoctype
            || (piece.kind == CMarkupScanner::kInstruction && xml.compare(piece.begin, 5, "<?xml") != 0)
            || (piece.kind == CMarkupScanner::kText && IsBlankText(xml, piece.begin, piece.end));
        if (kept)
            out.append(xml, piece.begin, piece.end - piece.begin);
        else
            changed = true;
    }
    if (!changed)
        return false;
    out.append(xml, root, std::string::npos);
    xml.swap(out);
    return true;
}

namespace {

// The forbidden characters themselves, wherever they stand, before the markup is read: taking
// one out may change what the markup is ("<??" "\0" ">" is an instruction only once the NUL has
// gone, and the text after it is then text), so the references are judged on the text without them.
bool RemoveForbiddenBytes(std::string& xml)
{
    std::string out;
    out.reserve(xml.size());
    for (const char c : xml) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && IsForbiddenCharacter(byte))
            continue;
        const size_t size = out.size();
        if ((byte == 0xBE || byte == 0xBF) && size >= 2 && out[size - 2] == '\xEF' && out[size - 1] == '\xBF') {
            out.resize(size - 2); // U+FFFE or U+FFFF
            continue;
        }
        out += c;
    }
    if (out.size() == xml.size())
        return false;
    xml.swap(out);
    return true;
}

} // namespace

// The forbidden bytes are taken out first; references as the text is copied, each judged once
// its ";" is copied, from what the copy then ends with: so that the pieces of a reference that a
// removal brings together ("&#" "&#1;" "1;") are judged as the one reference they have become.
bool RemoveForbiddenCharacters(std::string& xml)
{
    bool changed = RemoveForbiddenBytes(xml);
    std::string out;
    out.reserve(xml.size());
    CMarkupScanner scanner(xml);
    Piece piece;
    while (scanner.Next(piece)) {
        // References mean something only in text and attribute values.
        const bool references = piece.kind == CMarkupScanner::kText || piece.kind == CMarkupScanner::kStartTag;
        const size_t pieceStart = out.size();
        for (size_t at = piece.begin; at < piece.end; ++at) {
            const unsigned char c = static_cast<unsigned char>(xml[at]);
            // the last byte of U+FFFE or U+FFFF, its first two brought to it by a removed reference
            if (c == 0xBE || c == 0xBF) {
                const size_t size = out.size();
                if (size >= pieceStart + 2 && out[size - 2] == '\xEF' && out[size - 1] == '\xBF') {
                    out.resize(size - 2);
                    changed = true;
                    continue;
                }
            }
            out += static_cast<char>(c);
            if (c != ';' || !references)
                continue;
            // Looked for a short way back only, so that a long run of ";" costs no more than
            // its length; a reference of more digits than that is left to the parser.
            const size_t window = std::max(pieceStart, out.size() > kLongestCharacterReference
                                                           ? out.size() - kLongestCharacterReference : 0);
            size_t amp = out.size();
            while (amp > window && out[amp - 1] != '&')
                --amp;
            unsigned long code = 0;
            if (amp-- > window && CharacterReference(out, amp, code) == out.size() - amp
                && IsForbiddenCharacter(code)) {
                out.resize(amp);
                changed = true;
            }
        }
    }
    if (changed)
        xml.swap(out);
    return changed;
}

bool EscapeStrayMarkup(std::string& xml)
{
    const std::vector<std::string> declared = DeclaredEntityNames(xml);
    const std::set<std::string> entities(declared.begin(), declared.end());
    const auto known = [&](size_t at, size_t length) {
        const char* name = xml.data() + at + 1;
        const size_t nameLength = length - 2;
        for (const char* own : {"amp", "lt", "gt", "quot", "apos"}) {
            if (std::strlen(own) == nameLength && std::memcmp(own, name, nameLength) == 0)
                return true;
        }
        return IsHtmlEntityName(name, nameLength) || entities.count(std::string(name, nameLength)) > 0;
    };
    std::string out;
    out.reserve(xml.size() + xml.size() / 64);
    bool changed = false;
    CMarkupScanner scanner(xml);
    Piece piece;
    while (scanner.Next(piece)) {
        if (piece.kind == CMarkupScanner::kStray) {
            out += "&lt;";
            changed = true;
            continue;
        }
        if (piece.kind != CMarkupScanner::kText && piece.kind != CMarkupScanner::kStartTag) {
            out.append(xml, piece.begin, piece.end - piece.begin);
            continue;
        }
        for (size_t at = piece.begin; at < piece.end;) {
            // Looked for within the piece only: a search to the end of the document from every
            // piece would read the document once for each of them.
            const void* amp = std::memchr(xml.data() + at, '&', piece.end - at);
            const size_t stop = amp ? static_cast<size_t>(static_cast<const char*>(amp) - xml.data()) : piece.end;
            out.append(xml, at, stop - at);
            at = stop;
            if (at >= piece.end)
                break;
            unsigned long code = 0;
            size_t length = CharacterReference(xml, at, code);
            if (length == 0) {
                length = NamedReference(xml, at);
                if (length > 0 && !known(at, length))
                    length = 0;
            }
            if (length == 0 || at + length > piece.end) {
                out += "&amp;";
                changed = true;
                ++at;
            } else {
                out.append(xml, at, length);
                at += length;
            }
        }
    }
    if (changed)
        xml.swap(out);
    return changed;
}

bool CloseCutRootEndTag(std::string& xml)
{
    size_t last = xml.size(); // after the cut tag's last byte
    while (last > 0 && CMarkupScanner::IsBlank(xml[last - 1]))
        --last;
    size_t cut = last;
    while (cut > 0 && CMarkupScanner::IsNameCharacter(xml[cut - 1]))
        --cut;
    if (cut < 2 || xml.compare(cut - 2, 2, "</") != 0)
        return false;
    cut -= 2;
    size_t nameBegin = 0, nameEnd = 0;
    const size_t root = FindRoot(xml, 0, nameBegin, nameEnd);
    if (root == std::string::npos || root >= cut)
        return false;
    const std::string rootName = xml.substr(nameBegin, nameEnd - nameBegin);
    const size_t written = last - cut - 2; // of the name
    if (written > rootName.size() || xml.compare(cut + 2, written, rootName, 0, written) != 0)
        return false;
    CMarkupScanner scanner(xml, root);
    Piece piece;
    size_t depth = 0;
    while (scanner.Position() < cut && scanner.Next(piece)) {
        if (EndsRoot(scanner, piece, rootName, depth))
            return false;
    }
    if (scanner.Position() != cut || depth != 1)
        return false;
    xml.replace(cut, last - cut, "</" + rootName + ">");
    return true;
}

bool CutAfterRoot(std::string& xml)
{
    size_t nameBegin = 0, nameEnd = 0;
    const size_t root = FindRoot(xml, 0, nameBegin, nameEnd);
    if (root == std::string::npos)
        return false;
    const std::string rootName = xml.substr(nameBegin, nameEnd - nameBegin);
    // The root ends where as many elements have ended as have started in it, at an end tag of
    // its name.
    CMarkupScanner scanner(xml, root);
    Piece piece;
    size_t depth = 0;
    size_t end = std::string::npos;
    while (end == std::string::npos && scanner.Next(piece)) {
        if (EndsRoot(scanner, piece, rootName, depth))
            end = piece.end;
    }
    if (end == std::string::npos) {
        // Tags that do not pair up: the last end tag of the root's name, if any, ends it.
        const size_t last = xml.rfind("</" + rootName);
        if (last == std::string::npos || last < root)
            return false;
        end = xml.find('>', last);
        if (end == std::string::npos)
            return false;
        ++end;
    }
    if (IsBlankText(xml, end, xml.size()))
        return false;
    xml.resize(end);
    return true;
}
