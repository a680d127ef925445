// Where the input is cut into blocks must change nothing: not inside a
// double-byte character, not inside CR LF, not next to 0x1A.
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderScanner;

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const std::string kInputs[] = {
    kTitleLabel + kColon + "Sakura" + kWideSpace + "\r\n*Genre 'Po\r\np'\r\n" + kCommentLabel + kColon + "x" + kMe +
        "@\r\n",
    " " + kTitleLabel + " " + kColon + kHiraA + std::string(124, 'a') + kHiraA + "\n*Title '" + std::string(126, 'b') +
        kHiraA + "'",
    kTitleLabel + kColon + "A\n" + kTitleLabel + kColon + "B\n*Comment \"q'\"\x1A*Genre 'no'",
    "*Tit*Genre 'x'\r" + kGenreLabel + kColon + "\x81\t\x40y\x81\t\x40\r",
};

TEST(BlockFeed, EverySplitPointGivesTheWholeResult) {
    for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
        for (const std::string& input : kInputs) {
            const zolehead::ZoleHeader whole = Read(input, form);
            for (std::size_t cut = 0; cut <= input.size(); ++cut) {
                HeaderScanner scanner(form);
                scanner.feed(Bytes(std::string_view(input).substr(0, cut)));
                scanner.feed(Bytes(std::string_view(input).substr(cut)));
                ASSERT_EQ(scanner.header(), whole) << "cut at " << cut;
            }
        }
    }
}

TEST(BlockFeed, OneByteAtATimeGivesTheWholeResult) {
    for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
        for (const std::string& input : kInputs) {
            HeaderScanner scanner(form);
            for (char c : input) scanner.feed(Bytes(std::string_view(&c, 1)));
            EXPECT_EQ(scanner.header(), Read(input, form));
        }
    }
}

TEST(BlockFeed, EndOfTextStopsLaterBlocks) {
    HeaderScanner scanner(HeaderForm::BOTH);
    EXPECT_TRUE(scanner.feed(Bytes("*Title 'a'")));
    EXPECT_FALSE(scanner.feed(Bytes("\x1A*Genre 'b'")));
    EXPECT_FALSE(scanner.feed(Bytes("*Comment 'c'")));
    EXPECT_TRUE(scanner.ended());
    EXPECT_EQ(scanner.header().slots[0].text(), "a");
    EXPECT_EQ(scanner.header().slots[1].status, zolehead::STATUS_NONE);
    EXPECT_EQ(scanner.header().slots[15].status, zolehead::STATUS_NONE);
}

}  // namespace
