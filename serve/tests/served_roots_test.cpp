// The served folders as a boundary: judged by where a path leads once
// opened, not by how it is spelt.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "served_roots.hpp"

namespace zolehead::serve {
namespace {

namespace fs = std::filesystem;

class ServedRootsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/zolehead-roots-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        top_ = pattern;
        fs::create_directories(top_ / "root" / "sub");
        fs::create_directories(top_ / "rootless");  // shares the root's name as a prefix
        fs::create_directories(top_ / "outside");
        std::ofstream(top_ / "root" / "in.zole") << "*Title 'in'\n";
        std::ofstream(top_ / "root" / "sub" / "deep.zole") << "x";
        std::ofstream(top_ / "rootless" / "near.zole") << "x";
        std::ofstream(top_ / "outside" / "secret.zole") << "x";
        std::ofstream(top_ / "single.zole") << "x";
        fs::create_symlink("../outside/secret.zole", top_ / "root" / "out-file");
        fs::create_symlink("../outside", top_ / "root" / "out-dir");
        fs::create_symlink("sub/deep.zole", top_ / "root" / "in-link");
        fs::create_symlink("../rootless/near.zole", top_ / "root" / "prefix-link");
        fs::create_symlink("loop", top_ / "root" / "loop");
        ASSERT_EQ(mkfifo((top_ / "root" / "fifo").c_str(), 0600), 0);
        std::string error;
        auto roots = ServedRoots::Resolve({(top_ / "root").string(), (top_ / "single.zole").string()}, error);
        ASSERT_TRUE(roots) << error;
        roots_.emplace(std::move(*roots));
    }
    void TearDown() override { fs::remove_all(top_); }

    fs::path top_;
    std::optional<ServedRoots> roots_;
};

TEST_F(ServedRootsTest, PathsAreJudgedWhereTheyLead) {
    struct Case {
        const char* label;
        std::string path;  // under top_ unless absolute
        PathRefusal refusal;
    } cases[] = {
        {"a file in a root", "root/in.zole", PathRefusal::NONE},
        {"deeper down", "root/sub/deep.zole", PathRefusal::NONE},
        {"a file given as a root", "single.zole", PathRefusal::NONE},
        {"a link that stays inside", "root/in-link", PathRefusal::NONE},
        {"dot-dot that comes back", "root/sub/../in.zole", PathRefusal::NONE},
        {"dot-dot out", "root/../outside/secret.zole", PathRefusal::OUTSIDE},
        {"a sibling whose name starts like the root", "rootless/near.zole", PathRefusal::OUTSIDE},
        {"a link to that sibling", "root/prefix-link", PathRefusal::OUTSIDE},
        {"a link to a file outside", "root/out-file", PathRefusal::OUTSIDE},
        {"through a link to a folder outside", "root/out-dir/secret.zole", PathRefusal::OUTSIDE},
        {"an absolute path outside", "/etc/hostname", PathRefusal::OUTSIDE},
        {"missing inside", "root/none.zole", PathRefusal::NOT_FOUND},
        {"missing in a missing folder inside", "root/none/none.zole", PathRefusal::OUTSIDE},
        {"missing outside", "outside/none.zole", PathRefusal::OUTSIDE},
        {"missing behind a link leading out", "root/out-dir/none.zole", PathRefusal::OUTSIDE},
        {"a folder", "root/sub", PathRefusal::NOT_REGULAR},
        {"the root itself", "root", PathRefusal::NOT_REGULAR},
        {"a FIFO, judged without blocking", "root/fifo", PathRefusal::NOT_REGULAR},
        {"a link loop", "root/loop", PathRefusal::CANNOT_OPEN},
        {"empty", "", PathRefusal::OUTSIDE},
        {"a NUL inside", std::string("root/in.zole\0x", 14), PathRefusal::OUTSIDE},
    };
    for (const Case& c : cases) {
        const std::string path = c.path.empty() || c.path.front() == '/' ? c.path : top_.string() + "/" + c.path;
        const ServedRoots::Resolved resolved = roots_->resolve(path);
        EXPECT_EQ(resolved.refusal, c.refusal) << c.label;
        EXPECT_EQ(static_cast<bool>(resolved.fd), c.refusal == PathRefusal::NONE) << c.label;
        if (c.refusal == PathRefusal::NONE) {
            EXPECT_TRUE(roots_->contains(resolved.real_path)) << c.label;
        }
    }
}

TEST_F(ServedRootsTest, OpensForReadingTheFileJudged) {
    ServedRoots::Resolved file = roots_->open_for_reading((top_ / "root" / "in-link").string());
    ASSERT_EQ(file.refusal, PathRefusal::NONE);
    char buffer[8] = {};
    EXPECT_EQ(read(file.fd.get(), buffer, 1), 1);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(file.real_path, fs::canonical(top_ / "root" / "sub" / "deep.zole").string());
}

TEST(ServedRoots, Containment) {
    std::string error;
    auto roots = ServedRoots::Resolve({"/"}, error);
    ASSERT_TRUE(roots);
    EXPECT_TRUE(roots->contains("/etc/passwd"));
    EXPECT_FALSE(ServedRoots::Resolve({"/no/such/root"}, error));
    EXPECT_NE(error.find("/no/such/root"), std::string::npos);
}

}  // namespace
}  // namespace zolehead::serve
