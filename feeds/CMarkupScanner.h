// Reads the markup of a document that may not be well-formed, one piece at a time, the way a
// forgiving reader does: each piece is text, a tag, a comment, a CDATA section, a processing
// instruction or a DOCTYPE, and a piece that never ends runs to the end of the text. Every piece
// takes at least one byte and is found without looking back, so a whole document is read in
// time linear in its size. The text must be ASCII-compatible (UTF-8, say).
#pragma once
#include <cstddef>
#include <string>

class CMarkupScanner {
public:
    enum Kind {
        kText,        // character data up to the next "<"
        kStartTag,    // "<name ...>" or "<name .../>"
        kEndTag,      // "</name>"
        kComment,     // "<!-- -->"
        kCData,       // "<![CDATA[ ]]>"
        kInstruction, // "<? ?>", the XML declaration among them
        kDoctype,     // "<!DOCTYPE ...>" with its internal subset
        kDeclaration, // any other "<!...>"
        kStray,       // a "<" that starts no markup ("a < b")
    };
    struct Piece {
        Kind kind = kText;
        size_t begin = 0;
        size_t end = 0;        // just after the piece
        size_t nameBegin = 0;  // of a start or end tag
        size_t nameEnd = 0;
        bool selfClosing = false;
        bool broken = false;   // not closed, or not what its kind must look like
    };

    explicit CMarkupScanner(const std::string& text, size_t from = 0) : m_text(text), m_at(from) {}

    // The next piece; false at the end of the text.
    bool Next(Piece& piece);
    size_t Position() const { return m_at; }

    static bool IsNameStart(char c);
    static bool IsNameCharacter(char c);
    static bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // The name of a tag piece.
    std::string Name(const Piece& piece) const
    {
        return m_text.substr(piece.nameBegin, piece.nameEnd - piece.nameBegin);
    }
    bool NameIs(const Piece& piece, const char* name) const;

private:
    void ReadUntil(Piece& piece, const char* close, size_t from);
    void ReadTag(Piece& piece);
    void ReadDoctype(Piece& piece);

    const std::string& m_text;
    size_t m_at;
};
