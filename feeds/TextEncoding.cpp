#include "feeds/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace {

// How far into a document a declaration after junk is looked for.
const size_t kDeclarationReach = 64 * 1024;

const unsigned kUtf8 = 65001;
const unsigned kAscii = 20127;
const unsigned kWindows1252 = 1252;
const unsigned kIso2022Jp = 50220; // and its variants up to 50222
const unsigned kIso2022JpLast = 50222;
const unsigned kEucJp = 20932;

// The characters of windows-1252 from 0x80 to 0x9F; the five it leaves undefined stand for
// themselves, as the system's conversion has them.
const unsigned short kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Encoding names with the letters in lower case and everything else but digits left out, so
// that "ISO_8859-2", "iso-8859-2" and "iso8859_2" are one name.
struct NamedCodePage {
    const char* name;
    unsigned codePage;
};

const NamedCodePage kCodePages[] = {
    {"utf8", kUtf8}, {"unicode11utf8", kUtf8}, {"usascii", kAscii}, {"ascii", kAscii},
    {"iso646us", kAscii}, {"ansix341968", kAscii},
    {"iso88591", kWindows1252}, {"latin1", kWindows1252}, {"l1", kWindows1252}, {"isoir100", kWindows1252},
    {"csisolatin1", kWindows1252},
    {"iso88592", 28592}, {"latin2", 28592}, {"l2", 28592}, {"iso88593", 28593}, {"latin3", 28593},
    {"iso88594", 28594}, {"latin4", 28594}, {"iso88595", 28595}, {"cyrillic", 28595},
    {"iso88596", 28596}, {"arabic", 28596}, {"iso88597", 28597}, {"greek", 28597},
    {"iso88598", 28598}, {"hebrew", 28598}, {"iso88598i", 38598}, {"iso88599", 28599},
    {"latin5", 28599}, {"iso885911", 874}, {"iso885913", 28603}, {"iso885915", 28605},
    {"latin9", 28605}, {"tis620", 874},
    {"koi8", 20866}, {"koi8r", 20866}, {"cskoi8r", 20866}, {"koi8u", 21866}, {"koi8ru", 21866},
    {"gb2312", 936}, {"gbk", 936}, {"xgbk", 936}, {"chinese", 936}, {"csgb2312", 936},
    {"euccn", 936}, {"xeuccn", 936}, {"gb231280", 936}, {"isoir58", 936}, {"gb18030", 54936},
    {"big5", 950}, {"big5hkscs", 950}, {"cnbig5", 950}, {"xxbig5", 950}, {"csbig5", 950},
    {"shiftjis", 932}, {"sjis", 932}, {"xsjis", 932}, {"mskanji", 932}, {"csshiftjis", 932},
    {"windows31j", 932}, {"eucjp", 20932}, {"xeucjp", 20932}, {"cseucpkdfmtjapanese", 20932},
    {"euckr", 949}, {"ksc56011987", 949}, {"ksc5601", 949}, {"korean", 949}, {"csksc56011987", 949},
    {"isoir149", 949}, {"uhc", 949}, {"johab", 1361},
    {"iso2022jp", 50220}, {"csiso2022jp", 50220}, {"iso2022kr", 50225}, {"csiso2022kr", 50225},
    {"iso2022cn", 50227}, {"hzgb2312", 52936}, {"hz", 52936}, {"utf7", 65000},
    {"macintosh", 10000}, {"mac", 10000}, {"csmacintosh", 10000}, {"xmacroman", 10000},
    {"xmacjapanese", 10001}, {"xmacchinesetrad", 10002}, {"xmackorean", 10003}, {"xmacarabic", 10004},
    {"xmachebrew", 10005}, {"xmacgreek", 10006}, {"xmaccyrillic", 10007}, {"xmacchinesesimp", 10008},
    {"xmacukrainian", 10017}, {"xmacce", 10029}, {"xmacicelandic", 10079}, {"xmacturkish", 10081},
    {"utf16", 1200}, {"utf16le", 1200}, {"ucs2", 1200}, {"unicode", 1200}, {"iso10646ucs2", 1200},
    {"utf16be", 1201}, {"unicodefffe", 1201}, {"utf32", 12000}, {"utf32le", 12000}, {"ucs4", 12000},
    {"iso10646ucs4", 12000}, {"utf32be", 12001},
};

// Names that give their code page's number after a prefix: "windows-1251", "cp866", "ibm037".
const char* const kNumberedPrefixes[] = {"windows", "xcp", "cp", "ibm", "ms", "dos", "codepage"};

std::string NormalizedName(const std::string& encoding)
{
    std::string name;
    for (const char c : encoding) {
        if (c >= 'A' && c <= 'Z')
            name += static_cast<char>(c - 'A' + 'a');
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            name += c;
    }
    return name;
}

bool IsWideCodePage(unsigned codePage)
{
    return codePage == 1200 || codePage == 1201 || codePage == 12000 || codePage == 12001;
}

// The code pages in which markup can be read from the bytes: the DOS, Windows, Macintosh, ISO
// 8859, KOI8 and EUC ones, and the Asian double-byte ones (whose second bytes are never below
// 0x40). EBCDIC, ISO 2022, HZ and UTF-7 are not among them.
bool IsAsciiCompatibleCodePage(unsigned codePage)
{
    return codePage == 437 || (codePage >= 708 && codePage <= 720) || codePage == 737 || codePage == 775
        || (codePage >= 850 && codePage <= 869) || codePage == 874 || codePage == 932 || codePage == 936
        || codePage == 949 || codePage == 950 || (codePage >= 1250 && codePage <= 1258) || codePage == 1361
        || (codePage >= 10000 && codePage <= 10082) || codePage == kAscii || codePage == 20866
        || codePage == 21866 || codePage == 20932 || codePage == 20936 || codePage == 20949
        || (codePage >= 28591 && codePage <= 28605) || codePage == 38598 || codePage == 51932
        || codePage == 51936 || codePage == 51949 || codePage == 54936 || codePage == kUtf8;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWith(const std::string& text, size_t at, const char* literal)
{
    return text.compare(at, std::strlen(literal), literal) == 0;
}

void AppendWindows1252(std::string& out, unsigned char byte)
{
    AppendUtf8(out, byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte);
}

// The length of the valid UTF-8 sequence at `at`; 0 when there is none.
size_t Utf8SequenceLength(const std::string& text, size_t at)
{
    const unsigned char* b = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const size_t left = text.size() - at;
    const auto follows = [&](size_t i, unsigned char low, unsigned char high) {
        return i < left && b[i] >= low && b[i] <= high;
    };
    if (b[0] < 0x80)
        return 1;
    if (b[0] >= 0xC2 && b[0] <= 0xDF)
        return follows(1, 0x80, 0xBF) ? 2 : 0;
    if (b[0] >= 0xE0 && b[0] <= 0xEF) {
        const unsigned char low = b[0] == 0xE0 ? 0xA0 : 0x80;
        const unsigned char high = b[0] == 0xED ? 0x9F : 0xBF; // no surrogates
        return follows(1, low, high) && follows(2, 0x80, 0xBF) ? 3 : 0;
    }
    if (b[0] >= 0xF0 && b[0] <= 0xF4) {
        const unsigned char low = b[0] == 0xF0 ? 0x90 : 0x80;
        const unsigned char high = b[0] == 0xF4 ? 0x8F : 0xBF; // nothing past U+10FFFF
        return follows(1, low, high) && follows(2, 0x80, 0xBF) && follows(3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// Where the start tag of a feed's root element ("<rss", "<feed", "<rdf:RDF") first stands.
size_t FirstFeedRoot(const std::string& text, size_t limit)
{
    size_t first = std::string::npos;
    for (const char* root : {"<rss", "<feed", "<rdf:RDF", "<RDF"}) {
        const size_t found = text.find(root);
        if (found < first && found < limit)
            first = found;
    }
    return first;
}

} // namespace

ByteForm DetectByteForm(const std::string& bytes)
{
    const auto at = [&](size_t i) { return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0x100u; };
    if (at(0) == 0xFF && at(1) == 0xFE)
        return at(2) == 0 && at(3) == 0 ? ByteForm::kUtf32LE : ByteForm::kUtf16LE;
    if (at(0) == 0xFE && at(1) == 0xFF)
        return ByteForm::kUtf16BE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
        return ByteForm::kUtf32BE;
    if (at(0) == '<' && at(1) == 0)
        return at(2) == 0 && at(3) == 0 ? ByteForm::kUtf32LE : ByteForm::kUtf16LE;
    if (at(0) == 0 && at(1) == '<')
        return ByteForm::kUtf16BE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) == '<')
        return ByteForm::kUtf32BE;
    if (at(0) == 0x4C && at(1) == 0x6F && at(2) == 0xA7 && at(3) == 0x94) // "<?xm" in EBCDIC
        return ByteForm::kEbcdic;
    return ByteForm::kEightBit;
}

XmlDeclaration FindXmlDeclaration(const std::string& text, bool afterJunk)
{
    XmlDeclaration declaration;
    size_t at = StartsWith(text, 0, "\xEF\xBB\xBF") ? 3 : 0;
    while (at < text.size() && IsBlank(text[at]))
        ++at;
    size_t begin = StartsWith(text, at, "<?xml") ? at : std::string::npos;
    if (begin == std::string::npos && afterJunk) {
        const size_t reach = std::min(FirstFeedRoot(text, kDeclarationReach), kDeclarationReach);
        for (size_t found = text.find("<?xml"); found < reach; found = text.find("<?xml", found + 1)) {
            if (found + 5 < text.size() && IsBlank(text[found + 5])) {
                begin = found;
                break;
            }
        }
    }
    if (begin == std::string::npos || begin + 5 >= text.size() || !IsBlank(text[begin + 5]))
        return declaration;
    const size_t end = text.find("?>", begin + 5);
    if (end == std::string::npos)
        return declaration;
    declaration.begin = begin;
    declaration.end = end + 2;
    // encoding = "name", with blanks allowed around the equals sign
    for (size_t name = text.find("encoding", begin + 5); name < end; name = text.find("encoding", name + 1)) {
        size_t value = name + 8;
        while (value < end && IsBlank(text[value]))
            ++value;
        if (value >= end || text[value] != '=')
            continue;
        ++value;
        while (value < end && IsBlank(text[value]))
            ++value;
        if (value >= end || (text[value] != '"' && text[value] != '\''))
            continue;
        const size_t close = text.find(text[value], value + 1);
        if (close == std::string::npos || close > end)
            continue;
        declaration.encodingBegin = value + 1;
        declaration.encodingEnd = close;
        break;
    }
    return declaration;
}

std::string DeclaredEncoding(const std::string& text, bool afterJunk)
{
    const XmlDeclaration declaration = FindXmlDeclaration(text, afterJunk);
    if (declaration.begin == std::string::npos)
        return std::string();
    std::string name = text.substr(declaration.encodingBegin, declaration.encodingEnd - declaration.encodingBegin);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return name;
}

unsigned CodePageOfEncoding(const std::string& encoding)
{
    const std::string name = NormalizedName(encoding);
    for (const NamedCodePage& entry : kCodePages) {
        if (name == entry.name)
            return entry.codePage;
    }
    for (const char* prefix : kNumberedPrefixes) {
        const size_t length = std::strlen(prefix);
        if (name.size() <= length || name.size() > length + 5 || name.compare(0, length, prefix) != 0)
            continue;
        unsigned number = 0;
        for (size_t i = length; i < name.size(); ++i) {
            if (name[i] < '0' || name[i] > '9')
                return 0;
            number = number * 10 + static_cast<unsigned>(name[i] - '0');
        }
        return number;
    }
    return 0;
}

bool IsAsciiCompatible(const std::string& encoding)
{
    const unsigned codePage = CodePageOfEncoding(encoding);
    return IsAsciiCompatibleCodePage(codePage) || IsWideCodePage(codePage);
}

bool IsValidUtf8(const std::string& text)
{
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string MendUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t at = 0; at < text.size();) {
        const size_t length = Utf8SequenceLength(text, at);
        if (length == 0) {
            AppendWindows1252(out, static_cast<unsigned char>(text[at]));
            ++at;
        } else {
            out.append(text, at, length);
            at += length;
        }
    }
    return out;
}

std::string Windows1252ToUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (const char c : text)
        AppendWindows1252(out, static_cast<unsigned char>(c));
    return out;
}

std::string WideToUtf8(const std::string& bytes, ByteForm form)
{
    const bool wide32 = form == ByteForm::kUtf32LE || form == ByteForm::kUtf32BE;
    const bool bigEndian = form == ByteForm::kUtf16BE || form == ByteForm::kUtf32BE;
    const size_t unit = wide32 ? 4 : 2;
    const auto read = [&](size_t at) {
        unsigned long value = 0;
        for (size_t i = 0; i < unit; ++i) {
            const unsigned long byte = static_cast<unsigned char>(bytes[at + (bigEndian ? i : unit - 1 - i)]);
            value = value << 8 | byte;
        }
        return value;
    };
    std::string out;
    out.reserve(bytes.size() / unit + bytes.size() / 8);
    size_t at = 0;
    if (bytes.size() >= unit && read(0) == 0xFEFF)
        at = unit;
    for (; at + unit <= bytes.size(); at += unit) {
        unsigned long code = read(at);
        if (!wide32 && code >= 0xD800 && code <= 0xDBFF && at + 2 * unit <= bytes.size()) {
            const unsigned long low = read(at + unit);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                at += unit;
            }
        }
        if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            code = 0xFFFD;
        AppendUtf8(out, code);
    }
    return out;
}

std::string DeclareUtf8(const std::string& text)
{
    const XmlDeclaration declaration = FindXmlDeclaration(text, true);
    if (declaration.begin == std::string::npos || declaration.encodingBegin == declaration.encodingEnd)
        return text;
    return text.substr(0, declaration.encodingBegin) + "utf-8" + text.substr(declaration.encodingEnd);
}

Decoding ChooseDecoding(const std::string& bytes)
{
    Decoding decoding;
    decoding.form = DetectByteForm(bytes);
    if (decoding.form == ByteForm::kEbcdic)
        return decoding; // nothing here reads it
    if (decoding.form != ByteForm::kEightBit) {
        decoding.kind = Decoding::kWide;
        return decoding;
    }
    const std::string declared = DeclaredEncoding(bytes, true);
    const unsigned codePage = declared.empty() ? kUtf8 : CodePageOfEncoding(declared);
    if (codePage == kUtf8 || codePage == kAscii || IsWideCodePage(codePage)) {
        // Valid UTF-8 that names another encoding only needs the declaration changed.
        decoding.kind = codePage == kUtf8 && IsValidUtf8(bytes) ? Decoding::kNone : Decoding::kMendUtf8;
    } else if (codePage == kWindows1252 || codePage == 0) {
        decoding.kind = Decoding::kWindows1252;
    } else {
        decoding.kind = Decoding::kCodePage;
        decoding.codePage = codePage;
        if (codePage >= kIso2022Jp && codePage <= kIso2022JpLast) {
            decoding.codePage = kEucJp;
            decoding.fromIso2022Jp = true;
        }
    }
    return decoding;
}

std::string CodePageInput(const std::string& bytes, const Decoding& decoding)
{
    return decoding.fromIso2022Jp ? Iso2022JpToEucJp(bytes) : bytes;
}

std::string Iso2022JpToEucJp(const std::string& bytes)
{
    enum Set { kRoman, kDoubleByte, kSupplement, kKatakana } set = kRoman;
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size(); ++at) {
        const unsigned char c = static_cast<unsigned char>(bytes[at]);
        if (c == 0x1B) {
            static const struct {
                const char* sequence;
                Set set;
            } kEscapes[] = {{"\x1B(B", kRoman}, {"\x1B(J", kRoman}, {"\x1B$@", kDoubleByte}, {"\x1B$B", kDoubleByte},
                            {"\x1B$(D", kSupplement}, {"\x1B(I", kKatakana}};
            bool known = false;
            for (const auto& escape : kEscapes) {
                const size_t length = std::strlen(escape.sequence);
                if (bytes.compare(at, length, escape.sequence) == 0) {
                    set = escape.set;
                    at += length - 1;
                    known = true;
                    break;
                }
            }
            if (!known)
                out += static_cast<char>(c);
            continue;
        }
        if (c < 0x21 || c > 0x7E || set == kRoman) {
            if (c == '\n' || c == '\r')
                set = kRoman; // each line starts in ASCII
            out += static_cast<char>(c);
        } else if (set == kKatakana) {
            out += '\x8E';
            out += static_cast<char>(c | 0x80);
        } else if (at + 1 < bytes.size() && bytes[at + 1] >= 0x21 && bytes[at + 1] <= 0x7E) {
            if (set == kSupplement)
                out += '\x8F';
            out += static_cast<char>(c | 0x80);
            out += static_cast<char>(bytes[++at] | 0x80);
        }
    }
    return out;
}

std::string DecodeToUtf8(const std::string& bytes, const Decoding& decoding, const std::string* converted)
{
    switch (decoding.kind) {
    case Decoding::kNone:
        return bytes;
    case Decoding::kMendUtf8:
        return DeclareUtf8(MendUtf8(bytes));
    case Decoding::kWide:
        return DeclareUtf8(WideToUtf8(bytes, decoding.form));
    case Decoding::kCodePage:
        if (converted)
            return DeclareUtf8(*converted);
        break;
    case Decoding::kWindows1252:
        break;
    }
    return DeclareUtf8(Windows1252ToUtf8(bytes));
}
