// A picture held as a device-independent bitmap: decoded from a stream through GDI+ and
// drawn stretched, alpha-blended when it has an alpha channel.
#pragma once
#include <windows.h>
#include <objidl.h>

#include "fw/CScopedHandle.h"

class CImage {
public:
    CImage() = default;
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    bool IsNull() const { return !m_bitmap; }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    int GetBPP() const { return m_bitsPerPixel; }
    bool HasAlpha() const { return m_hasAlpha; }
    void Destroy();

    // Decodes a PNG, JPEG, GIF or BMP picture from the start of the stream; other formats are
    // refused, and so is a stream of more than kLargestFile bytes. A picture whose header claims
    // a side longer than largestSide pixels, or more pixels in all its frames than a square of
    // that side, is refused before the decoder sees it. The image must be empty. The decoder
    // starts at the first call and runs until ReleaseDecoder.
    HRESULT Load(IStream* stream, int largestSide);
    static const unsigned long kLargestFile = 4ul << 20;

    // Draws the whole picture stretched into dest; nothing when empty.
    BOOL Draw(HDC dc, const RECT& dest) const;

    // Takes the other's picture and gives it this one's.
    void Swap(CImage& other);

    // Starts the decoder, once for the process, so that pictures may be decoded on any thread
    // from then on; false when it cannot start.
    static bool StartDecoder();
    // Shuts the decoder down; the next Load starts it again. Nothing may be decoding meanwhile.
    static void ReleaseDecoder();

private:
    CGdiObject m_bitmap;
    int m_width = 0;
    int m_height = 0;
    int m_bitsPerPixel = 0;
    bool m_hasAlpha = false;

    static ULONG_PTR s_decoderToken;
};
