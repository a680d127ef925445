// What the machines report while they read, for a reader that wants to know
// why a header reads as it does (explain, lint, the editor's planner).
//
// An observer is any type with the members of NoObserver below. The machines
// take it as a template parameter; with NoObserver every call is empty and
// inline, so the readers pay nothing. Only HeaderScanner::feed_observed,
// which steps every byte through the plain loop, passes a real observer.
//
// Every event concerns the byte last announced by at(): its offset in the
// input (counted from the first byte fed), its value and its tracker state.
#pragma once

#include <cstdint>
#include <string_view>

#include "dbcs_tracker.hpp"

namespace zolehead {

// What a form A line end did with the line's value.
enum class LabelOutcome : std::uint8_t {
    UNKNOWN_LABEL,   // the label is none of the table's: nothing changed
    STORED,          // the value went into the slot (over any earlier form A value)
    EMPTIED,         // combined reader: the label came again, so its slot was emptied
    LEFT_TO_FORM_B,  // combined reader: the slot holds a form B value, which wins
    NO_VALUE,        // the line ended after the colon, before any value: nothing changed
};

// A line end on a line that reached its full-width colon.
struct LabelLineEnd {
    int row;                 // the label's row in the identifier table, or -1
    LabelOutcome outcome;
    std::string_view label;  // the label's bytes, blanks dropped
    std::string_view value;  // the value, trimmed, as stored (STORED) or as it would have been
    int trimmed;             // trailing bytes the trim removed
};

// A closing quote: a form B entry ends.
struct KeywordEnd {
    int row;                 // the name's row in the identifier table, or -1 (nothing changed)
    std::string_view name;   // the name as collected (at most 19 characters)
    std::string_view value;  // the value as stored, or discarded for an unknown name
};

struct NoObserver {
    // False here: the machines skip work done only to report.
    static constexpr bool kObserves = false;

    // The scanner: the byte about to be stepped.
    void at(std::uint64_t /*offset*/, std::uint8_t /*byte*/, DbcsState /*dbcs*/) noexcept {}

    // Form A.
    void label_colon() noexcept {}                      // this byte completes the colon: the value part begins
    void label_value_start(int /*back*/) noexcept {}    // the value's first character began `back` bytes before this one
    void label_control_dropped() noexcept {}            // a control byte inside the value, dropped
    void label_value_full() noexcept {}                 // a value byte dropped at the 127-byte limit
    void label_line_end(const LabelLineEnd&) noexcept {}  // this byte (LF or CR) ends a line past its colon

    // Form B.
    void keyword_star() noexcept {}                   // this asterisk starts a name afresh
    void keyword_quote_open() noexcept {}             // this quote opens a value
    void keyword_control_dropped() noexcept {}        // a control byte inside the value, dropped
    void keyword_value_full() noexcept {}             // a value byte dropped at the 127-byte limit
    void keyword_end(const KeywordEnd&) noexcept {}   // this quote closes the value
};

}  // namespace zolehead
