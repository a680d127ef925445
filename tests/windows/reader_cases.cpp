// The three readers over files the host writes: one line per case, the file's
// bytes and every slot that must be filled; all other slots must be empty.
#include <string>
#include <vector>

#include "host_cases.hpp"
#include "scratch_dir.hpp"
#include "sjis.hpp"

namespace zh_host {

namespace {

enum class Reader { A, B, BOTH };

struct Filled {
    std::int32_t index;
    std::int32_t status;
    std::string value;
};

struct ReaderCase {
    const char* what;
    Reader reader;
    std::string bytes;
    std::vector<Filled> slots;
};

ReaderFn Pick(const ZoleHeadExports& api, Reader reader) {
    switch (reader) {
    case Reader::A: return api.zhGetZoleHeaderA;
    case Reader::B: return api.zhGetZoleHeaderB;
    case Reader::BOTH: return api.zhGetZoleHeader;
    }
    return nullptr;
}

const std::string kTitle = kTitleLabel + kColon;
const std::string kGenre = kGenreLabel + kColon;
const std::string kComment = kCommentLabel + kColon;
const std::string k126(126, 'v');

std::vector<ReaderCase> Cases() {
    return {
        // Form A.
        {"form A line", Reader::A, kTitle + "Sakura\n", {{0, 1, "Sakura"}}},
        {"form A, CR LF line ends", Reader::A, kTitle + "Sakura\r\n" + kGenre + "Pop\r\n", {{0, 1, "Sakura"}, {1, 1, "Pop"}}},
        {"form A, CR alone ends a line", Reader::A, kTitle + "Sakura\r" + kGenre + "Pop\r", {{0, 1, "Sakura"}, {1, 1, "Pop"}}},
        {"form A needs a line end", Reader::A, kTitle + "Sakura", {}},
        {"form A blanks skipped and trimmed", Reader::A,
         " ;!" + kTitleLabel + " " + kColon + kWideSpace + " Sakura " + kWideSpace + " \n", {{0, 1, "Sakura"}}},
        {"form A, ASCII colon is no colon", Reader::A, kTitleLabel + ":Sakura\n", {}},
        {"form A, last line wins", Reader::A, kTitle + "A\n" + kTitle + "B\n", {{0, 1, "B"}}},
        {"form A, tab dropped inside the value", Reader::A, kTitle + "a\tb\n", {{0, 1, "ab"}}},
        {"form A, longest label", Reader::A, kZoleVersionLabel + kColon + "2.1\n", {{12, 1, "2.1"}}},
        {"form A, value cut at 127", Reader::A, kTitle + std::string(200, 'x') + "\n", {{0, 1, std::string(127, 'x')}}},
        {"form A, no half character at the limit", Reader::A, kTitle + k126 + kHiraA + "\n", {{0, 1, k126}}},
        {"form A, メ@ keeps its bytes", Reader::A, kComment + "x" + kMe + "@\n", {{15, 1, "x" + kMe + "@"}}},
        {"form A, first byte never trimmed", Reader::A, kComment + "@\n", {{15, 1, "@"}}},
        {"form A ignores form B", Reader::A, "*Title 'x'\n", {}},
        // Form B.
        {"form B entry", Reader::B, "*Title 'Sakura'", {{0, 2, "Sakura"}}},
        {"form B, double quotes", Reader::B, "*Title \"Sa'kura\"", {{0, 2, "Sa'kura"}}},
        {"form B, any letter case", Reader::B, "*tItLe='x'", {{0, 2, "x"}}},
        {"form B, value across CR LF lines", Reader::B, "*Comment 'line1\r\nline2'", {{15, 2, "line1line2"}}},
        {"form B, empty value", Reader::B, "*Title ''", {{0, 2, ""}}},
        {"form B, unterminated value", Reader::B, "*Title 'abc", {}},
        {"form B, unknown name", Reader::B, "*Titlex 'y' *Genre 'g'", {{1, 2, "g"}}},
        {"form B, value cut at 127", Reader::B, "*Title '" + std::string(130, 'y') + "'", {{0, 2, std::string(127, 'y')}}},
        {"form B, Shift_JIS value", Reader::B, "*Genre '" + kHiraA + kSong + "'", {{1, 2, kHiraA + kSong}}},
        // Both forms in one pass.
        {"both: form A title, form B genre", Reader::BOTH, kTitle + "Sakura\r\n*Genre 'Pop'\r\n",
         {{0, 1, "Sakura"}, {1, 2, "Pop"}}},
        {"both: a repeated label empties", Reader::BOTH, kTitle + "A\n" + kTitle + "B\n", {{0, 1, ""}}},
        {"both: form B wins after", Reader::BOTH, kTitle + "A\n*Title 'X'", {{0, 2, "X"}}},
        {"both: form B wins before", Reader::BOTH, "*Title 'X'\n" + kTitle + "A\n", {{0, 2, "X"}}},
        {"both: one line feeds both machines", Reader::BOTH, kComment + "*Genre 'Rock'\n",
         {{1, 2, "Rock"}, {15, 1, "*Genre 'Rock'"}}},
        // Binary input: NULs pass, 0x1A ends the input everywhere.
        {"NUL bytes are read, then dropped", Reader::B, std::string("*Title 'a\0b'", 12), {{0, 2, "ab"}}},
        {"0x1A ends the input, form A", Reader::A, kTitle + "A\n\x1A" + kGenre + "B\n", {{0, 1, "A"}}},
        {"0x1A ends the input, form B", Reader::B, "*Title 'A'\x1A*Genre 'B'", {{0, 2, "A"}}},
        {"0x1A ends the input, both", Reader::BOTH, "*Title 'A'\n\x1A" + kGenre + "B\n*Comment 'c'", {{0, 2, "A"}}},
        {"0x1A inside a quoted value", Reader::B, "*Title 'ab\x1A" "cd'", {}},
        {"0x1A ends a line before its end", Reader::A, kTitle + "A\x1A\n", {}},
        {"0x1A after a lead byte still ends", Reader::B, "*Title 'a\x82\x1A'b'", {}},
        {"0x1A as the first byte", Reader::BOTH, "\x1A*Title 'x'", {}},
        {"empty file", Reader::BOTH, "", {}},
    };
}

}  // namespace

void RunReaderCases(Host& host) {
    ScratchDir dir;
    if (!host.checks.expect(dir.ok(), "create the scratch directory")) return;
    int n = 0;
    for (const ReaderCase& c : Cases()) {
        const std::string path = dir.write(L"case" + std::to_wstring(++n) + L".zole", c.bytes);
        if (!host.checks.expect(!path.empty(), c.what, "cannot write the file")) continue;
        host.checks.equal(Pick(host.api, c.reader)(path.c_str()), 1, c.what);
        std::array<SlotView, 16> want{};
        for (const Filled& f : c.slots) want[static_cast<std::size_t>(f.index)] = {f.status, f.value};
        const std::array<SlotView, 16> got = ReadSlots(host.api);
        for (std::size_t i = 0; i < 16; ++i) {
            const std::string slot = std::string(c.what) + ", slot " + std::to_string(i);
            host.checks.equal(got[i].status, want[i].status, slot + " status");
            host.checks.equal(got[i].value, want[i].value, slot + " value");
        }
    }
}

}  // namespace zh_host
