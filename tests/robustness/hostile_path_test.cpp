// Paths a host may hand over: links that lead nowhere, things that are not
// files, names that are not UTF-8, and paths at and past PATH_MAX. Each gets a
// clear result, through the core and through the C API, and no read leaves a
// descriptor open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "robustness_support.hpp"

namespace {

using namespace zh_test;
using zh_robust::ApiSlot;
using zolehead::HeaderForm;
using zolehead::ReadHeaderFile;
using zolehead::ReadStatus;
using zolehead::ZoleHeader;

using Reader = int32_t(ZH_CALL*)(const char*);
const Reader kReaders[] = {zhGetZoleHeaderA, zhGetZoleHeaderB, zhGetZoleHeader};

const std::string kSong = "*Title 'ok'\n" + kGenreLabel + kColon + "pop\n";

// Leaves a value in slot 0 so a failed read has something to empty.
void FillSlotsFrom(const std::string& good) { ASSERT_EQ(zhGetZoleHeader(good.c_str()), 1); }

// A unix socket bound in `dir`, closed (but left on disk) when it goes.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (fd_ < 0 || path.size() >= sizeof addr.sun_path) return;
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~BoundSocket() {
        if (fd_ >= 0) close(fd_);
    }
    bool bound() const { return bound_; }

private:
    int fd_;
    bool bound_ = false;
};

struct PathCase {
    const char* what;
    std::string path;
    ReadStatus status;
    int system_error;
};

TEST(HostilePath, EachKindOfUnreadablePathFailsCleanly) {
    TempDir dir;
    const std::string base = dir.path().string();
    const std::string song = dir.write("song.zole", kSong);
    ASSERT_EQ(mkdir((base + "/sub").c_str(), 0700), 0);
    ASSERT_EQ(symlink("missing", (base + "/dangling").c_str()), 0);
    ASSERT_EQ(symlink("loop_b", (base + "/loop_a").c_str()), 0);
    ASSERT_EQ(symlink("loop_a", (base + "/loop_b").c_str()), 0);
    ASSERT_EQ(symlink("sub", (base + "/to_dir").c_str()), 0);
    BoundSocket sock(base + "/sock");
    ASSERT_TRUE(sock.bound());
    // A FIFO whose writer holds it open and never writes: a blocking read would never return.
    const std::string fifo = base + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);

    const PathCase cases[] = {
        {"empty path", "", ReadStatus::CANNOT_OPEN, ENOENT},
        {"dangling symlink", base + "/dangling", ReadStatus::CANNOT_OPEN, ENOENT},
        {"symlink loop", base + "/loop_a", ReadStatus::CANNOT_OPEN, ELOOP},
        {"file used as a directory", song + "/", ReadStatus::CANNOT_OPEN, ENOTDIR},
        {"path through a file", song + "/song.zole", ReadStatus::CANNOT_OPEN, ENOTDIR},
        {"unix socket", base + "/sock", ReadStatus::CANNOT_OPEN, ENXIO},
        {"symlink to a directory", base + "/to_dir", ReadStatus::NOT_REGULAR_FILE, EISDIR},
        {"FIFO with a silent writer", fifo, ReadStatus::NOT_REGULAR_FILE, 0},
        {"endless random device", "/dev/urandom", ReadStatus::NOT_REGULAR_FILE, 0},
    };
    for (const PathCase& c : cases) {
        ZoleHeader h;
        h.slots[0].assign("stale", zolehead::STATUS_FORM_B);
        const zolehead::ReadResult r = ReadHeaderFile(c.path.c_str(), HeaderForm::BOTH, h);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_EQ(r.system_error, c.system_error) << c.what;
        EXPECT_EQ(h, ZoleHeader{}) << c.what;
        for (Reader reader : kReaders) {
            FillSlotsFrom(song);
            EXPECT_EQ(reader(c.path.c_str()), 0) << c.what;
            EXPECT_EQ(ApiSlot(0), std::make_pair(0, std::string())) << c.what;
        }
    }
    close(writer);
}

TEST(HostilePath, SymlinkToAFileReadsTheFile) {
    TempDir dir;
    const std::string song = dir.write("song.zole", kSong);
    const std::string link = (dir.path() / "link").string();
    ASSERT_EQ(symlink(song.c_str(), link.c_str()), 0);
    ZoleHeader h;
    ASSERT_TRUE(ReadHeaderFile(link.c_str(), HeaderForm::BOTH, h));
    EXPECT_EQ(h.slots[0].text(), "ok");
}

// Root reads any file, so as root the check runs in a child that gives up
// its privileges first.
TEST(HostilePath, UnreadableFileCannotBeOpened) {
    TempDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
    const std::string song = dir.write("song.zole", kSong);
    ASSERT_EQ(chmod(song.c_str(), 0), 0);
    const auto check = [&song] {
        ZoleHeader h;
        const zolehead::ReadResult r = ReadHeaderFile(song.c_str(), HeaderForm::BOTH, h);
        return r.status == ReadStatus::CANNOT_OPEN && r.system_error == EACCES && h == ZoleHeader{} &&
               zhGetZoleHeader(song.c_str()) == 0;
    };
    if (geteuid() != 0) {
        EXPECT_TRUE(check());
        return;
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
        _exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the read did not fail with EACCES; 2: could not drop privileges";
}

// Names are bytes handed to the system unchanged: none is decoded, so none
// can be refused for its encoding.
TEST(HostilePath, NamesThatAreNotUtf8) {
    const std::string names[] = {
        "\xFF\xFE.zole",                 // never valid UTF-8
        kTitleLabel + ".zole",           // Shift_JIS, as a Japanese system names files
        "\x80\x81\x82",                  // continuation bytes without a start
        "\xC0\xAF",                      // an overlong encoding of '/'
        "\xED\xA0\x80.zole",             // an encoded surrogate
        "line\nbreak\x1A\x01.zole",      // control bytes, end-of-text among them
        "-starts-with-dash 'quoted' *",  // shell and header syntax
    };
    TempDir dir;
    for (const std::string& name : names) {
        const std::string path = dir.write(name, kSong);
        ZoleHeader h;
        ASSERT_TRUE(ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h)) << path;
        EXPECT_EQ(h.slots[1].text(), "pop") << path;
        ASSERT_EQ(zhGetZoleHeader(path.c_str()), 1) << path;
        EXPECT_EQ(ApiSlot(1), std::make_pair(1, std::string("pop"))) << path;
    }
}

// A chain of directories whose full path is far longer than PATH_MAX, built
// and removed one level at a time. Construction leaves the working directory
// at the deepest level; destruction removes everything and restores it.
class DeepDirectory {
public:
    DeepDirectory(const std::filesystem::path& root, std::size_t levels)
        : home_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          root_(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          component_(200, 'd') {
        if (home_ < 0 || root_ < 0 || fchdir(root_) != 0) return;
        for (std::size_t i = 0; i < levels; ++i) {
            if (mkdir(component_.c_str(), 0700) != 0 || chdir(component_.c_str()) != 0) return;
            ++depth_;
        }
    }
    ~DeepDirectory() {
        std::size_t reached = 0;
        if (fchdir(root_) == 0) {
            while (reached < depth_ && chdir(component_.c_str()) == 0) ++reached;
        }
        if (reached == depth_) {
            for (const std::string& name : files_) unlink(name.c_str());
            for (; reached > 0; --reached) {
                if (chdir("..") != 0 || rmdir(component_.c_str()) != 0) break;
            }
        }
        [[maybe_unused]] const int ignored = fchdir(home_);
        close(root_);
        close(home_);
    }
    DeepDirectory(const DeepDirectory&) = delete;
    DeepDirectory& operator=(const DeepDirectory&) = delete;

    std::size_t depth() const { return depth_; }
    // "./ddd.../ddd...": `levels` directories down.
    std::string Below(std::size_t levels) const {
        std::string path = ".";
        for (std::size_t i = 0; i < levels; ++i) path += "/" + component_;
        return path;
    }
    // Writes a file at the deepest level; the working directory must be there.
    void WriteHere(const std::string& name, const std::string& bytes) {
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        files_.push_back(name);
        ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
    }

private:
    int home_;
    int root_;
    std::string component_;
    std::size_t depth_ = 0;
    std::vector<std::string> files_;
};

TEST(HostilePath, RelativePathsInsideADirectoryDeeperThanPathMax) {
    TempDir dir;
    constexpr std::size_t kLevels = 30;  // 30 * 201 bytes: past PATH_MAX
    DeepDirectory deep(dir.path(), kLevels);
    ASSERT_EQ(deep.depth(), kLevels);
    deep.WriteHere("song.zole", kTitleLabel + kColon + "deep\n");

    // The file's full path is too long to name, but from here it is short.
    ZoleHeader h;
    ASSERT_TRUE(ReadHeaderFile("song.zole", HeaderForm::A, h));
    EXPECT_EQ(h.slots[0].text(), "deep");
    ASSERT_EQ(zhGetZoleHeaderA("song.zole"), 1);
    EXPECT_EQ(ApiSlot(0), std::make_pair(1, std::string("deep")));

    // From the root, the relative path passes PATH_MAX: refused, never cut short.
    ASSERT_EQ(chdir(dir.path().c_str()), 0);
    const std::string too_long = deep.Below(kLevels) + "/song.zole";
    ASSERT_GT(too_long.size(), std::size_t{PATH_MAX});
    const zolehead::ReadResult r = ReadHeaderFile(too_long.c_str(), HeaderForm::A, h);
    EXPECT_EQ(r.status, ReadStatus::CANNOT_OPEN);
    EXPECT_EQ(r.system_error, ENAMETOOLONG);
    EXPECT_EQ(h, ZoleHeader{});
    EXPECT_EQ(zhGetZoleHeaderA(too_long.c_str()), 0);
    EXPECT_EQ(ApiSlot(0), std::make_pair(0, std::string()));

    // At the limit itself: PATH_MAX - 1 bytes open, PATH_MAX bytes do not.
    // Extra slashes name the same file, so they pad a path to an exact length.
    constexpr std::size_t kBelow = 18;  // about 3.6 KiB of directories
    ASSERT_EQ(chdir(deep.Below(kLevels - kBelow).c_str()), 0);
    const std::string tail = deep.Below(kBelow).substr(1) + "/song.zole";  // "/ddd.../song.zole"
    ASSERT_LT(tail.size() + 2, std::size_t{PATH_MAX});
    const std::string fits = "." + std::string(PATH_MAX - 2 - tail.size(), '/') + tail;
    const std::string one_over = "./" + fits.substr(1);
    ASSERT_EQ(fits.size(), std::size_t{PATH_MAX} - 1);
    ASSERT_EQ(one_over.size(), std::size_t{PATH_MAX});
    ASSERT_TRUE(ReadHeaderFile(fits.c_str(), HeaderForm::A, h));
    EXPECT_EQ(h.slots[0].text(), "deep");
    EXPECT_EQ(zhGetZoleHeaderA(fits.c_str()), 1);
    EXPECT_EQ(ReadHeaderFile(one_over.c_str(), HeaderForm::A, h).system_error, ENAMETOOLONG);
    EXPECT_EQ(zhGetZoleHeaderA(one_over.c_str()), 0);
}

// Thousands of reads, failed and successful, through both interfaces: the
// number of open descriptors does not move.
TEST(HostilePath, NoReadLeavesADescriptorOpen) {
    TempDir dir;
    const std::string song = dir.write("song.zole", kSong);
    const std::string fifo = (dir.path() / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string paths[] = {song, dir.path().string(), fifo, "/dev/zero", "/proc/self/mem", "/nonexistent", ""};
    const std::size_t before = zh_robust::OpenDescriptorCount();
    for (int round = 0; round < 300; ++round) {
        for (const std::string& path : paths) {
            ZoleHeader h;
            ReadHeaderFile(path.c_str(), HeaderForm::BOTH, h);
            zhGetZoleHeader(path.c_str());
        }
    }
    EXPECT_EQ(zh_robust::OpenDescriptorCount(), before);
}

}  // namespace
