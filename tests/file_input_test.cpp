// Reading files: regular files only, any size, any block boundary, and every
// failure reported with an empty result.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "test_support.hpp"

namespace {

using namespace zh_test;
using zolehead::HeaderForm;
using zolehead::ReadHeaderFile;
using zolehead::ReadStatus;
using zolehead::ZoleHeader;

// A result left over from an earlier read, to prove failures empty it.
ZoleHeader Dirty() {
    ZoleHeader h;
    h.slots[3].assign("stale", zolehead::STATUS_FORM_B);
    return h;
}

TEST(FileInput, ReadsARegularFile) {
    TempDir dir;
    const std::string path = dir.write("song.zole", kTitleLabel + kColon + "Sakura\r\n*Genre 'Pop'\r\n");
    ZoleHeader h = Dirty();
    ASSERT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h));
    EXPECT_EQ(h.slots[0].text(), "Sakura");
    EXPECT_EQ(h.slots[1].text(), "Pop");
    EXPECT_EQ(h.slots[3].status, zolehead::STATUS_NONE);
}

TEST(FileInput, FailuresLeaveEverySlotEmpty) {
    TempDir dir;
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* what;
        const char* path;
        ReadStatus status;
    } cases[] = {
        {"null path", nullptr, ReadStatus::CANNOT_OPEN},
        {"missing file", "/nonexistent/zolehead/song.zole", ReadStatus::CANNOT_OPEN},
        {"directory", dir.path().c_str(), ReadStatus::NOT_REGULAR_FILE},
        {"FIFO without a writer (must not block)", fifo.c_str(), ReadStatus::NOT_REGULAR_FILE},
        {"endless device", "/dev/zero", ReadStatus::NOT_REGULAR_FILE},
        {"character device", "/dev/null", ReadStatus::NOT_REGULAR_FILE},
        // A regular file whose read fails at once: offset 0 of our own memory is unmapped.
        {"read error", "/proc/self/mem", ReadStatus::READ_ERROR},
    };
    for (const Case& c : cases) {
        ZoleHeader h = Dirty();
        const zolehead::ReadResult r = ReadHeaderFile(c.path, HeaderForm::BOTH, h);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(h, ZoleHeader{}) << c.what;
    }
}

// Lines that straddle the reader's 64 KiB blocks, cut inside a double-byte
// character and inside CR LF, read the same as in memory.
TEST(FileInput, BlockBoundariesInsideCharactersAndLineEnds) {
    constexpr std::size_t kBlock = 64 * 1024;
    TempDir dir;
    for (std::size_t shift = 0; shift < 8; ++shift) {
        std::string body(kBlock - shift, '#');
        body.back() = '\n';
        std::string input = body + kTitleLabel + kColon + "x" + kHiraA + "\r\n" + std::string(kBlock, ';') +
                            kCommentLabel + kColon + "c" + kWideSpace + "\r\n*Genre 'g" + kHiraA + "'";
        const std::string path = dir.write("big" + std::to_string(shift), input);
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h));
        EXPECT_EQ(h, Read(input, HeaderForm::BOTH)) << "shift " << shift;
        EXPECT_EQ(h.slots[0].text(), "x" + kHiraA) << "shift " << shift;
        EXPECT_EQ(h.slots[1].text(), "g" + kHiraA) << "shift " << shift;
    }
}

TEST(FileInput, EndOfTextByteEndsTheFile) {
    TempDir dir;
    const std::string path =
        dir.write("eot", kTitleLabel + kColon + "A\n" + "\x1A" + kGenreLabel + kColon + "B\n*Comment 'c'");
    for (HeaderForm form : {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH}) {
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), form, h));
        EXPECT_EQ(h.slots[1].status, zolehead::STATUS_NONE);
        EXPECT_EQ(h.slots[15].status, zolehead::STATUS_NONE);
    }
}

TEST(FileInput, EmptyFileReadsAsNothingFound) {
    TempDir dir;
    const std::string path = dir.write("empty", "");
    ZoleHeader h = Dirty();
    EXPECT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h));
    EXPECT_EQ(h, ZoleHeader{});
}

}  // namespace
