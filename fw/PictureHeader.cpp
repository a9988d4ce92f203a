#include "fw/PictureHeader.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t BigEndian16(const unsigned char* at)
{
    return static_cast<uint32_t>(at[0]) << 8 | at[1];
}

uint32_t BigEndian32(const unsigned char* at)
{
    return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 | static_cast<uint32_t>(at[2]) << 8
        | at[3];
}

uint32_t LittleEndian16(const unsigned char* at)
{
    return static_cast<uint32_t>(at[1]) << 8 | at[0];
}

uint32_t LittleEndian32(const unsigned char* at)
{
    return static_cast<uint32_t>(at[3]) << 24 | static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[1]) << 8
        | at[0];
}

bool StartsWith(const unsigned char* bytes, size_t size, const char* signature, size_t length)
{
    return size >= length && std::memcmp(bytes, signature, length) == 0;
}

void SetSize(PictureHeader& header, uint32_t width, uint32_t height)
{
    if (width == 0 || height == 0)
        return;
    header.width = width;
    header.height = height;
    header.framePixels = static_cast<uint64_t>(width) * height;
}

// The first chunk of a PNG is IHDR: width and height as 31-bit numbers.
void ReadPng(const unsigned char* bytes, size_t size, PictureHeader& header)
{
    if (size < 24 || BigEndian32(bytes + 8) != 13 || std::memcmp(bytes + 12, "IHDR", 4) != 0)
        return;
    const uint32_t width = BigEndian32(bytes + 16), height = BigEndian32(bytes + 20);
    if (width <= 0x7FFFFFFF && height <= 0x7FFFFFFF)
        SetSize(header, width, height);
}

bool IsFrameHeader(unsigned char marker)
{
    // SOF0 to SOF15, but for DHT (C4), JPG (C8) and DAC (CC).
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Walks the segments up to the first scan; the largest frame header met is the size. A frame
// whose height is left to a later marker (0) has no size here.
void ReadJpeg(const unsigned char* bytes, size_t size, PictureHeader& header)
{
    uint32_t width = 0, height = 0;
    bool unknownHeight = false;
    size_t at = 2;
    while (at < size) {
        if (bytes[at] != 0xFF)
            break; // not a marker where one must be
        while (at < size && bytes[at] == 0xFF)
            ++at; // fill bytes
        if (at >= size)
            break;
        const unsigned char marker = bytes[at++];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // no length
        if (marker == 0xD8 || marker == 0xD9 || marker == 0xDA || at + 2 > size)
            break; // a second start, the end, or the first scan
        const size_t length = BigEndian16(bytes + at);
        if (length < 2 || length > size - at)
            break;
        if (IsFrameHeader(marker)) {
            if (length < 8)
                break;
            const uint32_t frameHeight = BigEndian16(bytes + at + 3), frameWidth = BigEndian16(bytes + at + 5);
            unknownHeight = unknownHeight || frameHeight == 0;
            width = std::max(width, frameWidth);
            height = std::max(height, frameHeight);
        }
        at += length;
    }
    if (!unknownHeight)
        SetSize(header, width, height);
}

// Skips GIF data sub-blocks; false when the data ends before their terminator.
bool SkipSubBlocks(const unsigned char* bytes, size_t size, size_t& at)
{
    while (at < size) {
        const size_t length = bytes[at++];
        if (length == 0)
            return true;
        if (length > size - at)
            return false;
        at += length;
    }
    return false;
}

size_t ColourTableBytes(unsigned char packed)
{
    return packed & 0x80 ? 3u << ((packed & 7) + 1) : 0;
}

// The logical screen, and every image descriptor up to the trailer: the size is what the screen
// and the frames cover, and every frame counts.
void ReadGif(const unsigned char* bytes, size_t size, PictureHeader& header)
{
    if (size < 13)
        return;
    uint32_t width = LittleEndian16(bytes + 6), height = LittleEndian16(bytes + 8);
    uint64_t framePixels = 0;
    size_t at = 13 + ColourTableBytes(bytes[10]);
    bool frames = false;
    while (at < size && bytes[at] != 0x3B) {
        const unsigned char block = bytes[at++];
        if (block == 0x21) { // an extension: its label, then sub-blocks
            ++at;
            if (!SkipSubBlocks(bytes, size, at))
                break;
        } else if (block == 0x2C) {
            if (size - at < 9)
                break;
            const uint32_t left = LittleEndian16(bytes + at), top = LittleEndian16(bytes + at + 2);
            const uint32_t frameWidth = LittleEndian16(bytes + at + 4), frameHeight = LittleEndian16(bytes + at + 6);
            const unsigned char packed = bytes[at + 8];
            width = std::max(width, left + frameWidth);
            height = std::max(height, top + frameHeight);
            framePixels += static_cast<uint64_t>(frameWidth) * frameHeight;
            frames = true;
            at += 9 + ColourTableBytes(packed) + 1; // the descriptor, its colours, the code size
            if (at > size || !SkipSubBlocks(bytes, size, at))
                break;
        } else {
            break;
        }
    }
    if (!frames || width == 0 || height == 0)
        return;
    header.width = width;
    header.height = height;
    header.framePixels = std::max(framePixels, static_cast<uint64_t>(width) * height);
}

// The file header, then an information header of 12 bytes (16-bit sides) or more (32-bit,
// a negative height for rows from the top).
void ReadBmp(const unsigned char* bytes, size_t size, PictureHeader& header)
{
    if (size < 26)
        return;
    const uint32_t infoSize = LittleEndian32(bytes + 14);
    if (infoSize == 12) {
        SetSize(header, LittleEndian16(bytes + 18), LittleEndian16(bytes + 20));
        return;
    }
    if (infoSize < 16)
        return;
    const int32_t width = static_cast<int32_t>(LittleEndian32(bytes + 18));
    const int32_t height = static_cast<int32_t>(LittleEndian32(bytes + 22));
    if (width <= 0 || height == INT32_MIN)
        return;
    SetSize(header, static_cast<uint32_t>(width), static_cast<uint32_t>(height < 0 ? -height : height));
}

} // namespace

PictureHeader ReadPictureHeader(const unsigned char* bytes, size_t size)
{
    PictureHeader header;
    if (!bytes)
        return header;
    if (StartsWith(bytes, size, "\x89PNG\r\n\x1a\n", 8)) {
        header.format = PictureFormat::Png;
        ReadPng(bytes, size, header);
    } else if (StartsWith(bytes, size, "\xFF\xD8", 2)) {
        header.format = PictureFormat::Jpeg;
        ReadJpeg(bytes, size, header);
    } else if (StartsWith(bytes, size, "GIF87a", 6) || StartsWith(bytes, size, "GIF89a", 6)) {
        header.format = PictureFormat::Gif;
        ReadGif(bytes, size, header);
    } else if (StartsWith(bytes, size, "BM", 2)) {
        header.format = PictureFormat::Bmp;
        ReadBmp(bytes, size, header);
    }
    return header;
}

bool MayDecodePicture(const PictureHeader& header, int largestSide)
{
    if (header.format == PictureFormat::Unknown || largestSide <= 0 || header.width == 0 || header.height == 0)
        return false;
    const uint64_t side = static_cast<uint64_t>(largestSide);
    return header.width <= side && header.height <= side && header.framePixels <= side * side;
}
