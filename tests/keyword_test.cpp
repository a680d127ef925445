// Form B: starred keywords, through the core with HeaderForm::B.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "identifier_table.hpp"
#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderStatus;
using zolehead::STATUS_FORM_B;
using zolehead::STATUS_NONE;

struct KeywordCase {
    const char* what;
    std::string input;
    int slot;  // the slot to check; every other slot must stay empty
    std::string value;
    HeaderStatus status;
};

void CheckCases(const KeywordCase* begin, const KeywordCase* end) {
    for (const KeywordCase* c = begin; c != end; ++c) {
        const zolehead::ZoleHeader h = Read(c->input, HeaderForm::B);
        for (int i = 0; i < zolehead::kFieldCount; ++i) {
            const auto& slot = h.slots[static_cast<std::size_t>(i)];
            if (i == c->slot) {
                EXPECT_EQ(slot.text(), c->value) << c->what;
                EXPECT_EQ(slot.status, c->status) << c->what;
            } else {
                EXPECT_EQ(slot.status, STATUS_NONE) << c->what << " (slot " << i << ")";
            }
        }
    }
}

TEST(FormB, Names) {
    const KeywordCase cases[] = {
        {"apostrophes, no line end needed", "*Title 'Sakura'", 0, "Sakura", STATUS_FORM_B},
        {"double quotes", "*Title \"Sakura\"", 0, "Sakura", STATUS_FORM_B},
        {"upper case folds", "*TITLE 'Sakura'", 0, "Sakura", STATUS_FORM_B},
        {"equals sign skipped", "*title='Sakura'", 0, "Sakura", STATUS_FORM_B},
        {"blanks and '=' around the name", "* Title = 'x'", 0, "x", STATUS_FORM_B},
        {"line ends between name and value", "*Title\n\n'x'", 0, "x", STATUS_FORM_B},
        {"a space inside the name is skipped", "*Ti tle 'x'", 0, "x", STATUS_FORM_B},
        {"hyphen is a name character", "*e-mail 'a@b'", 9, "a@b", STATUS_FORM_B},
        {"digits and underscore are name characters", "*Title_2 'x'", 0, "", STATUS_NONE},
        {"unknown name commits nothing", "*Titlex 'y'", 0, "", STATUS_NONE},
        {"a second asterisk before the name is skipped", "**Title 'x'", 0, "x", STATUS_FORM_B},
        {"an asterisk restarts the name", "*Tit*Genre 'x'", 1, "x", STATUS_FORM_B},
        {"arithmetic before an entry", "5*3=15\n*Genre 'y'", 1, "y", STATUS_FORM_B},
        {"double-byte characters in the name are skipped", "*" + kTitleLabel + "Title 'x'", 0, "x", STATUS_FORM_B},
        {"a trail byte that is a letter is not a name character",
         "*Ti\x81"
         "tle 'x'",
         0, "", STATUS_NONE},
        {"apostrophe before the name is skipped", "*'Title' 'x'", 0, " ", STATUS_FORM_B},
        {"longest keyword", "*ComposedYear 'x'", 6, "x", STATUS_FORM_B},
        {"a name of 25 characters keeps 19", "*ZoleVersionAAAAAAAAAAAAAA 'x'", 11, "", STATUS_NONE},
        {"half-width katakana in a name are skipped", "*Ti\xB1tle 'x'", 0, "x", STATUS_FORM_B},
        {"mixed case folds", "*hOmEpAgE 'x'", 10, "x", STATUS_FORM_B},
        {"entry inside a form A line", kCommentLabel + kColon + "*Title 'x'\n", 0, "x", STATUS_FORM_B},
        {"a quote before any name is skipped, so x becomes the name", "* 'x' *Title 'y'", 0, "", STATUS_NONE},
    };
    CheckCases(std::begin(cases), std::end(cases));
}

TEST(FormB, Values) {
    const KeywordCase cases[] = {
        {"the other quote is an ordinary byte (double)", "*Title \"it's\"", 0, "it's", STATUS_FORM_B},
        {"the other quote is an ordinary byte (single)", "*Title 'say \"hi\"'", 0, "say \"hi\"", STATUS_FORM_B},
        {"a value spans lines and loses the breaks", "*Title 'line1\nline2\r\nline3'", 0, "line1line2line3",
         STATUS_FORM_B},
        {"control bytes are dropped", std::string("*Title 'a\x01\tb\0c'", 15), 0, "abc", STATUS_FORM_B},
        {"empty value is stored", "*Title ''", 0, "", STATUS_FORM_B},
        {"unterminated value is never committed", "*Title 'abc", 0, "", STATUS_NONE},
        {"the last entry wins", "*Title 'x' *Title 'y'", 0, "y", STATUS_FORM_B},
        {"the value is not trimmed", "*Title '  x  '", 0, "  x  ", STATUS_FORM_B},
        {"asterisks inside a value are text", "*Title '*Genre x'", 0, "*Genre x", STATUS_FORM_B},
        {"double-byte characters in a value", "*Title '" + kHiraA + kTitleLabel + "'", 0, kHiraA + kTitleLabel,
         STATUS_FORM_B},
        {"130 bytes keep their first 127", "*Title '" + std::string(130, 'v') + "'", 0, std::string(127, 'v'),
         STATUS_FORM_B},
        {"126 bytes then a double-byte character keep 126", "*Title '" + std::string(126, 'v') + kHiraA + "'", 0,
         std::string(126, 'v'), STATUS_FORM_B},
        {"125 bytes then a double-byte character keep it", "*Title '" + std::string(125, 'v') + kHiraA + "'", 0,
         std::string(125, 'v') + kHiraA, STATUS_FORM_B},
        {"a full value still closes at its quote", "*Title '" + std::string(300, 'v') + "' *Title 'z'", 0, "z",
         STATUS_FORM_B},
        {"a lead byte before the closing quote is kept", "*Title 'a\x81'", 0, "a\x81", STATUS_FORM_B},
        {"form A lines are not read", kTitleLabel + kColon + "x\n", 0, "", STATUS_NONE},
    };
    CheckCases(std::begin(cases), std::end(cases));
}

// Names longer than any keyword are cut at 19 bytes and match nothing; the
// machine goes on with the next entry.
TEST(FormB, OverlongNamesAreHarmless) {
    const zolehead::ZoleHeader h = Read("*" + std::string(5000, 'T') + " 'v' *Genre 'g'", HeaderForm::B);
    EXPECT_EQ(h.slots[0].status, STATUS_NONE);
    EXPECT_EQ(h.slots[1].text(), "g");
}

// Whether some keyword starts with `prefix`, ASCII letters folded: spelled
// out over the table, as the row sets must agree with.
bool SomeKeywordStartsWith(std::string_view prefix) {
    const auto fold = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
    for (const zolehead::Identifier& row : zolehead::kIdentifiers) {
        if (row.keyword.size() < prefix.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < prefix.size() && same; ++i) same = fold(row.keyword[i]) == fold(prefix[i]);
        if (same) return true;
    }
    return false;
}

// A name is matched a byte at a time through row sets; every prefix must get
// the answers the string comparisons give.
TEST(FormB, NameNarrowingAgreesWithTheKeywordTable) {
    std::vector<std::string> names = {"Compose", "ComposedYearX", "e-MAIL", "zoleversion", "data", "DataV", "x",
                                      "T1tle", "Title_", "9", "-"};
    for (const zolehead::Identifier& row : zolehead::kIdentifiers) {
        std::string upper(row.keyword), lower(row.keyword);
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        names.insert(names.end(), {std::string(row.keyword), upper, lower, std::string(row.keyword) + "s"});
    }
    for (const std::string& name : names) {
        std::uint16_t candidates = zolehead::kAllKeywordRows;
        for (std::size_t length = 1; length <= name.size(); ++length) {
            candidates &= zolehead::KeywordRowsWith(length - 1, static_cast<std::uint8_t>(name[length - 1]));
            const std::string_view prefix(name.data(), length);
            EXPECT_EQ(candidates != 0, SomeKeywordStartsWith(prefix)) << prefix;
            EXPECT_EQ(zolehead::KeywordRowSpelled(candidates, length), zolehead::FindKeywordRow(prefix)) << prefix;
        }
    }
}

}  // namespace
