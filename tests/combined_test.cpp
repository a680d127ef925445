// Both forms in one pass: precedence, repeats, and agreement with the
// single-form readers where the two forms cannot meet.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderStatus;
using zolehead::STATUS_FORM_A;
using zolehead::STATUS_FORM_B;
using zolehead::STATUS_NONE;

const std::string T = kTitleLabel + kColon;  // 曲名：

struct CombinedCase {
    const char* what;
    std::string input;
    int slot;
    std::string value;
    HeaderStatus status;
};

TEST(Combined, Precedence) {
    const CombinedCase cases[] = {
        {"one form A line", T + "A\n", 0, "A", STATUS_FORM_A},
        {"two form A lines empty the slot", T + "A\n" + T + "B\n", 0, "", STATUS_FORM_A},
        {"three form A lines too", T + "A\n" + T + "B\n" + T + "C\n", 0, "", STATUS_FORM_A},
        {"a line whose value never started does not count", T + "A\n" + T + "\n", 0, "A", STATUS_FORM_A},
        {"form B after form A", T + "A\n*Title 'X'", 0, "X", STATUS_FORM_B},
        {"form B before form A", "*Title 'X'\n" + T + "A\n", 0, "X", STATUS_FORM_B},
        {"form B before repeated form A", "*Title 'X'\n" + T + "A\n" + T + "B\n", 0, "X", STATUS_FORM_B},
        {"form B after repeated form A", T + "A\n" + T + "B\n*Title 'X'", 0, "X", STATUS_FORM_B},
        {"last form B wins", "*Title 'X' *Title 'Y'", 0, "Y", STATUS_FORM_B},
        {"empty form B value still wins", T + "A\n*Title ''", 0, "", STATUS_FORM_B},
        {"the first form A line is trimmed", T + "A  " + kWideSpace + "\n", 0, "A", STATUS_FORM_A},
        {"0x1A ends the input", T + "A\n\x1A*Title 'X'", 0, "A", STATUS_FORM_A},
    };
    for (const CombinedCase& c : cases) {
        const zolehead::ZoleHeader h = Read(c.input, HeaderForm::BOTH);
        EXPECT_EQ(h.slots[static_cast<std::size_t>(c.slot)].text(), c.value) << c.what;
        EXPECT_EQ(h.slots[static_cast<std::size_t>(c.slot)].status, c.status) << c.what;
    }
}

TEST(Combined, OneLineFeedsBothMachines) {
    const zolehead::ZoleHeader h = Read(kCommentLabel + kColon + "*Genre 'Rock'\n", HeaderForm::BOTH);
    EXPECT_EQ(h.slots[1].text(), "Rock");
    EXPECT_EQ(h.slots[1].status, STATUS_FORM_B);
    EXPECT_EQ(h.slots[15].text(), "*Genre 'Rock'");
    EXPECT_EQ(h.slots[15].status, STATUS_FORM_A);
}

TEST(Combined, FormsFillDifferentSlots) {
    const zolehead::ZoleHeader h = Read(T + "Sakura\r\n*Genre 'Pop'\r\n", HeaderForm::BOTH);
    EXPECT_EQ(h.slots[0].text(), "Sakura");
    EXPECT_EQ(h.slots[0].status, STATUS_FORM_A);
    EXPECT_EQ(h.slots[1].text(), "Pop");
    EXPECT_EQ(h.slots[1].status, STATUS_FORM_B);
    for (std::size_t i = 2; i < h.slots.size(); ++i) EXPECT_EQ(h.slots[i].status, STATUS_NONE) << i;
}

// Random files built from header-like pieces.
std::string Generate(std::mt19937& rng, const std::vector<std::string>& pieces, int count) {
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::string out;
    for (int i = 0; i < count; ++i) out += pieces[pick(rng)];
    return out;
}

// Without a full-width colon no form A line can commit: the combined reader
// is form B alone.
TEST(Combined, EqualsFormBWithoutFormALines) {
    const std::vector<std::string> pieces = {
        "*",
        "*Title ",
        "*Genre",
        "*comment",
        " ",
        "'",
        "\"",
        "=",
        "x",
        "Rock",
        "\n",
        "\r\n",
        "\r",
        "\t",
        kTitleLabel,
        kHiraA,
        "\x82",
        "\xFD",
        "*E-Mail",
        "*TITLE",
        "''",
        "\x01",
        std::string(40, 'v'),
        kMe,
        "@",
    };
    std::mt19937 rng(20261208);
    for (int round = 0; round < 3000; ++round) {
        const std::string input = Generate(rng, pieces, 1 + round % 60);
        ASSERT_EQ(Read(input, HeaderForm::BOTH), Read(input, HeaderForm::B)) << "round " << round;
    }
}

// Without an asterisk no form B entry can start, and with each label on one
// line at most no repeat rule applies: the combined reader is form A alone.
TEST(Combined, EqualsFormAWithoutAsterisks) {
    std::vector<std::string> labels = {kTitleLabel, kGenreLabel, kCommentLabel, kZoleVersionLabel,
                                       "\x8D\xEC"
                                       "\x8B\xC8" /* 作曲 */};
    const std::vector<std::string> decorations = {"", " ", ";", "!", "\t", kWideSpace, "x", "\x8B"};
    const std::vector<std::string> values = {
        "v", " ", kWideSpace, kColon, kHiraA, kMe, "@", "'", "\"", "\t", "\x01", "\x81", std::string(60, 'w')};
    const std::vector<std::string> endings = {"\n", "\r", "\r\n", ""};
    std::mt19937 rng(8);
    for (int round = 0; round < 3000; ++round) {
        std::shuffle(labels.begin(), labels.end(), rng);
        std::string input;
        for (const std::string& label : labels) {
            if (rng() % 3 == 0) input += Generate(rng, values, 3) + "\n";  // a line without a label
            input += Generate(rng, decorations, static_cast<int>(rng() % 3)) + label +
                     Generate(rng, decorations, static_cast<int>(rng() % 2)) + kColon +
                     Generate(rng, values, static_cast<int>(rng() % 6)) + endings[rng() % endings.size()];
        }
        ASSERT_EQ(Read(input, HeaderForm::BOTH), Read(input, HeaderForm::A)) << "round " << round;
    }
}

}  // namespace
