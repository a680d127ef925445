// Reading files: regular files only, any size, any block boundary, and every
// failure reported with an empty result.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "read_completion.hpp"
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

// A read loop stops early only when a short read has brought it exactly to
// the size the file had before reading.
TEST(FileInput, ReadStopsEarlyOnlyAtTheKnownEnd) {
    constexpr std::uint64_t kAsk = 65536;
    const struct {
        const char* what;
        std::uint64_t got, total, size;
        bool stop;
    } cases[] = {
        {"one short read of the whole file", 20000, 20000, 20000, true},
        {"the short last read of a larger file", 3000, 3 * kAsk + 3000, 3 * kAsk + 3000, true},
        {"a full read that reaches the size: the file may have grown", kAsk, kAsk, kAsk, false},
        {"short, but the file grew before the read", 20010, 20010, 20000, false},
        {"short, and the file shrank before the read", 19990, 19990, 20000, false},
        {"a file that reports no size (/proc)", 300, 300, 0, false},
        {"a full read short of the size", kAsk, kAsk, 2 * kAsk, false},
    };
    for (const auto& c : cases) EXPECT_EQ(zolehead::ReachedKnownEnd(c.got, kAsk, c.total, c.size), c.stop) << c.what;
}

// Whatever the size against the reader's blocks, the last line counts.
TEST(FileInput, SizesAroundTheBlockSizeReadToTheEnd) {
    constexpr std::size_t kBlock = 64 * 1024;
    TempDir dir;
    const std::string tail = kTitleLabel + kColon + "last\n";
    for (std::size_t size : {tail.size(), kBlock - 1, kBlock, kBlock + 1, 2 * kBlock, 2 * kBlock + 7}) {
        std::string input(size - tail.size(), ';');
        input += tail;
        const std::string path = dir.write("sized", input);
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h)) << size;
        EXPECT_EQ(h.slots[0].text(), "last") << size;
    }
}

// /proc files say they are empty and come in many short reads; they are
// read to their end all the same. A file named after a form B entry is
// mapped, then some thousand other mappings below it, so its line comes
// far into /proc/self/maps.
TEST(FileInput, FilesThatReportNoSizeAreReadToTheirEnd) {
    TempDir dir;
    const std::string named = dir.write("*Title 'proc'", "x");
    const int fd = open(named.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void* file_map = mmap(nullptr, 1, PROT_READ, MAP_PRIVATE, fd, 0);
    close(fd);
    ASSERT_NE(file_map, MAP_FAILED);
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    constexpr std::size_t kPages = 4000;
    auto* region = static_cast<std::uint8_t*>(mmap(nullptr, kPages * page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(static_cast<void*>(region), MAP_FAILED);
    for (std::size_t i = 0; i < kPages; i += 2) mprotect(region + i * page, page, PROT_NONE);  // one mapping per page

    struct stat st;
    ASSERT_EQ(stat("/proc/self/maps", &st), 0);
    EXPECT_EQ(st.st_size, 0);
    ZoleHeader h = Dirty();
    const bool read = static_cast<bool>(ReadHeaderFile("/proc/self/maps", HeaderForm::B, h));
    const bool file_last = static_cast<void*>(region) < file_map;
    munmap(region, kPages * page);
    munmap(file_map, 1);
    ASSERT_TRUE(read);
    if (!file_last) GTEST_SKIP() << "the file was mapped below the others";
    EXPECT_EQ(h.slots[0].text(), "proc");
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
