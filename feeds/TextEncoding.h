// What the bytes of a feed document mean as characters: the encoding that its first bytes show
// or that its XML declaration names, and conversions of its text to UTF-8. Documents in the wild
// name one encoding and use another, name one that the system's parser does not know, or name
// none and are not UTF-8.
#pragma once
#include "fw/MarkupText.h" // AppendUtf8
#include <string>

// How the characters of a document are laid out in its bytes.
enum class ByteForm { kEightBit, kUtf16LE, kUtf16BE, kUtf32LE, kUtf32BE, kEbcdic };

// From the byte-order mark or, without one, from how the first "<" is written.
ByteForm DetectByteForm(const std::string& bytes);

// Where the XML declaration of an eight-bit document stands, and the encoding it names.
struct XmlDeclaration {
    size_t begin = std::string::npos; // npos when there is none
    size_t end = 0;                   // just after its "?>"
    size_t encodingBegin = 0;         // the encoding's value, without its quotes; empty when none
    size_t encodingEnd = 0;
};

// The declaration as a parser takes it: at the start, after a byte-order mark and blanks at
// most. With `afterJunk`, also one that stands after other text near the start (a server's
// warning, say), provided no feed's root element comes before it.
XmlDeclaration FindXmlDeclaration(const std::string& text, bool afterJunk);

// The encoding that the declaration names, in lower case; empty when it names none.
std::string DeclaredEncoding(const std::string& text, bool afterJunk);

// The Windows code page of an encoding name ("big5" 950, "windows-1251" 1251, "cp866" 866);
// 0 when none is known. ISO 8859-1 is taken as windows-1252, its superset, as browsers do.
unsigned CodePageOfEncoding(const std::string& encoding);

// True when markup can be read from the document's bytes as they are, whatever the characters
// above ASCII mean: every byte below 0x80 stands for its ASCII character, and "<", "&", the
// quotes and ">" never occur inside another character (UTF-8, the ISO 8859, Windows and DOS code
// pages, EUC, the double-byte Asian code pages). Not so for UTF-7, ISO 2022, HZ, EBCDIC, nor for
// a name not known here. A name of UTF-16 or UTF-32 counts as compatible: eight-bit bytes that
// claim it are refused or read as eight-bit by a parser, never as wide characters.
bool IsAsciiCompatible(const std::string& encoding);

bool IsValidUtf8(const std::string& text);
// Valid UTF-8 sequences stay as they are; every other byte is read as windows-1252.
std::string MendUtf8(const std::string& text);
std::string Windows1252ToUtf8(const std::string& text);
// A UTF-16 or UTF-32 document as UTF-8, without its byte-order mark; a lone surrogate or an
// impossible character becomes U+FFFD.
std::string WideToUtf8(const std::string& bytes, ByteForm form);

// The text with its XML declaration naming UTF-8; unchanged when it names no encoding.
std::string DeclareUtf8(const std::string& text);

// How a document that did not parse is to be made UTF-8.
struct Decoding {
    enum Kind {
        kNone,        // it is UTF-8 already, and says so or says nothing
        kMendUtf8,    // UTF-8, declared or assumed, with bytes that are not: those are windows-1252
        kWindows1252, // windows-1252 or ISO 8859-1, or an encoding that no code page is known for
        kCodePage,    // through the system's code page of that name
        kWide,        // UTF-16 or UTF-32
    };
    Kind kind = kNone;
    unsigned codePage = 0; // of kCodePage
    bool fromIso2022Jp = false; // converted as EUC-JP, which not every system's ISO-2022-JP is
    ByteForm form = ByteForm::kEightBit;
};
Decoding ChooseDecoding(const std::string& bytes);

// The bytes to give to the system's conversion for kCodePage.
std::string CodePageInput(const std::string& bytes, const Decoding& decoding);

// ISO-2022-JP as EUC-JP: the same characters, the escape sequences that switch between them
// replaced by the high bit of each byte of a two-byte character.
std::string Iso2022JpToEucJp(const std::string& bytes);

// The whole document in UTF-8 as the decoding gives it, the declaration naming UTF-8. For
// kCodePage, `converted` is what the system's conversion gave, or null when it could not convert:
// the bytes are then read as windows-1252.
std::string DecodeToUtf8(const std::string& bytes, const Decoding& decoding, const std::string* converted);
