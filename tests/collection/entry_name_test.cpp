// Entry names: which bytes are UTF-8, how a name is shown, and LZH names
// brought back to their bytes from the ISO-8859-1 text libarchive gives.
#include <gtest/gtest.h>

#include <string>

#include "archive_reader.hpp"
#include "entry_name_text.hpp"

namespace {

using namespace zolehead::collection;

struct BytesCase {
    const char* label;
    std::string bytes;
    bool expected;
};

TEST(EntryName, Utf8IsWellFormedUtf8Only) {
    const BytesCase cases[] = {
        {"ASCII", "song.zol", true},
        {"two bytes", "caf\xC3\xA9", true},
        {"three bytes", "\xE6\x9B\xB2.zol", true},  // 曲
        {"four bytes", "\xF0\x9F\x8E\xB5", true},
        {"overlong two bytes", "\xC0\xAF", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xA0\x80", false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"cut short", "\xE6\x9B", false},
        {"a lone continuation byte", "\x80", false},
        {"Shift_JIS kanji", "\x8B\xC8.zol", false},     // 曲
        {"Shift_JIS hiragana", "\x82\xA0.zol", false},  // あ
    };
    for (const BytesCase& c : cases) EXPECT_EQ(IsUtf8(c.bytes), c.expected) << c.label;
}

TEST(EntryName, TextIsUtf8AsItIsOrDecodedFromShiftJis) {
    ShiftJisDecoder decoder;
    const struct {
        const char* label;
        std::string name;
        std::string text;
        bool clean;
    } cases[] = {
        {"UTF-8 kept", "\xE6\x9B\xB2/a.zol", "\xE6\x9B\xB2/a.zol", true},
        {"Shift_JIS with a 0x5C trail byte", "\x83\x5C\x83\x74\x83\x67.zol", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.zol",
         true},  // ソフト
        {"no such character", "\xFD.zol", "\xEF\xBF\xBD.zol", false},
    };
    for (const auto& c : cases) {
        std::string out = "prefix!/";
        EXPECT_EQ(AppendEntryNameText(c.name, decoder, out), c.clean) << c.label;
        EXPECT_EQ(out, std::string("prefix!/").append(c.text)) << c.label;
    }
}

TEST(EntryName, LzhNamesComeBackAsTheirBytes) {
    const struct {
        const char* label;
        std::string text;   // as libarchive hands it over
        std::string bytes;  // as the archive stores it
    } cases[] = {
        {"ASCII", "dir/song.zol", "dir/song.zol"},
        {"Shift_JIS through ISO-8859-1", "\xC2\x8B\xC3\x88.zol", "\x8B\xC8.zol"},
        {"a level-0 backslash after a lead byte", "\xC2\x83//\xC2\x95/.zol", "\x83\\/\x95\\.zol"},  // ソ/表.zol
        {"a separator after a whole character", "\xC2\x8B\xC3\x88/a.zol", "\x8B\xC8/a.zol"},
        {"UTF-8 bytes are left as they are", "\xC3\xA3\xC2\x81\xC2\x82/a", "\xE3\x81\x82/a"},
        {"Unicode from a stated code page", "\xE6\x9B\xB2/a.zol", "\xE6\x9B\xB2/a.zol"},
    };
    for (const auto& c : cases) EXPECT_EQ(LzhNameBytes(c.text), c.bytes) << c.label;
}

}  // namespace
