#include "archive_reader.hpp"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "entry_name_text.hpp"
#include "file_walker.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::collection {

namespace {

constexpr std::size_t kBlockBytes = 64 * 1024;
// A bad entry header may be followed by good ones; a run of them is a
// damaged archive, and libarchive need not move on after each.
constexpr unsigned kMaxFailuresInARow = 16;
constexpr std::string_view kRestNotRead = "; the rest of the archive is not read";
// libarchive reports content that no enabled format recognises with its
// ARCHIVE_ERRNO_FILE_FORMAT, which archive.h leaves undefined: EFTYPE where
// the system has it, EILSEQ elsewhere.
#if defined(EFTYPE)
constexpr int kUnrecognisedFormat = EFTYPE;
#else
constexpr int kUnrecognisedFormat = EILSEQ;
#endif

// libarchive converts names through the thread's locale: in the C locale a
// UTF-8 name comes back empty. A UTF-8 locale on the reading thread, for the
// duration of each call, gives the same names whatever the process's locale.
class Utf8LocaleScope {
public:
    Utf8LocaleScope() noexcept : previous_(Utf8() != locale_t{} ? uselocale(Utf8()) : locale_t{}) {}
    ~Utf8LocaleScope() {
        if (previous_ != locale_t{}) uselocale(previous_);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    static locale_t Utf8() noexcept {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
        return utf8;
    }
    locale_t previous_;
};

// The formats and filters of the header comment, and nothing else. A filter
// that would run an external program registers with a warning: refused.
bool Configure(::archive* handle) {
    using Support = int (*)(::archive*);
    constexpr Support kSupports[] = {
        archive_read_support_format_lha,   archive_read_support_format_zip,  archive_read_support_format_7zip,
        archive_read_support_format_tar,   archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
        archive_read_support_filter_xz,    archive_read_support_filter_lzma, archive_read_support_filter_zstd,
    };
    for (Support support : kSupports) {
        if (support(handle) != ARCHIVE_OK) return false;
    }
    // LZH names are bytes in no stated code page; libarchive insists on
    // converting them, and ISO-8859-1 is the one conversion that cannot fail.
    return archive_read_set_format_option(handle, "lha", "hdrcharset", "ISO-8859-1") == ARCHIVE_OK;
}

// Decodes one UTF-8 sequence at `p`; returns its length, 0 if malformed.
std::size_t DecodeUtf8(const unsigned char* p, const unsigned char* end, char32_t& code_point) {
    const unsigned char b = *p;
    std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 0;
    if (length == 0 || static_cast<std::size_t>(end - p) < length) return 0;
    code_point = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) code_point = (code_point << 6) | (p[i] & 0x3F);
    return length;
}

}  // namespace

std::string LzhNameBytes(std::string_view latin1_text) {
    std::string bytes;
    bytes.reserve(latin1_text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(latin1_text.data());
    const auto* end = p + latin1_text.size();
    while (p < end) {
        char32_t code_point = 0;
        const std::size_t length = DecodeUtf8(p, end, code_point);
        // Past U+00FF the header named its own code page and this is text.
        if (length == 0 || code_point > 0xFF) return std::string(latin1_text);
        bytes += static_cast<char>(code_point);
        p += length;
    }
    if (IsUtf8(bytes)) return bytes;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (!IsShiftJisLeadByte(static_cast<std::uint8_t>(bytes[i]))) continue;
        if (bytes[i + 1] == '/') bytes[i + 1] = '\\';
        ++i;  // the trail byte
    }
    return bytes;
}

ArchiveReader::ArchiveReader(::archive* handle, int fd, const ReadSettings& settings)
    : archive_(handle), fd_(fd), settings_(settings) {}

ArchiveReader::~ArchiveReader() {
    if (archive_ != nullptr) archive_read_free(archive_);
    if (fd_ >= 0) close(fd_);
}

ArchiveReader::Opened ArchiveReader::Open(int fd, const ReadSettings& settings,
                                          const std::function<int(::archive*)>& open_call,
                                          std::unique_ptr<ArchiveReader>& reader, std::string& error) {
    const Utf8LocaleScope locale;
    ::archive* handle = archive_read_new();
    if (handle == nullptr) {
        if (fd >= 0) close(fd);
        error = "cannot read archive: out of memory";
        return Opened::FAILED;
    }
    std::unique_ptr<ArchiveReader> candidate(new ArchiveReader(handle, fd, settings));
    if (!Configure(handle)) {
        error = "cannot read archive: " + candidate->error_text();
        return Opened::FAILED;
    }
    errno = 0;  // see next()
    if (open_call(handle) == ARCHIVE_OK) {
        reader = std::move(candidate);
        return Opened::ARCHIVE;
    }
    // No enabled format recognised the content: a plain file.
    if (archive_errno(handle) == kUnrecognisedFormat) return Opened::NOT_AN_ARCHIVE;
    error = "cannot read archive: " + candidate->error_text();
    return Opened::FAILED;
}

ArchiveReader::Opened ArchiveReader::OpenFile(int fd, const ReadSettings& settings,
                                              std::unique_ptr<ArchiveReader>& reader, std::string& error) {
    return Open(
        fd, settings, [fd](::archive* handle) { return archive_read_open_fd(handle, fd, kBlockBytes); }, reader,
        error);
}

ArchiveReader::Opened ArchiveReader::OpenMemory(std::span<const std::uint8_t> bytes, const ReadSettings& settings,
                                                std::unique_ptr<ArchiveReader>& reader, std::string& error) {
    return Open(
        -1, settings,
        [bytes](::archive* handle) { return archive_read_open_memory(handle, bytes.data(), bytes.size()); }, reader,
        error);
}

bool ArchiveReader::next(ArchiveEntry& out) {
    const Utf8LocaleScope locale;
    out.name.clear();
    out.about_archive = false;
    out.header.clear();
    out.error.clear();
    while (!done_) {
        ::archive_entry* entry = nullptr;
        // libarchive takes a name that does not convert for a failed
        // allocation when errno says ENOMEM, whoever left it there (a
        // dictionary too big for the address space, an entry before): it
        // then calls the archive damaged, or ends the whole process. So
        // each call starts with errno clear.
        errno = 0;
        const int status = archive_read_next_header(archive_, &entry);
        if (status == ARCHIVE_EOF) {
            done_ = true;
            break;
        }
        if (status == ARCHIVE_FAILED && skips_by_seeking() && ++failures_in_a_row_ <= kMaxFailuresInARow) {
            // This entry's header is bad; libarchive can seek on to the next.
            out.name = entry != nullptr ? name_of(entry) : std::string();
            out.about_archive = out.name.empty();
            out.error = "damaged entry: " + error_text();
            return true;
        }
        if (status < ARCHIVE_WARN) return stop(out, "damaged archive: " + error_text());
        // OK, or WARN for a detail such as a time stamp: the entry is there.
        failures_in_a_row_ = 0;
        std::string name = name_of(entry);
        const bool regular = archive_entry_filetype(entry) == AE_IFREG && archive_entry_hardlink(entry) == nullptr;
        if (regular && wanted(name)) {
            out.name = std::move(name);
            read_entry(entry, out);
            return true;
        }
        if (pass_over(entry, out)) return true;
    }
    return false;
}

std::string ArchiveReader::name_of(::archive_entry* entry) const {
    errno = 0;  // see next()
    const char* name = archive_entry_pathname(entry);
    if (name == nullptr) return {};
    if ((archive_format(archive_) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_LHA) return LzhNameBytes(name);
    return name;
}

bool ArchiveReader::wanted(std::string_view name) const {
    const std::size_t slash = name.rfind('/');
    return MatchesExtensions(slash == std::string_view::npos ? name : name.substr(slash + 1), settings_.extensions);
}

bool ArchiveReader::skips_by_seeking() const {
    // No compression around the archive and none across entries (7z
    // compresses several entries as one stream).
    return archive_filter_count(archive_) <= 1 &&
           (archive_format(archive_) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_7ZIP;
}

bool ArchiveReader::skipping_is_cheap(::archive_entry* entry) const {
    // With its size stored, libarchive seeks past the entry; anything else
    // must be decompressed to be passed.
    return archive_entry_size_is_set(entry) != 0 && skips_by_seeking();
}

ArchiveReader::DataEnd ArchiveReader::read_data(zolehead::HeaderScanner* scanner, std::string& message) {
    static constexpr std::uint8_t kZeros[kBlockBytes] = {};
    const std::uint64_t limit = settings_.max_entry_size;
    std::uint64_t length = 0;  // the entry's bytes so far, holes included
    bool feeding = scanner != nullptr;
    const bool sinking = scanner != nullptr && sink_;
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        errno = 0;  // see next()
        const int status = archive_read_data_block(archive_, &block, &size, &offset);
        if (status == ARCHIVE_EOF) return DataEnd::END;
        if (status == ARCHIVE_WARN || status == ARCHIVE_FAILED) {
            message = error_text();
            return DataEnd::DAMAGED;
        }
        if (status != ARCHIVE_OK) {
            message = error_text();
            return DataEnd::BROKEN;
        }
        if (offset < 0 || static_cast<std::uint64_t>(offset) < length) {
            message = "entry data out of order";
            return DataEnd::DAMAGED;
        }
        const auto start = static_cast<std::uint64_t>(offset);
        if (start > limit || size > limit - start) return DataEnd::TOO_LARGE;
        // A hole in a sparse entry reads as zeros, as it does on disk.
        for (std::uint64_t hole = start - length; (feeding || sinking) && hole > 0;) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(hole, sizeof kZeros));
            if (feeding) feeding = scanner->feed({kZeros, n});
            if (sinking) sink_({kZeros, n});
            hole -= n;
        }
        // Past the end-of-text byte the rest is only counted: the limit
        // still holds while the entry is read to its end.
        const std::span<const std::uint8_t> bytes(static_cast<const std::uint8_t*>(block), size);
        if (feeding && size > 0) feeding = scanner->feed(bytes);
        if (sinking && size > 0) sink_(bytes);
        length = start + size;
    }
}

void ArchiveReader::read_entry(::archive_entry* entry, ArchiveEntry& out) {
    const bool can_go_on = skipping_is_cheap(entry);
    const auto fail = [&](std::string_view reason, bool broken = false) {
        out.header.clear();
        out.error = "cannot read entry: ";
        out.error += reason;
        if (broken || !can_go_on) {
            out.error += kRestNotRead;
            done_ = true;
        }
    };
    if (archive_entry_is_data_encrypted(entry) != 0) return fail("encrypted");
    if (archive_entry_size_is_set(entry) != 0 && archive_entry_size(entry) >= 0 &&
        static_cast<std::uint64_t>(archive_entry_size(entry)) > settings_.max_entry_size) {
        return fail(too_large_text());
    }
    zolehead::HeaderScanner scanner(settings_.form);
    std::string message;
    switch (read_data(&scanner, message)) {
    case DataEnd::END: out.header = scanner.header(); return;
    case DataEnd::TOO_LARGE: return fail(too_large_text());
    case DataEnd::DAMAGED: return fail(message);
    case DataEnd::BROKEN: return fail(message, true);
    }
}

bool ArchiveReader::pass_over(::archive_entry* entry, ArchiveEntry& out) {
    if (skipping_is_cheap(entry)) return false;
    // libarchive would decompress it to skip it, with no limit: do it here.
    std::string message;
    switch (read_data(nullptr, message)) {
    case DataEnd::END: return false;
    case DataEnd::TOO_LARGE:
        return stop(out, "stopped at an entry " + too_large_text() + ": reading on would mean decompressing it");
    case DataEnd::DAMAGED:
    case DataEnd::BROKEN: break;
    }
    return stop(out, "damaged archive: " + message);
}

bool ArchiveReader::stop(ArchiveEntry& out, std::string error) {
    out.name.clear();
    out.about_archive = true;
    out.header.clear();
    out.error = std::move(error);
    done_ = true;
    return true;
}

std::string ArchiveReader::error_text() const {
    const char* text = archive_error_string(archive_);
    return text != nullptr ? text : "unknown error";
}

std::string ArchiveReader::too_large_text() const {
    return "larger than the entry size limit (" + std::to_string(settings_.max_entry_size) + " bytes)";
}

}  // namespace zolehead::collection
