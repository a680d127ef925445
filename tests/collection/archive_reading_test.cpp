// CollectionReader with archives on, as the Python module and the catalog use
// it: every record in walk order with its kind, archive, entry name and
// header, whatever the threads, the window and the size of the archives.
#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive_reader.hpp"
#include "collection_reader.hpp"
#include "test_support.hpp"

// libarchive turns ZIP and LZH time stamps into time_t with mktime(), which
// glibc guards with a lock of its own that ThreadSanitizer cannot see: the
// time zone bookkeeping it does under that lock is reported as a race.
extern "C" const char* __tsan_default_suppressions() { return "race:tzset_internal\n"; }

namespace {

using zolehead::collection::ArchiveEntry;
using zolehead::collection::ArchiveReader;
using zolehead::collection::CollectionReader;
using zolehead::collection::FileWalker;
using zolehead::collection::ReadRecord;
using zolehead::collection::ReadSettings;
using Kind = ReadRecord::Kind;

std::string Song(const std::string& title) { return zh_test::kTitleLabel + zh_test::kColon + title + "\r\nA cde\r\n"; }

struct Member {
    std::string name;
    std::string data;
    bool directory = false;
};

// Writes an archive with libarchive: `format` "zip", "7zip" or "pax", with
// gzip around it when `gzip`.
void WriteArchive(const std::string& path, const char* format, bool gzip, const std::vector<Member>& members) {
    ::archive* a = archive_write_new();
    ASSERT_EQ(archive_write_set_format_by_name(a, format), ARCHIVE_OK);
    if (gzip) {
        ASSERT_EQ(archive_write_add_filter_gzip(a), ARCHIVE_OK);
    }
    ASSERT_EQ(archive_write_open_filename(a, path.c_str()), ARCHIVE_OK);
    for (const Member& m : members) {
        ::archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.name.c_str());
        archive_entry_set_filetype(e, m.directory ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, static_cast<la_int64_t>(m.data.size()));
        ASSERT_EQ(archive_write_header(a, e), ARCHIVE_OK);
        if (!m.data.empty()) {
            ASSERT_EQ(archive_write_data(a, m.data.data(), m.data.size()), la_ssize_t(m.data.size()));
        }
        archive_entry_free(e);
    }
    ASSERT_EQ(archive_write_close(a), ARCHIVE_OK);
    archive_write_free(a);
}

struct Expected {
    Kind kind;
    std::string path;
    std::string archive;
    std::string entry_name;
    std::string content;  // the bytes the record's header must have been read from
};

void ExpectRecords(CollectionReader& reader, const std::vector<Expected>& expected) {
    std::size_t i = 0;
    while (const ReadRecord* record = reader.next()) {
        ASSERT_LT(i, expected.size()) << record->path;
        const Expected& e = expected[i++];
        ASSERT_EQ(record->path, e.path);
        EXPECT_EQ(record->kind, e.kind) << e.path;
        EXPECT_EQ(record->archive, e.archive) << e.path;
        EXPECT_EQ(record->entry_name, e.entry_name) << e.path;
        EXPECT_EQ(record->error, "") << e.path;
        EXPECT_TRUE(record->header == zh_test::Read(e.content, zolehead::HeaderForm::BOTH)) << e.path;
    }
    EXPECT_EQ(i, expected.size());
}

ReadSettings Archives(bool on) {
    ReadSettings settings;
    settings.archives = on;
    return settings;
}

FileWalker Walk(const zh_test::TempDir& dir) { return FileWalker({dir.path().string()}, true, {}, [](auto&&, auto) {}); }

TEST(ArchiveReading, FilesAndEntriesComeInWalkOrderWithTheirParts) {
    zh_test::TempDir dir;
    const std::string a = dir.write("a.zol", Song("a"));
    const std::string b = (dir.path() / "b.tar.gz").string();
    WriteArchive(b, "pax", true, {{"x.zol", Song("x")}, {"folder", "", true}, {"folder/y.zol", Song("y")}});
    const std::string c = dir.write("c.zol", Song("c"));
    const std::string empty = (dir.path() / "d.zip").string();
    WriteArchive(empty, "zip", false, {{"only-a-folder", "", true}});

    CollectionReader reader(Walk(dir), 3, Archives(true), {}, 2);
    ExpectRecords(reader, {{Kind::FILE, a, "", "", Song("a")},
                           {Kind::ARCHIVE_ENTRY, b + "!/x.zol", b, "x.zol", Song("x")},
                           {Kind::ARCHIVE_ENTRY, b + "!/folder/y.zol", b, "folder/y.zol", Song("y")},
                           {Kind::FILE, c, "", "", Song("c")}});

    std::string bytes;
    CollectionReader without(Walk(dir), 2, Archives(false));
    std::vector<std::string> paths;
    while (const ReadRecord* record = without.next()) paths.push_back(record->path);
    EXPECT_EQ(paths, (std::vector<std::string>{a, b, c, empty}));  // archives are files like any other
}

// The bytes of each entry read, for a caller that shows more than the
// header: all of them, past the end mark too, and none of an entry passed over.
TEST(ArchiveReading, ADataSinkGetsEachEntryReadWhole) {
    zh_test::TempDir dir;
    const std::string after_mark = Song("m") + "\x1a" + "*Genre 'after the mark'\r\n";
    const std::string large(200 * 1024, 'x');  // several blocks
    struct Row {
        const char* what;
        const char* format;
        bool gzip;
    } rows[] = {{"zip", "zip", false}, {"tar.gz", "pax", true}, {"7z", "7zip", false}};
    for (const Row& row : rows) {
        const std::string path = (dir.path() / (std::string("a.") + row.what)).string();
        WriteArchive(path, row.format, row.gzip,
                     {{"one.zol", Song("one")}, {"skip.txt", "not wanted"}, {"mark.zol", after_mark}, {"big.zol", large}});
        ReadSettings settings = Archives(true);
        settings.extensions = {"zol"};
        std::unique_ptr<ArchiveReader> reader;
        std::string error;
        std::string bytes;
        std::ifstream in(path, std::ios::binary);
        const std::string archive_bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(ArchiveReader::OpenMemory({reinterpret_cast<const std::uint8_t*>(archive_bytes.data()), archive_bytes.size()},
                                            settings, reader, error),
                  ArchiveReader::Opened::ARCHIVE)
            << row.what << ": " << error;
        reader->set_data_sink([&](std::span<const std::uint8_t> data) { bytes.append(data.begin(), data.end()); });
        std::vector<std::pair<std::string, std::string>> got;
        ArchiveEntry entry;
        while ((bytes.clear(), reader->next(entry))) got.emplace_back(entry.name, bytes);
        EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                           {"one.zol", Song("one")}, {"mark.zol", after_mark}, {"big.zol", large}}))
            << row.what;
    }
}

TEST(ArchiveReading, LargeArchivesStreamInOrderAcrossThreads) {
    // More entries than a thread reads at once, and in all more than are
    // read ahead: chunks, the calling thread's turns and the budget all play.
    zh_test::TempDir dir;
    std::vector<Expected> expected;
    for (int archive = 0; archive < 6; ++archive) {
        const std::string stem = std::string("f").append(std::to_string(archive));
        const std::string loose = dir.write(stem + "-loose.zol", Song("loose"));
        expected.push_back({Kind::FILE, loose, "", "", Song("loose")});
        const std::string path = (dir.path() / (stem + "-pack.zip")).string();
        std::vector<Member> members;
        const int count = archive % 2 == 0 ? 1500 : 2;
        for (int e = 0; e < count; ++e) {
            const std::string name = std::string("e").append(std::to_string(10000 + e)).append(".zol");
            members.push_back({name, Song(std::to_string(archive).append("-").append(std::to_string(e)))});
            expected.push_back({Kind::ARCHIVE_ENTRY, path + "!/" + name, path, name, members.back().data});
        }
        WriteArchive(path, archive == 4 ? "7zip" : "zip", false, members);
    }
    for (unsigned threads : {1U, 2U, 5U}) {
        SCOPED_TRACE(threads);
        std::atomic<std::size_t> hooked{0};
        std::atomic<bool> thread_in_range{true};
        CollectionReader reader(Walk(dir), threads, Archives(true), [&](ReadRecord& record, unsigned thread) {
            if (thread >= threads) thread_in_range = false;
            record.output = record.path;
            ++hooked;
        });
        std::size_t i = 0;
        while (const ReadRecord* record = reader.next()) {
            ASSERT_LT(i, expected.size());
            ASSERT_EQ(record->path, expected[i].path);
            EXPECT_EQ(record->output, record->path);  // rendered by the hook, for this record
            EXPECT_TRUE(record->header == zh_test::Read(expected[i].content, zolehead::HeaderForm::BOTH));
            ++i;
        }
        EXPECT_EQ(i, expected.size());
        EXPECT_EQ(hooked.load(), expected.size());
        EXPECT_TRUE(thread_in_range.load());
    }
}

TEST(ArchiveReading, ContentDecidesWhatIsAnArchive) {
    const ReadSettings settings = Archives(true);
    const struct {
        const char* label;
        std::string bytes;
    } plain[] = {
        {"empty", ""},
        {"a Zole file", Song("plain")},
        {"a Zole file starting like a ZIP", "PK" + Song("pk")},
        {"one byte", "\x1F"},
    };
    for (const auto& c : plain) {
        std::unique_ptr<ArchiveReader> reader;
        std::string error;
        const auto bytes = reinterpret_cast<const std::uint8_t*>(c.bytes.data());
        EXPECT_EQ(ArchiveReader::OpenMemory({bytes, c.bytes.size()}, settings, reader, error),
                  ArchiveReader::Opened::NOT_AN_ARCHIVE)
            << c.label << ": " << error;
        EXPECT_EQ(reader, nullptr) << c.label;
    }
}

TEST(ArchiveReading, EntriesPastTheLimitAreStopped) {
    zh_test::TempDir dir;
    const std::string path = (dir.path() / "sizes.tar").string();
    const std::string big = Song("big") + std::string(5000, 'x');
    WriteArchive(path, "pax", false, {{"small.zol", Song("small")}, {"big.zol", big}, {"after.zol", Song("after")}});
    ReadSettings settings = Archives(true);
    settings.max_entry_size = 4096;
    settings.extensions = {"zol"};
    CollectionReader reader(FileWalker({path}, false, {"zol"}, [](auto&&, auto) {}), 2, settings);
    std::vector<std::pair<std::string, std::string>> got;
    while (const ReadRecord* record = reader.next()) got.emplace_back(record->entry_name, record->error);
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"small.zol", ""},
                       {"big.zol", "cannot read entry: larger than the entry size limit (4096 bytes)"},
                       {"after.zol", ""}}));
}

// A stored ZIP entry, as a stream of local headers with no central directory
// (read the way a damaged ZIP is); `utf8` sets the flag that says the name is
// UTF-8.
std::string ZipEntry(const std::string& name, const std::string& data, bool utf8) {
    std::uint32_t crc = 0xFFFFFFFFU;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320U & (0U - (crc & 1U)));
    }
    crc = ~crc;
    std::string out;
    const auto put16 = [&](unsigned v) { out += static_cast<char>(v & 0xFF), out += static_cast<char>(v >> 8 & 0xFF); };
    const auto put32 = [&](std::uint32_t v) { put16(v & 0xFFFF), put16(v >> 16); };
    const auto size = static_cast<std::uint32_t>(data.size());
    out += "PK\x03\x04";
    put16(20), put16(utf8 ? 0x0800 : 0), put16(0), put16(0), put16(0x21);  // version, flags, stored, time, date
    put32(crc), put32(size), put32(size), put16(static_cast<unsigned>(name.size())), put16(0);
    out += name + data;
    return out;
}

// libarchive takes a name that does not convert for a failed allocation
// when errno says ENOMEM, left over from anything before (a dictionary too
// big to allocate, say): it calls the archive damaged, or ends the process
// ("No memory"). The reader must not hand it a stale errno.
TEST(ArchiveReading, AStaleOutOfMemoryErrorIsNotTakenForOne) {
    for (const bool utf8 : {false, true}) {
        SCOPED_TRACE(utf8 ? "name flagged as UTF-8" : "name in the archive's own code");
        const std::string zip = ZipEntry("good.zol", Song("first"), utf8) + ZipEntry("b.zo\xD2", Song("second"), utf8);
        std::unique_ptr<ArchiveReader> reader;
        std::string error;
        errno = ENOMEM;
        ASSERT_EQ(ArchiveReader::OpenMemory({reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size()},
                                            Archives(true), reader, error),
                  ArchiveReader::Opened::ARCHIVE)
            << error;
        std::vector<ArchiveEntry> records;
        for (ArchiveEntry entry; (errno = ENOMEM, reader->next(entry));) records.push_back(entry);
        ASSERT_GE(records.size(), 2u);
        EXPECT_EQ(records[0].name, "good.zol");
        EXPECT_EQ(records[0].error, "");
        EXPECT_FALSE(records[1].about_archive) << records[1].error;
        for (const ArchiveEntry& record : records) EXPECT_EQ(record.error.find("allocate"), std::string::npos) << record.error;
    }
}

}  // namespace
