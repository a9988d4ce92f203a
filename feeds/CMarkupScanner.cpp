#include "feeds/CMarkupScanner.h"

#include <cstring>

bool CMarkupScanner::IsNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':'
        || static_cast<unsigned char>(c) >= 0x80;
}

bool CMarkupScanner::IsNameCharacter(char c)
{
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool CMarkupScanner::NameIs(const Piece& piece, const char* name) const
{
    const size_t length = std::strlen(name);
    return piece.nameEnd - piece.nameBegin == length && m_text.compare(piece.nameBegin, length, name) == 0;
}

bool CMarkupScanner::Next(Piece& piece)
{
    if (m_at >= m_text.size())
        return false;
    piece = Piece();
    piece.begin = m_at;
    if (m_text[m_at] != '<') {
        const size_t next = m_text.find('<', m_at);
        piece.kind = kText;
        piece.end = next == std::string::npos ? m_text.size() : next;
    } else if (m_text.compare(m_at, 4, "<!--") == 0) {
        piece.kind = kComment;
        ReadUntil(piece, "-->", m_at + 4);
    } else if (m_text.compare(m_at, 9, "<![CDATA[") == 0) {
        piece.kind = kCData;
        ReadUntil(piece, "]]>", m_at + 9);
    } else if (m_text.compare(m_at, 9, "<!DOCTYPE") == 0) {
        piece.kind = kDoctype;
        ReadDoctype(piece);
    } else if (m_text.compare(m_at, 2, "<!") == 0) {
        piece.kind = kDeclaration;
        ReadUntil(piece, ">", m_at + 2);
    } else if (m_text.compare(m_at, 2, "<?") == 0) {
        piece.kind = kInstruction;
        ReadUntil(piece, "?>", m_at + 2);
    } else if (m_at + 1 < m_text.size() && (IsNameStart(m_text[m_at + 1]) || m_text[m_at + 1] == '/')) {
        ReadTag(piece);
    } else {
        piece.kind = kStray;
        piece.end = m_at + 1;
    }
    m_at = piece.end;
    return true;
}

void CMarkupScanner::ReadUntil(Piece& piece, const char* close, size_t from)
{
    const size_t found = m_text.find(close, from);
    if (found == std::string::npos) {
        piece.end = m_text.size();
        piece.broken = true;
    } else {
        piece.end = found + std::strlen(close);
    }
}

// A tag ends at its ">"; quoted attribute values may hold ">" but not "<". A "<" where none can
// be ends the tag there, as broken, so that what follows is read as markup of its own.
void CMarkupScanner::ReadTag(Piece& piece)
{
    size_t at = piece.begin + 1;
    piece.kind = kStartTag;
    if (m_text[at] == '/') {
        piece.kind = kEndTag;
        ++at;
    }
    piece.nameBegin = at;
    while (at < m_text.size() && IsNameCharacter(m_text[at]))
        ++at;
    piece.nameEnd = at;
    if (piece.nameEnd == piece.nameBegin)
        piece.broken = true;
    bool expectValue = false; // after "=", a quoted value must come
    while (at < m_text.size()) {
        const char c = m_text[at];
        if (c == '>') {
            piece.end = at + 1;
            piece.broken = piece.broken || expectValue;
            return;
        }
        if (c == '<') {
            piece.end = at;
            piece.broken = true;
            return;
        }
        if (c == '"' || c == '\'') {
            const size_t close = m_text.find_first_of(c == '"' ? "\"<" : "'<", at + 1);
            if (close == std::string::npos || m_text[close] == '<') {
                piece.end = close == std::string::npos ? m_text.size() : close;
                piece.broken = true;
                return;
            }
            piece.broken = piece.broken || !expectValue || piece.kind == kEndTag;
            expectValue = false;
            at = close + 1;
            continue;
        }
        if (c == '/' && at + 1 < m_text.size() && m_text[at + 1] == '>' && piece.kind == kStartTag) {
            piece.selfClosing = true;
            piece.end = at + 2;
            piece.broken = piece.broken || expectValue;
            return;
        }
        if (c == '=')
            piece.broken = piece.broken || expectValue || piece.kind == kEndTag;
        else if (!IsBlank(c) && (!IsNameCharacter(c) || expectValue || piece.kind == kEndTag))
            piece.broken = true; // an unquoted value, or a stray character
        if (c == '=')
            expectValue = true;
        ++at;
    }
    piece.end = m_text.size();
    piece.broken = true;
}

// The internal subset may hold ">" in literals, comments and processing instructions; it ends at
// the first "]" outside them.
void CMarkupScanner::ReadDoctype(Piece& piece)
{
    size_t at = piece.begin + 9;
    bool inSubset = false;
    while (at < m_text.size()) {
        const char c = m_text[at];
        if (c == '"' || c == '\'') {
            const size_t close = m_text.find(c, at + 1);
            if (close == std::string::npos)
                break;
            at = close + 1;
        } else if (inSubset && m_text.compare(at, 4, "<!--") == 0) {
            const size_t close = m_text.find("-->", at + 4);
            if (close == std::string::npos)
                break;
            at = close + 3;
        } else if (inSubset && m_text.compare(at, 2, "<?") == 0) {
            const size_t close = m_text.find("?>", at + 2);
            if (close == std::string::npos)
                break;
            at = close + 2;
        } else if (c == '[' && !inSubset) {
            inSubset = true;
            ++at;
        } else if (c == ']' && inSubset) {
            inSubset = false;
            ++at;
        } else if (c == '>' && !inSubset) {
            piece.end = at + 1;
            return;
        } else {
            ++at;
        }
    }
    piece.end = m_text.size();
    piece.broken = true;
}
