// Form A: Japanese label lines such as 曲名：Sakura, one byte at a time.
//
// A line is a label part (double-byte label characters, with ignorable blanks
// anywhere), the full-width colon 81 46, a value and a line end (LF or CR).
// The machine commits a line's value to the label's slot at the line end.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

#include "dbcs_tracker.hpp"
#include "header_observer.hpp"
#include "identifier_table.hpp"
#include "value_limit.hpp"
#include "zole_header.hpp"

namespace zolehead {

enum class LineState : std::uint8_t {
    LINE_START = 0,   // in the label part
    VALUE_START = 1,  // after the colon, value not yet started
    VALUE = 2,        // collecting the value
    SKIP = 3,         // line disqualified: wait for its end
};

// How a committed line treats the slot it lands in.
enum class LabelCommit : std::uint8_t {
    LAST_WINS,      // every line overwrites: the form A reader
    DEFER_TO_FORM_B, // the combined reader: first line stores, a repeat empties, form B is never touched
};

class LabelLineMachine {
public:
    explicit constexpr LabelLineMachine(LabelCommit rule = LabelCommit::LAST_WINS) noexcept : rule_(rule) {}

    // Steps over byte b, whose tracker state is `dbcs`; may commit into
    // `out`. Tells `observer` what it does (see header_observer.hpp).
    template <class Observer = NoObserver>
    inline void step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept;
    inline void step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out) noexcept {
        NoObserver none;
        step(b, dbcs, out, none);
    }

    LineState state() const noexcept { return state_; }

    // True while only a line end (LF or CR) can change the machine: the line
    // is disqualified, or its value is full. A reader may skip to the line end.
    bool waits_for_line_end() const noexcept {
        return state_ == LineState::SKIP || (state_ == LineState::VALUE && value_len_ >= kValueMaxBytes);
    }
    // The byte stepped last (0 before the first): half of a colon pair that a
    // block boundary may cut.
    std::uint8_t previous() const noexcept { return previous_; }
    // The label collected so far on this line, and whether some label of the
    // table starts with it. Labels only grow until the line ends, so once
    // none does, the line can commit nothing.
    int label_length() const noexcept { return label_len_; }
    bool label_may_match() const noexcept { return SomeLabelStartsWith(std::string_view(label_, label_len_)); }
    // Whether the label is one of the table's: a line whose label is not
    // commits nothing at its end.
    // (Once past the colon: the row is looked up there, once a line.)
    bool label_known() const noexcept { return row_ >= 0; }
    // Whether the value being collected can still change `out` at its line
    // end: under DEFER_TO_FORM_B a slot that holds anything already is only
    // emptied or left alone, and no slot ever returns to STATUS_NONE; a label
    // not in the table commits nothing.
    bool value_matters(const ZoleHeader& out) const noexcept {
        if (row_ < 0) return false;
        return rule_ == LabelCommit::LAST_WINS || out.slots[static_cast<std::size_t>(row_)].status == STATUS_NONE;
    }

    // Bulk steps for the fast loop. Each leaves the machine exactly as
    // stepping the same bytes one at a time would, under its preconditions.

    // As stepping the label of table row `row` and then the colon 81 46, in
    // the label part with nothing collected yet (LINE_START, empty label)
    // after a byte the tracker did not read as a lead byte: every label byte
    // pair is then a double-byte character, and the value begins.
    inline void enter_value(int row) noexcept;
    // As stepping n bytes (1 to 64) of a value being collected (VALUE), none
    // of them below 0x20; bit i of `leads` is set when the tracker reads byte
    // i as a lead byte.
    inline void take_value_bytes(const std::uint8_t* bytes, int n, std::uint64_t leads) noexcept;

private:
    static constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D;
    static constexpr std::uint8_t kWideLead = 0x81, kWideColon = 0x46, kWideSpace = 0x40;

    template <class Observer>
    inline void step_line(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept;
    inline void store(std::uint8_t b, DbcsState dbcs) noexcept;
    inline bool stored_as_lead(int i) const noexcept { return (lead_mask_[i >> 6] >> (i & 63)) & 1U; }
    LabelLineEnd commit(ZoleHeader& out) noexcept;
    void trim() noexcept;

    LabelCommit rule_;
    LineState state_ = LineState::LINE_START;
    std::int8_t row_ = -1;  // the label's row, from the colon on (-1: none)
    std::uint8_t previous_ = 0;
    std::uint8_t label_len_ = 0;
    std::uint8_t value_len_ = 0;  // may run one past the stored bytes (see store)
    std::uint8_t stored_len_ = 0;
    char label_[kLabelMaxBytes + 1] = {};
    char value_[kValueMaxBytes + 1] = {};
    // Which stored bytes the tracker read as lead bytes: only those start a
    // full-width space that the trim may remove.
    std::uint64_t lead_mask_[2] = {0, 0};
};

inline void LabelLineMachine::store(std::uint8_t b, DbcsState dbcs) noexcept {
    if (value_len_ >= kValueMaxBytes) return;
    // A double-byte character that would not fit whole is not started: the
    // length is marked full so the rest of the line is dropped too.
    if (value_len_ == kValueMaxBytes - 1 && dbcs == DbcsState::DBCS_LEAD) {
        value_len_ = kValueMaxBytes;
        return;
    }
    if (dbcs == DbcsState::DBCS_LEAD) lead_mask_[value_len_ >> 6] |= std::uint64_t{1} << (value_len_ & 63);
    value_[value_len_++] = static_cast<char>(b);
    stored_len_ = value_len_;
}

inline void LabelLineMachine::enter_value(int row) noexcept {
    const std::string_view label = kIdentifiers[static_cast<std::size_t>(row)].label;
    std::memcpy(label_, label.data(), label.size());
    label_len_ = static_cast<std::uint8_t>(label.size());
    row_ = static_cast<std::int8_t>(row);
    state_ = LineState::VALUE_START;
    previous_ = kWideColon;
}

inline void LabelLineMachine::take_value_bytes(const std::uint8_t* bytes, int n, std::uint64_t leads) noexcept {
    previous_ = bytes[n - 1];
    const int at = value_len_;
    const int plain = AppendValueBytes(value_, value_len_, stored_len_, bytes, n, leads);
    if (plain == 0) return;
    // The trim needs to know which stored bytes were lead bytes.
    const std::uint64_t bits = plain == 64 ? leads : leads & ((std::uint64_t{1} << plain) - 1);
    if (at < 64) {
        lead_mask_[0] |= bits << at;
        if (at > 0) lead_mask_[1] |= bits >> (64 - at);
    } else {
        lead_mask_[1] |= bits << (at - 64);
    }
}

template <class Observer>
inline void LabelLineMachine::step_line(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept {
    switch (state_) {
    case LineState::LINE_START:
        if (dbcs == DbcsState::DBCS_SINGLE) {
            if (b != kLF && b != kCR && b != '\t' && b != ' ' && b != '!' && b != ';') state_ = LineState::SKIP;
        } else if (dbcs == DbcsState::DBCS_TRAIL) {
            if (previous_ == kWideLead && b == kWideColon) {
                state_ = LineState::VALUE_START;
                row_ = static_cast<std::int8_t>(FindLabelRow(std::string_view(label_, label_len_)));
                observer.label_colon();
            } else if (previous_ == kWideLead && b == kWideSpace) {
                // an ignorable full-width space
            } else if (label_len_ >= kLabelMaxBytes - 1) {
                state_ = LineState::SKIP;  // a tenth label character
            } else {
                label_[label_len_++] = static_cast<char>(previous_);
                label_[label_len_++] = static_cast<char>(b);
            }
        }
        return;
    case LineState::VALUE_START:
        if (dbcs == DbcsState::DBCS_SINGLE) {
            if (b > 0x20) {  // blanks and control bytes before the value are skipped
                observer.label_value_start(0);
                store(b, dbcs);
                state_ = LineState::VALUE;
            } else if constexpr (Observer::kObserves) {
                if (b == kLF || b == kCR) {
                    const std::string_view label(label_, label_len_);
                    observer.label_line_end(LabelLineEnd{row_, LabelOutcome::NO_VALUE, label, {}, 0});
                }
            }
        } else if (dbcs == DbcsState::DBCS_TRAIL) {
            if (!(previous_ == kWideLead && b == kWideSpace)) {
                observer.label_value_start(1);
                store(previous_, DbcsState::DBCS_LEAD);
                store(b, dbcs);
                state_ = LineState::VALUE;
            }
        }
        return;
    case LineState::VALUE:
        if (b == kLF || b == kCR) {
            const LabelLineEnd end = commit(out);
            observer.label_line_end(end);
        } else if (b >= 0x20) {
            if constexpr (Observer::kObserves) {
                if (value_len_ >= kValueMaxBytes || (value_len_ == kValueMaxBytes - 1 && dbcs == DbcsState::DBCS_LEAD))
                    observer.label_value_full();
            }
            store(b, dbcs);
        } else {
            observer.label_control_dropped();
        }
        return;
    case LineState::SKIP:
        return;
    }
}

template <class Observer>
inline void LabelLineMachine::step(std::uint8_t b, DbcsState dbcs, ZoleHeader& out, Observer& observer) noexcept {
    step_line(b, dbcs, out, observer);
    if (b == kLF || b == kCR) {
        state_ = LineState::LINE_START;
        label_len_ = value_len_ = stored_len_ = 0;
        lead_mask_[0] = lead_mask_[1] = 0;
    }
    previous_ = b;
}

}  // namespace zolehead
