// File input for the core: regular files only, read in large blocks into a
// buffer on the stack, binary mode on every platform.
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include "read_completion.hpp"
#include "zolehead.hpp"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zolehead {

namespace {

// Large enough that the per-call cost of the system vanishes, small enough
// for any thread's stack.
constexpr std::size_t kBlockBytes = 64 * 1024;

#if defined(_WIN32)

class FileHandle {
public:
    explicit FileHandle(HANDLE h) noexcept : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const noexcept { return h_; }

private:
    HANDLE h_;
};

ReadResult ScanFile(const char* path, HeaderScanner& scanner) noexcept {
    // The path goes to the system as it is: bytes in the ANSI code page.
    FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return {ReadStatus::NOT_REGULAR_FILE, static_cast<int>(error)};
        }
        return {ReadStatus::CANNOT_OPEN, static_cast<int>(error)};
    }
    // Pipes and character devices (CON, NUL, COM1) are not data files.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return {ReadStatus::NOT_REGULAR_FILE, 0};
    BY_HANDLE_FILE_INFORMATION info;
    // Only what describes itself as a file is read; a handle that answers no
    // file information (a raw volume, say) is refused rather than guessed at.
    if (!GetFileInformationByHandle(file.get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return {ReadStatus::NOT_REGULAR_FILE, 0};
    }
    const std::uint64_t size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    std::uint64_t total = 0;
    std::uint8_t block[kBlockBytes];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), block, static_cast<DWORD>(sizeof block), &got, nullptr)) {
            return {ReadStatus::READ_ERROR, static_cast<int>(GetLastError())};
        }
        if (got == 0) break;
        total += got;
        if (!scanner.feed({block, got}) || ReachedKnownEnd(got, sizeof block, total, size)) break;
    }
    return {};
}

#else

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const noexcept { return fd_; }

private:
    int fd_;
};

ReadResult ScanFile(const char* path, HeaderScanner& scanner) noexcept {
    // O_NONBLOCK keeps open() of a FIFO without a writer from hanging; the
    // file type is checked before a single byte is read.
    FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.get() < 0) return {ReadStatus::CANNOT_OPEN, errno};
    struct stat st;
    if (fstat(file.get(), &st) != 0) return {ReadStatus::CANNOT_OPEN, errno};
    if (!S_ISREG(st.st_mode)) return {ReadStatus::NOT_REGULAR_FILE, S_ISDIR(st.st_mode) ? EISDIR : 0};
#if defined(POSIX_FADV_SEQUENTIAL)
    // A file of one block gains nothing from the hint but pays for the call.
    if (st.st_size > static_cast<off_t>(kBlockBytes)) (void)posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    const auto size = static_cast<std::uint64_t>(st.st_size);
    std::uint64_t total = 0;
    std::uint8_t block[kBlockBytes];
    for (;;) {
        const ssize_t got = read(file.get(), block, sizeof block);
        if (got < 0) {
            if (errno == EINTR) continue;
            return {ReadStatus::READ_ERROR, errno};
        }
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        if (!scanner.feed({block, static_cast<std::size_t>(got)}) ||
            ReachedKnownEnd(static_cast<std::uint64_t>(got), sizeof block, total, size))
            break;
    }
    return {};
}

#endif

}  // namespace

ReadResult ReadHeaderFile(const char* path, HeaderForm form, ZoleHeader& out) noexcept {
    out.clear();
    if (path == nullptr) return {ReadStatus::CANNOT_OPEN, EINVAL};
    HeaderScanner scanner(form);
    const ReadResult result = ScanFile(path, scanner);
    // A read that failed part-way reports nothing: half a header would pass
    // for a whole one.
    if (result) out = scanner.header();
    return result;
}

const char* DescribeReadStatus(ReadStatus status) noexcept {
    switch (status) {
    case ReadStatus::OK: return "ok";
    case ReadStatus::CANNOT_OPEN: return "cannot open";
    case ReadStatus::NOT_REGULAR_FILE: return "not a regular file";
    case ReadStatus::READ_ERROR: return "read error";
    }
    return "unknown";
}

}  // namespace zolehead
