// The entry map: each entry's byte ranges and fates, and that the entries it
// marks final are exactly what the three readers end with.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "entry_map.hpp"
#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::ByteRange;
using zolehead::EntryFate;
using zolehead::EntryForm;
using zolehead::EntryMap;
using zolehead::HeaderEntry;
using zolehead::HeaderForm;

EntryMap Map(const std::string& input) {
    return zolehead::MapEntries({reinterpret_cast<const std::uint8_t*>(input.data()), input.size()});
}

std::string Slice(const std::string& input, ByteRange r) { return input.substr(r.begin, r.size()); }

const std::string T = kTitleLabel + kColon;  // 曲名：

struct RangeCase {
    const char* what;
    std::string input;
    std::size_t index;  // which entry, in input order
    EntryForm form;
    int row;
    std::string entry, value, stored;
};

TEST(EntryMap, RangesAsTheyStandInTheInput) {
    const RangeCase cases[] = {
        {"a form A line without its line end", "x\n" + T + " Sakura  \r\n", 0, EntryForm::A, 0, T + " Sakura  ",
         "Sakura  ", "Sakura"},
        {"blanks before the label belong to the line", " ;" + kGenreLabel + " " + kColon + "Pop\n", 0, EntryForm::A,
         1, " ;" + kGenreLabel + " " + kColon + "Pop", "Pop", "Pop"},
        {"a form B entry from its asterisk through its closing quote", "ab *Title = 'Sakura' cd", 0, EntryForm::B, 0,
         "*Title = 'Sakura'", "Sakura", "Sakura"},
        {"a restarted name begins at the last asterisk", "*Tit*Genre \"x\"", 0, EntryForm::B, 1, "*Genre \"x\"", "x",
         "x"},
        {"a value across lines keeps its line breaks in the input", "*Comment 'a\r\nb'", 0, EntryForm::B, 15,
         "*Comment 'a\r\nb'", "a\r\nb", "ab"},
        {"a keyword inside a comment line: the line comes first", kCommentLabel + kColon + "*Genre 'Rock'\n", 0,
         EntryForm::A, 15, kCommentLabel + kColon + "*Genre 'Rock'", "*Genre 'Rock'", "*Genre 'Rock'"},
        {"... and the keyword second", kCommentLabel + kColon + "*Genre 'Rock'\n", 1, EntryForm::B, 1,
         "*Genre 'Rock'", "Rock", "Rock"},
        {"a value starting with a double-byte character", T + kWideSpace + kHiraA + "x\n", 0, EntryForm::A, 0,
         T + kWideSpace + kHiraA + "x", kHiraA + "x", kHiraA + "x"},
        {"a line with no value", T + "  \n", 0, EntryForm::A, 0, T + "  ", "", ""},
    };
    for (const RangeCase& c : cases) {
        const EntryMap map = Map(c.input);
        ASSERT_GT(map.entries.size(), c.index) << c.what;
        const HeaderEntry& e = map.entries[c.index];
        EXPECT_EQ(e.form, c.form) << c.what;
        EXPECT_EQ(e.row, c.row) << c.what;
        EXPECT_EQ(Slice(c.input, e.entry), c.entry) << c.what;
        EXPECT_EQ(Slice(c.input, e.value), c.value) << c.what;
        EXPECT_EQ(e.stored, c.stored) << c.what;
    }
}

struct FateCase {
    const char* what;
    std::string input;
    std::vector<EntryFate> single, combined;
    std::vector<bool> final_single, final_combined;
};

TEST(EntryMap, FatesInEachReader) {
    using enum EntryFate;
    const FateCase cases[] = {
        {"a repeated label: last wins alone, emptied combined", T + "A\n" + T + "B\n", {STORED, STORED},
         {STORED, EMPTIED}, {false, true}, {false, false}},
        {"form B wins over form A on either side", T + "A\n*Title 'X'\n" + T + "C\n", {STORED, STORED, STORED},
         {STORED, STORED, LEFT_TO_FORM_B}, {false, true, true}, {false, true, false}},
        {"a line without a value does not count", T + "A\n" + T + "\n", {STORED, NO_VALUE}, {STORED, NO_VALUE},
         {true, false}, {true, false}},
        {"unknown names change nothing", kHiraA + kColon + "x\n*Foo 'y'", {UNKNOWN_NAME, UNKNOWN_NAME},
         {UNKNOWN_NAME, UNKNOWN_NAME}, {false, false}, {false, false}},
    };
    for (const FateCase& c : cases) {
        const EntryMap map = Map(c.input);
        ASSERT_EQ(map.entries.size(), c.single.size()) << c.what;
        for (std::size_t i = 0; i < map.entries.size(); ++i) {
            EXPECT_EQ(map.entries[i].single_form, c.single[i]) << c.what << " #" << i;
            EXPECT_EQ(map.entries[i].combined, c.combined[i]) << c.what << " #" << i;
            EXPECT_EQ(map.entries[i].final_in_single_form, c.final_single[i]) << c.what << " #" << i;
            EXPECT_EQ(map.entries[i].final_in_combined, c.final_combined[i]) << c.what << " #" << i;
        }
    }
}

TEST(EntryMap, WhatWasDroppedAndLeftOpen) {
    const EntryMap cut = Map(T + std::string(130, 'x') + "\t  \n");
    ASSERT_EQ(cut.entries.size(), 1u);
    EXPECT_EQ(cut.entries[0].dropped_at_limit, 5);  // 3 letters and 2 spaces
    EXPECT_EQ(cut.entries[0].control_dropped, 1);
    EXPECT_EQ(cut.entries[0].trimmed, 0);  // the spaces never got in

    const EntryMap open = Map("*Genre 'Pop'\n*Title 'never closed\n");
    EXPECT_EQ(open.unclosed_quote, std::optional<std::uint64_t>(20));
    EXPECT_FALSE(Map("*Title 'x'").unclosed_quote.has_value());

    const EntryMap marked = Map("*Title 'x'\x1A*Genre 'y'");
    EXPECT_TRUE(marked.has_end_mark);
    EXPECT_EQ(marked.text_size, 10u);
    EXPECT_EQ(marked.entries.size(), 1u);
}

// The entries marked final must be exactly what each reader ends with.
TEST(EntryMap, FinalEntriesAreWhatTheReadersRead) {
    std::mt19937 random(7);
    const std::string pieces[] = {T, kGenreLabel + kColon, kCommentLabel + kColon, "*Title '", "*Genre \"", "'",
                                  "\"", "*", "\n", "\r\n", " ", "x", kHiraA, kWideSpace, "\t", "\x1A"};
    for (int round = 0; round < 3000; ++round) {
        std::string input;
        const int count = static_cast<int>(random() % 30);
        for (int i = 0; i < count; ++i) input += pieces[random() % std::size(pieces)];
        const EntryMap map = Map(input);
        for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
            ASSERT_EQ(map.header(form), Read(input, form)) << "round " << round;
            for (int row = 0; row < zolehead::kFieldCount; ++row) {
                const HeaderEntry* final_entry = nullptr;
                for (const HeaderEntry& e : map.entries) {
                    const bool read = form == HeaderForm::BOTH || (form == HeaderForm::A) == (e.form == EntryForm::A);
                    const bool final = form == HeaderForm::BOTH ? e.final_in_combined : e.final_in_single_form;
                    if (e.row == row && read && final) {
                        ASSERT_EQ(final_entry, nullptr) << "two final entries, round " << round;
                        final_entry = &e;
                    }
                }
                const zolehead::HeaderSlot& slot = map.header(form).slots[static_cast<std::size_t>(row)];
                if (final_entry != nullptr) {
                    EXPECT_EQ(slot.text(), final_entry->stored) << "round " << round;
                } else {
                    EXPECT_TRUE(slot.text().empty()) << "round " << round;
                }
            }
        }
    }
}

}  // namespace
