#include "story_messages.hpp"

namespace zolehead::explain {

namespace {

std::string Count(int n, std::string_view one, std::string_view many) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : many);
}

// "line 2" or "the form B entry on line 2", for the entry a verdict names.
std::string Named(const FieldStory& field, int index, bool say_form) {
    if (index < 0 || static_cast<std::size_t>(index) >= field.entries.size()) return "another entry";
    const StoryEntry& other = field.entries[static_cast<std::size_t>(index)];
    const std::string place = DescribePlace(other.at);
    if (!say_form) return place;
    return std::string(other.form == EntryForm::A ? "the form A line on " : "the form B entry on ") + place;
}

}  // namespace

std::string_view ReaderName(HeaderForm reader) noexcept {
    switch (reader) {
    case HeaderForm::A: return "form A reader";
    case HeaderForm::B: return "form B reader";
    case HeaderForm::BOTH: break;
    }
    return "combined reader";
}

std::string_view ReaderKey(HeaderForm reader) noexcept {
    switch (reader) {
    case HeaderForm::A: return "A";
    case HeaderForm::B: return "B";
    case HeaderForm::BOTH: break;
    }
    return "both";
}

std::string_view OutcomeKey(Outcome outcome) noexcept {
    switch (outcome) {
    case Outcome::FINAL: return "final";
    case Outcome::OVERWRITTEN: return "overwritten";
    case Outcome::REPLACED_BY_FORM_B: return "replaced_by_form_b";
    case Outcome::EMPTIED_BY_REPEAT: return "emptied_by_repeat";
    case Outcome::EMPTIES: return "empties";
    case Outcome::IGNORED_FOR_FORM_B: return "ignored_for_form_b";
    case Outcome::NO_VALUE: return "no_value";
    }
    return "unknown";
}

std::string DescribePlace(const TextPosition& at) {
    std::string text = "line " + std::to_string(at.line);
    if (at.column != 1) text += ", column " + std::to_string(at.column);
    return text;
}

std::string DescribeVerdict(const FieldStory& field, const Verdict& v) {
    switch (v.outcome) {
    case Outcome::FINAL: return "stored, and kept to the end";
    case Outcome::OVERWRITTEN: return "stored, then overwritten by " + Named(field, v.other, false);
    case Outcome::REPLACED_BY_FORM_B: return "stored, then replaced by " + Named(field, v.other, true) + " (form B wins)";
    case Outcome::EMPTIED_BY_REPEAT:
        return "stored, then emptied by " + Named(field, v.other, false) + ", which repeats the label";
    case Outcome::EMPTIES: {
        std::string text = "empties the field: the label is already on " + Named(field, v.other, false);
        if (v.later >= 0 && static_cast<std::size_t>(v.later) < field.entries.size() &&
            field.entries[static_cast<std::size_t>(v.later)].form == EntryForm::B) {
            text += "; then " + Named(field, v.later, true) + " takes the field";
        }
        return text;
    }
    case Outcome::IGNORED_FOR_FORM_B: return "ignored: " + Named(field, v.other, true) + " holds the field (form B wins)";
    case Outcome::NO_VALUE: return "nothing stored: the line ends after its colon";
    }
    return {};
}

std::vector<std::string> DescribeNotes(const StoryEntry& e) {
    std::vector<std::string> notes;
    if (e.trimmed > 0) notes.push_back("trailing spaces trimmed (" + Count(e.trimmed, "byte", "bytes") + ")");
    if (e.dropped_at_limit > 0) {
        notes.push_back("value cut at 127 bytes (" + Count(e.dropped_at_limit, "byte", "bytes") + " dropped)");
    }
    if (e.control_dropped > 0) {
        notes.push_back(Count(e.control_dropped, "control byte", "control bytes") +
                        (e.form == EntryForm::B ? " (line breaks, tabs and the like) dropped" : " (tabs and the like) dropped"));
    }
    return notes;
}

}  // namespace zolehead::explain
