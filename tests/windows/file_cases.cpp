// What the readers do with the paths and files a Windows host hands them:
// ANSI paths passed to the system unchanged (Shift_JIS names included),
// regular files only, files other programs hold open, block boundaries.
#include <string>
#include <vector>

#include "host_cases.hpp"
#include "scratch_dir.hpp"
#include "sjis.hpp"

namespace zh_host {

namespace {

const std::string kTitle = kTitleLabel + kColon;

// A path that every reader must refuse: 0 and every slot empty, even right
// after a read that filled them.
void ExpectRefused(Host& host, const std::string& good, const char* path, const std::string& what) {
    const ReaderFn readers[] = {host.api.zhGetZoleHeaderA, host.api.zhGetZoleHeaderB, host.api.zhGetZoleHeader};
    for (ReaderFn reader : readers) {
        host.checks.equal(host.api.zhGetZoleHeader(good.c_str()), 1, "the good file reads");
        host.checks.equal(ReadSlot(host.api, 0).status, 2, "the good file fills slot 0");
        host.checks.equal(reader(path), 0, what);
        host.checks.expect(AllSlotsEmpty(host.api), what, "a slot kept a value");
    }
}

void RefusedPaths(Host& host, const ScratchDir& dir) {
    const std::string good = dir.write(L"good.zole", "*Title 'x'\n" + kGenreLabel + kColon + "y\n");
    const std::string base = ToAnsi(dir.path());
    CreateDirectoryW((dir.path() + L"folder.zole").c_str(), nullptr);
    // A pipe is not a data file: refused before a byte is read, even with
    // no writer on the other end.
    const std::string pipe = "\\\\.\\pipe\\zolehead-host-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                                     0, nullptr);
    host.checks.expect(server != INVALID_HANDLE_VALUE, "create a named pipe");
    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"missing file", base + "missing.zole"},
        {"missing directory", base + "missing\\song.zole"},
        {"empty path", ""},
        {"directory", base + "folder.zole"},
        {"directory with a trailing backslash", base + "folder.zole\\"},
        {"the scratch directory itself", base},
        {"the NUL device", "NUL"},
        {"a named pipe", pipe},
        {"a file name with a wildcard", base + "*.zole"},
    };
    for (const Case& c : cases) ExpectRefused(host, good, c.path.c_str(), c.what);
    ExpectRefused(host, good, nullptr, "null path");
    if (server != INVALID_HANDLE_VALUE) CloseHandle(server);

    // Another program holding the file with no sharing: cannot open.
    const std::wstring locked_name = dir.path() + L"locked.zole";
    WriteBytes(locked_name, "*Title 'locked'");
    HANDLE locked = CreateFileW(locked_name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    host.checks.expect(locked != INVALID_HANDLE_VALUE, "hold a file without sharing");
    ExpectRefused(host, good, ToAnsi(locked_name).c_str(), "a file held without sharing");
    CloseHandle(locked);
}

// Files that are regular and readable read to their end and give 1.
void ReadableFiles(Host& host, const ScratchDir& dir) {
    // An editor keeps the file open for writing and lets others read.
    const std::wstring open_name = dir.path() + L"open.zole";
    WriteBytes(open_name, "*Title 'open'");
    HANDLE writer = CreateFileW(open_name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    host.checks.expect(writer != INVALID_HANDLE_VALUE, "hold a file open for writing");
    host.checks.equal(host.api.zhGetZoleHeader(ToAnsi(open_name).c_str()), 1, "a file another handle writes");
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "open"}, "a file another handle writes, value");
    CloseHandle(writer);

    const std::wstring readonly_name = dir.path() + L"readonly.zole";
    WriteBytes(readonly_name, "*Title 'ro'");
    SetFileAttributesW(readonly_name.c_str(), FILE_ATTRIBUTE_READONLY);
    host.checks.equal(host.api.zhGetZoleHeaderB(ToAnsi(readonly_name).c_str()), 1, "a read-only file");
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "ro"}, "a read-only file, value");

    // Relative paths resolve against the current directory, as for any API.
    SetCurrentDirectoryW(dir.path().c_str());
    WriteBytes(dir.path() + L"relative.zole", "*Title 'rel'");
    host.checks.equal(host.api.zhGetZoleHeader("relative.zole"), 1, "a relative path");
    host.checks.equal(ReadSlot(host.api, 0), SlotView{2, "rel"}, "a relative path, value");
    host.checks.equal(host.api.zhGetZoleHeader(".\\relative.zole"), 1, "a path with a dot");
    host.checks.equal(host.api.zhGetZoleHeader("./relative.zole"), 1, "a path with a forward slash");
}

// The file is read in large blocks: where a block ends must change nothing,
// not even inside a double-byte character or a CR LF pair.
void BlockBoundaries(Host& host, const ScratchDir& dir) {
    constexpr std::size_t kBlock = 64 * 1024;
    struct Case {
        const char* what;
        std::size_t lead;  // filler bytes before the header: puts the split where the name says
        std::string bytes;
        SlotView title;
    } cases[] = {
        {"label split across a block", kBlock - 1, kTitle + "Sakura\n", {1, "Sakura"}},
        {"value character split across a block", kBlock - 9, kTitle + "ab" + kHiraA + "\n", {1, "ab" + kHiraA}},
        {"CR LF split across a block", kBlock - 13, kTitle + "Sakura\r\n", {1, "Sakura"}},
        {"form B value split across a block", kBlock - 10, "*Title 'Sakura'", {2, "Sakura"}},
        {"header after a megabyte", 1 << 20, kTitle + "late\n", {1, "late"}},
    };
    for (const Case& c : cases) {
        // Filler lines of ASCII that match nothing, ending in a line feed.
        std::string bytes(c.lead, 'z');
        bytes[c.lead - 1] = '\n';
        bytes += c.bytes;
        const std::string path = dir.write(L"big.zole", bytes);
        host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, c.what);
        host.checks.equal(ReadSlot(host.api, 0), c.title, c.what);
    }
    // 0x1A past the first block still ends the input.
    std::string bytes(kBlock + 100, 'z');
    bytes += "\n\x1A" + kTitle + "after\n";
    const std::string path = dir.write(L"late-eot.zole", bytes);
    host.checks.equal(host.api.zhGetZoleHeader(path.c_str()), 1, "0x1A after the first block");
    host.checks.expect(AllSlotsEmpty(host.api), "0x1A after the first block ends the input");
}

// File names in Shift_JIS: the host passes the ANSI (code page 932) bytes and
// the system opens the file whose wide name they spell.
void ShiftJisFileNames(Host& host, const ScratchDir& dir) {
    if (!host.checks.equal(GetACP(), 932u, "the ANSI code page is 932 (Shift_JIS)")) return;
    host.checks.expect(CreateDirectoryW((dir.path() + L"\u30BD").c_str(), nullptr), "create the folder ソ");
    const std::string base = ToAnsi(dir.path());
    struct Case {
        const char* what;
        std::wstring wide_name;  // how the file is created
        std::string ansi_name;   // the bytes the library is given
    } cases[] = {
        {"曲.zole", L"\u66F2.zole", kSong + ".zole"},
        {"表.zole: a trail byte 0x5C is no separator", L"\u8868.zole", kTable + ".zole"},
        {"ソ\\曲.zole: a folder ending in trail byte 0x5C", L"\u30BD\\\u66F2.zole", kSo + "\\" + kSong + ".zole"},
        {"ﾃｽﾄ.zole: single-byte katakana", L"\uFF83\uFF7D\uFF84.zole", kHalfWidthTest + ".zole"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string value = "name" + std::to_string(++n);
        const std::wstring wide_path = dir.path() + c.wide_name;
        if (!host.checks.expect(WriteBytes(wide_path, kTitle + value + "\r\n"), c.what, "cannot create the file"))
            continue;
        const std::string ansi_path = base + c.ansi_name;
        host.checks.equal(ToAnsi(wide_path), ansi_path, std::string(c.what) + ": the ANSI spelling");
        host.checks.equal(host.api.zhGetZoleHeader(ansi_path.c_str()), 1, c.what);
        host.checks.equal(ReadSlot(host.api, 0), SlotView{1, value}, c.what);
        host.checks.equal(host.api.zhGetZoleHeaderA(ansi_path.c_str()), 1, c.what);
        host.checks.equal(ReadSlot(host.api, 0), SlotView{1, value}, c.what);
    }
}

}  // namespace

void RunFileCases(Host& host) {
    ScratchDir dir;
    if (!host.checks.expect(dir.ok(), "create the scratch directory")) return;
    RefusedPaths(host, dir);
    ReadableFiles(host, dir);
    BlockBoundaries(host, dir);
    ShiftJisFileNames(host, dir);
    // Leave the scratch directory so it can be removed.
    SetCurrentDirectoryW(ProgramDirectory().c_str());
}

}  // namespace zh_host
