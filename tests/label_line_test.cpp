// Form A: label lines, through the core with HeaderForm::A.
#include <gtest/gtest.h>

#include <string>

#include "test_support.hpp"
#include "value_limit.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderStatus;
using zolehead::STATUS_FORM_A;
using zolehead::STATUS_NONE;

struct LineCase {
    const char* what;
    std::string input;
    int slot;           // the slot to check; every other slot must stay empty
    std::string value;  // expected bytes
    HeaderStatus status;
};

const std::string T = kTitleLabel;
const std::string C = kCommentLabel;
const std::string W = kWideSpace;
const std::string K = kColon;

void CheckCases(const LineCase* begin, const LineCase* end, HeaderForm form) {
    for (const LineCase* c = begin; c != end; ++c) {
        const zolehead::ZoleHeader h = Read(c->input, form);
        for (int i = 0; i < zolehead::kFieldCount; ++i) {
            const auto& slot = h.slots[static_cast<std::size_t>(i)];
            if (i == c->slot) {
                EXPECT_EQ(slot.text(), c->value) << c->what;
                EXPECT_EQ(slot.status, c->status) << c->what;
            } else {
                EXPECT_EQ(slot.status, STATUS_NONE) << c->what << " (slot " << i << ")";
                EXPECT_EQ(slot.text(), "") << c->what << " (slot " << i << ")";
            }
        }
    }
}

TEST(FormA, LineShape) {
    const LineCase cases[] = {
        {"plain line", T + K + "Sakura\n", 0, "Sakura", STATUS_FORM_A},
        {"no line end: never committed", T + K + "Sakura", 0, "", STATUS_NONE},
        {"blanks around label, colon and value", " ;!" + T + " " + K + W + " Sakura " + W + " \n", 0, "Sakura",
         STATUS_FORM_A},
        {"space inside the label", "\x8B\xC8 \x96\xBC" + K + "x\n", 0, "x", STATUS_FORM_A},
        {"full-width space inside the label", "\x8B\xC8" + W + "\x96\xBC" + K + "x\n", 0, "x", STATUS_FORM_A},
        {"tab inside the label", "\t" + T + "\t" + K + "x\n", 0, "x", STATUS_FORM_A},
        {"ASCII colon is not the separator", T + ":Sakura\n", 0, "", STATUS_NONE},
        {"ASCII keyword is not a label", "Title" + K + "x\n", 0, "", STATUS_NONE},
        {"letter before the label disqualifies", "a" + T + K + "x\n", 0, "", STATUS_NONE},
        {"half-width katakana in the label disqualifies", T + "\xB1" + K + "x\n", 0, "", STATUS_NONE},
        {"control byte other than tab disqualifies", T + "\x01" + K + "x\n", 0, "", STATUS_NONE},
        {"empty label matches nothing", K + "x\n", 0, "", STATUS_NONE},
        {"unknown label matches nothing", kHiraA + K + "x\n", 0, "", STATUS_NONE},
        {"empty value", T + K + "\n", 0, "", STATUS_NONE},
        {"value of blanks only", T + K + W + " \n", 0, "", STATUS_NONE},
        {"control bytes before the value are skipped", T + K + "\x01\x1F\tx\n", 0, "x", STATUS_FORM_A},
        {"last line wins", T + K + "A\n" + T + K + "B\n", 0, "B", STATUS_FORM_A},
        {"a later empty line does not count", T + K + "A\n" + T + K + "\n", 0, "A", STATUS_FORM_A},
        {"tab inside the value is dropped", T + K + "a\tb\n", 0, "ab", STATUS_FORM_A},
        {"second colon starts the value", T + K + K + "x\n", 0, K + "x", STATUS_FORM_A},
        {"full-width space inside the value is kept", T + K + "a" + W + "b\n", 0, "a" + W + "b", STATUS_FORM_A},
        {"lone lead byte in the label part is lost", T + "\x8B " + K + "x\n", 0, "x", STATUS_FORM_A},
        {"CR ends a line", T + K + "x\r", 0, "x", STATUS_FORM_A},
        {"CR LF ends a line", T + K + "x\r\n", 0, "x", STATUS_FORM_A},
        {"line end resets the label", T + "\n" + K + "x\n", 0, "", STATUS_NONE},
        {"nine-character label (the longest) matches", kZoleVersionLabel + K + "1.2\n", 12, "1.2", STATUS_FORM_A},
        {"ten label characters disqualify", kZoleVersionLabel + kHiraA + K + "x\n", 12, "", STATUS_NONE},
        {"a later line after a disqualified one", "x" + T + K + "A\n" + T + K + "B\n", 0, "B", STATUS_FORM_A},
        {"form B entries are not read", "*Title 'x'\n", 0, "", STATUS_NONE},
        {"NUL bytes inside the value are dropped", T + K + std::string("a\0b", 3) + "\n", 0, "ab", STATUS_FORM_A},
    };
    CheckCases(std::begin(cases), std::end(cases), HeaderForm::A);
}

TEST(FormA, Trim) {
    const LineCase cases[] = {
        {"trailing ASCII and full-width spaces", T + K + "x " + W + " " + W + "\n", 0, "x", STATUS_FORM_A},
        {"the first byte is never trimmed", C + K + "@\n", 15, "@", STATUS_FORM_A},
        // メ is 83 81: its 0x81 is a trail byte, so "81 40" is no full-width space.
        {"trail byte 0x81 then '@' keeps the character and the '@'", C + K + "x" + kMe + "@\n", 15, "x" + kMe + "@",
         STATUS_FORM_A},
        {"a dropped control byte between 81 and 40 still makes a full-width space", C + K + "x\x81\t\x40\n", 15, "x",
         STATUS_FORM_A},
        {"spaces before a trail-81 '@' stop the trim there", C + K + "x" + kMe + "@  \n", 15, "x" + kMe + "@",
         STATUS_FORM_A},
        {"full-width space after a double-byte character", C + K + kHiraA + W + "\n", 15, kHiraA, STATUS_FORM_A},
    };
    CheckCases(std::begin(cases), std::end(cases), HeaderForm::A);
}

TEST(FormA, ValueLimit) {
    const std::string letters120(120, 'a');
    const LineCase cases[] = {
        {"200 bytes keep their first 127", T + K + std::string(200, 'v') + "\n", 0, std::string(127, 'v'),
         STATUS_FORM_A},
        {"126 bytes then a double-byte character keep 126", T + K + std::string(126, 'v') + kHiraA + "\n", 0,
         std::string(126, 'v'), STATUS_FORM_A},
        {"125 bytes then a double-byte character keep it whole", T + K + std::string(125, 'v') + kHiraA + "\n", 0,
         std::string(125, 'v') + kHiraA, STATUS_FORM_A},
        {"limit hit by a lead byte: no trim", T + K + letters120 + "      " + kHiraA + "\n", 0, letters120 + "      ",
         STATUS_FORM_A},
        {"same bytes ending at the line end: trimmed", T + K + letters120 + "      \n", 0, letters120, STATUS_FORM_A},
        {"127 bytes ending in spaces are trimmed", T + K + std::string(125, 'v') + "  \n", 0, std::string(125, 'v'),
         STATUS_FORM_A},
    };
    CheckCases(std::begin(cases), std::end(cases), HeaderForm::A);
}

// A double-byte character at every position around the limit: it is stored
// whole or not at all, and nothing after a held-back character is stored.
TEST(FormA, DoubleByteCharacterAtEveryPositionNearTheLimit) {
    for (int k = 118; k <= 130; ++k) {
        const std::string input = T + K + std::string(static_cast<std::size_t>(k), 'a') + kHiraA + "bbbbbbbbbb\n";
        std::string expected;
        if (k >= 127) {
            expected = std::string(127, 'a');
        } else if (k == 126) {
            expected = std::string(126, 'a');
        } else {
            expected = std::string(static_cast<std::size_t>(k), 'a') + kHiraA;
            expected += std::string(127 - expected.size(), 'b');
        }
        EXPECT_EQ(Read(input, HeaderForm::A).slots[0].text(), expected) << k << " letters before the character";
    }
}

// Values are copied in one or two overlapping moves: every length a bulk
// step takes, at several alignments, moves exactly its bytes.
TEST(ValueBytes, FewByteCopyMovesExactlyTheBytesAsked) {
    std::uint8_t source[64];
    for (int i = 0; i < 64; ++i) source[i] = static_cast<std::uint8_t>(0x80 + i);
    for (int n = 0; n <= 64; ++n) {
        for (int at = 0; at < 4; ++at) {
            std::string target(80, '#');
            zolehead::CopyFewBytes(target.data() + at, source, n);
            std::string expected(80, '#');
            for (int i = 0; i < n; ++i) expected[static_cast<std::size_t>(at + i)] = static_cast<char>(source[i]);
            EXPECT_EQ(target, expected) << n << " bytes at offset " << at;
        }
    }
}

}  // namespace
