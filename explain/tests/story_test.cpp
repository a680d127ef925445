// The story: what each reader made of each entry, where entries stand, and
// that the values the story ends with are exactly what the readers read.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "field_story.hpp"
#include "story_messages.hpp"
#include "test_support.hpp"
#include "text_position.hpp"

namespace {

using namespace zh_test;
using namespace zolehead::explain;
using zolehead::HeaderForm;

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const std::string T = kTitleLabel + kColon;  // 曲名：

// One entry's verdicts as "reader:outcome@line" (the line of the entry named), e.g. "both:empties@1".
std::string Verdicts(const FieldStory& field, const StoryEntry& e) {
    std::string out;
    for (const Verdict& v : e.verdicts) {
        if (!out.empty()) out += ' ';
        out += ReaderKey(v.reader);
        out += ':';
        out += OutcomeKey(v.outcome);
        // Appended piece by piece: "@" + std::to_string(...) trips a g++ 12 -Wrestrict false positive.
        if (v.other >= 0) {
            out += '@';
            out += std::to_string(field.entries[static_cast<std::size_t>(v.other)].at.line);
        }
        if (v.later >= 0) {
            out += '>';
            out += std::to_string(field.entries[static_cast<std::size_t>(v.later)].at.line);
        }
    }
    return out;
}

struct VerdictCase {
    const char* what;
    std::string input;
    std::vector<std::string> entries;  // the title's entries, in file order
};

TEST(Story, WhatEachReaderMadeOfEachEntry) {
    const VerdictCase cases[] = {
        {"one line: stored and kept by both readers that read form A", T + "A\n", {"A:final both:final"}},
        {"a repeated label: overwritten alone, emptied combined, naming both lines",
         T + "A\n" + T + "B\n",
         {"A:overwritten@2 both:emptied_by_repeat@2", "A:final both:empties@1"}},
        {"three times: the third empties again and names the first",
         T + "A\n" + T + "B\n" + T + "C\n",
         {"A:overwritten@2 both:emptied_by_repeat@2", "A:overwritten@3 both:empties@1>3", "A:final both:empties@1"}},
        {"form B first: the later line is ignored, naming the keyword", "*Title 'X'\n" + T + "A\n",
         {"B:final both:final", "A:final both:ignored_for_form_b@1"}},
        {"form B later: the line is replaced", T + "A\n*Title 'X'\n",
         {"A:final both:replaced_by_form_b@2", "B:final both:final"}},
        {"emptied, then a keyword takes the field", T + "A\n" + T + "B\n*Title 'X'\n",
         {"A:overwritten@2 both:emptied_by_repeat@2", "A:final both:empties@1>3", "B:final both:final"}},
        {"keywords overwrite each other in both readers", "*Title 'X'\n*title \"Y\"\n",
         {"B:overwritten@2 both:overwritten@2", "B:final both:final"}},
        {"a line without a value changes nothing", T + "A\n" + T + "  \n",
         {"A:final both:final", "A:no_value both:no_value"}},
        {"a keyword inside the title line acts first", T + "*Title 'X'\n",
         {"A:final both:ignored_for_form_b@1", "B:final both:final"}},
    };
    for (const VerdictCase& c : cases) {
        const Story story = TellStory(Bytes(c.input));
        ASSERT_EQ(story.fields.size(), 1u) << c.what;
        const FieldStory& title = story.fields[0];
        EXPECT_EQ(title.row, 0) << c.what;
        std::vector<std::string> got;
        for (const StoryEntry& e : title.entries) got.push_back(Verdicts(title, e));
        EXPECT_EQ(got, c.entries) << c.what;
    }
}

TEST(Story, SentencesNameTheLinesInvolved) {
    const Story repeated = TellStory(Bytes("x\n" + T + "A\n" + T + "B\n"));
    const FieldStory& title = repeated.fields.at(0);
    EXPECT_EQ(DescribeVerdict(title, title.entries[0].verdicts[1]),
              "stored, then emptied by line 3, which repeats the label");
    EXPECT_EQ(DescribeVerdict(title, title.entries[1].verdicts[1]), "empties the field: the label is already on line 2");

    const Story hidden = TellStory(Bytes("ab *Title 'X'\n" + T + "A\n"));
    const FieldStory& h = hidden.fields.at(0);
    EXPECT_EQ(DescribeVerdict(h, h.entries[1].verdicts[1]),
              "ignored: the form B entry on line 1, column 4 holds the field (form B wins)");
}

struct NoteCase {
    const char* what;
    std::string input;
    std::vector<std::string> notes;
};

TEST(Story, WhatHappenedToTheValueBytes) {
    const NoteCase cases[] = {
        {"trailing ASCII and full-width spaces trimmed", T + "x " + kWideSpace + " \n", {"trailing spaces trimmed (4 bytes)"}},
        {"cut at the limit, the rest counted", T + std::string(130, 'v') + "\n",
         {"value cut at 127 bytes (3 bytes dropped)"}},
        {"a tab dropped inside a line", T + "a\tb\n", {"1 control byte (tabs and the like) dropped"}},
        {"line breaks dropped inside a keyword's value", "*Title 'a\r\nb'",
         {"2 control bytes (line breaks, tabs and the like) dropped"}},
        {"nothing to say about a clean value", T + "x\n", {}},
    };
    for (const NoteCase& c : cases) {
        const Story story = TellStory(Bytes(c.input));
        ASSERT_EQ(story.fields.size(), 1u) << c.what;
        EXPECT_EQ(DescribeNotes(story.fields[0].entries.at(0)), c.notes) << c.what;
    }
}

struct PositionCase {
    const char* what;
    std::string input;
    std::uint64_t offset, line, column;
};

TEST(Story, LinesAndColumnsAsAnEditorCountsThem) {
    const PositionCase cases[] = {
        {"the first byte", "abc", 0, 1, 1},
        {"after LF", "ab\ncd", 4, 2, 2},
        {"CR LF is one line end", "ab\r\ncd", 5, 2, 2},
        {"a lone CR is one line end", "ab\rcd", 3, 2, 1},
        {"CR CR is two", "a\r\rb", 3, 3, 1},
        {"a double-byte character is one column", kTitleLabel + "x", 4, 1, 3},
        {"a trail byte shares its character's column", kTitleLabel + "x", 3, 1, 2},
        {"a tab is one column", "\t\tx", 2, 1, 3},
        {"half-width katakana is one column each", "\xB1\xB2x", 2, 1, 3},
        {"past the end: just after the last byte", "ab\n", 99, 2, 1},
    };
    for (const PositionCase& c : cases) {
        const std::uint64_t offsets[] = {c.offset};
        const TextPosition at = Locate(Bytes(c.input), offsets).at(0);
        EXPECT_EQ(at.line, c.line) << c.what;
        EXPECT_EQ(at.column, c.column) << c.what;
        EXPECT_EQ(at.offset, c.offset) << c.what;
    }
    // Asked out of order, answered in the order asked.
    const std::uint64_t offsets[] = {4, 0, 2};
    const std::vector<TextPosition> got = Locate(Bytes("a\nb\nc"), offsets);
    EXPECT_EQ(got[0].line, 3u);
    EXPECT_EQ(got[1].line, 1u);
    EXPECT_EQ(got[2].line, 2u);
}

TEST(Story, EntriesAndMarksKnowWhereTheyStand) {
    const Story story = TellStory(Bytes("A c\r\n  " + T + "  x\r\n*Genre 'y'\x1A*Title 'never'"));
    ASSERT_EQ(story.fields.size(), 2u);
    const StoryEntry& title = story.fields[0].entries.at(0);
    EXPECT_EQ(title.at, (TextPosition{5, 2, 1}));
    EXPECT_EQ(title.value, (TextPosition{15, 2, 8}));
    EXPECT_EQ(story.fields[1].entries.at(0).at, (TextPosition{18, 3, 1}));
    ASSERT_TRUE(story.end_mark.has_value());
    EXPECT_EQ(*story.end_mark, (TextPosition{28, 3, 11}));
    EXPECT_FALSE(story.unclosed_quote.has_value());  // the quote after the mark is never read

    const Story open = TellStory(Bytes("*Genre\n 'x"));
    ASSERT_TRUE(open.unclosed_quote.has_value());
    EXPECT_EQ(*open.unclosed_quote, (TextPosition{8, 2, 2}));
}

// Explaining never changes what is read: the values the story ends with,
// worked out from its verdicts, are the fast readers' on any input.
TEST(Story, FinalValuesAreWhatTheReadersRead) {
    std::mt19937 random(11);
    const std::string pieces[] = {T,
                                  kGenreLabel + kColon,
                                  kCommentLabel + " " + kColon,
                                  "*Title '",
                                  "*genre \"",
                                  "*Comment=",
                                  "'",
                                  "\"",
                                  "*",
                                  "\n",
                                  "\r\n",
                                  "\r",
                                  " ",
                                  "x",
                                  kHiraA,
                                  kWideSpace,
                                  kMe + "@",
                                  "\t",
                                  std::string(60, 'v'),
                                  std::string(1, '\0'),
                                  "\x83",
                                  "\x1A"};
    for (int round = 0; round < 4000; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i) input += pieces[random() % std::size(pieces)];
        const Story story = TellStory(Bytes(input));
        for (const HeaderForm form : kReaders) {
            const zolehead::ZoleHeader read = Read(input, form);
            std::vector<bool> told(zolehead::kFieldCount, false);
            for (const FieldStory& field : story.fields) {
                const auto row = static_cast<std::size_t>(field.row);
                told[row] = true;
                EXPECT_EQ(field.final_of(form).status, read.slots[row].status) << "round " << round;
                EXPECT_EQ(field.final_of(form).value, read.slots[row].text()) << "round " << round;
            }
            for (std::size_t row = 0; row < told.size(); ++row) {
                if (!told[row]) {
                    EXPECT_EQ(read.slots[row].status, zolehead::STATUS_NONE) << "round " << round;
                }
            }
        }
    }
}

}  // namespace
