#include "tray/BalloonText.h"

#include <cstring>

namespace {

bool IsContinuationByte(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Number of bytes of the sequence that byte starts; 1 for anything that starts no sequence.
size_t Utf8SequenceLength(unsigned char byte)
{
    if (byte >= 0xC0 && byte <= 0xDF)
        return 2;
    if (byte >= 0xE0 && byte <= 0xEF)
        return 3;
    if (byte >= 0xF0 && byte <= 0xF7)
        return 4;
    return 1;
}

const size_t kLongestUtf8Sequence = 4;

} // namespace

size_t Utf8CutLength(const char* text, size_t maxBytes)
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t length = strnlen(text, maxBytes + 1);
    if (length <= maxBytes)
        return length;
    // bytes[maxBytes] is the first byte left out: walk back to the start of its character.
    size_t start = maxBytes;
    while (start > 0 && maxBytes - start < kLongestUtf8Sequence - 1 && IsContinuationByte(bytes[start]))
        --start;
    if (start < maxBytes && start + Utf8SequenceLength(bytes[start]) > maxBytes)
        return start;
    return maxBytes;
}

size_t DbcsCutLength(const char* text, size_t maxBytes, bool (*isLeadByte)(unsigned char))
{
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t length = 0;
    while (length < maxBytes && bytes[length] != 0) {
        // A lead byte right before the terminator has no second byte and stands alone.
        size_t width = isLeadByte(bytes[length]) && bytes[length + 1] != 0 ? 2 : 1;
        if (length + width > maxBytes)
            break;
        length += width;
    }
    return length;
}
