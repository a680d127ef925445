#include "entry_map.hpp"

#include <array>
#include <utility>

namespace zolehead {

namespace {

constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D;

EntryFate FateOf(LabelOutcome outcome) noexcept {
    switch (outcome) {
    case LabelOutcome::UNKNOWN_LABEL: return EntryFate::UNKNOWN_NAME;
    case LabelOutcome::STORED: return EntryFate::STORED;
    case LabelOutcome::EMPTIED: return EntryFate::EMPTIED;
    case LabelOutcome::LEFT_TO_FORM_B: return EntryFate::LEFT_TO_FORM_B;
    case LabelOutcome::NO_VALUE: return EntryFate::NO_VALUE;
    }
    return EntryFate::UNKNOWN_NAME;
}

// Turns the machines' reports into entries with their byte ranges. Knows
// where lines begin only to give a form A entry its first byte.
class EntryRecorder {
public:
    static constexpr bool kObserves = true;

    explicit EntryRecorder(std::vector<HeaderEntry>& out) : out_(out) {}

    // Entries recorded; elements of `out` past them are left over from an
    // earlier input.
    std::size_t count() const noexcept { return count_; }

    void at(std::uint64_t offset, std::uint8_t b, DbcsState) noexcept {
        if (after_line_end_) line_start_ = offset;
        after_line_end_ = b == kLF || b == kCR;
        at_ = offset;
    }

    void label_colon() noexcept {
        colon_ = at_ - 1;
        label_value_ = at_ + 1;  // where an empty value would stand
        label_control_ = label_full_ = 0;
    }
    void label_value_start(int back) noexcept { label_value_ = at_ - static_cast<std::uint64_t>(back); }
    void label_control_dropped() noexcept { ++label_control_; }
    void label_value_full() noexcept { ++label_full_; }
    void label_line_end(const LabelLineEnd& end) {
        HeaderEntry& e = next();
        e.form = EntryForm::A;
        e.row = end.row;
        e.entry = {line_start_, at_};
        e.value = end.outcome == LabelOutcome::NO_VALUE ? ByteRange{at_, at_} : ByteRange{label_value_, at_};
        e.separator = {colon_, colon_ + 2};
        e.name.assign(end.label);
        e.stored.assign(end.value);
        e.trimmed = end.trimmed;
        e.control_dropped = label_control_;
        e.dropped_at_limit = label_full_;
        e.single_form = e.combined = FateOf(end.outcome);
    }

    void keyword_star() noexcept { star_ = at_; }
    void keyword_quote_open() noexcept {
        quote_ = at_;
        quoted_ = true;
        keyword_control_ = keyword_full_ = 0;
    }
    void keyword_control_dropped() noexcept { ++keyword_control_; }
    void keyword_value_full() noexcept { ++keyword_full_; }
    void keyword_end(const KeywordEnd& end) {
        quoted_ = false;
        HeaderEntry& e = next();
        e.form = EntryForm::B;
        e.row = end.row;
        e.entry = {star_, at_ + 1};
        e.value = {quote_ + 1, at_};
        e.separator = {quote_, quote_ + 1};
        e.name.assign(end.name);
        e.stored.assign(end.value);
        e.control_dropped = keyword_control_;
        e.dropped_at_limit = keyword_full_;
        e.single_form = e.combined = end.row >= 0 ? EntryFate::STORED : EntryFate::UNKNOWN_NAME;
    }

    std::optional<std::uint64_t> unclosed_quote() const noexcept {
        return quoted_ ? std::optional<std::uint64_t>(quote_) : std::nullopt;
    }

private:
    // The next entry to fill: a left-over element, whose strings keep their
    // storage, or a new one. Every member is set by the caller.
    HeaderEntry& next() {
        if (count_ == out_.size()) out_.emplace_back();
        HeaderEntry& e = out_[count_++];
        e.trimmed = 0;
        e.final_in_single_form = e.final_in_combined = false;
        return e;
    }

    std::vector<HeaderEntry>& out_;
    std::size_t count_ = 0;
    std::uint64_t at_ = 0;
    std::uint64_t line_start_ = 0;
    bool after_line_end_ = false;
    std::uint64_t colon_ = 0, label_value_ = 0;
    int label_control_ = 0, label_full_ = 0;
    std::uint64_t star_ = 0, quote_ = 0;
    bool quoted_ = false;
    int keyword_control_ = 0, keyword_full_ = 0;
};

// The form A reader's fate of each form A line, in the order the lines end,
// written over the combined pass's entries (still in that order).
class SingleFormFates {
public:
    static constexpr bool kObserves = true;
    explicit SingleFormFates(std::vector<HeaderEntry>& entries, std::size_t count) : entries_(entries), count_(count) {}
    void at(std::uint64_t, std::uint8_t, DbcsState) noexcept {}
    void label_colon() noexcept {}
    void label_value_start(int) noexcept {}
    void label_control_dropped() noexcept {}
    void label_value_full() noexcept {}
    void label_line_end(const LabelLineEnd& end) noexcept {
        while (next_ < count_ && entries_[next_].form != EntryForm::A) ++next_;
        if (next_ < count_) entries_[next_++].single_form = FateOf(end.outcome);
    }
    void keyword_star() noexcept {}
    void keyword_quote_open() noexcept {}
    void keyword_control_dropped() noexcept {}
    void keyword_value_full() noexcept {}
    void keyword_end(const KeywordEnd&) noexcept {}

private:
    std::vector<HeaderEntry>& entries_;
    std::size_t count_;
    std::size_t next_ = 0;
};

// Entries end in input order but for a form B entry inside a form A line,
// which ends first and begins later: an insertion sort moves each such line
// past the few entries inside it, stably and without allocating.
void SortByBegin(std::vector<HeaderEntry>& entries, std::size_t count) {
    for (std::size_t i = 1; i < count; ++i) {
        std::size_t j = i;
        while (j > 0 && entries[j - 1].entry.begin > entries[j].entry.begin) {
            std::swap(entries[j - 1], entries[j]);
            --j;
        }
    }
}

// Marks, per field, the entry whose value each reader ends with.
void MarkFinals(std::vector<HeaderEntry>& entries) {
    std::array<HeaderEntry*, kFieldCount> last_a{}, last_b{}, first_a{};
    std::array<bool, kFieldCount> emptied{};
    for (HeaderEntry& e : entries) {
        if (e.row < 0) continue;
        const auto row = static_cast<std::size_t>(e.row);
        if (e.form == EntryForm::B) {
            if (e.single_form == EntryFate::STORED) last_b[row] = &e;
            continue;
        }
        if (e.single_form == EntryFate::STORED) last_a[row] = &e;
        if (e.combined == EntryFate::STORED && first_a[row] == nullptr) first_a[row] = &e;
        if (e.combined == EntryFate::EMPTIED) emptied[row] = true;
    }
    for (std::size_t row = 0; row < kFieldCount; ++row) {
        if (last_a[row]) last_a[row]->final_in_single_form = true;
        if (last_b[row]) {
            last_b[row]->final_in_single_form = true;
            last_b[row]->final_in_combined = true;
        } else if (first_a[row] && !emptied[row]) {
            first_a[row]->final_in_combined = true;
        }
    }
}

}  // namespace

EntryMap MapEntries(std::span<const std::uint8_t> bytes) {
    EntryMap map;
    MapEntries(bytes, map);
    return map;
}

void MapEntries(std::span<const std::uint8_t> bytes, EntryMap& map) {
    // The combined pass gives every entry of both forms, with the combined
    // reader's fates; the form A pass gives the form A reader's. The machines
    // never look at each other, so each pass meets the same lines in the
    // same order.
    HeaderScanner both(HeaderForm::BOTH);
    EntryRecorder recorder(map.entries);
    both.feed_observed(bytes, recorder);
    const std::size_t count = recorder.count();

    HeaderScanner a(HeaderForm::A);
    SingleFormFates fates(map.entries, count);
    a.feed_observed(bytes, fates);

    SortByBegin(map.entries, count);
    // Left-over elements go; their storage with them, which only an input
    // with more entries than the one before asks for again.
    map.entries.erase(map.entries.begin() + static_cast<std::ptrdiff_t>(count), map.entries.end());
    MarkFinals(map.entries);
    map.form_a = a.header();
    map.form_b = ReadHeader(bytes, HeaderForm::B);
    map.combined = both.header();
    map.text_size = both.offset();
    map.has_end_mark = both.ended();
    map.unclosed_quote = recorder.unclosed_quote();
}

}  // namespace zolehead
