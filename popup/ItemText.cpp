#include "popup/ItemText.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "popup/PopupColours.h"
#include "popup/PopupFonts.h"
#include "tray/BalloonText.h"

namespace {

const char kAfterTitle[] = "\\b0 \\par\r\n";
const char kEnd[] = "\\par}";
const char kLineBreak[] = "\\par ";
const size_t kLineBreakLength = sizeof kLineBreak - 1;
const size_t kBalloonBytes = 255;
const uint32_t kReplacement = 0xFFFD;

// The rich text's start: its font table, its colour table (the text colour), and the title's
// paragraph in bold at the items' size.
const std::string& FontTable()
{
    static const std::string table = std::string("{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033"
                                                 "{\\fonttbl{\\f0\\fswiss\\fcharset0 ") +
                                     kPopupFontFace + ";}}";
    return table;
}

std::string ColourTable(unsigned long colour)
{
    char table[64];
    std::snprintf(table, sizeof table, "{\\colortbl ;\\red%lu\\green%lu\\blue%lu;}", colour & 0xFF,
                  (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    return table;
}

const std::string& Header()
{
    static const std::string header = FontTable() + ColourTable(kTitleRed) +
                                      "{\\viewkind4\\uc1\\pard\\cf1\\b\\f0\\fs" +
                                      std::to_string(kItemTextPoints * 2) + " "; // in half points
    return header;
}

// Decodes one UTF-8 character at text (not at its end); returns its length in bytes. A byte that
// starts no well-formed sequence is one character of its own, U+FFFD.
size_t DecodeUtf8(const unsigned char* text, uint32_t& codePoint)
{
    const unsigned char lead = text[0];
    size_t length = 0;
    uint32_t value = 0, least = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        codePoint = kReplacement;
        return 1;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80) { // also stops at the terminator
            codePoint = kReplacement;
            return 1;
        }
        value = (value << 6) | (text[i] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        codePoint = kReplacement;
        return 1;
    }
    codePoint = value;
    return length;
}

void AppendUnicodeEscape(CString& out, uint32_t unit)
{
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\u%d?", static_cast<int>(static_cast<int16_t>(static_cast<uint16_t>(unit))));
    out += escape;
}

// Appends one character of plain text as RTF.
void AppendCharacter(CString& out, uint32_t c)
{
    if (c == '\\' || c == '{' || c == '}') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c == '\t') {
        out += "\\tab ";
    } else if (c < 0x20 || c == 0x7F) {
        out += ' ';
    } else if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x10000) {
        AppendUnicodeEscape(out, c);
    } else {
        c -= 0x10000;
        AppendUnicodeEscape(out, 0xD800 + (c >> 10));
        AppendUnicodeEscape(out, 0xDC00 + (c & 0x3FF));
    }
}

// Appends text as RTF. With marks, the description's own line breaks and escapes are kept.
void AppendText(CString& out, const char* text, bool marks)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*p) {
        if (marks && *p == '\\') {
            if (std::strncmp(reinterpret_cast<const char*>(p), kLineBreak, kLineBreakLength) == 0) {
                out += kLineBreak;
                p += kLineBreakLength;
                continue;
            }
            if (p[1] == '\\' || p[1] == '{' || p[1] == '}') {
                AppendCharacter(out, p[1]);
                p += 2;
                continue;
            }
        }
        uint32_t c = 0;
        p += DecodeUtf8(p, c);
        AppendCharacter(out, c);
    }
}

} // namespace

CString ItemRtf(const char* title, const char* description)
{
    CString rtf = Header().c_str();
    AppendText(rtf, title, false);
    rtf += kAfterTitle;
    AppendText(rtf, description, true);
    rtf += kEnd;
    return rtf;
}

CString NoFeedsRtf(const char* serviceDomain)
{
    CString rtf = Header().c_str();
    rtf += "No feeds have been found in this channel";
    rtf += kAfterTitle;
    CString line = "Go to ";
    line += serviceDomain ? serviceDomain : "";
    line += " to learn how to add feeds";
    AppendText(rtf, line, false);
    rtf += kEnd;
    return rtf;
}

CString RecolouredRtf(const char* rtf, unsigned long colour)
{
    const std::string& fonts = FontTable();
    const std::string written = ColourTable(kTitleRed);
    if (!rtf || std::strncmp(rtf, fonts.c_str(), fonts.size()) != 0 ||
        std::strncmp(rtf + fonts.size(), written.c_str(), written.size()) != 0)
        return CString(rtf ? rtf : "");
    CString result = fonts.c_str();
    result += ColourTable(colour).c_str();
    result += rtf + fonts.size() + written.size();
    return result;
}

CString AllMutedRtf()
{
    CString rtf = Header().c_str();
    rtf += "Every item of this feed is hidden";
    rtf += kAfterTitle;
    AppendText(rtf, "The words in Settings, under Hide items about, hide them", false);
    rtf += kEnd;
    return rtf;
}

CString BalloonTextOf(const char* description)
{
    CString text;
    const char* p = description ? description : "";
    while (*p) {
        if (*p == '\\') {
            if (std::strncmp(p, kLineBreak, kLineBreakLength) == 0) {
                p += kLineBreakLength;
                continue;
            }
            if (p[1] == '\\' || p[1] == '{' || p[1] == '}')
                ++p;
        }
        text += *p++;
    }
    return text.Left(static_cast<int>(Utf8CutLength(text, kBalloonBytes)));
}
