// Editing files: the atomic replace keeps what it must (permissions, owner,
// links, backups), refuses what it must (hard links, archive entries, other
// kinds of files, a file changed under it), and a failure part-way leaves the
// original and no temporary file.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor.hpp"
#include "test_support.hpp"

namespace {

namespace fs = std::filesystem;
using zolehead::edit::EditAction;
using zolehead::edit::EditOptions;
using zolehead::edit::EditResult;
using zolehead::edit::EditStatus;
using zolehead::edit::FieldChangeRequest;
using zolehead::edit::Problem;

const std::string kOld = "*Title 'Old'\r\n*Genre 'Pop'\r\nA cdef\r\n";
const std::string kNew = "*Title 'New'\r\n*Genre 'Pop'\r\nA cdef\r\n";
const FieldChangeRequest kSetTitle[] = {{0, EditAction::SET, "New", false}};

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// The names in `dir` other than `keep`: a temporary file left behind shows here.
std::vector<std::string> Others(const fs::path& dir, std::initializer_list<std::string> keep) {
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (std::find(keep.begin(), keep.end(), name) == keep.end()) names.push_back(name);
    }
    return names;
}

EditResult Edit(const std::string& path, const EditOptions& options = {}) {
    zolehead::edit::Editor editor;
    return editor.edit_file(path, kSetTitle, options);
}

TEST(FileWriter, ReplacesAndKeepsModeOwnerAndNothingElse) {
    zh_test::TempDir dir;
    const std::string path = dir.write("song.zole", kOld);
    ASSERT_EQ(chmod(path.c_str(), 0754), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(path.c_str(), 1234, 5678), 0);
    }

    const EditResult r = Edit(path);
    ASSERT_EQ(r.status, EditStatus::EDITED) << r.reason;
    EXPECT_EQ(Contents(path), kNew);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0754u);
    if (root) {
        EXPECT_EQ(st.st_uid, 1234u);
        EXPECT_EQ(st.st_gid, 5678u);
    }
    EXPECT_EQ(Others(dir.path(), {"song.zole"}), std::vector<std::string>{});
    ASSERT_EQ(r.fields.size(), 1u);
    EXPECT_EQ(r.fields[0].old_text, "Old");
    EXPECT_EQ(r.fields[0].new_text, "New");
}

TEST(FileWriter, DryRunWritesNothingAndShowsTheLines) {
    zh_test::TempDir dir;
    const std::string path = dir.write("song.zole", kOld);
    EditOptions options;
    options.dry_run = true;
    const EditResult r = Edit(path, options);
    ASSERT_EQ(r.status, EditStatus::WOULD_EDIT) << r.reason;
    EXPECT_EQ(Contents(path), kOld);
    ASSERT_EQ(r.lines.size(), 1u);
    EXPECT_EQ(r.lines[0].line, 1u);
    EXPECT_EQ(r.lines[0].before, "*Title 'Old'");
    EXPECT_EQ(r.lines[0].after, "*Title 'New'");
}

TEST(FileWriter, FollowsASymbolicLinkAndKeepsIt) {
    zh_test::TempDir dir;
    fs::create_directory(dir.path() / "real");
    const std::string target = dir.write("real/song.zole", kOld);
    const fs::path link = dir.path() / "link.zole";
    fs::create_symlink("real/song.zole", link);
    const EditResult r = Edit(link.string());
    ASSERT_EQ(r.status, EditStatus::EDITED) << r.reason;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Contents(target), kNew);
    EXPECT_EQ(Others(dir.path() / "real", {"song.zole"}), std::vector<std::string>{});
}

TEST(FileWriter, BackupsNeverOverwriteOneAnother) {
    zh_test::TempDir dir;
    const std::string path = dir.write("song.zole", kOld);
    dir.write("song.zole.bak", "someone else's backup");
    EditOptions options;
    options.backup = true;
    EditResult r = Edit(path, options);
    ASSERT_EQ(r.status, EditStatus::EDITED) << r.reason;
    EXPECT_EQ(r.backup_path, (dir.path() / "song.zole.bak.2").string());
    EXPECT_EQ(Contents(r.backup_path), kOld);
    EXPECT_EQ(Contents(dir.path() / "song.zole.bak"), "someone else's backup");

    // The backup is a name of its own now: the file has one link again.
    zolehead::edit::Editor editor;
    const FieldChangeRequest back[] = {{0, EditAction::SET, "Old", false}};
    r = editor.edit_file(path, back, options);
    ASSERT_EQ(r.status, EditStatus::EDITED) << r.reason;
    EXPECT_EQ(r.backup_path, (dir.path() / "song.zole.bak.3").string());
    EXPECT_EQ(Contents(r.backup_path), kNew);
    EXPECT_EQ(Contents(path), kOld);
}

TEST(FileWriter, RefusesWithoutWriting) {
    zh_test::TempDir dir;
    const std::string linked = dir.write("linked.zole", kOld);
    ASSERT_EQ(link(linked.c_str(), (dir.path() / "other-name.zole").c_str()), 0);
    const std::string archive = dir.write("songs.lzh", "not really an archive");
    fs::create_directory(dir.path() / "folder");
    const std::string fifo = (dir.path() / "pipe.zole").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string large = dir.write("large.zole", kOld);
    fs::resize_file(large, zolehead::edit::kMaxEditableBytes + 1);

    struct Row {
        const char* what;
        std::string path;
        EditStatus status;
        Problem problem;
        std::string reason_part;
    };
    const Row rows[] = {
        {"a second hard link", linked, EditStatus::REFUSED, Problem::HARD_LINKS, "2 hard links"},
        {"an entry inside an archive", archive + "!/song.zole", EditStatus::REFUSED, Problem::INSIDE_ARCHIVE,
         "inside an archive"},
        {"a directory", (dir.path() / "folder").string(), EditStatus::REFUSED, Problem::NOT_REGULAR_FILE,
         "not a regular file"},
        {"a FIFO, without blocking", fifo, EditStatus::REFUSED, Problem::NOT_REGULAR_FILE, "not a regular file"},
        {"a file of more than 16 MiB", large, EditStatus::REFUSED, Problem::TOO_LARGE, "16 MiB"},
        {"a missing file", (dir.path() / "missing.zole").string(), EditStatus::FAILED, Problem::CANNOT_OPEN,
         "No such file"},
    };
    for (const Row& row : rows) {
        const EditResult r = Edit(row.path);
        EXPECT_EQ(r.status, row.status) << row.what << ": " << r.reason;
        EXPECT_EQ(r.problem, row.problem) << row.what;
        EXPECT_NE(r.reason.find(row.reason_part), std::string::npos) << row.what << ": " << r.reason;
    }
    EXPECT_EQ(Contents(linked), kOld);
    EXPECT_EQ(Others(dir.path(), {"linked.zole", "other-name.zole", "songs.lzh", "folder", "pipe.zole", "large.zole"}),
              std::vector<std::string>{});
}

TEST(FileWriter, AFileChangedDuringTheEditIsRefused) {
    struct Row {
        const char* what;
        void (*act)(const std::string& path);
        std::string left;  // what the path holds afterwards
    };
    const Row rows[] = {
        {"appended to", [](const std::string& p) { std::ofstream(p, std::ios::app) << "B gab\r\n"; }, kOld + "B gab\r\n"},
        {"rewritten in place, same size", [](const std::string& p) { std::ofstream(p, std::ios::binary) << kNew; },
         kNew},
        {"replaced by another file", [](const std::string& p) {
             std::ofstream(p + ".x", std::ios::binary) << kOld;
             rename((p + ".x").c_str(), p.c_str());
         },
         kOld},
    };
    for (const Row& row : rows) {
        zh_test::TempDir dir;
        const std::string path = dir.write("song.zole", kOld);
        EditOptions options;
        bool ran = false;
        options.before_rename = [&](const std::string& temporary) {
            EXPECT_EQ(Contents(temporary), kNew) << row.what;
            row.act(path);
            ran = true;
        };
        const EditResult r = Edit(path, options);
        EXPECT_TRUE(ran) << row.what;
        EXPECT_EQ(r.status, EditStatus::REFUSED) << row.what;
        EXPECT_EQ(r.problem, Problem::CHANGED_DURING_EDIT) << row.what;
        EXPECT_EQ(Contents(path), row.left) << row.what;
        EXPECT_EQ(Others(dir.path(), {"song.zole"}), std::vector<std::string>{}) << row.what;
    }
}

// A write that fails part-way, at a file size limit: the original stays and
// the temporary file goes. Run in a child, since the limit is per process.
TEST(FileWriter, AWriteFailingPartWayLeavesTheOriginal) {
    zh_test::TempDir dir;
    const std::string big = kOld + std::string(64 * 1024, 'x') + "\r\n";
    const std::string path = dir.write("song.zole", big);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{16 * 1024, 16 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(10);
        const EditResult r = Edit(path);
        _exit(r.status == EditStatus::FAILED && r.system_error == EFBIG &&
                      r.reason.find("File too large") != std::string::npos
                  ? 0
                  : 11);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(path), big);
    EXPECT_EQ(Others(dir.path(), {"song.zole"}), std::vector<std::string>{});
}

}  // namespace
