#include "field_story.hpp"

#include <algorithm>
#include <numeric>

namespace zolehead::explain {

namespace {

bool Reads(HeaderForm reader, EntryForm form) noexcept {
    return reader == HeaderForm::BOTH || (reader == HeaderForm::A) == (form == EntryForm::A);
}

EntryFate FateIn(HeaderForm reader, const HeaderEntry& e) noexcept {
    return reader == HeaderForm::BOTH ? e.combined : e.single_form;
}

// The byte at which the machine acted on the entry: a form A line at its line
// end, a form B entry at its closing quote. A form B entry inside a form A
// line begins after the line but acts before it.
std::uint64_t ActsAt(const HeaderEntry& e) noexcept { return e.form == EntryForm::A ? e.entry.end : e.entry.end - 1; }

// Walks one reader's entries of one field in the order the machine acted on
// them, following which entry holds the field's slot.
void Judge(HeaderForm reader, const std::vector<const HeaderEntry*>& source, FieldStory& field) {
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < source.size(); ++i) {
        if (Reads(reader, source[i]->form)) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return ActsAt(*source[x]) < ActsAt(*source[y]); });

    int holder = -1;  // the entry whose effect the slot shows now
    // Its verdict for this reader. Each entry gets one verdict per reader, so
    // nothing is added to the holder's list while it is held.
    Verdict* held = nullptr;
    int first_stored_a = -1;  // combined reader: the form A line a repeat empties
    int last_b = -1;          // the form B entry that holds the slot, once one does
    for (const std::size_t i : order) {
        const HeaderEntry& e = *source[i];
        const int index = static_cast<int>(i);
        Verdict v{reader, Outcome::FINAL, -1, -1};
        const EntryFate fate = FateIn(reader, e);
        const bool changes = fate == EntryFate::STORED || fate == EntryFate::EMPTIED;
        if (changes && held != nullptr) {
            if (held->outcome == Outcome::EMPTIES) {
                if (held->later < 0) held->later = index;
            } else {
                held->other = index;
                held->outcome = fate == EntryFate::EMPTIED ? Outcome::EMPTIED_BY_REPEAT
                                 : reader == HeaderForm::BOTH && e.form == EntryForm::B &&
                                         source[static_cast<std::size_t>(holder)]->form == EntryForm::A
                                     ? Outcome::REPLACED_BY_FORM_B
                                     : Outcome::OVERWRITTEN;
            }
        }
        switch (fate) {
        case EntryFate::STORED:
            holder = index;
            if (e.form == EntryForm::A && first_stored_a < 0) first_stored_a = index;
            if (e.form == EntryForm::B) last_b = index;
            break;
        case EntryFate::EMPTIED:
            v.outcome = Outcome::EMPTIES;
            v.other = first_stored_a;
            holder = index;
            break;
        case EntryFate::LEFT_TO_FORM_B:
            v.outcome = Outcome::IGNORED_FOR_FORM_B;
            v.other = last_b;
            break;
        case EntryFate::NO_VALUE: v.outcome = Outcome::NO_VALUE; break;
        case EntryFate::UNKNOWN_NAME: continue;  // not a field: never in a field's story
        }
        std::vector<Verdict>& verdicts = field.entries[i].verdicts;
        verdicts.push_back(v);
        if (changes) held = &verdicts.back();
    }

    FinalValue& final = field.finals[reader == HeaderForm::A ? 0 : reader == HeaderForm::B ? 1 : 2];
    if (holder < 0) return;
    const HeaderEntry& e = *source[static_cast<std::size_t>(holder)];
    if (FateIn(reader, e) == EntryFate::EMPTIED) {
        final = {STATUS_FORM_A, {}};
    } else {
        final = {e.form == EntryForm::A ? STATUS_FORM_A : STATUS_FORM_B, e.stored};
    }
}

}  // namespace

ShownEntries Shown(const FieldStory& field) noexcept {
    const std::size_t n = field.entries.size();
    if (n <= kShownEntries) return {n, n};
    return {kShownEntries / 2, n - kShownEntries / 2};
}

Story TellStory(std::span<const std::uint8_t> bytes) { return TellStory(bytes, MapEntries(bytes)); }

Story TellStory(std::span<const std::uint8_t> bytes, const EntryMap& map) {
    std::array<std::vector<const HeaderEntry*>, kFieldCount> by_row;
    for (const HeaderEntry& e : map.entries) {
        if (e.row >= 0 && e.row < kFieldCount) by_row[static_cast<std::size_t>(e.row)].push_back(&e);
    }

    Story story;
    for (int row = 0; row < kFieldCount; ++row) {
        const std::vector<const HeaderEntry*>& source = by_row[static_cast<std::size_t>(row)];
        if (source.empty()) continue;
        FieldStory field;
        field.row = row;
        for (const HeaderEntry* e : source) {
            StoryEntry s;
            s.form = e->form;
            s.at.offset = e->entry.begin;
            s.value.offset = e->value.begin;
            s.name = e->name;
            s.stored = e->stored;
            s.trimmed = e->trimmed;
            s.control_dropped = e->control_dropped;
            s.dropped_at_limit = e->dropped_at_limit;
            field.entries.push_back(std::move(s));
        }
        for (const HeaderForm reader : kReaders) Judge(reader, source, field);
        story.fields.push_back(std::move(field));
    }

    // Lines and columns for every position at once, in one pass.
    std::vector<TextPosition*> wanted;
    for (FieldStory& field : story.fields) {
        for (StoryEntry& s : field.entries) {
            wanted.push_back(&s.at);
            wanted.push_back(&s.value);
        }
    }
    if (map.has_end_mark) {
        story.end_mark = TextPosition{map.text_size, 1, 1};
        wanted.push_back(&*story.end_mark);
    }
    if (map.unclosed_quote) {
        story.unclosed_quote = TextPosition{*map.unclosed_quote, 1, 1};
        wanted.push_back(&*story.unclosed_quote);
    }
    std::vector<std::uint64_t> offsets(wanted.size());
    std::transform(wanted.begin(), wanted.end(), offsets.begin(), [](const TextPosition* p) { return p->offset; });
    const std::vector<TextPosition> found = Locate(bytes, offsets);
    for (std::size_t i = 0; i < wanted.size(); ++i) *wanted[i] = found[i];
    return story;
}

}  // namespace zolehead::explain
