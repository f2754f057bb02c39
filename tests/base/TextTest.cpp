#include <gtest/gtest.h>

#include <array>

#include "base/Bytes.h"
#include "base/Msf.h"
#include "base/Text.h"

using namespace sv;

TEST(Text, Utf8ValidityRejectsOverlongSurrogatesAndTruncation) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("Привет, 世界, 𝄞"));
    EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xD0"));              // cut sequence
    EXPECT_FALSE(IsValidUtf8("\xCF\xF0\xE8"));      // "При" in cp1251
}

TEST(Text, Cp1251DecodesCyrillicAndPunctuation) {
    EXPECT_EQ(Cp1251ToUtf8("\xCF\xF0\xE8\xE2\xE5\xF2"), "Привет");
    EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9\x96\x85"), "Ёё№–…");
    EXPECT_EQ(ToUtf8Lenient("Привет"), "Привет");
    EXPECT_EQ(ToUtf8Lenient("\xCF\xF0\xE8"), "При");
    EXPECT_EQ(Utf8ToCp1251("Ёж №1 €"), "\xA8\xE6 \xB9" "1 \x88");
    EXPECT_EQ(Utf8ToCp1251("日本"), "??");
}

TEST(Text, CutNeverSplitsACharacter) {
    // "Щ" is two bytes: a 3-byte budget keeps one letter, not one and a half.
    EXPECT_EQ(CutUtf8("ЩЩЩ", 3), "Щ");
    EXPECT_EQ(CutUtf8("aЩ", 2), "a");
    EXPECT_EQ(CutUtf8("日本語", 8), "日本");
    EXPECT_EQ(CutUtf8("abc", 10), "abc");
    EXPECT_EQ(CutUtf8Chars("ПриветМир", 6), "Привет");
    EXPECT_EQ(Utf8Length("Привет"), 6u);
}

TEST(Text, FixedFieldStaysInsideItsWidth) {
    std::array<std::uint8_t, 12> buf;
    buf.fill(0xEE);
    // A 6-byte field in the middle of the buffer.
    WriteFixedText(buf.data() + 3, 6, "ЖЖЖЖ");  // 8 bytes of text into 5 usable
    EXPECT_EQ(buf[0], 0xEE);
    EXPECT_EQ(buf[2], 0xEE);
    EXPECT_EQ(buf[9], 0xEE);  // the byte after the field is untouched
    EXPECT_EQ(ReadFixedText(buf.data() + 3, 6), "ЖЖ");
    EXPECT_EQ(buf[7], 0);     // terminator right after the last whole letter
    EXPECT_EQ(buf[8], 0);     // rest zeroed

    // A field without a terminator (a foreign file) is read within its width.
    std::array<std::uint8_t, 4> full = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(ReadFixedText(full.data(), 4), "abcd");
    // A cp1251 field from the Windows program reads back as Cyrillic.
    std::array<std::uint8_t, 6> cp = {0xD0, 0xEE, 0xEA, 0, 'x', 'y'};
    EXPECT_EQ(ReadFixedText(cp.data(), 6), "Рок");
}

TEST(Bytes, EndianAccessAndMsf) {
    std::array<std::uint8_t, 4> b{};
    StoreLE<std::int32_t>(b.data(), -2);
    EXPECT_EQ(b[0], 0xFE);
    EXPECT_EQ(b[3], 0xFF);
    EXPECT_EQ(LoadLE<std::int32_t>(b.data()), -2);
    StoreBE32(b.data(), 0x000003ED);
    EXPECT_EQ(b[2], 0x03);
    EXPECT_EQ(b[3], 0xED);
    EXPECT_EQ(LoadBE32(b.data()), 0x3EDu);

    EXPECT_EQ(MsfToFrames({2, 0, 0}), 9000);
    EXPECT_EQ(FramesToMsf(150), (Msf{0, 2, 0}));
    EXPECT_EQ(FramesToMsf(4500 * 74 + 75 * 59 + 74), (Msf{74, 59, 74}));
    EXPECT_EQ(FormatMsf({3, 7, 9}), "03:07:09");
}
