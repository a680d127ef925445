// Files whose bytes are hostile: NULs and every other byte value, nothing but
// lead bytes, lines of megabytes, and a sparse file of 5 GiB. Every file reads
// to its end with a result that follows from its bytes, and reading it from
// disk gives what reading the same bytes from memory gives.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "robustness_support.hpp"

namespace {

using namespace zh_test;
using zh_robust::ApiSlot;
using zh_robust::ExpectWellFormed;
using zh_robust::Repeat;
using zolehead::HeaderForm;
using zolehead::HeaderStatus;
using zolehead::ReadHeaderFile;
using zolehead::STATUS_FORM_A;
using zolehead::STATUS_FORM_B;
using zolehead::STATUS_NONE;
using zolehead::ZoleHeader;

const std::string T = kTitleLabel + kColon;  // 曲名：

struct ContentCase {
    const char* what;
    std::string bytes;
    HeaderForm form;
    int slot;
    std::string value;
    HeaderStatus status;
};

// Writes each case to a file, reads it through the core and the C API, and
// checks the one slot named, the rest of the result against memory, and the
// invariants.
void RunCases(const ContentCase* begin, const ContentCase* end) {
    TempDir dir;
    for (const ContentCase* c = begin; c != end; ++c) {
        const std::string path = dir.write("case", c->bytes);
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), c->form, h)) << c->what;
        ExpectWellFormed(h, c->what);
        EXPECT_EQ(h.slots[static_cast<std::size_t>(c->slot)].text(), c->value) << c->what;
        EXPECT_EQ(h.slots[static_cast<std::size_t>(c->slot)].status, c->status) << c->what;
        EXPECT_EQ(h, Read(c->bytes, c->form)) << c->what;

        const auto reader = c->form == HeaderForm::A   ? zhGetZoleHeaderA
                            : c->form == HeaderForm::B ? zhGetZoleHeaderB
                                                       : zhGetZoleHeader;
        ASSERT_EQ(reader(path.c_str()), 1) << c->what;
        EXPECT_EQ(ApiSlot(c->slot), std::make_pair(static_cast<int32_t>(c->status), c->value)) << c->what;
    }
}

// Bytes first..last in order, leaving out those listed in `except`.
std::string ByteRange(int first, int last, const std::string& except = "") {
    std::string out;
    for (int b = first; b <= last; ++b) {
        if (except.find(static_cast<char>(b)) == std::string::npos) out += static_cast<char>(b);
    }
    return out;
}

TEST(HostileContent, NulBytes) {
    using namespace std::string_literals;
    const ContentCase cases[] = {
        {"NULs inside a form A value are dropped", T + "S\0a\0k\0u\0r\0a\0\n"s, HeaderForm::A, 0, "Sakura",
         STATUS_FORM_A},
        {"a NUL before the label disqualifies the line", "\0"s + T + "x\n", HeaderForm::A, 0, "", STATUS_NONE},
        {"a NUL between label and colon disqualifies it", kTitleLabel + "\0"s + kColon + "x\n", HeaderForm::A, 0, "",
         STATUS_NONE},
        {"NULs before a form A value are skipped", T + "\0\0\0x\n"s, HeaderForm::A, 0, "x", STATUS_FORM_A},
        {"a NUL inside a form B name is skipped", "*Ti\0tle 'x'"s, HeaderForm::B, 0, "x", STATUS_FORM_B},
        {"NULs inside a form B value are dropped", "*Title 'a\0\0b'"s, HeaderForm::B, 0, "ab", STATUS_FORM_B},
        {"a value of NULs only is empty", "*Title '\0\0\0'"s, HeaderForm::B, 0, "", STATUS_FORM_B},
        {"a megabyte of NULs, then a header", std::string(1 << 20, '\0') + "\n" + T + "after\n", HeaderForm::BOTH, 0,
         "after", STATUS_FORM_A},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(HostileContent, EveryByteValue) {
    // In a form A value the blanks before it are skipped and control bytes
    // dropped; from 0x7F on, lead and trail bytes alternate, and the lead byte
    // 0x9F would be the 127th byte: it does not fit, so the value stops there.
    const std::string no_line_ends = ByteRange(0x01, 0xFF, "\n\r\x1A");
    const std::string form_a_value = ByteRange(0x21, 0x9E);
    // In a double-quoted form B value, the same but the blank 0x20 is kept and
    // the double quote would close the value.
    const std::string form_b_value = ByteRange(0x20, 0x9E, "\"");
    const ContentCase cases[] = {
        {"every byte in a form A value", T + no_line_ends + "\n", HeaderForm::A, 0, form_a_value, STATUS_FORM_A},
        {"every byte in a form B value", "*Comment \"" + ByteRange(0x00, 0xFF, "\"\x1A") + "\"", HeaderForm::B, 15,
         form_b_value, STATUS_FORM_B},
        {"every byte before a header line", ByteRange(0x00, 0xFF, "\x1A") + "\n" + T + "t\n", HeaderForm::BOTH, 0, "t",
         STATUS_FORM_A},
        {"0x1A ends the file, whatever follows", T + "t\n" + ByteRange(0x00, 0xFF) + "\n*Title 'late'",
         HeaderForm::BOTH, 0, "t", STATUS_FORM_A},
    };
    RunCases(std::begin(cases), std::end(cases));

    // Every byte in every position relative to every other: 256 rotations.
    std::string rotations;
    const std::string all = ByteRange(0x00, 0xFF, "\x1A");
    for (std::size_t r = 0; r < all.size(); ++r) rotations += all.substr(r) + all.substr(0, r) + "*Genre '";
    TempDir dir;
    const std::string path = dir.write("rotations", rotations);
    for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), form, h));
        ExpectWellFormed(h, "rotations");
        EXPECT_EQ(h, Read(rotations, form));
    }
}

TEST(HostileContent, OnlyLeadBytes) {
    std::vector<ContentCase> cases;
    // Bytes that are also trail bytes pair up; the others alternate lead and
    // single. Form A's value starts at a pair's trail byte or at a single byte.
    struct Lead {
        unsigned char byte;
        bool pairs;
    } leads[] = {{0x81, true}, {0x9F, true}, {0xE0, true}, {0xFC, true}, {0x7F, false}, {0xFD, false}, {0xFF, false}};
    for (const Lead& lead : leads) {
        const std::string run(300, static_cast<char>(lead.byte));
        const std::string odd_run(1 << 20 | 1, static_cast<char>(lead.byte));
        cases.push_back({"a megabyte of lead bytes", odd_run, HeaderForm::BOTH, 0, "", STATUS_NONE});
        cases.push_back(
            {"lead bytes, then a header line", odd_run + "\n" + T + "x\n", HeaderForm::BOTH, 0, "x", STATUS_FORM_A});
        cases.push_back({"lead bytes in the label part", run + kColon + "x\n", HeaderForm::A, 0, "", STATUS_NONE});
        // A value never ends on half a character: paired bytes stop at 126,
        // alternating ones fill 127 ending on a single byte.
        cases.push_back({"a form A value of lead bytes", T + run + "\n", HeaderForm::A, 0,
                         std::string(lead.pairs ? 126 : 127, static_cast<char>(lead.byte)), STATUS_FORM_A});
        // Form B stores from the first byte: the 127th is always a lead byte.
        cases.push_back({"a form B value of lead bytes", "*Title '" + run + "'", HeaderForm::B, 0,
                         std::string(126, static_cast<char>(lead.byte)), STATUS_FORM_B});
        cases.push_back(
            {"an unclosed form B value of lead bytes", "*Title '" + odd_run, HeaderForm::B, 0, "", STATUS_NONE});
    }
    RunCases(cases.data(), cases.data() + cases.size());
}

TEST(HostileContent, LinesOfMegabytes) {
    constexpr std::size_t kMiB = 1 << 20;
    const ContentCase cases[] = {
        {"a 4 MiB form A value keeps 127 bytes", T + std::string(4 * kMiB, 'v') + "\n", HeaderForm::A, 0,
         std::string(127, 'v'), STATUS_FORM_A},
        {"4 MiB of blanks before a label", Repeat(" ;!\t" + kWideSpace, kMiB) + T + "x\n", HeaderForm::A, 0, "x",
         STATUS_FORM_A},
        {"4 MiB of blanks between value and line end are trimmed", T + "x" + Repeat(" " + kWideSpace, kMiB) + "\n",
         HeaderForm::A, 0, "x", STATUS_FORM_A},
        {"a label part of a million characters is no label", Repeat(kHiraA, kMiB) + T + "x\n", HeaderForm::A, 0, "",
         STATUS_NONE},
        {"4 MiB of line ends, then a header", Repeat("\r\n", 2 * kMiB) + T + "x\r\n", HeaderForm::BOTH, 0, "x",
         STATUS_FORM_A},
        {"a 4 MiB form B value across lines keeps 127 bytes", "*Comment '" + Repeat("ab\r\n", kMiB) + "'",
         HeaderForm::B, 15, Repeat("ab", 63) + "a", STATUS_FORM_B},
        {"a 4 MiB name matches nothing", "*Title" + std::string(4 * kMiB, 'x') + " 'no' *Genre 'g'", HeaderForm::B, 0,
         "", STATUS_NONE},
        {"after a 4 MiB name the next entry still counts", "*Title" + std::string(4 * kMiB, 'x') + " 'no' *Genre 'g'",
         HeaderForm::B, 1, "g", STATUS_FORM_B},
        {"4 MiB without a line end commits nothing", T + std::string(4 * kMiB, 'v'), HeaderForm::BOTH, 0, "",
         STATUS_NONE},
    };
    RunCases(std::begin(cases), std::end(cases));
}

TEST(HostileContent, EmptyFileThroughTheCApi) {
    TempDir dir;
    const std::string empty = dir.write("empty", "");
    const std::string full = dir.write("full", "*Title 'x'");
    for (auto reader : {zhGetZoleHeaderA, zhGetZoleHeaderB, zhGetZoleHeader}) {
        ASSERT_EQ(zhGetZoleHeader(full.c_str()), 1);
        EXPECT_EQ(reader(empty.c_str()), 1);  // read to its end: nothing found is not a failure
        for (int32_t i = 0; i < 16; ++i) EXPECT_EQ(ApiSlot(i), std::make_pair(0, std::string())) << i;
    }
}

// 5 GiB, almost all of it a hole: a header at the start, one just past 4 GiB
// and one in the last bytes. The file is read to its end in constant memory,
// and offsets past 32 bits are no different from any other.
TEST(HostileContent, SparseFileOfFiveGigabytes) {
    constexpr off_t kGiB = off_t{1} << 30;
    constexpr off_t kSize = 5 * kGiB;
    const std::string head = T + "head\n*Genre 'g'\n";
    const std::string past_4gib = "\n" + kCommentLabel + kColon + "past 4 GiB\n";
    const std::string at_end = "*Composer 'last bytes'";
    TempDir dir;
    const std::string path = (dir.path() / "sparse").string();
    {
        const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        if (ftruncate(fd, kSize) != 0) {
            close(fd);
            GTEST_SKIP() << "this file system cannot hold a 5 GiB file";
        }
        ASSERT_EQ(pwrite(fd, head.data(), head.size(), 0), static_cast<ssize_t>(head.size()));
        ASSERT_EQ(pwrite(fd, past_4gib.data(), past_4gib.size(), 4 * kGiB + 1), static_cast<ssize_t>(past_4gib.size()));
        ASSERT_EQ(pwrite(fd, at_end.data(), at_end.size(), kSize - static_cast<off_t>(at_end.size())),
                  static_cast<ssize_t>(at_end.size()));
        close(fd);
    }
    // A run of NULs acts the same whatever its length, so a short one stands
    // in for each hole when working out the expected result in memory.
    const std::string hole(64, '\0');
    const ZoleHeader expected = Read(head + hole + past_4gib + hole + at_end, HeaderForm::BOTH);
    ASSERT_EQ(expected.slots[15].text(), "past 4 GiB");
    ASSERT_EQ(expected.slots[2].text(), "last bytes");

    const long peak_before = zh_robust::PeakResidentKiB();
    ZoleHeader h;
    ASSERT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h));
    EXPECT_EQ(h, expected);
    EXPECT_LT(zh_robust::PeakResidentKiB() - peak_before, 16 * 1024) << "KiB of new peak memory";
}

}  // namespace
