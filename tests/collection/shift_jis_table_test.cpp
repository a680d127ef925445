// The decoding table is read off iconv and must decode every input exactly
// as decoding through iconv does: same text, same lossy flag.
#include "shift_jis_table.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>

#include "shift_jis_decoder.hpp"

namespace {

using zolehead::collection::DecodeThroughConverter;
using zolehead::collection::ShiftJisDecoder;
using zolehead::collection::ShiftJisTable;

class ShiftJisTableTest : public testing::Test {
protected:
    void SetUp() override {
        cd_ = iconv_open("UTF-8", "CP932");
        ASSERT_NE(cd_, reinterpret_cast<iconv_t>(-1)) << "no CP932 in this C library";
        table_ = ShiftJisTable::Shared();
        // Debian's C library fits the table: without it every decode would
        // quietly take the slow way and the comparisons below test nothing.
        ASSERT_NE(table_, nullptr);
    }
    void TearDown() override {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }

    // Both of the table's ways of decoding against the converter: the UTF-8
    // text, and the code points, which must be that text's.
    void ExpectSameAsConverter(const std::string& bytes) {
        std::string through_table = "prefix:", through_converter = "prefix:";
        const bool table_clean = table_->decode(bytes, through_table);
        const bool converter_clean = DecodeThroughConverter(cd_, bytes, through_converter);
        ASSERT_EQ(through_table, through_converter) << Hex(bytes);
        ASSERT_EQ(table_clean, converter_clean) << Hex(bytes);

        std::u16string points(bytes.size(), u'?');
        std::size_t count = 99;
        char16_t max = 0;
        const bool points_clean = table_->decode_code_points(bytes, points.data(), count, max);
        ASSERT_LE(count, bytes.size());
        points.resize(count);
        const std::u16string expected = CodePoints(through_converter.substr(7));
        ASSERT_EQ(points, expected) << Hex(bytes);
        ASSERT_EQ(points_clean, converter_clean) << Hex(bytes);
        char16_t expected_max = 0;
        for (char16_t c : expected) expected_max = std::max(expected_max, c);
        ASSERT_EQ(max, expected_max) << Hex(bytes);
    }

    // UTF-8 of the Basic Multilingual Plane, as the converter writes it.
    static std::u16string CodePoints(const std::string& utf8) {
        std::u16string points;
        for (std::size_t i = 0; i < utf8.size();) {
            const auto b = static_cast<unsigned char>(utf8[i]);
            const std::size_t size = b < 0x80 ? 1 : b < 0xE0 ? 2 : 3;
            unsigned code = size == 1 ? b : b & (0x7F >> size);
            for (std::size_t k = 1; k < size; ++k) code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
            points.push_back(static_cast<char16_t>(code));
            i += size;
        }
        return points;
    }

    static std::string Hex(const std::string& bytes) {
        std::string hex;
        for (unsigned char c : bytes) hex += "0123456789abcdef"[c >> 4], hex += "0123456789abcdef"[c & 15], hex += ' ';
        return hex;
    }

    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
    const ShiftJisTable* table_ = nullptr;
};

TEST_F(ShiftJisTableTest, EveryByteAndPairDecodesAsTheConverterDoes) {
    for (int a = 0; a < 256; ++a) {
        ExpectSameAsConverter(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b) ExpectSameAsConverter({static_cast<char>(a), static_cast<char>(b)});
    }
}

TEST_F(ShiftJisTableTest, MixedTextDecodesAsTheConverterDoes) {
    // Lead bytes, trail bytes, ASCII and the bytes that never convert, so
    // that pairs straddle, break and run to the end of the value.
    const std::uint8_t alphabet[] = {0x81, 0x82, 0x83, 0x85, 0x87, 0x9F, 0xE0, 0xEF, 0xF0, 0xFC, 0x40, 0x5C, 0x7E,
                                     0x7F, 0xA0, 0xB1, 0xDF, 0x80, 0xFD, 0xFF, 0x00, 0x0A, 0x20, 0x41, 0x46, 0x9E};
    std::mt19937 random(932);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1), length(0, 24);
    std::uniform_int_distribution<int> any(0, 255);
    for (int i = 0; i < 20000; ++i) {
        std::string bytes;
        for (std::size_t n = length(random); n > 0; --n) {
            bytes.push_back(static_cast<char>(i % 4 == 0 ? any(random) : alphabet[pick(random)]));
        }
        ExpectSameAsConverter(bytes);
    }
}

TEST_F(ShiftJisTableTest, KnownValues) {
    struct Case {
        const char* label;
        std::string bytes;
        std::string text;
        bool clean;
    };
    const Case cases[] = {
        {"title label", "\x8B\xC8\x96\xBC", "曲名", true},
        {"half-width katakana", "\xB1\xDF", "ｱﾟ", true},
        {"NEC special row", "\x87\x40", "①", true},
        {"user-defined area", "\xF0\x40", "\xEE\x80\x80", true},
        {"backslash stays", "\x5C\x8B\xC8", "\\曲", true},
        {"lead byte at the end", "A\x8B", "A\xEF\xBF\xBD", false},
        {"lead byte before a space keeps the space", "\x8B ", "\xEF\xBF\xBD ", false},
        {"unmapped pair counts as one", "\x85\x40" "B", "\xEF\xBF\xBD" "B", false},
        {"bytes that never start a character", "\x80\xA0\xFD", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", false},
    };
    for (const Case& c : cases) {
        std::string text;
        EXPECT_EQ(table_->decode(c.bytes, text), c.clean) << c.label;
        EXPECT_EQ(text, c.text) << c.label;
        ShiftJisDecoder decoder;
        std::string through_decoder;
        EXPECT_EQ(decoder.decode(c.bytes, through_decoder), c.clean) << c.label;
        EXPECT_EQ(through_decoder, c.text) << c.label;
    }
}

}  // namespace
