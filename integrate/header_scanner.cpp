#include "header_scanner.hpp"

#include <cstring>

#include "byte_search.hpp"

namespace zolehead {

namespace {

constexpr std::uint8_t kLineEnds[] = {byte_search::kCR, byte_search::kLF};
constexpr std::uint8_t kQuotes[] = {'"', '\''};

// Whether byte x-1 is a lead byte, given whether byte lo-1 is (x >= lo).
// Only a run of bytes that could all be lead bytes leaves this open; the
// byte before such a run is not a lead byte, and inside it lead and trail
// alternate. So the walk back stops at the run's start.
bool EndsOnLead(const std::uint8_t* lo, const std::uint8_t* x, bool lead_before_lo) noexcept {
    const std::uint8_t* run = x;
    while (run != lo && IsLeadByte(run[-1])) --run;
    const bool lead_before_run = run == lo && lead_before_lo;
    return ((x - run) & 1) != static_cast<int>(lead_before_run);
}

}  // namespace

// Where the fast loop has already looked ahead in the current block, so no
// stretch is searched twice.
struct HeaderScanner::Lookahead {
    // Form A: no line-end look-ahead before here (the last one met a colon
    // or the block's end).
    const std::uint8_t* label_plain_until;
    // Form B: the first quote at or after the point this was last worked out
    // (end if none; nullptr before the first time), and the last asterisk
    // between the two (nullptr if none).
    const std::uint8_t* quote;
    const std::uint8_t* last_star;
};

// One byte through the tracker, then through each machine of the form.
template <HeaderForm F>
inline void HeaderScanner::step(std::uint8_t b) noexcept {
    const DbcsState dbcs = tracker_.step(b);
    if constexpr (F != HeaderForm::B) label_.step(b, dbcs, header_);
    if constexpr (F != HeaderForm::A) keyword_.step(b, dbcs, header_);
}

// The reference: every byte, in order.
template <HeaderForm F>
void HeaderScanner::scan(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    for (; p != end; ++p) step<F>(*p);
}

// The first byte in [p, end) that can matter to the form A machine, or end.
// Stepping every byte before it through the machine would leave it
// committing nothing, and in the state it will be in at that byte anyway.
const std::uint8_t* HeaderScanner::next_for_label(const std::uint8_t* p, const std::uint8_t* end,
                                                  Lookahead& ahead) noexcept {
    if (label_.waits_for_line_end()) return byte_search::FindAnyOf(p, end, kLineEnds, 2);
    if (label_.state() == LineState::LINE_START && p >= ahead.label_plain_until) {
        if (*p == byte_search::kLF || *p == byte_search::kCR) return p;  // the LF of CR LF, an empty line
        // Only the full-width colon leads out of the label part towards a
        // commit; a line without one is reset at its end whatever it holds.
        const byte_search::LineEndScan line = byte_search::FindLineEnd(p, end, label_.previous() == 0x81);
        if (!line.colon && line.at != end) return line.at;
        ahead.label_plain_until = line.at == end ? end : line.at + 1;
    }
    return p;
}

// The first byte in [p, end) that can matter to the form B machine, or end;
// as next_for_label.
const std::uint8_t* HeaderScanner::next_for_keyword(const std::uint8_t* p, const std::uint8_t* end,
                                                    Lookahead& ahead) noexcept {
    std::uint8_t awaited[3];
    if (const int count = keyword_.awaited_bytes(awaited)) return byte_search::FindAnyOf(p, end, awaited, count);
    if (keyword_.state() == KeywordState::QUOTED) return p;  // a value being collected

    // After an asterisk, before the quote: any later asterisk starts the
    // name afresh, so up to the last asterisk before the next quote nothing
    // that comes first can matter.
    if (ahead.quote == nullptr || p > ahead.quote) {
        ahead.quote = byte_search::FindAnyOf(p, end, kQuotes, 2);
        ahead.last_star = byte_search::FindLast(p, ahead.quote, '*');
    }
    if (ahead.last_star != nullptr && ahead.last_star >= p) return ahead.last_star;
    return next_name_character(p, end);
}

// After an asterisk with no other asterisk before the next quote: only a
// single-byte name character can change the machine, or, once a name has
// begun, an asterisk or a quote. Letters may be trail bytes, so the tracker
// state before each one is worked out from the bytes in between.
const std::uint8_t* HeaderScanner::next_name_character(const std::uint8_t* p, const std::uint8_t* end) const noexcept {
    const bool in_name = keyword_.state() == KeywordState::NAME;
    bool lead_before = tracker_.state == DbcsState::DBCS_LEAD;  // the byte before p was stepped
    for (const std::uint8_t* from = p;;) {
        const std::uint8_t* c = byte_search::FindNameCandidate(from, end, in_name);
        if (c == end || *c < 0x40) return c;  // below 0x40: never a trail byte
        if (!EndsOnLead(from, c, lead_before)) return c;
        lead_before = false;  // c is a trail byte
        from = c + 1;
    }
}

// The fast loop: each machine names the next byte it needs, and only those
// bytes are stepped, in order, through the same step as the reference. Every
// byte reached by a jump is a single byte, so the tracker is set from the
// bytes jumped over (only when that byte could be a trail byte at all).
//
// A machine is stepped only with the bytes it needs: any byte before its next
// one leaves it as it is (or, after an asterisk or in a line without a colon,
// in a state that its next byte overrides), so leaving the step out is the
// same as taking it.
template <HeaderForm F>
void HeaderScanner::scan_fast(const std::uint8_t* p, const std::uint8_t* const end) noexcept {
    if (p == end) return;
    Lookahead ahead{p, nullptr, nullptr};
    const std::uint8_t* label_next = end;
    const std::uint8_t* keyword_next = end;
    if constexpr (F != HeaderForm::B) label_next = next_for_label(p, end, ahead);
    if constexpr (F != HeaderForm::A) keyword_next = next_for_keyword(p, end, ahead);
    for (;;) {
        const std::uint8_t* const next = label_next < keyword_next ? label_next : keyword_next;
        if (next == end || (next != p && *next >= 0x40)) {
            // Jumped over bytes: set the tracker as they would have left it,
            // also for the next block when the jump reaches the end.
            const bool lead = EndsOnLead(p, next, tracker_.state == DbcsState::DBCS_LEAD);
            tracker_.state = lead ? DbcsState::DBCS_LEAD : DbcsState::DBCS_SINGLE;
            if (next == end) return;
        }
        const std::uint8_t b = *next;
        const DbcsState dbcs = tracker_.step(b);
        p = next + 1;
        if constexpr (F != HeaderForm::B) {
            if (label_next == next) {
                label_.step(b, dbcs, header_);
                label_next = p == end ? end : next_for_label(p, end, ahead);
            }
        }
        if constexpr (F != HeaderForm::A) {
            if (keyword_next == next) {
                keyword_.step(b, dbcs, header_);
                keyword_next = p == end ? end : next_for_keyword(p, end, ahead);
            }
        }
    }
}

bool HeaderScanner::feed_reference(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return !ended_;
    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    if (const void* eot = std::memchr(begin, kEndOfText, bytes.size())) {
        end = static_cast<const std::uint8_t*>(eot);
        ended_ = true;
    }
    switch (form_) {
    case HeaderForm::A: scan<HeaderForm::A>(begin, end); break;
    case HeaderForm::B: scan<HeaderForm::B>(begin, end); break;
    case HeaderForm::BOTH: scan<HeaderForm::BOTH>(begin, end); break;
    }
    return !ended_;
}

bool HeaderScanner::feed(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return !ended_;
    const std::uint8_t* begin = bytes.data();
    const std::uint8_t* end = begin + bytes.size();
    if (const void* eot = std::memchr(begin, kEndOfText, bytes.size())) {
        end = static_cast<const std::uint8_t*>(eot);
        ended_ = true;
    }
    switch (form_) {
    case HeaderForm::A: scan_fast<HeaderForm::A>(begin, end); break;
    case HeaderForm::B: scan_fast<HeaderForm::B>(begin, end); break;
    case HeaderForm::BOTH: scan_fast<HeaderForm::BOTH>(begin, end); break;
    }
    return !ended_;
}

ZoleHeader ReadHeaderReference(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept {
    HeaderScanner scanner(form);
    scanner.feed_reference(bytes);
    return scanner.header();
}

ZoleHeader ReadHeader(std::span<const std::uint8_t> bytes, HeaderForm form) noexcept {
    HeaderScanner scanner(form);
    scanner.feed(bytes);
    return scanner.header();
}

}  // namespace zolehead
