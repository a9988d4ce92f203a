#include "tray/BalloonText.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

const size_t kTextLimit = 255;
const size_t kTitleLimit = 63;

// Encodes one code point as UTF-8 (1 to 4 bytes).
std::string Utf8(unsigned codePoint)
{
    std::string bytes;
    if (codePoint < 0x80) {
        bytes += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        bytes += static_cast<char>(0xC0 | (codePoint >> 6));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        bytes += static_cast<char>(0xE0 | (codePoint >> 12));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        bytes += static_cast<char>(0xF0 | (codePoint >> 18));
        bytes += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        bytes += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        bytes += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return bytes;
}

// One code point of each encoded length.
const unsigned kCodePointOfLength[] = {0, 'a', 0xE9 /* e acute */, 0x20AC /* euro */, 0x1F600 /* emoji */};

// A heap copy of exactly the given bytes, no terminator unless they hold one: the address
// sanitizer reports any read past them.
std::unique_ptr<char[]> Unterminated(const std::string& bytes)
{
    std::unique_ptr<char[]> copy(new char[bytes.size()]);
    std::memcpy(copy.get(), bytes.data(), bytes.size());
    return copy;
}

bool IsShiftJisLeadByte(unsigned char byte)
{
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace

TEST(Utf8Cut, TextWithinTheLimitIsTakenWhole)
{
    EXPECT_EQ(Utf8CutLength("", kTextLimit), 0u);
    EXPECT_EQ(Utf8CutLength("New item", kTextLimit), 8u);
    EXPECT_EQ(Utf8CutLength(std::string(kTextLimit, 'x').c_str(), kTextLimit), kTextLimit);
    std::string accented = Utf8(0xE9) + Utf8(0x20AC) + Utf8(0x1F600);
    EXPECT_EQ(Utf8CutLength(accented.c_str(), accented.size()), accented.size());
}

TEST(Utf8Cut, LongAsciiTextKeepsExactlyTheLimit)
{
    EXPECT_EQ(Utf8CutLength(std::string(300, 'x').c_str(), kTextLimit), kTextLimit);
    EXPECT_EQ(Utf8CutLength(std::string(80, 'x').c_str(), kTitleLimit), kTitleLimit);
    EXPECT_EQ(Utf8CutLength(std::string(kTextLimit + 1, 'x').c_str(), kTextLimit), kTextLimit);
    EXPECT_EQ(Utf8CutLength("abc", 0), 0u);
}

TEST(Utf8Cut, ASequenceAcrossTheLimitIsLeftOutWhole)
{
    for (size_t length = 2; length <= 4; ++length) {
        std::string sequence = Utf8(kCodePointOfLength[length]);
        ASSERT_EQ(sequence.size(), length);
        for (size_t inside = 1; inside < length; ++inside) {
            // The limit falls after `inside` bytes of the sequence.
            std::string text = std::string(kTextLimit - inside, 'a') + sequence + "tail";
            EXPECT_EQ(Utf8CutLength(text.c_str(), kTextLimit), kTextLimit - inside)
                << length << "-byte sequence cut after " << inside << " bytes";
        }
    }
}

TEST(Utf8Cut, ASequenceEndingOrStartingAtTheLimitIsNotTouched)
{
    for (size_t length = 2; length <= 4; ++length) {
        std::string sequence = Utf8(kCodePointOfLength[length]);
        std::string endsAtLimit = std::string(kTextLimit - length, 'a') + sequence + "tail";
        EXPECT_EQ(Utf8CutLength(endsAtLimit.c_str(), kTextLimit), kTextLimit) << length;
        std::string startsAtLimit = std::string(kTextLimit, 'a') + sequence;
        EXPECT_EQ(Utf8CutLength(startsAtLimit.c_str(), kTextLimit), kTextLimit) << length;
    }
}

// For every limit, the cut is the last character boundary at or before it.
TEST(Utf8Cut, CutsAtTheLastCharacterBoundaryForEveryLimit)
{
    std::string text;
    std::set<size_t> boundaries{0};
    const unsigned codePoints[] = {'N', 0xE9, 0x20AC, 0x1F600, 'w', 0x1F600, 0x20AC, 0x20AC, 0xE9, 0xE9, 's'};
    for (unsigned codePoint : codePoints) {
        text += Utf8(codePoint);
        boundaries.insert(text.size());
    }
    for (size_t limit = 0; limit <= text.size() + 1; ++limit) {
        size_t expected = *std::prev(boundaries.upper_bound(limit));
        EXPECT_EQ(Utf8CutLength(text.c_str(), limit), expected) << "limit " << limit;
    }
}

TEST(Utf8Cut, MalformedBytesAreCutWithinTheLimit)
{
    const std::vector<std::string> malformed = {
        std::string(300, '\x80'),                              // continuation bytes only
        std::string(300, '\xFF'),                              // bytes that never occur in UTF-8
        std::string(254, 'a') + "\xE2\x82" + "a" + "bbb",      // a sequence that stops short
        std::string(253, 'a') + "\xC3\xA9\x80\x80\x80\x80",    // continuation bytes beyond the sequence
        std::string(252, 'a') + "\xF8\x88\x80\x80\x80",        // a five-byte form
    };
    for (const std::string& text : malformed) {
        size_t cut = Utf8CutLength(text.c_str(), kTextLimit);
        EXPECT_LE(cut, kTextLimit);
        EXPECT_GE(cut, kTextLimit - 3) << "no more than a sequence's worth is given up";
    }
    // The two-byte character before the stray continuation bytes is kept whole.
    EXPECT_EQ(Utf8CutLength((std::string(253, 'a') + "\xC3\xA9\x80\x80\x80").c_str(), kTextLimit), kTextLimit);
}

TEST(Utf8Cut, ReadsNoFurtherThanOneByteBeyondTheLimit)
{
    const std::vector<std::string> bodies = {
        std::string(kTextLimit + 1, 'a'),
        std::string(kTextLimit - 1, 'a') + Utf8(0x20AC).substr(0, 2),
        std::string(kTextLimit + 1, '\x80'),
        std::string(kTextLimit + 1, '\xF0'),
    };
    for (const std::string& body : bodies) {
        ASSERT_EQ(body.size(), kTextLimit + 1);
        auto text = Unterminated(body);
        EXPECT_LE(Utf8CutLength(text.get(), kTextLimit), kTextLimit);
    }
}

TEST(DbcsCut, SingleByteTextIsCutAtTheLimit)
{
    EXPECT_EQ(DbcsCutLength("short", kTextLimit, IsShiftJisLeadByte), 5u);
    EXPECT_EQ(DbcsCutLength(std::string(300, 'x').c_str(), kTextLimit, IsShiftJisLeadByte), kTextLimit);
    EXPECT_EQ(DbcsCutLength(std::string(kTitleLimit, 'x').c_str(), kTitleLimit, IsShiftJisLeadByte), kTitleLimit);
}

TEST(DbcsCut, ADoubleByteCharacterAcrossTheLimitIsLeftOut)
{
    std::string text = std::string(kTextLimit - 1, 'a') + "\x82\xA0" + "tail";
    EXPECT_EQ(DbcsCutLength(text.c_str(), kTextLimit, IsShiftJisLeadByte), kTextLimit - 1);
    std::string endsAtLimit = std::string(kTextLimit - 2, 'a') + "\x82\xA0" + "tail";
    EXPECT_EQ(DbcsCutLength(endsAtLimit.c_str(), kTextLimit, IsShiftJisLeadByte), kTextLimit);
}

// A trail byte can have a lead byte's value: only a walk from the start tells them apart.
TEST(DbcsCut, TrailBytesThatLookLikeLeadBytesAreNotLeadBytes)
{
    std::string text(10, '\x81');
    EXPECT_EQ(DbcsCutLength(text.c_str(), 5, IsShiftJisLeadByte), 4u);
    EXPECT_EQ(DbcsCutLength(("a" + text).c_str(), 5, IsShiftJisLeadByte), 5u);
}

TEST(DbcsCut, ALeadByteBeforeTheTerminatorStandsAlone)
{
    EXPECT_EQ(DbcsCutLength("ab\x82", kTextLimit, IsShiftJisLeadByte), 3u);
}

TEST(DbcsCut, ReadsNoFurtherThanOneByteBeyondTheLimit)
{
    auto leads = Unterminated(std::string(kTextLimit + 1, '\x82'));
    EXPECT_EQ(DbcsCutLength(leads.get(), kTextLimit, IsShiftJisLeadByte), kTextLimit - 1);
    auto plain = Unterminated(std::string(kTextLimit + 1, 'a'));
    EXPECT_EQ(DbcsCutLength(plain.get(), kTextLimit, IsShiftJisLeadByte), kTextLimit);
}
