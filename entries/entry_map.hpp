// Where each header entry of an input lies and what each of the three
// readers made of it: the common ground of explaining a header and of
// planning an edit.
//
// The map comes from the reading machines themselves (HeaderScanner's
// observed loop), never from a second parser: an entry is a form A line that
// reached its full-width colon, or a form B entry that reached its closing
// quote, exactly as the readers see them.
//
//   const EntryMap map = MapEntries(bytes);
//   for (const HeaderEntry& e : map.entries) ...   // in input order
//   map.header(HeaderForm::BOTH)                   // what zhGetZoleHeader reads
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "zolehead.hpp"

namespace zolehead {

enum class EntryForm : std::uint8_t { A, B };

// Byte offsets [begin, end) in the input.
struct ByteRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::uint64_t size() const noexcept { return end - begin; }
    friend bool operator==(const ByteRange&, const ByteRange&) = default;
};

// What a reader did with an entry.
enum class EntryFate : std::uint8_t {
    UNKNOWN_NAME,    // its label or keyword is none of the sixteen: nothing changed
    NO_VALUE,        // form A: the line ended after its colon, before any value
    STORED,          // its value went into the field's slot
    EMPTIED,         // combined reader: a repeated form A label emptied the slot
    LEFT_TO_FORM_B,  // combined reader: the slot held a form B value, which wins
};

struct HeaderEntry {
    EntryForm form = EntryForm::A;
    int row = -1;  // the field (identifier table row), or -1 for an unknown name

    // Form A: the line, from its first byte up to (not including) the LF or
    // CR that ends it. Form B: from the asterisk that began the name through
    // the closing quote.
    ByteRange entry;
    // The value's bytes as they stand in the input. Form A: from the first
    // value byte to the line end (empty for NO_VALUE). Form B: between the
    // quotes. Dropped control bytes and a trimmed tail lie inside it.
    ByteRange value;
    // Form A: the full-width colon (2 bytes). Form B: the opening quote (1 byte).
    ByteRange separator;

    std::string name;    // the label (Shift_JIS, blanks dropped) or the keyword as collected
    std::string stored;  // the value as the machine stores it (trimmed), whether or not it was stored
    int trimmed = 0;            // form A: trailing bytes the trim removed
    int control_dropped = 0;    // control bytes dropped inside the value
    int dropped_at_limit = 0;   // value bytes dropped at the 127-byte limit

    EntryFate single_form = EntryFate::UNKNOWN_NAME;  // in the form A or the form B reader
    EntryFate combined = EntryFate::UNKNOWN_NAME;     // in the combined reader

    // Whether the entry's value is the one the reader ends with: stored,
    // and no later entry of a form it reads stored over it.
    bool final_in_single_form = false;
    bool final_in_combined = false;
};

struct EntryMap {
    std::vector<HeaderEntry> entries;  // in input order (by entry.begin)
    ZoleHeader form_a, form_b, combined;
    // Bytes read: everything before the end-of-text byte (0x1A), if any.
    std::uint64_t text_size = 0;
    bool has_end_mark = false;
    // A form B value opened and never closed: its opening quote.
    std::optional<std::uint64_t> unclosed_quote;

    const ZoleHeader& header(HeaderForm form) const noexcept {
        return form == HeaderForm::A ? form_a : form == HeaderForm::B ? form_b : combined;
    }
};

// Maps the entries of an input held in memory. Reentrant; allocates.
EntryMap MapEntries(std::span<const std::uint8_t> bytes);

// The same into `map`, reusing its storage: a caller that maps many inputs
// with one map allocates only when an input has more entries, or longer
// names or values, than the one before.
void MapEntries(std::span<const std::uint8_t> bytes, EntryMap& map);

}  // namespace zolehead
