// Lint: each kind of warning with a case that raises it and a close case that
// must not, the suggestions, and what --ignore leaves out.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "lint_checks.hpp"
#include "near_miss.hpp"
#include "test_support.hpp"

namespace {

using namespace zh_test;
using namespace zolehead::explain;

const std::string T = kTitleLabel + kColon;  // 曲名：
// UTF-8 spellings, for inputs saved by the wrong editor.
const std::string kTitleUtf8 = "\xE6\x9B\xB2\xE5\x90\x8D";   // 曲名
const std::string kColonUtf8 = "\xEF\xBC\x9A";               // ：
const std::string kKyokuMoku = "\x8B\xC8\x96\xDA";           // 曲目: one character from 曲名
const std::string kChuui = "\x92\x8D\x88\xD3";               // 注意

std::vector<Warning> LintOf(const std::string& input, std::span<const std::string> ignore = {}) {
    static zolehead::collection::ShiftJisDecoder decoder;
    return Lint({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()}, decoder, ignore);
}

// The warnings of one code, as "LINE:COLUMN".
std::vector<std::string> Where(const std::vector<Warning>& warnings, std::string_view code) {
    std::vector<std::string> out;
    for (const Warning& w : warnings) {
        if (w.code == code) out.push_back(std::to_string(w.at.line) + ":" + std::to_string(w.at.column));
    }
    return out;
}

std::string Repeat(const std::string& piece, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += piece;
    return out;
}

struct LintCase {
    const char* what;
    std::string_view code;
    std::string input;
    std::vector<std::string> where;  // empty: the code must not be raised
};

TEST(Lint, EachKindRaisedAndItsCloseCaseNot) {
    const std::string ten = Repeat(kHiraA, 10), nine = Repeat(kHiraA, 9);
    const LintCase cases[] = {
        {"a known label with an ASCII colon", "ascii-colon", "x\n" + kTitleLabel + ":Sakura\n", {"2:3"}},
        {"... with blanks before it", "ascii-colon", " " + kTitleLabel + " :Sakura\n", {"1:5"}},
        {"close: a correct label line", "ascii-colon", T + "Sakura\n", {}},
        {"close: an ASCII colon in a value", "ascii-colon", kCommentLabel + kColon + "at 12:30\n", {}},
        {"close: an unknown label with an ASCII colon", "ascii-colon", kChuui + ":x\n", {}},
        {"close: an ASCII colon after a letter", "ascii-colon", "A" + kTitleLabel + ":x\n", {}},

        {"an unknown label", "unknown-label", "\n" + kChuui + kColon + "x\n", {"2:1"}},
        {"an unknown label without a value", "unknown-label", kChuui + kColon + "\n", {"1:1"}},
        {"close: a known label", "unknown-label", T + "x\n", {}},
        {"close: a line that begins with the colon", "unknown-label", kColon + "x\n", {}},
        {"close: a Japanese line with a colon after a letter", "unknown-label", "A" + kChuui + kColon + "x\n", {}},
        {"close: a full-width colon inside a value", "unknown-label", T + kChuui + kColon + "x\n", {}},

        {"ten label characters", "long-label", ten + kColon + "x\n", {"1:1"}},
        {"ten label characters after blanks", "long-label", "; " + ten + kColon + "x\n", {"1:3"}},
        {"close: nine label characters", "long-label", nine + kColon + "x\n", {}},
        {"close: a long Japanese line without a colon", "long-label", ten + ten + "\n", {}},
        {"close: ten characters after the colon", "long-label", T + ten + kColon + "\n", {}},

        {"an unknown keyword", "unknown-keyword", "*Titel 'x'\n", {"1:1"}},
        {"an unknown keyword with '=' and a double quote", "unknown-keyword", "  *Foo = \"x\"\n", {"1:3"}},
        {"close: a known keyword in any case", "unknown-keyword", "*TITLE 'x'\n", {}},
        {"close: a keyword inside a quoted value", "unknown-keyword", "*Comment 'see *Titel \"here\"'\n", {}},
        {"close: a starred word without a quote on its line", "unknown-keyword", "A c*2 d\nB e 'x'\n", {}},
        {"close: a keyword in a form A value, no quote", "unknown-keyword", kCommentLabel + kColon + "*Titel x\n", {}},

        {"a quote never closed", "unclosed-quote", "*Genre 'Pop'\n*Title 'never\n", {"2:8"}},
        {"close: a quote closed on a later line", "unclosed-quote", "*Title 'a\nb'\n", {}},
        {"close: an apostrophe in a form A value", "unclosed-quote", T + "Don't\n", {}},

        {"a form A value cut", "value-cut", T + std::string(128, 'x') + "\n", {"1:4"}},
        {"a form B value cut", "value-cut", "*Title '" + std::string(128, 'x') + "'", {"1:9"}},
        {"close: exactly 127 bytes", "value-cut", T + std::string(127, 'x') + "\n", {}},
        {"127 bytes, then spaces the limit drops", "value-cut", T + std::string(127, 'x') + "   \n", {"1:4"}},

        {"a repeated label", "repeated-label", T + "a\n" + T + "b\n", {"2:1"}},
        {"close: the same label with no value the second time", "repeated-label", T + "a\n" + T + "\n", {}},
        {"close: two different labels", "repeated-label", T + "a\n" + kGenreLabel + kColon + "b\n", {}},

        {"a form A line after a keyword for its field", "hidden-by-form-b", "*Title 'B'\n" + T + "a\n", {"2:1"}},
        {"close: a form A line that a later keyword replaces", "hidden-by-form-b", T + "a\n*Title 'B'\n", {}},
        {"close: a keyword for another field", "hidden-by-form-b", "*Genre 'B'\n" + T + "a\n", {}},

        {"entries after the end mark", "after-end-mark", T + "a\n\x1A" + kGenreLabel + kColon + "b\n*Artist 'c'",
         {"2:2", "3:1"}},
        {"... after a second mark too", "after-end-mark", "\x1A\x1A*Title 'x'", {"1:3"}},
        {"close: music after the end mark", "after-end-mark", T + "a\n\x1A" "A cdefg\n", {}},
        {"close: an unknown label after the end mark", "after-end-mark", "\x1A" + kChuui + kColon + "x\n", {}},

        {"a file saved as UTF-8", "utf8-file", "A\n" + kTitleUtf8 + kColonUtf8 + "Sakura\n", {"2:1"}},
        {"close: Shift_JIS text", "utf8-file", T + "Sakura\n", {}},
        {"close: ASCII only", "utf8-file", "*Title 'Sakura'\n", {}},
        {"close: two half-width katakana that happen to be UTF-8", "utf8-file", T + "\xC3\xBD" "x\n", {}},

        {"a byte-order mark", "utf8-bom", "\xEF\xBB\xBF*Title 'x'\n", {"1:1"}},
        {"close: the mark's bytes later in the file", "utf8-bom", "x\xEF\xBB\xBF\n", {}},

        {"a value with a byte of no meaning", "not-cp932", T + "a\xA0" "b\n", {"1:4"}},
        {"a keyword's value with an unassigned pair", "not-cp932", "*Title 'a\x85\x40'", {"1:9"}},
        {"close: NEC and IBM extensions have a meaning", "not-cp932", T + "\x87\x40\xFA\x40\n", {}},
        {"close: half-width katakana", "not-cp932", T + "\xB6\xD7\xB5\xB9\n", {}},
    };
    for (const LintCase& c : cases) {
        EXPECT_EQ(Where(LintOf(c.input), c.code), c.where) << c.what;
    }
}

// The bundled samples' near misses, written out: a clean header raises nothing.
TEST(Lint, ACleanHeaderRaisesNothing) {
    const std::string header = T + "Sakura" + kWideSpace + "\r\n" + kGenreLabel + " " + kColon + "Pop\r\n" +
                               "*Composer \"someone\"\r\n; " + kCommentLabel + kColon + "at 12:30, *Title 'x' inside\r\n" +
                               "A t120 l8 o4 cdefgab>c<\r\n";
    EXPECT_TRUE(LintOf(header).empty());
}

TEST(Lint, MessagesSuggestTheNearestName) {
    const auto message = [](const std::string& input) {
        const std::vector<Warning> w = LintOf(input);
        return w.empty() ? std::string() : w[0].message + " | " + w[0].suggestion;
    };
    EXPECT_EQ(message(kKyokuMoku + kColon + "x\n"),
              "'曲目' is not a known label: the line is not read; did you mean '曲名' (Title)? | 曲名");
    EXPECT_EQ(message(kChuui + kColon + "x\n"), "'注意' is not a known label: the line is not read | ");
    EXPECT_EQ(message("*Titel 'x'"), "'*Titel' is not a known keyword: its value is not read; did you mean 'Title'? | Title");
    EXPECT_EQ(message(T + std::string(1, '\x1A') + kTitleLabel + ":x\n"), "");  // after the mark: not read, not linted
}

struct NearCase {
    const char* what;
    std::string name;
    int row;
};

TEST(Lint, NearMisses) {
    const NearCase labels[] = {
        {"one character changed", kKyokuMoku, 0},
        {"one character added: the first row of two wins", "\x8D\xEC\x8B\xC8\x8E\xD2", 2},  // 作曲者
        {"one character missing", "\x83\x57\x83\x83\x83\x93", 1},                            // ジャン
        {"two characters away: no suggestion", kChuui, -1},
    };
    for (const NearCase& c : labels) EXPECT_EQ(NearLabelRow(c.name), c.row) << c.what;
    const NearCase keywords[] = {
        {"two letters swapped", "Titel", 0},
        {"case ignored", "COMPOSR", 2},
        {"two edits", "Mail", 9},
        {"three edits: no suggestion", "Tt", -1},
        {"nothing near", "Foo", -1},
    };
    for (const NearCase& c : keywords) EXPECT_EQ(NearKeywordRow(c.name), c.row) << c.what;
}

TEST(Lint, CodesAreTheDocumentedOnesAndCanBeIgnored) {
    const std::string input = "\xEF\xBB\xBF" + kTitleLabel + ":x\n" + T + "a\n" + T + "b\n*Titel 'x'\n" +
                              kChuui + kColon + "y\n" + Repeat(kHiraA, 10) + kColon + "\n" + T +
                              std::string(130, 'v') + "\n*Title 'open";
    const std::vector<Warning> all = LintOf(input);
    std::vector<std::string> codes;
    for (const Warning& w : all) {
        EXPECT_TRUE(IsLintCode(w.code)) << w.code;
        codes.emplace_back(w.code);
    }
    EXPECT_GE(all.size(), 7u);
    for (std::size_t i = 1; i < all.size(); ++i) EXPECT_LE(all[i - 1].at.offset, all[i].at.offset);

    const std::string ignore[] = {"repeated-label", "utf8-bom"};
    const std::vector<Warning> rest = LintOf(input, ignore);
    const auto ignored = std::count(codes.begin(), codes.end(), "repeated-label") + std::count(codes.begin(), codes.end(), "utf8-bom");
    EXPECT_EQ(ignored, 3);  // two repeats of the title, one mark
    EXPECT_EQ(rest.size(), all.size() - 3);
    for (const Warning& w : rest) EXPECT_TRUE(w.code != "repeated-label" && w.code != "utf8-bom") << w.code;
}

}  // namespace
