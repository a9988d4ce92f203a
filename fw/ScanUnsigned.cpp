#include "fw/ScanUnsigned.h"

#include <cstdint>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool ScanUnsigned(const char* text, unsigned& value)
{
    if (!text)
        return false;
    int at = 0;
    auto more = [&] { return at < kScanUnsignedChars && text[at] != '\0'; };
    while (more() && IsBlank(text[at]))
        ++at;
    bool negative = false;
    if (more() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    if (!more() || !IsDigit(text[at]))
        return false;
    const std::uint64_t largest = UINT32_MAX;
    std::uint64_t number = 0;
    for (; more() && IsDigit(text[at]); ++at) {
        number = number * 10 + static_cast<unsigned>(text[at] - '0');
        if (number > largest)
            number = largest + 1; // stays too large however many digits follow
    }
    if (number > largest)
        number = largest;
    if (!negative) {
        value = static_cast<unsigned>(number);
        return true;
    }
    // A minus wraps round to a huge number; a very long one is held where the wrap cannot
    // come back round to a small number that would pass for a valid entry.
    const std::uint64_t furthest = 0x80000000u;
    if (number > furthest)
        number = furthest;
    value = static_cast<unsigned>(0u - static_cast<std::uint32_t>(number));
    return true;
}
