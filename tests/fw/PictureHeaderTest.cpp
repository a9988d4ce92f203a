// The size a picture file claims, read before it is decoded.
#include "fw/PictureHeader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using Bytes = std::string;

Bytes Be16(unsigned value)
{
    return Bytes{static_cast<char>(value >> 8), static_cast<char>(value)};
}

Bytes Be32(unsigned long value)
{
    return Be16(static_cast<unsigned>(value >> 16)) + Be16(static_cast<unsigned>(value & 0xFFFF));
}

Bytes Le16(unsigned value)
{
    return Bytes{static_cast<char>(value), static_cast<char>(value >> 8)};
}

Bytes Le32(unsigned long value)
{
    return Le16(static_cast<unsigned>(value & 0xFFFF)) + Le16(static_cast<unsigned>(value >> 16));
}

PictureHeader Read(const Bytes& bytes)
{
    return ReadPictureHeader(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool Decodable(const Bytes& bytes)
{
    return MayDecodePicture(Read(bytes), 2000);
}

Bytes Png(unsigned long width, unsigned long height, unsigned long headerLength = 13)
{
    return Bytes("\x89PNG\r\n\x1a\n", 8) + Be32(headerLength) + "IHDR" + Be32(width) + Be32(height)
        + Bytes("\x08\x00\x00\x00\x00", 5) + "CRC!";
}

Bytes Segment(unsigned char marker, const Bytes& body)
{
    return Bytes{'\xFF', static_cast<char>(marker)} + Be16(static_cast<unsigned>(body.size() + 2)) + body;
}

Bytes Frame(unsigned char marker, unsigned width, unsigned height)
{
    return Segment(marker, "\x08" + Be16(height) + Be16(width) + Bytes("\x01\x01\x11\x00", 4));
}

const Bytes kSoi("\xFF\xD8", 2);
const Bytes kScan = Segment(0xDA, Bytes("\x01\x01\x00\x00\x3F\x00", 6)) + "entropy" + Bytes("\xFF\xD9", 2);
const Bytes kApp0 = Segment(0xE0, Bytes("JFIF\0\x01\x01\x00\x00\x01\x00\x01\x00\x00", 14));
const Bytes kTables = Segment(0xDB, Bytes(65, '\x01')) + Segment(0xC4, Bytes(20, '\x00'));

Bytes GifStart(unsigned width, unsigned height, unsigned char packed = 0)
{
    Bytes gif = "GIF89a" + Le16(width) + Le16(height) + static_cast<char>(packed) + Bytes("\0\0", 2);
    if (packed & 0x80)
        gif += Bytes(3u << ((packed & 7) + 1), '\x7F');
    return gif;
}

Bytes GifFrame(unsigned left, unsigned top, unsigned width, unsigned height)
{
    return "," + Le16(left) + Le16(top) + Le16(width) + Le16(height) + Bytes("\0\x02\x02\x44\x01\0", 6);
}

const Bytes kGifExtension = Bytes("\x21\xF9\x04\x01\x0A\x00\x00\x00", 8);

Bytes BmpCore(unsigned width, unsigned height)
{
    return "BM" + Le32(0) + Le32(0) + Le32(26) + Le32(12) + Le16(width) + Le16(height) + Le16(1) + Le16(24);
}

Bytes BmpInfo(long width, long height)
{
    return "BM" + Le32(0) + Le32(0) + Le32(54) + Le32(40) + Le32(static_cast<unsigned long>(width))
        + Le32(static_cast<unsigned long>(height)) + Le16(1) + Le16(24) + Bytes(24, '\0');
}

} // namespace

TEST(PictureHeader, ReadsTheSizeOfEachFormatFromItsHeader)
{
    std::ifstream file(LULLCAST_SPONSOR_PICTURE, std::ios::binary);
    const Bytes sponsor((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(sponsor.empty());
    const PictureHeader jpeg = Read(sponsor);
    EXPECT_TRUE(jpeg.format == PictureFormat::Jpeg && jpeg.width == 60 && jpeg.height == 39);
    EXPECT_TRUE(Decodable(sponsor));

    const PictureHeader png = Read(Png(60, 39));
    EXPECT_TRUE(png.format == PictureFormat::Png && png.width == 60 && png.height == 39 && png.framePixels == 60 * 39);
    const PictureHeader gif = Read(GifStart(60, 39, 0x81) + kGifExtension + GifFrame(0, 0, 60, 39) + ";");
    EXPECT_TRUE(gif.format == PictureFormat::Gif && gif.width == 60 && gif.height == 39);
    const PictureHeader bmp = Read(BmpInfo(60, -39)); // rows from the top
    EXPECT_TRUE(bmp.format == PictureFormat::Bmp && bmp.width == 60 && bmp.height == 39);
    const PictureHeader core = Read(BmpCore(60, 39));
    EXPECT_TRUE(core.format == PictureFormat::Bmp && core.width == 60 && core.height == 39);
    for (const Bytes& small : {Png(60, 39), Png(2000, 2000), BmpInfo(2000, 2000), BmpCore(1, 1),
                               kSoi + kApp0 + kTables + Frame(0xC2, 2000, 2000) + kScan})
        EXPECT_TRUE(Decodable(small));
}

TEST(PictureHeader, RefusesWhatClaimsTooMuch)
{
    // A few hundred bytes that claim 12000 x 12000, 8000 x 8000, or one pixel too many.
    for (const Bytes& huge : {kSoi + kApp0 + kTables + Frame(0xC0, 12000, 12000) + kScan, Png(8000, 8000),
                              Png(2001, 39), Png(39, 2001), BmpInfo(60, 65000), BmpInfo(65000, -1),
                              BmpCore(2001, 1), GifStart(2001, 1) + GifFrame(0, 0, 1, 1) + ";"})
        EXPECT_FALSE(Decodable(huge)) << Read(huge).width << " x " << Read(huge).height;

    // A GIF's small screen does not hide a large frame, nor many frames of the full size.
    EXPECT_FALSE(Decodable(GifStart(10, 10) + GifFrame(0, 0, 60000, 10) + ";"));
    EXPECT_FALSE(Decodable(GifStart(10, 10) + GifFrame(1990, 0, 20, 10) + ";"));
    Bytes frames = GifStart(2000, 2000);
    for (int i = 0; i < 3; ++i)
        frames += kGifExtension + GifFrame(0, 0, 2000, 2000);
    EXPECT_FALSE(Decodable(frames + ";"));
    EXPECT_EQ(Read(frames + ";").framePixels, 3ull * 2000 * 2000);
    EXPECT_TRUE(Decodable(GifStart(2000, 2000) + GifFrame(0, 0, 2000, 2000) + ";"));

    // The largest of two JPEG frame headers counts; a height left to a later marker is unknown.
    EXPECT_FALSE(Decodable(kSoi + Frame(0xC0, 60, 39) + Frame(0xC1, 3000, 39) + kScan));
    EXPECT_FALSE(Decodable(kSoi + Frame(0xC0, 60, 0) + kScan));
}

TEST(PictureHeader, WalksJpegSegmentsAsADecoderDoes)
{
    // Fill bytes and a restart marker before a segment, tables whose markers lie among the frame
    // markers (DHT C4, DAC CC) but are none: the frame is the one after them.
    const Bytes jpeg = kSoi + Bytes("\xFF\xFF\xFF\xD0", 4) + kApp0 + Segment(0xCC, Bytes(4, '\x01')) + kTables
        + Frame(0xC1, 640, 480) + kScan;
    const PictureHeader header = Read(jpeg);
    EXPECT_EQ(header.width, 640u);
    EXPECT_EQ(header.height, 480u);
    // A frame header after the first scan is not looked for; none before it is no size at all.
    EXPECT_EQ(Read(kSoi + kApp0 + kScan + Frame(0xC0, 60, 39)).width, 0u);
    // A segment that runs past the end, or a byte where a marker must be, ends the walk.
    EXPECT_EQ(Read(kSoi + Frame(0xC0, 60, 39) + Bytes("\xFF\xE1\xFF\xFF", 4)).width, 60u);
    EXPECT_EQ(Read(kSoi + Bytes("\xFF\xE1\x00\x40", 4) + Frame(0xC0, 60, 39)).width, 0u);
    EXPECT_EQ(Read(kSoi + Bytes("x", 1) + Frame(0xC0, 60, 39)).width, 0u);
    EXPECT_EQ(Read(kSoi + Bytes("\xFF\xE1\x00\x01", 4) + Frame(0xC0, 60, 39)).width, 0u); // length below 2
    EXPECT_EQ(Read(kSoi + Segment(0xC0, Bytes("\x08\x00", 2))).width, 0u);                // frame header too short
}

TEST(PictureHeader, OtherFormatsAndBrokenHeadersAreNotDecoded)
{
    for (const Bytes& other : {Bytes(), Bytes("II*\0\x08\0\0\0", 8), Bytes("MM\0*", 4), Bytes("\0\0\1\0\1\0", 6),
                               Bytes("<svg width='1'/>"), Bytes("\x89PNG", 4), Bytes("GIF87", 5), Bytes("\xFF", 1),
                               Bytes("BM", 2), Bytes(4096, '\0')}) {
        EXPECT_FALSE(Decodable(other));
        EXPECT_EQ(Read(other).width, 0u);
    }
    EXPECT_EQ(Read(Png(60, 39, 14)).width, 0u);                  // IHDR of the wrong length
    EXPECT_EQ(Read(Png(0x80000000ul, 39)).width, 0u);            // more than 31 bits
    EXPECT_EQ(Read(Png(60, 0)).width, 0u);
    EXPECT_EQ(Read(Png(60, 39).substr(0, 23)).width, 0u);        // cut short
    EXPECT_EQ(Read(BmpInfo(0, 39)).width, 0u);
    EXPECT_EQ(Read(BmpInfo(-60, 39)).width, 0u);
    EXPECT_EQ(Read(BmpInfo(60, -2147483647l - 1)).width, 0u);
    EXPECT_EQ(Read(GifStart(60, 39)).width, 0u);                 // no frame at all
    EXPECT_EQ(Read(GifStart(60, 39) + "!").width, 0u);
    // A GIF cut inside its frames counts the frames it shows.
    EXPECT_EQ(Read(GifStart(60, 39) + GifFrame(0, 0, 60, 39).substr(0, 12)).width, 60u);
    EXPECT_FALSE(MayDecodePicture(Read(Png(60, 39)), 0));
    EXPECT_TRUE(ReadPictureHeader(nullptr, 10).format == PictureFormat::Unknown);
}
