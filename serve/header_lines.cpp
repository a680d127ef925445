#include "header_lines.hpp"

#include <algorithm>
#include <cstring>

#include "dbcs_tracker.hpp"

namespace zolehead::serve {

namespace {

constexpr std::size_t Index(HeaderForm form) noexcept {
    return form == HeaderForm::A ? 0 : form == HeaderForm::B ? 1 : 2;
}

// The first CR or LF in [p, end), or end.
const std::uint8_t* FindLineEnd(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    while (p < end && *p != '\n' && *p != '\r') ++p;
    return p;
}

// Drops a lead byte left alone at the end of a cut line.
void CutOnCharacter(std::string& bytes) {
    DbcsTracker tracker;
    for (char c : bytes) tracker.step(static_cast<std::uint8_t>(c));
    if (tracker.state == DbcsState::DBCS_LEAD) bytes.pop_back();
}

}  // namespace

HeaderLineReader::HeaderLineReader(HeaderLineLimits limits) noexcept
    : limits_(limits), scanners_{HeaderScanner(HeaderForm::A), HeaderScanner(HeaderForm::B), HeaderScanner(HeaderForm::BOTH)} {}

const ZoleHeader& HeaderLineReader::header(HeaderForm form) const noexcept { return scanners_[Index(form)].header(); }

void HeaderLineReader::take(const std::uint8_t* begin, const std::uint8_t* end, bool text) {
    if (begin == end) return;
    for (HeaderScanner& scanner : scanners_) scanner.feed({begin, end});
    in_line_ = true;
    if (!text) return;
    const std::size_t room = limits_.line_bytes - std::min(limits_.line_bytes, current_.bytes.size());
    const auto length = static_cast<std::size_t>(end - begin);
    current_.bytes.append(reinterpret_cast<const char*>(begin), std::min(room, length));
    if (length > room) current_.cut = true;
}

void HeaderLineReader::end_line() {
    std::uint16_t changed = 0;
    for (std::size_t r = 0; r < scanners_.size(); ++r) {
        const ZoleHeader& now = scanners_[r].header();
        for (std::size_t i = 0; i < now.slots.size(); ++i) {
            const HeaderSlot& a = now.slots[i];
            const HeaderSlot& b = before_[r].slots[i];
            if (a.status != b.status || std::strcmp(a.value, b.value) != 0) changed |= static_cast<std::uint16_t>(1U << i);
        }
    }
    if (changed != 0) {
        for (std::size_t r = 0; r < scanners_.size(); ++r) before_[r] = scanners_[r].header();
    }
    current_.number = line_number_;
    current_.changed = changed;
    if (current_.cut) CutOnCharacter(current_.bytes);
    if (line_number_ <= limits_.block_lines) {
        if (changed != 0) last_block_change_ = line_number_;
        block_.push_back(std::move(current_));
    } else if (changed != 0) {
        if (later_.size() < limits_.later_lines) {
            later_.push_back(std::move(current_));
        } else {
            dropped_ = true;
        }
    }
    current_ = HeaderLine{};
    ++line_number_;
    in_line_ = false;
}

bool HeaderLineReader::feed(std::span<const std::uint8_t> bytes) {
    if (ended_) return false;
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* end = p + bytes.size();
    // The readers stop at the end mark; so do the lines.
    const auto* mark = static_cast<const std::uint8_t*>(std::memchr(p, kEndOfText, bytes.size()));
    const std::uint8_t* stop = mark != nullptr ? mark : end;
    if (pending_cr_ && p < end) {
        pending_cr_ = false;
        if (p < stop && *p == '\n') {
            take(p, p + 1, false);
            ++p;
        }
        end_line();
    }
    while (p < stop) {
        const std::uint8_t* line_end = FindLineEnd(p, stop);
        if (line_end == stop) {
            take(p, stop, true);
            break;
        }
        take(p, line_end, true);
        if (*line_end == '\r') {
            if (line_end + 1 == stop && stop == end) {
                // An LF may come with the next block.
                take(line_end, line_end + 1, false);
                pending_cr_ = true;
                break;
            }
            const bool crlf = line_end + 1 < stop && line_end[1] == '\n';
            take(line_end, line_end + (crlf ? 2 : 1), false);
            p = line_end + (crlf ? 2 : 1);
        } else {
            take(line_end, line_end + 1, false);
            p = line_end + 1;
        }
        end_line();
    }
    if (mark != nullptr) {
        for (HeaderScanner& scanner : scanners_) scanner.feed({mark, 1});
        ended_ = true;
        end_mark_line_ = line_number_;
        return false;
    }
    return true;
}

void HeaderLineReader::finish() {
    if (pending_cr_ || in_line_) end_line();
    pending_cr_ = false;
    const std::size_t keep =
        std::min<std::size_t>(block_.size(), std::max<std::size_t>(limits_.min_lines, last_block_change_));
    kept_.assign(std::make_move_iterator(block_.begin()), std::make_move_iterator(block_.begin() + static_cast<std::ptrdiff_t>(keep)));
    kept_.insert(kept_.end(), std::make_move_iterator(later_.begin()), std::make_move_iterator(later_.end()));
    block_.clear();
    later_.clear();
}

}  // namespace zolehead::serve
