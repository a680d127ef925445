// The header lines of a file: the lines on which a reader stored, replaced or
// emptied a field, with the beginning of the file around them. Found by
// feeding the file, a line at a time, to the core's three scanners (form A,
// form B, both) and comparing their results after each line; nothing here
// parses header syntax.
//
// Which lines count: the file's first lines up to the last line within the
// first `block_lines` on which a result changed (at least `min_lines`, so a
// file with no header still shows how it begins), then each later line on
// which a result changed (at most `later_lines` of them). Nothing after the
// 0x1A end mark, where the readers stop. A line ends at LF, CR or CR LF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zolehead.hpp"

namespace zolehead::serve {

struct HeaderLine {
    std::uint64_t number = 0;   // from 1
    std::string bytes;          // the file's bytes without the line end, Shift_JIS
    bool cut = false;           // longer than the limit; cut on a character boundary
    std::uint16_t changed = 0;  // bit i: some reader's field i changed on this line
};

struct HeaderLineLimits {
    std::size_t block_lines = 200;
    std::size_t min_lines = 20;
    std::size_t later_lines = 1000;
    std::size_t line_bytes = 512;
};

class HeaderLineReader {
public:
    explicit HeaderLineReader(HeaderLineLimits limits = {}) noexcept;

    // Feeds the next bytes, cut anywhere. Returns false once the end mark
    // has been seen; later bytes are ignored.
    bool feed(std::span<const std::uint8_t> bytes);
    // Ends the input: a last line without a line end still counts.
    void finish();

    // After finish(): the header lines, in file order.
    const std::vector<HeaderLine>& lines() const noexcept { return kept_; }
    std::uint64_t line_count() const noexcept { return line_number_ - (in_line_ ? 0 : 1); }
    std::optional<std::uint64_t> end_mark_line() const noexcept { return end_mark_line_; }
    // Later changed lines past `later_lines` that were not kept.
    bool lines_dropped() const noexcept { return dropped_; }
    // What each reader found: A, B, BOTH.
    const ZoleHeader& header(HeaderForm form) const noexcept;

private:
    void take(const std::uint8_t* begin, const std::uint8_t* end, bool text);
    void end_line();

    HeaderLineLimits limits_;
    std::array<HeaderScanner, 3> scanners_;
    std::array<ZoleHeader, 3> before_{};
    std::uint64_t line_number_ = 1;  // the line being read
    bool in_line_ = false;           // some byte of it was read
    bool pending_cr_ = false;        // the line ended at a CR; an LF may follow
    bool ended_ = false;
    HeaderLine current_;
    std::vector<HeaderLine> block_;
    std::uint64_t last_block_change_ = 0;
    std::vector<HeaderLine> later_;
    std::vector<HeaderLine> kept_;
    bool dropped_ = false;
    std::optional<std::uint64_t> end_mark_line_;
};

}  // namespace zolehead::serve
