// What a picture file claims about itself before a single pixel is decoded: its format and its
// size, read from its header (PNG's IHDR, JPEG's frame header, GIF's logical screen and image
// descriptors, BMP's information header). A decoder allocates what the header claims, so a small
// file can claim a picture of gigabytes; the claim is checked first. Portable; the bytes may be
// anything.
#pragma once
#include <cstddef>
#include <cstdint>

enum class PictureFormat { Unknown, Png, Jpeg, Gif, Bmp };

struct PictureHeader {
    PictureFormat format = PictureFormat::Unknown;
    uint32_t width = 0;       // 0 when the header could not be read
    uint32_t height = 0;
    uint64_t framePixels = 0; // the pixels of every frame a decoder reads (a GIF holds several)
};

PictureHeader ReadPictureHeader(const unsigned char* bytes, size_t size);

// True when the picture may be handed to a decoder: a format read above, a size read from its
// header, neither side longer than largestSide, and no more pixels in all its frames than a
// square of that side holds.
bool MayDecodePicture(const PictureHeader& header, int largestSide);
