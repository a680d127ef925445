// Reads the Zole files inside one archive in a single pass, through
// libarchive: each entry's bytes go block by block into the same header
// scanner that files go through. Nothing is extracted and no entry is held
// whole, so an archive of any size reads in bounded memory.
//
// Content decides what is an archive. Only LZH/LHA, ZIP, 7z and tar (plain or
// compressed with gzip, bzip2, xz, lzma or zstd) are enabled: no format that
// reads files beside the archive (mtree), no filter that runs a program
// (lzop, lrzip, grzip), and no "raw" or "empty" format that any file would
// pass for. Archives inside an archive are read as data, never opened.
//
// What bad input gets:
//   - an entry that is encrypted, uses a method libarchive cannot decode, or
//     fails its CRC: an error for that entry; the archive goes on;
//   - an entry larger than max_entry_size, by its header or as it
//     decompresses: stopped at the limit, an error for that entry;
//   - a damaged or truncated archive: an error about the archive; the
//     entries before it keep their results.
// Where getting past a bad entry would mean decompressing it (tar.gz and the
// other compressed tars, 7z, an entry of unknown size), the archive stops
// there and the entry's error says so: skipping a decompression bomb costs as
// much time as reading it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "read_settings.hpp"
#include "zolehead.hpp"

struct archive;
struct archive_entry;

namespace zolehead::collection {

// One record of an archive: an entry, or the archive itself when it broke off.
struct ArchiveEntry {
    std::string name;             // as the archive stores it (bytes); empty when about_archive
    bool about_archive = false;   // the error concerns the archive, not one entry
    zolehead::ZoleHeader header;  // every slot empty on failure
    std::string error;            // empty if the entry was read
};

class ArchiveReader {
public:
    enum class Opened { ARCHIVE, NOT_AN_ARCHIVE, FAILED };

    // Opens the archive in `fd`, a regular file open for reading, and owns
    // the descriptor from then on (closed with the reader, or here when the
    // file is no archive). `reader` is set only for ARCHIVE; `error` only for
    // FAILED (an archive that cannot be read at all).
    static Opened OpenFile(int fd, const ReadSettings& settings, std::unique_ptr<ArchiveReader>& reader,
                           std::string& error);
    // The same over bytes in memory, which must outlive the reader.
    static Opened OpenMemory(std::span<const std::uint8_t> bytes, const ReadSettings& settings,
                             std::unique_ptr<ArchiveReader>& reader, std::string& error);

    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Reads on to the next record: a regular file whose name passes the
    // extension filter (directories, links and other names are passed over),
    // or the archive's own error when it breaks off. Returns false once the
    // archive is over. Any thread may call it, one at a time.
    bool next(ArchiveEntry& out);

private:
    enum class DataEnd { END, TOO_LARGE, DAMAGED, BROKEN };

    ArchiveReader(::archive* handle, int fd, const ReadSettings& settings);
    static Opened Open(int fd, const ReadSettings& settings, const std::function<int(::archive*)>& open_call,
                       std::unique_ptr<ArchiveReader>& reader, std::string& error);

    std::string name_of(::archive_entry* entry) const;
    bool wanted(std::string_view name) const;
    // Whether libarchive gets past entries by seeking rather than by
    // decompressing them: in general, and for this entry.
    bool skips_by_seeking() const;
    bool skipping_is_cheap(::archive_entry* entry) const;
    // Reads the current entry's data to its end or the limit, feeding
    // `scanner` when given. `message` gets libarchive's reason on failure.
    DataEnd read_data(zolehead::HeaderScanner* scanner, std::string& message);
    // Reads a wanted entry into `out`: its header, or why not.
    void read_entry(::archive_entry* entry, ArchiveEntry& out);
    // Reads past an entry that gets no record; true with `out` set if the
    // archive breaks off there.
    bool pass_over(::archive_entry* entry, ArchiveEntry& out);
    bool stop(ArchiveEntry& out, std::string error);
    std::string error_text() const;
    std::string too_large_text() const;

    ::archive* archive_;
    int fd_;
    ReadSettings settings_;
    bool done_ = false;
    unsigned failures_in_a_row_ = 0;
};

// Names in LZH headers reach us as ISO-8859-1 text, so that every byte comes
// through whatever it is: turns such text back into the bytes. Where the
// bytes are not UTF-8, a '/' right after a Shift_JIS lead byte is put back to
// the '\' it was (0x5C is the second byte of ソ, 表 and others, and level-0
// headers have their '\' turned into '/'). Unicode text from a header that
// names its own code page comes back unchanged.
std::string LzhNameBytes(std::string_view latin1_text);

}  // namespace zolehead::collection
