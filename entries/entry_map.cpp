#include "entry_map.hpp"

#include <algorithm>
#include <array>

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
        HeaderEntry e;
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
        out_.push_back(std::move(e));
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
        HeaderEntry e;
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
        out_.push_back(std::move(e));
    }

    std::optional<std::uint64_t> unclosed_quote() const noexcept {
        return quoted_ ? std::optional<std::uint64_t>(quote_) : std::nullopt;
    }

private:
    std::vector<HeaderEntry>& out_;
    std::uint64_t at_ = 0;
    std::uint64_t line_start_ = 0;
    bool after_line_end_ = false;
    std::uint64_t colon_ = 0, label_value_ = 0;
    int label_control_ = 0, label_full_ = 0;
    std::uint64_t star_ = 0, quote_ = 0;
    bool quoted_ = false;
    int keyword_control_ = 0, keyword_full_ = 0;
};

struct Scan {
    std::vector<HeaderEntry> entries;  // in the order they ended
    ZoleHeader header;
    std::uint64_t text_size = 0;
    bool ended = false;
    std::optional<std::uint64_t> unclosed_quote;
};

Scan ScanObserved(std::span<const std::uint8_t> bytes, HeaderForm form) {
    Scan scan;
    HeaderScanner scanner(form);
    EntryRecorder recorder(scan.entries);
    scanner.feed_observed(bytes, recorder);
    scan.header = scanner.header();
    scan.text_size = scanner.offset();
    scan.ended = scanner.ended();
    scan.unclosed_quote = recorder.unclosed_quote();
    return scan;
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
    // The combined pass gives every entry of both forms, with the combined
    // reader's fates; the single-form passes give theirs. The machines never
    // look at each other, so each pass meets the same entries in the same order.
    Scan both = ScanObserved(bytes, HeaderForm::BOTH);
    const Scan a = ScanObserved(bytes, HeaderForm::A);
    const Scan b = ScanObserved(bytes, HeaderForm::B);

    std::size_t next_a = 0;
    for (HeaderEntry& e : both.entries) {
        if (e.form == EntryForm::A && next_a < a.entries.size()) e.single_form = a.entries[next_a++].single_form;
    }

    EntryMap map;
    map.entries = std::move(both.entries);
    // Entries end in input order; a form B entry inside a form A line ends
    // first but begins later.
    std::stable_sort(map.entries.begin(), map.entries.end(),
                     [](const HeaderEntry& x, const HeaderEntry& y) { return x.entry.begin < y.entry.begin; });
    MarkFinals(map.entries);
    map.form_a = a.header;
    map.form_b = b.header;
    map.combined = both.header;
    map.text_size = both.text_size;
    map.has_end_mark = both.ended;
    map.unclosed_quote = both.unclosed_quote;
    return map;
}

}  // namespace zolehead
