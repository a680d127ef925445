// Reading a file for editing and replacing it atomically. The only part of
// editing that touches the file system.
//
// Replacing: the new bytes go to a temporary file in the same directory
// (".NAME.zolehead-XXXXXX"), which is flushed to disk, given the original's
// permission bits and, where allowed, its owner and group, then renamed over
// the original; then the directory is flushed. At every instant the path
// names either the whole old file or the whole new one. Any failure removes
// the temporary file and leaves the original untouched.
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>
#include <string_view>

#include "edit_plan.hpp"

namespace zolehead::edit {

struct FileProblem {
    Problem problem = Problem::NONE;
    int system_error = 0;  // errno, where the system gave one
    std::string reason;    // for a person; names the system's reason

    explicit operator bool() const noexcept { return problem != Problem::NONE; }
};

class SourceFile;
struct ReplaceOptions;
struct ReplaceOutcome;

// A file opened for editing: its resolved path, what it was when read, and
// its bytes. Closes its descriptor when it goes.
class SourceFile {
public:
    SourceFile() = default;
    ~SourceFile();
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;

    // Opens `path` and reads it whole into bytes(), reusing the buffer. A
    // symbolic link is followed: the file it leads to is the one edited.
    // Refuses, reading nothing: ARCHIVE!/ENTRY paths, files that are not
    // regular, files with more than one hard link, files larger than
    // kMaxEditableBytes. Any earlier file is closed first.
    FileProblem open(const std::string& path);

    const std::string& bytes() const noexcept { return bytes_; }
    const std::string& target() const noexcept { return target_; }  // symbolic links resolved
    const struct stat& status() const noexcept { return status_; }

    void close() noexcept;

private:
    friend ReplaceOutcome ReplaceFile(SourceFile&, std::string_view, const ReplaceOptions&);
    int fd_ = -1;
    std::string target_;
    struct stat status_ {};
    std::string bytes_;
    std::string reread_;  // the bytes read again just before renaming
};

struct ReplaceOptions {
    // Keep the original beside it as NAME.bak, or NAME.bak.2, .3, ... when
    // that name is taken: an earlier backup is never overwritten.
    bool backup = false;
    // Runs after the temporary file is written and flushed, before the
    // checks that precede the rename: a seam for tests to act at that moment.
    std::function<void(const std::string& temporary_path)> before_rename;
};

struct ReplaceOutcome {
    FileProblem problem;       // empty when the file was replaced
    std::string backup_path;   // where the original was kept, with backup
    std::string warning;       // replaced, but the directory could not be flushed
};

// Replaces `file` (opened and not closed since) with `bytes`. Refuses with
// CHANGED_DURING_EDIT, writing nothing, when the file at the path is no
// longer the one read: another identity, size, modification or change time,
// or other bytes. The check runs right before the rename; no system call
// can close the last gap between the two.
ReplaceOutcome ReplaceFile(SourceFile& file, std::string_view bytes, const ReplaceOptions& options);

}  // namespace zolehead::edit
