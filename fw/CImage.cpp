#include "fw/CImage.h"

#include <gdiplus.h>

#include <utility>
#include <vector>

#include "fw/CDeviceContext.h"
#include "fw/PictureHeader.h"

using namespace Gdiplus;

ULONG_PTR CImage::s_decoderToken = 0;

namespace {

// The flat interface of GDI+ image, released when it goes.
class CDecodedBitmap {
public:
    ~CDecodedBitmap()
    {
        if (bitmap)
            DllExports::GdipDisposeImage(bitmap);
    }
    GpBitmap* bitmap = nullptr;
};

// What the header of the picture in the stream claims; the stream is read from its start and
// left there. A stream that cannot be read, or is longer than maxBytes, claims nothing.
PictureHeader ReadStreamHeader(IStream* stream, unsigned long maxBytes)
{
    LARGE_INTEGER start = {};
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)))
        return PictureHeader();
    std::vector<unsigned char> bytes;
    unsigned char piece[16384];
    ULONG read = 0;
    while (bytes.size() <= maxBytes && SUCCEEDED(stream->Read(piece, sizeof piece, &read)) && read > 0)
        bytes.insert(bytes.end(), piece, piece + read);
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (bytes.size() > maxBytes)
        return PictureHeader();
    return ReadPictureHeader(bytes.data(), bytes.size());
}

} // namespace

void CImage::Destroy()
{
    m_bitmap.Reset();
    m_width = m_height = m_bitsPerPixel = 0;
    m_hasAlpha = false;
}

void CImage::Swap(CImage& other)
{
    HGDIOBJ mine = m_bitmap.Detach();
    m_bitmap.Reset(other.m_bitmap.Detach());
    other.m_bitmap.Reset(mine);
    std::swap(m_width, other.m_width);
    std::swap(m_height, other.m_height);
    std::swap(m_bitsPerPixel, other.m_bitsPerPixel);
    std::swap(m_hasAlpha, other.m_hasAlpha);
}

bool CImage::StartDecoder()
{
    if (!s_decoderToken) {
        GdiplusStartupInput input;
        if (GdiplusStartup(&s_decoderToken, &input, nullptr) != Ok)
            s_decoderToken = 0;
    }
    return s_decoderToken != 0;
}

HRESULT CImage::Load(IStream* stream, int largestSide)
{
    if (!StartDecoder())
        return E_FAIL;
    if (m_bitmap || !stream)
        return E_FAIL;
    // The decoder allocates what the header claims, before it finds that the file holds far less.
    if (!MayDecodePicture(ReadStreamHeader(stream, kLargestFile), largestSide))
        return E_FAIL;
    CDecodedBitmap decoded;
    if (DllExports::GdipCreateBitmapFromStream(stream, &decoded.bitmap) != Ok)
        return E_FAIL;
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    DllExports::GdipGetImageWidth(decoded.bitmap, &width);
    DllExports::GdipGetImageHeight(decoded.bitmap, &height);
    DllExports::GdipGetImagePixelFormat(decoded.bitmap, &format);
    if (width == 0 || height == 0 || width > static_cast<UINT>(largestSide) || height > static_cast<UINT>(largestSide))
        return E_FAIL;

    const bool alpha = (format & PixelFormatAlpha) != 0;
    const int bits = alpha ? 32 : 24;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height); // top-down, as GDI+ hands the rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bits);
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    CGdiObject bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!bitmap || !pixels)
        return E_OUTOFMEMORY;

    BitmapData data = {};
    data.Width = width;
    data.Height = height;
    data.Stride = static_cast<INT>(((width * bits + 31) / 32) * 4);
    data.PixelFormat = alpha ? PixelFormat32bppPARGB : PixelFormat24bppRGB;
    data.Scan0 = pixels;
    GpRect whole(0, 0, static_cast<INT>(width), static_cast<INT>(height));
    if (DllExports::GdipBitmapLockBits(decoded.bitmap, &whole, ImageLockModeRead | ImageLockModeUserInputBuf,
                                       data.PixelFormat, &data) != Ok)
        return E_FAIL;
    DllExports::GdipBitmapUnlockBits(decoded.bitmap, &data);

    m_bitmap.Reset(bitmap.Detach());
    m_width = static_cast<int>(width);
    m_height = static_cast<int>(height);
    m_bitsPerPixel = bits;
    m_hasAlpha = alpha;
    return S_OK;
}

BOOL CImage::Draw(HDC dc, const RECT& dest) const
{
    if (!m_bitmap)
        return FALSE;
    CMemoryDC memory(dc);
    if (!memory)
        return FALSE;
    CSelectObject bitmap(memory, m_bitmap.Get());
    const int width = dest.right - dest.left, height = dest.bottom - dest.top;
    BOOL drawn;
    if (m_hasAlpha) {
        const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        drawn = ::AlphaBlend(dc, dest.left, dest.top, width, height, memory, 0, 0, m_width, m_height, blend);
    } else {
        const int oldMode = ::SetStretchBltMode(dc, HALFTONE);
        ::SetBrushOrgEx(dc, 0, 0, nullptr);
        drawn = ::StretchBlt(dc, dest.left, dest.top, width, height, memory, 0, 0, m_width, m_height, SRCCOPY);
        ::SetStretchBltMode(dc, oldMode);
    }
    return drawn;
}

void CImage::ReleaseDecoder()
{
    if (s_decoderToken)
        GdiplusShutdown(s_decoderToken);
    s_decoderToken = 0;
}
