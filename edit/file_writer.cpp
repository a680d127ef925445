#include "file_writer.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <utility>

#include "archive_path.hpp"

namespace zolehead::edit {

namespace {

std::string SystemMessage(int error) { return std::generic_category().message(error); }

FileProblem Failed(Problem problem, int error, std::string what) {
    return {problem, error, what + ": " + SystemMessage(error)};
}

// A path of the form ARCHIVE!/ENTRY whose ARCHIVE is a regular file.
bool NamesArchiveEntry(const std::string& path) {
    return collection::SplitArchivePath(path, [](std::string_view archive) {
               struct stat st;
               return stat(std::string(archive).c_str(), &st) == 0 && S_ISREG(st.st_mode);
           }).has_value();
}

bool WriteAll(int fd, std::string_view bytes, int& error) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Reads from offset 0 to the end of file into `out`, at most `limit` bytes
// and one more to tell that the limit was passed.
bool ReadAll(int fd, std::string& out, std::uint64_t expected, std::uint64_t limit, int& error) {
    out.resize(static_cast<std::size_t>(std::min(expected, limit) + 1));
    std::size_t have = 0;
    for (;;) {
        if (have == out.size()) {
            if (have > limit) break;
            out.resize(std::min<std::size_t>(out.size() * 2, static_cast<std::size_t>(limit) + 1));
        }
        const ssize_t n = pread(fd, out.data() + have, out.size() - have, static_cast<off_t>(have));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    out.resize(have);
    return true;
}

bool SameTime(const timespec& x, const timespec& y) { return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec; }

std::string Directory(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Removes a file this replace made, unless it was handed over.
class OwnedPath {
public:
    explicit OwnedPath(std::string path = {}) : path_(std::move(path)) {}
    ~OwnedPath() {
        if (!path_.empty()) unlink(path_.c_str());
    }
    OwnedPath(const OwnedPath&) = delete;
    OwnedPath& operator=(const OwnedPath&) = delete;
    void reset(std::string path) { path_ = std::move(path); }
    const std::string& path() const noexcept { return path_; }
    std::string release() noexcept { return std::exchange(path_, {}); }

private:
    std::string path_;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const noexcept { return fd_; }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    // Closes and reports a close error, which on some file systems is where a
    // failed write shows.
    int close() noexcept {
        const int fd = std::exchange(fd_, -1);
        return fd >= 0 && ::close(fd) != 0 ? errno : 0;
    }

private:
    int fd_;
};

// Gives `fd` the owner, group and permission bits of `st`. Owner and group
// only where allowed: without privilege the new file stays the editor's.
bool CopyOwnership(int fd, const struct stat& st, int& error) {
    if (fchown(fd, st.st_uid, st.st_gid) != 0 && fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0) {
        // Not allowed: keep going, as any editor saving a file does.
    }
    // After chown, which may clear the set-user-ID and set-group-ID bits.
    if (fchmod(fd, st.st_mode & 07777) != 0) {
        error = errno;
        return false;
    }
    return true;
}

// Keeps the original under NAME.bak, or the first free NAME.bak.N. A hard
// link costs no copy and cannot overwrite; a file system without hard links
// gets a copy made with O_EXCL, which cannot either.
FileProblem MakeBackup(const SourceFile& file, int dir_fd, const std::string& base, OwnedPath& backup) {
    const std::string directory = Directory(file.target());
    for (int n = 1; n <= 999; ++n) {
        std::string name = base;
        name.append(".bak");
        if (n > 1) name.append(".").append(std::to_string(n));
        if (linkat(AT_FDCWD, file.target().c_str(), dir_fd, name.c_str(), 0) == 0) {
            backup.reset(directory + "/" + name);
            return {};
        }
        if (errno == EEXIST) continue;
        if (errno != EPERM && errno != EMLINK && errno != ENOTSUP && errno != EOPNOTSUPP && errno != ENOSYS) {
            return Failed(Problem::IO_ERROR, errno, "cannot make the backup " + name);
        }
        const int fd = openat(dir_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failed(Problem::IO_ERROR, errno, "cannot make the backup " + name);
        }
        Descriptor copy(fd);
        backup.reset(directory + "/" + name);
        int error = 0;
        const struct timespec times[2] = {file.status().st_atim, file.status().st_mtim};
        if (!WriteAll(copy.get(), file.bytes(), error) || !CopyOwnership(copy.get(), file.status(), error) ||
            (futimens(copy.get(), times) != 0 && (error = errno) != 0) || (fsync(copy.get()) != 0 && (error = errno) != 0) ||
            (error = copy.close()) != 0) {
            return Failed(Problem::IO_ERROR, error, "cannot write the backup " + name);
        }
        return {};
    }
    return {Problem::IO_ERROR, EEXIST, "cannot make a backup: " + base + ".bak to .bak.999 are all taken"};
}

}  // namespace

SourceFile::~SourceFile() { close(); }

void SourceFile::close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileProblem SourceFile::open(const std::string& path) {
    close();
    bytes_.clear();
    target_.clear();
    if (NamesArchiveEntry(path)) {
        return {Problem::INSIDE_ARCHIVE, 0, "names an entry inside an archive, which cannot be edited"};
    }
    // The link's target is edited and the link stays; the temporary file
    // must then be made beside the target, not beside the link.
    char* resolved = realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return Failed(Problem::CANNOT_OPEN, errno, "cannot open");
    target_ = resolved;
    std::free(resolved);

    const int fd = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return Failed(Problem::CANNOT_OPEN, errno, "cannot open");
    fd_ = fd;
    if (fstat(fd_, &status_) != 0) return Failed(Problem::CANNOT_OPEN, errno, "cannot open");
    if (!S_ISREG(status_.st_mode)) return {Problem::NOT_REGULAR_FILE, 0, "not a regular file"};
    if (status_.st_nlink > 1) {
        return {Problem::HARD_LINKS, 0,
                "has " + std::to_string(status_.st_nlink) +
                    " hard links; replacing it would leave the other names with the old bytes"};
    }
    const auto too_large = [] {
        return FileProblem{Problem::TOO_LARGE, 0,
                           "is larger than " + std::to_string(kMaxEditableBytes >> 20) +
                               " MiB, far beyond any Zole data file; not edited"};
    };
    if (static_cast<std::uint64_t>(status_.st_size) > kMaxEditableBytes) return too_large();
    int error = 0;
    if (!ReadAll(fd_, bytes_, static_cast<std::uint64_t>(status_.st_size), kMaxEditableBytes, error)) {
        return Failed(Problem::IO_ERROR, error, "cannot read");
    }
    if (bytes_.size() > kMaxEditableBytes) return too_large();
    return {};
}

ReplaceOutcome ReplaceFile(SourceFile& file, std::string_view bytes, const ReplaceOptions& options) {
    ReplaceOutcome outcome;
    const std::string directory = Directory(file.target());
    const std::string base = BaseName(file.target());
    Descriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0) {
        outcome.problem = Failed(Problem::IO_ERROR, errno, "cannot open its directory");
        return outcome;
    }

    // Hidden, and short enough for any file system's name limit.
    std::string temporary = directory;
    temporary.append("/.").append(base, 0, 200).append(".zolehead-XXXXXX");
    Descriptor out(mkostemp(temporary.data(), O_CLOEXEC));
    if (out.get() < 0) {
        outcome.problem = Failed(Problem::IO_ERROR, errno, "cannot make a temporary file beside it");
        return outcome;
    }
    OwnedPath temporary_file(temporary);
    int error = 0;
    if (!WriteAll(out.get(), bytes, error)) {
        outcome.problem = Failed(Problem::IO_ERROR, error, "cannot write the temporary file beside it");
        return outcome;
    }
    if (!CopyOwnership(out.get(), file.status(), error)) {
        outcome.problem = Failed(Problem::IO_ERROR, error, "cannot give the temporary file the original's permissions");
        return outcome;
    }
    if (fsync(out.get()) != 0 || (error = out.close()) != 0) {
        outcome.problem = Failed(Problem::IO_ERROR, error != 0 ? error : errno, "cannot flush the temporary file");
        return outcome;
    }

    if (options.before_rename) options.before_rename(temporary);

    // Still the file that was read: same identity at the path, same size
    // and times, same bytes.
    struct stat at_path;
    struct stat now;
    if (stat(file.target().c_str(), &at_path) != 0 || fstat(file.fd_, &now) != 0 ||
        at_path.st_dev != file.status_.st_dev || at_path.st_ino != file.status_.st_ino ||
        now.st_size != file.status_.st_size || !SameTime(now.st_mtim, file.status_.st_mtim) ||
        !SameTime(now.st_ctim, file.status_.st_ctim) || now.st_nlink != file.status_.st_nlink ||
        !ReadAll(file.fd_, file.reread_, file.bytes_.size(), kMaxEditableBytes, error) ||
        file.reread_ != file.bytes_) {
        outcome.problem = {Problem::CHANGED_DURING_EDIT, 0,
                           "changed while it was being edited; nothing was written (run the edit again)"};
        return outcome;
    }

    OwnedPath backup;
    if (options.backup) {
        outcome.problem = MakeBackup(file, dir.get(), base, backup);
        if (outcome.problem) return outcome;
    }
    if (rename(temporary.c_str(), file.target().c_str()) != 0) {
        outcome.problem = Failed(Problem::IO_ERROR, errno, "cannot rename the temporary file over it");
        return outcome;
    }
    temporary_file.release();
    outcome.backup_path = backup.release();
    if (fsync(dir.get()) != 0) {
        outcome.warning = "replaced, but its directory could not be flushed to disk: " + SystemMessage(errno);
    }
    return outcome;
}

}  // namespace zolehead::edit
