// The fast loop (feed) must give exactly what the plain byte loop
// (feed_reference) gives: on inputs aimed at its jumps, on random byte soup,
// and on generated data files, whole and cut into blocks anywhere. Each block
// lies against an inaccessible page, so reading outside it crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "corpus.hpp"
#include "guarded_buffer.hpp"
#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::HeaderScanner;
using zolehead::SearchKernel;
using zolehead::ZoleHeader;
using zolehead_bench::Rng;

constexpr HeaderForm kForms[] = {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH};

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

ZoleHeader Reference(std::string_view input, HeaderForm form) {
    return zolehead::ReadHeaderReference(Bytes(input), form);
}

// Every kernel this processor runs: each must agree with the plain loop.
std::vector<SearchKernel> RunnableKernels() {
    std::vector<SearchKernel> kernels;
    for (SearchKernel kernel : zolehead::kSearchKernels) {
        if (zolehead::SearchKernelRuns(kernel)) kernels.push_back(kernel);
    }
    return kernels;
}

std::string Describe(const std::string& what, HeaderForm form, SearchKernel kernel) {
    return what + ", form " + std::to_string(int(form)) + ", kernel " + zolehead::SearchKernelName(kernel);
}

// Feeds `input` through the fast loop in blocks that end at `cuts`, each in
// the guarded buffer.
ZoleHeader FastInBlocks(std::string_view input, HeaderForm form, SearchKernel kernel,
                        const std::vector<std::size_t>& cuts, bool guard_before = false) {
    HeaderScanner scanner(form, kernel);
    std::size_t from = 0;
    for (std::size_t cut : cuts) {
        scanner.feed(Guarded().place(input.substr(from, cut - from), guard_before));
        from = cut;
    }
    scanner.feed(Guarded().place(input.substr(from), guard_before));
    return scanner.header();
}

// Whole, cut once at every position, and one byte at a time.
void ExpectSameAtEveryCut(std::string_view input, const std::string& what) {
    for (HeaderForm form : kForms) {
        const ZoleHeader expected = Reference(input, form);
        for (SearchKernel kernel : RunnableKernels()) {
            const std::string where = Describe(what, form, kernel);
            ASSERT_EQ(FastInBlocks(input, form, kernel, {}), expected) << where << ", whole";
            for (std::size_t cut = 0; cut <= input.size(); ++cut) {
                for (bool guard_before : {false, true}) {
                    ASSERT_EQ(FastInBlocks(input, form, kernel, {cut}, guard_before), expected)
                        << where << ", cut at " << cut;
                }
            }
            HeaderScanner scanner(form, kernel);
            for (char c : input) scanner.feed(Bytes(std::string_view(&c, 1)));
            ASSERT_EQ(scanner.header(), expected) << where << ", byte by byte";
        }
    }
}

// Random block sizes, small and large, several times over.
void ExpectSameInRandomBlocks(std::string_view input, const std::string& what, std::uint64_t seed) {
    Rng rng(seed);
    for (HeaderForm form : kForms) {
        const ZoleHeader expected = Reference(input, form);
        for (SearchKernel kernel : RunnableKernels()) {
            const std::string where = Describe(what, form, kernel);
            ASSERT_EQ(FastInBlocks(input, form, kernel, {}), expected) << where << ", whole";
            for (int round = 0; round < 4; ++round) {
                std::vector<std::size_t> cuts;
                const std::uint32_t largest = round == 0 ? 16 : round == 1 ? 300 : 70000;
                for (std::size_t at = rng.between(1, largest); at < input.size(); at += rng.between(1, largest))
                    cuts.push_back(at);
                ASSERT_EQ(FastInBlocks(input, form, kernel, cuts, round % 2 == 1), expected)
                    << where << ", blocks up to " << largest;
            }
        }
    }
}

const std::string T = kTitleLabel + kColon;  // 曲名：
const std::string kA = "\x83\x41";             // ア: its trail byte is 'A'
const std::string kF = "\x83\x46";             // its trail byte is 'F'

// Labels that share their first bytes with another's.
const std::string kComposeLabel = "\x8D\xEC\x8B\xC8";                // 作曲
const std::string kComposedYearLabel = kComposeLabel + "\x94\x4E";     // 作曲年
const std::string kLyricsLabel = "\x8D\xEC\x8E\x8C";                 // 作詞
const std::string kData = "\x83\x66\x81\x5B\x83\x5E";               // データ
const std::string kDataMadeLabel = kData + "\x90\xA7\x8D\xEC";        // データ制作
const std::string kDataDateLabel = kData + "\x8A\xAE\x90\xAC\x93\xFA";  // データ完成日

// n Japanese characters, now and then a wide space or a trail byte 0x81.
std::string JapaneseRun(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += i % 9 == 4 ? kWideSpace : i % 5 == 2 ? kMe : kHiraA;
    return text;
}

// n label lines of the table with Japanese values (about 40 bytes each), so
// that a sweep has a whole window to start with.
std::string Filler(int n) {
    std::string lines;
    for (int i = 0; i < n; ++i) {
        lines += std::string(zolehead::kIdentifiers[static_cast<std::size_t>(5 + i % 9)].label) + kColon +
                 JapaneseRun(10 + i % 4) + "\r\n";
    }
    return lines;
}

// Each case aims at one way a jump could go wrong.
struct Case {
    const char* what;
    std::string input;
};

const std::vector<Case>& TargetedCases() {
    static const std::vector<Case> cases = {
        // Form A: line ends and the look-ahead for the colon
        {"CR LF, lone CR, lone LF, CR CR LF", T + "a\r\n" + T + "b\r" + T + "c\n" + T + "d\r\r\n"},
        {"header after long command lines", std::string(300, 'c') + "\r\n" + T + "x\r\n" + std::string(70, 'd') + "\n"},
        {"colon pair split by a line's start", "\x81\n\x46" + T + "x\n"},
        {"0x81 as a trail byte before 0x46", kTitleLabel + "\x83\x81\x46x\n" + kTitleLabel + kMe + "F\n"},
        {"label line after a disqualified Japanese line",
         kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kHiraA + kColon + "no\n" + T +
             "yes\n"},
        {"blanks and wide spaces before the label", " \t;!" + kWideSpace + kTitleLabel + " " + kColon + " v \n"},
        {"value full, then more bytes and the line end", T + std::string(200, 'v') + "\r\n" + kGenreLabel + kColon +
                                                              std::string(126, 'g') + kHiraA + "tail\n"},
        {"text after the last line end", T + "a\n" + kCommentLabel + kColon + "never committed"},
        {"repeated labels in the combined reader", T + "a\n" + T + "b\n" + T + "\n*Title 'B wins'\n" + T + "c\n"},
        // Form B: waits for an asterisk, a full name, a full value
        {"entry after a long idle stretch", std::string(500, 'x') + "*Title 'x'"},
        {"full name waits for a quote", std::string("*").append(30, 'N') + " 'dropped' *Genre 'g'"},
        {"full name: a quote still opens a value", std::string("*").append(25, 'N') + " '*Title \"x\"' *Genre 'g'"},
        {"full value waits for its quote", "*Title '" + std::string(300, 'v') + "\"\r\n" + kHiraA + "'*Genre 'g'"},
        {"value across lines loses its line ends", "*Comment 'one\r\ntwo\r\n' tail\n"},
        {"unclosed value to the end", "*Title 'x' *Genre '" + std::string(1000, 'z') + "*Comment 'c'"},
        // Form B after an asterisk: later asterisks restart the name
        {"asterisk every few bytes", "*a*bc*def*Title 'x' c4*d8*e*2f*g*Genre 'y'"},
        {"last asterisk before the quote wins", "*Foo*Bar*Title 'x'"},
        {"double asterisk", "**Title 'x'"},
        {"quote before any name is skipped", "*'Title' 'x'"},
        {"asterisk inside a value does nothing", "*Title 'a*b' *Genre \"c*d\""},
        {"stray asterisk then Japanese only, then a name", "*" + kHiraA + kA + kHiraA + kF + "\r\n" + kHiraA + "Genre 'j'"},
        {"trail-byte letters never start a name", "*" + kA + kA + kF + "Title 'x'"},
        {"lead-capable runs before a letter", "*\x81\x81\x81" "A" "\x81\x81" "Title 'x'"},
        {"DEL and 0xFD..0xFF are lead bytes, not trail bytes", "*\x7F\x7F" "Title 'x' *\xFD\xFD" "Genre 'y'"},
        {"half-width katakana stand alone", "*\xB1\xB2" "Title 'x'"},
        {"name then Japanese then the rest of the name", "*Ti" + kHiraA + kA + "tle 'x'"},
        {"form A line feeding both machines", kCommentLabel + kColon + "*Genre 'Rock'\n"},
        // Values taken in bulk: the 127-byte limit and its double-byte rule,
        // dropped control bytes, lead bytes for the trim, across 64-byte runs
        {"values of 126, 127 and 128 bytes", T + std::string(126, 'a') + "\n" + kGenreLabel + kColon +
                                                 std::string(127, 'b') + "\n" + kCommentLabel + kColon +
                                                 std::string(128, 'c') + "\n*Title '" + std::string(127, 'd') + "'"},
        {"a lead byte at the last position is not started", T + std::string(126, 'a') + kHiraA + "\n*Genre '" +
                                                                std::string(126, 'b') + kHiraA + "'"},
        {"a trail byte at the last position is kept", T + "x" + kHiraA + std::string(123, 'a') + kHiraA + "\n"},
        {"control bytes amid long values", T + std::string(70, 'a') + "\x01\t" + std::string(70, 'b') + "\n*Genre '" +
                                               std::string(60, 'c') + "\r\n\x02" + std::string(70, 'd') + "'"},
        {"wide spaces trimmed across the 64th byte", T + std::string(61, 'a') + kWideSpace + kWideSpace + " " +
                                                         kWideSpace + "\n"},
        {"trail byte 0x81 before '@' at a value's end survives", T + std::string(62, 'a') + kMe + "@" + kMe + "@\n"},
        {"DEL and 0xFD..0xFF in values", T + "a\x7F\x41\xFD\x41\xFF" + kHiraA + "\x7F\n*Genre '\xFE\x27"},
        {"Japanese value of 70 characters", T + [] {
             std::string v;
             for (int i = 0; i < 70; ++i) v += i % 7 == 0 ? kWideSpace : kHiraA;
             return v;
         }() + "\r\n"},
        // Label lines taken whole, one after another
        {"each label twice, the last wins", [] {
             std::string lines;
             for (int round = 0; round < 2; ++round) {
                 for (const auto& row : zolehead::kIdentifiers) {
                     lines += std::string(row.label) + kColon + "v" + std::to_string(round) + kHiraA + "\r\n";
                 }
             }
             return lines;
         }()},
        {"a repeated label with a blank value commits nothing", T + "a\r\n" + T + " " + kWideSpace + "\r\n" + T +
                                                                     "\r\n" + kGenreLabel + kColon + "g\r\n"},
        {"values that start with blanks, a lone lead byte, a wide space", T + " a\n" + T + kWideSpace + "b\n" + T +
                                                                          "\x82\n" + T + "\x82" "a\n" + T + "\x81\x40\n"},
        {"an asterisk in a label line's value", T + "a*Genre 'g'\r\n" + T + "b\r\n*Title 'c'\r\n" + T + "d\n"},
        {"a label line that does not end", T + "a\n" + T + "b"},
        {"label lines with lone CR and LF CR", T + "a\r" + kGenreLabel + kColon + "b\n\r" + T + "c\n"},
        {"swept line ends on the 63rd, 64th and 65th byte of a stop window", T + std::string(56, 'a') + "\r\n" + T +
                                                                                 std::string(57, 'b') + "\n" + T +
                                                                                 std::string(58, 'c') + "\r\n" + T + "d\n"},
        // Sweeps need a whole 64-byte window of stops: the same cases amid
        // enough label lines for one to start, with every cut moving where
        // its windows lie
        {"swept values of 125 to 129 bytes, a double-byte character across the 127th", [] {
             std::string lines = Filler(3);
             for (int len = 125; len <= 129; ++len) {
                 lines += T + std::string(static_cast<std::size_t>(len - 2), 'a') + kHiraA + "\r\n" + Filler(1);
                 lines += kGenreLabel + kColon + "b" + std::string(static_cast<std::size_t>(len - 3), 'c') + kHiraA +
                          "\r\n";
             }
             return lines + Filler(3);
         }()},
        {"swept Japanese values past 127 bytes", Filler(2) + T + JapaneseRun(70) + "\r\n" + Filler(2) + kCommentLabel +
                                                     kColon + "x" + JapaneseRun(65) + "\r\n" + Filler(2)},
        {"trailing wide spaces and blanks in swept values", Filler(3) + T + JapaneseRun(5) + kWideSpace + kWideSpace +
                                                                " " + kWideSpace + "  \r\n" + Filler(2) + T + kWideSpace +
                                                                kWideSpace + "\r\n" + Filler(2) + kGenreLabel + kColon +
                                                                "g" + kWideSpace + " \r\n" + Filler(3)},
        {"a label repeated amid sweeps: last wins, or emptied", Filler(3) + T + "a\r\n" + Filler(3) + T + "b\r\n" +
                                                                    Filler(3) + T + "c\r\n" + Filler(3)},
        {"a blank repeat keeps the value before it", Filler(3) + T + "first\r\n" + Filler(2) + T + " \r\n" + Filler(2) +
                                                         T + kWideSpace + "y\r\n" + Filler(2) + T + "\x82\x01z\r\n" +
                                                         Filler(2)},
        {"CR on the 64th byte of a sweep's window, its LF on the 65th",
         T + std::string(57, 'a') + "\r\n" + T + std::string(57 + 64 - 8, 'b') + "\r\n" + Filler(4)},
        {"lone CR and LF CR amid sweeps", Filler(3) + T + "a\r" + kGenreLabel + kColon + "b\n\r" + T + "c\n" + Filler(3)},
        {"short label lines in the last bytes of a block", Filler(4) + T + "a\n" + T + "b\n" + kGenreLabel + kColon + "c\n"},
        {"an asterisk in a swept value", Filler(3) + T + "a*Genre 'g'\r\n" + Filler(3) + "*Title 'b'\r\n" + Filler(2)},
        {"0x1A in a swept value", Filler(3) + T + "a\r\n" + kGenreLabel + kColon + "g\x1A" "x\n" + Filler(3)},
        {"labels that share their first bytes, one after another", [] {
             std::string lines;
             for (const std::string& label : {kComposeLabel, kComposedYearLabel, kLyricsLabel, kDataMadeLabel,
                                              kDataDateLabel, kComposeLabel + kWideSpace, kComposeLabel + "\x94"}) {
                 lines += label + kColon + JapaneseRun(12) + "\r\n";
             }
             return lines + lines;
         }()},
        // The end-of-text byte
        {"0x1A in a value amid swept label lines", T + "a\r\n" + kGenreLabel + kColon + "g\x1A" "x\n" + T + "no\n"},
        {"0x1A stops everything", T + "a\n*Genre 'g'\x1A*Title 'no'\n" + kGenreLabel + kColon + "no\n"},
        {"0x1A inside a value", "*Title 'ab\x1A" "cd'"},
    };
    return cases;
}

TEST(FastPath, TargetedInputsAtEveryCut) {
    for (const Case& c : TargetedCases()) ExpectSameAtEveryCut(c.input, c.what);
}

// Byte soup from the bytes that matter to the machines, with whole labels,
// keywords and colons mixed in so that entries do form.
std::string Soup(Rng& rng, std::size_t tokens) {
    static const std::string pieces[] = {
        "\r", "\n", "\r\n", "*", "'", "\"", " ", "\t", ";", "!", "\x81", "\x46", "\x40", "A", "F", "z", "_", "-", "7",
        "\x7F", "\x80", "\xFD", "\xFF", "\xA0", "\xDF", "\x9F", "\xE0", "\xFC", "\x83", "\x1A", "\x01",
        kColon, kWideSpace, kMe, kHiraA, kA, kF, kTitleLabel, kGenreLabel, kCommentLabel, kZoleVersionLabel,
        "Title", "Genre", "Comment", "*Title '", "*Genre \"", "c4d8e", std::string(20, 'n'), std::string(130, 'v'),
    };
    std::string out;
    for (std::size_t i = 0; i < tokens; ++i) {
        // The end-of-text byte only now and then, or little would be read.
        std::uint32_t pick = rng.below(std::size(pieces));
        if (pieces[pick] == "\x1A" && !rng.chance(50)) pick = 0;
        out += pieces[pick];
    }
    return out;
}

std::string Hex(std::string_view bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%02X ", c);
        out += two;
    }
    return out;
}

// The row whose label and colon start `line`, by a plain walk of the table.
int LabelRowByWalk(std::string_view line) {
    for (int row = 0; row < zolehead::kFieldCount; ++row) {
        if (line.starts_with(std::string(zolehead::kIdentifiers[static_cast<std::size_t>(row)].label) + kColon)) return row;
    }
    return -1;
}

// The label lookups of the sweep (24 bytes read) and of a line near a
// block's end (only the bytes given) against a walk of the table.
TEST(FastPath, LabelLookupAgreesWithTheTable) {
    std::vector<std::string> starts = {"", kColon, kWideSpace + T, "x" + T, kComposeLabel + kWideSpace + kColon,
                                       kComposeLabel + "\x94\x4F" + kColon, kData + kColon, kData + "\x90\xA7" + kColon};
    for (const auto& row : zolehead::kIdentifiers) {
        const std::string label(row.label);
        starts.push_back(label + kColon);
        starts.push_back(label + "\x81\x47");                              // not the colon
        starts.push_back(label.substr(0, label.size() - 2) + kColon);       // one character short
        starts.push_back(label + kHiraA + kColon);                          // one character more
        starts.push_back(label.substr(0, label.size() - 1) + "\x00" + kColon);  // last byte changed
    }
    Rng rng(5);
    for (int i = 0; i < 500; ++i) starts.push_back(Soup(rng, rng.between(1, 4)));
    // A label with one byte changed past its first four: where labels share
    // those, one more byte picks the row to compare with, and a byte that
    // picks the wrong one must still match nothing.
    for (int i = 0; i < 2000; ++i) {
        std::string label(zolehead::kIdentifiers[rng.below(zolehead::kFieldCount)].label);
        label += kColon;
        label[4 + rng.below(static_cast<std::uint32_t>(label.size() - 4))] = static_cast<char>(rng.below(256));
        starts.push_back(label);
    }
    for (const std::string& start : starts) {
        std::string line = start;
        line.resize(std::max<std::size_t>(line.size(), 40), 'v');
        const auto* p = reinterpret_cast<const std::uint8_t*>(line.data());
        const int expected = LabelRowByWalk(line);
        EXPECT_EQ(zolehead::MatchLabelRow(p), expected) << "table lookup on " << Hex(start);
        for (std::size_t room = 0; room <= 26; ++room) {
            const int in_room = LabelRowByWalk(std::string_view(line).substr(0, room));
            ASSERT_EQ(zolehead::FindLabelRowBeforeColon(p, p + room), in_room)
                << Hex(start) << " in " << room << " bytes";
        }
    }
}

TEST(FastPath, RandomSoupAtEveryCut) {
    Rng rng(1);
    for (int i = 0; i < 300; ++i) ExpectSameAtEveryCut(Soup(rng, rng.between(1, 40)), "soup " + std::to_string(i));
}

TEST(FastPath, LongRandomSoupInRandomBlocks) {
    Rng rng(2);
    for (int i = 0; i < 40; ++i) {
        ExpectSameInRandomBlocks(Soup(rng, rng.between(500, 20000)), "long soup " + std::to_string(i), 100 + i);
    }
}

TEST(FastPath, GeneratedDataFilesInRandomBlocks) {
    std::uint64_t seed = 7;
    for (zolehead_bench::Content content : zolehead_bench::kAllContents) {
        const std::string file = zolehead_bench::GenerateFile(content, 300 * 1024, ++seed);
        ExpectSameInRandomBlocks(file, std::string(zolehead_bench::ContentName(content)), seed);
    }
}

TEST(FastPath, GeneratedFilesHoldAHeader) {
    // Otherwise the comparisons above would prove little.
    const std::string file = zolehead_bench::GenerateFile(zolehead_bench::Content::REALISTIC, 64 * 1024, 3);
    const ZoleHeader header = zolehead::ReadHeader(Bytes(file), HeaderForm::BOTH);
    const auto filled = std::count_if(header.slots.begin(), header.slots.end(),
                                      [](const zolehead::HeaderSlot& s) { return s.status != zolehead::STATUS_NONE; });
    EXPECT_GE(filled, 4);
}

TEST(FastPath, FileReaderAgreesAcrossItsBlocks) {
    TempDir dir;
    for (zolehead::HeaderForm form : kForms) {
        const std::string file = zolehead_bench::GenerateFile(zolehead_bench::Content::ASTERISKS, 1 << 20, 11);
        const std::string path = dir.write("big.zole", file);
        ZoleHeader header;
        ASSERT_TRUE(zolehead::ReadHeaderFile(path.c_str(), form, header));
        EXPECT_EQ(header, Reference(file, form));
    }
}

// Regression: a lead byte at the end of a skipped block must make a letter
// at the start of the next block a trail byte.
TEST(FastPath, LeadByteAtBlockEndCarriesOver) {
    const std::string input = std::string("*").append(100, '\x82') + "\x83" + "Title 'x' *Genre 'y'";
    for (HeaderForm form : kForms) {
        const std::size_t cut = input.find("Title");
        for (SearchKernel kernel : RunnableKernels()) {
            EXPECT_EQ(FastInBlocks(input, form, kernel, {cut}), Reference(input, form)) << zolehead::SearchKernelName(kernel);
        }
    }
    // The T is a trail byte, so the name reads "itle".
    EXPECT_EQ(Reference(input, HeaderForm::B).slots[0].status, zolehead::STATUS_NONE);
    EXPECT_EQ(Reference(input, HeaderForm::B).slots[1].text(), "y");
}

}  // namespace
