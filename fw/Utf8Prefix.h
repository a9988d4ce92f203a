// The first characters of UTF-8 text, never a character cut in two.
#pragma once
#include <string>

// At most count characters from the start of text; a byte that does not continue a character
// counts as one.
inline std::string Utf8Prefix(const std::string& text, int count)
{
    int characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80 && ++characters > count)
            return text.substr(0, i);
    }
    return text;
}
