// Why each field reads as it does: for every field that some entry touched,
// its entries in file order, what each of the three readers did with each
// one, and what each reader ends up with.
//
// Built from the entry map (entries/entry_map.hpp), that is from the reading
// machines themselves; nothing here parses a header. The final values are
// worked out again from the entries' verdicts, so that they can be checked
// against the plain readers.
//
//   const Story story = TellStory(bytes);
//   for (const FieldStory& field : story.fields) ...   // in table order
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "entry_map.hpp"
#include "text_position.hpp"

namespace zolehead::explain {

// The readers, in the order the story lists them.
inline constexpr std::array<HeaderForm, 3> kReaders = {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH};

// What one reader did with one entry, and how that turned out.
enum class Outcome : std::uint8_t {
    FINAL,               // stored, and the reader ends with it
    OVERWRITTEN,         // stored; a later entry (`other`) stored over it
    REPLACED_BY_FORM_B,  // combined reader: stored; a later form B entry (`other`) took the field
    EMPTIED_BY_REPEAT,   // combined reader: stored; a later line with the same label (`other`) emptied the field
    EMPTIES,             // combined reader: its label came again, so it emptied the field stored by `other`
    IGNORED_FOR_FORM_B,  // combined reader: the form B entry `other` holds the field, and form B wins
    NO_VALUE,            // the line ends after its colon: nothing stored
};

struct Verdict {
    HeaderForm reader = HeaderForm::BOTH;
    Outcome outcome = Outcome::FINAL;
    int other = -1;  // the entry named by the outcome, an index into FieldStory::entries, or -1
    // EMPTIES only: the later entry that changed the field again, or -1.
    int later = -1;
};

struct StoryEntry {
    EntryForm form = EntryForm::A;
    TextPosition at;     // where the entry begins (the line, or the asterisk)
    TextPosition value;  // where its value begins in the input
    std::string name;    // the label (Shift_JIS) or the keyword as written
    std::string stored;  // the value as the machine keeps it (Shift_JIS)
    int trimmed = 0;           // trailing spaces trimmed, in bytes
    int control_dropped = 0;   // control bytes dropped inside the value
    int dropped_at_limit = 0;  // bytes dropped at the 127-byte limit
    // One verdict per reader that reads the entry's form: the single-form
    // reader first, then the combined reader.
    std::vector<Verdict> verdicts;
};

// What a reader ends up with for one field.
struct FinalValue {
    HeaderStatus status = STATUS_NONE;
    std::string value;  // Shift_JIS
    friend bool operator==(const FinalValue&, const FinalValue&) = default;
};

struct FieldStory {
    int row = 0;                      // identifier table row
    std::vector<StoryEntry> entries;  // in file order
    std::array<FinalValue, 3> finals; // in kReaders order, worked out from the verdicts
    const FinalValue& final_of(HeaderForm reader) const noexcept {
        return finals[reader == HeaderForm::A ? 0 : reader == HeaderForm::B ? 1 : 2];
    }
};

struct Story {
    std::vector<FieldStory> fields;             // fields that some entry touched, in table order
    std::optional<TextPosition> end_mark;       // the 0x1A that ends the input, if any
    std::optional<TextPosition> unclosed_quote; // a form B value opened and never closed
};

// What a story shows of a field's entries: all of them, or for a field given
// hundreds of times (never in a real file), the first and the last
// kShownEntries / 2, which hold the value first stored and the final one.
// The final values always come from every entry.
inline constexpr std::size_t kShownEntries = 200;
struct ShownEntries {
    std::size_t head_end = 0;    // entries [0, head_end) are shown
    std::size_t tail_begin = 0;  // and [tail_begin, size)
    std::size_t hidden() const noexcept { return tail_begin - head_end; }
};
ShownEntries Shown(const FieldStory& field) noexcept;

// The story of an input held in memory. Reentrant; allocates.
Story TellStory(std::span<const std::uint8_t> bytes);
// The same from a map already made of those bytes.
Story TellStory(std::span<const std::uint8_t> bytes, const EntryMap& map);

}  // namespace zolehead::explain
