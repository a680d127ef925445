// Which lines the detail panel shows: found by the core's own scanners, the
// same however the file arrives in blocks, and with results equal to the
// plain readers'.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "header_lines.hpp"
#include "zolehead.hpp"

namespace zolehead::serve {
namespace {

// Shift_JIS: 曲名：, 作曲：
const std::string kTitle = "\x8B\xC8\x96\xBC\x81\x46";
const std::string kComposer = "\x8D\xEC\x8B\xC8\x81\x46";

constexpr HeaderLineLimits kSmall{6, 2, 2, 12};
constexpr std::uint16_t kTitleBit = 1U << 0;
constexpr std::uint16_t kComposerBit = 1U << 2;
constexpr std::uint16_t kCommentBit = 1U << 15;

struct Line {
    std::uint64_t number;
    std::string bytes;
    std::uint16_t changed;
    bool cut = false;
    friend bool operator==(const Line&, const Line&) = default;
};

struct Outcome {
    std::vector<Line> lines;
    std::uint64_t line_count;
    std::optional<std::uint64_t> end_mark;
    bool dropped;
    friend bool operator==(const Outcome&, const Outcome&) = default;
};

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Feeds `input` in pieces cut at `cuts` (offsets in ascending order).
Outcome Read(const std::string& input, const std::vector<std::size_t>& cuts, HeaderLineReader* keep = nullptr) {
    HeaderLineReader reader(kSmall);
    std::size_t at = 0;
    std::vector<std::size_t> ends = cuts;
    ends.push_back(input.size());
    for (std::size_t end : ends) {
        if (!reader.feed(Bytes(input.substr(at, end - at)))) break;
        at = end;
    }
    reader.finish();
    Outcome outcome{{}, reader.line_count(), reader.end_mark_line(), reader.lines_dropped()};
    for (const HeaderLine& line : reader.lines()) outcome.lines.push_back({line.number, line.bytes, line.changed, line.cut});
    if (keep) *keep = std::move(reader);
    return outcome;
}

std::string Music(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) text += "A cdefgab\n";
    return text;
}

struct Case {
    const char* label;
    std::string input;
    Outcome expected;
};

std::vector<Case> Cases() {
    return {
        {"label lines, LF", kTitle + "A\n" + kComposer + "B\nA c\nA d\n",
         {{{1, kTitle + "A", kTitleBit}, {2, kComposer + "B", kComposerBit}}, 4, std::nullopt, false}},
        {"label lines, CR LF", kTitle + "A\r\n" + kComposer + "B\r\nA c\r\n",
         {{{1, kTitle + "A", kTitleBit}, {2, kComposer + "B", kComposerBit}}, 3, std::nullopt, false}},
        {"label lines, CR", kTitle + "A\r" + kComposer + "B\rA c\r",
         {{{1, kTitle + "A", kTitleBit}, {2, kComposer + "B", kComposerBit}}, 3, std::nullopt, false}},
        {"no header: the first lines still show", "x\ny\nz\n", {{{1, "x", 0}, {2, "y", 0}}, 3, std::nullopt, false}},
        {"down to the last change in the block", "x\n*Title 'Q'\ny\n*Genre 'P'\nz\n",
         {{{1, "x", 0}, {2, "*Title 'Q'", kTitleBit}, {3, "y", 0}, {4, "*Genre 'P'", 1U << 1}}, 5, std::nullopt, false}},
        {"a change past the block", Music(8) + "*Title 'Q'\n" + Music(2),
         {{{1, "A cdefgab", 0}, {2, "A cdefgab", 0}, {9, "*Title 'Q'", kTitleBit}}, 11, std::nullopt, false}},
        {"too many changes past the block", Music(6) + "*Title 'A'\n*Title 'B'\n*Title 'C'\n",
         {{{1, "A cdefgab", 0}, {2, "A cdefgab", 0}, {7, "*Title 'A'", kTitleBit}, {8, "*Title 'B'", kTitleBit}},
          9, std::nullopt, true}},
        {"nothing after the end mark", kTitle + "A\n\x1A" + kComposer + "B\n",
         {{{1, kTitle + "A", kTitleBit}}, 1, 2, false}},
        {"the end mark inside a line", "x\nab\x1A" + kTitle + "A\n", {{{1, "x", 0}, {2, "ab", 0}}, 2, 2, false}},
        {"a keyword on a last line without a line end", "x\n*Title 'Q'",
         {{{1, "x", 0}, {2, "*Title 'Q'", kTitleBit}}, 2, std::nullopt, false}},
        {"a label line needs its line end", kTitle + "A", {{{1, kTitle + "A", 0}}, 1, std::nullopt, false}},
        {"a long line is cut before a lone lead byte", "xxxxxxx" + kTitle + "ABC\n",
         {{{1, "xxxxxxx\x8B\xC8\x96\xBC", 0, true}}, 1, std::nullopt, false}},
        {"a trail byte in the lead range is kept", "xxxxxx\x83\x81\x83\x81\x83\x81Z\n",
         {{{1, "xxxxxx\x83\x81\x83\x81\x83\x81", 0, true}}, 1, std::nullopt, false}},
        {"a value over two lines changes on its second", "*Comment 'a\nb'\n",
         {{{1, "*Comment 'a", 0}, {2, "b'", kCommentBit}}, 2, std::nullopt, false}},
        {"a repeated label changes twice", kTitle + "A\n" + kTitle + "B\n",
         {{{1, kTitle + "A", kTitleBit}, {2, kTitle + "B", kTitleBit}}, 2, std::nullopt, false}},
        {"empty", "", {{}, 0, std::nullopt, false}},
        {"only a line end", "\n", {{{1, "", 0}}, 1, std::nullopt, false}},
    };
}

TEST(HeaderLines, Cases) {
    for (const Case& c : Cases()) {
        const Outcome got = Read(c.input, {});
        EXPECT_EQ(got.lines, c.expected.lines) << c.label;
        EXPECT_EQ(got.line_count, c.expected.line_count) << c.label;
        EXPECT_EQ(got.end_mark, c.expected.end_mark) << c.label;
        EXPECT_EQ(got.dropped, c.expected.dropped) << c.label;
    }
}

TEST(HeaderLines, BlocksChangeNothing) {
    for (const Case& c : Cases()) {
        const Outcome whole = Read(c.input, {});
        for (std::size_t cut = 1; cut < c.input.size(); ++cut) {
            EXPECT_EQ(Read(c.input, {cut}), whole) << c.label << ", cut at " << cut;
        }
        std::vector<std::size_t> every;
        for (std::size_t i = 1; i < c.input.size(); ++i) every.push_back(i);
        EXPECT_EQ(Read(c.input, every), whole) << c.label << ", byte by byte";
    }
}

TEST(HeaderLines, ResultsAreTheReaders) {
    for (const Case& c : Cases()) {
        HeaderLineReader reader(kSmall);
        Read(c.input, {std::min<std::size_t>(3, c.input.size())}, &reader);
        for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
            EXPECT_TRUE(reader.header(form) == ReadHeader(Bytes(c.input), form)) << c.label;
        }
    }
}

}  // namespace
}  // namespace zolehead::serve
