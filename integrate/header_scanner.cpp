#include "header_scanner.hpp"

#include <cstring>

#include "byte_search.hpp"

namespace zolehead {

namespace {

constexpr std::uint8_t kLineEnds[] = {byte_search::kCR, byte_search::kLF};
constexpr std::uint8_t kQuotes[] = {'"', '\''};
constexpr std::uint8_t kStarAndQuotes[] = {'*', '"', '\''};

// Runs of bytes stepped without asking are cut at about the longest value,
// so a value that fills up soon returns to skipping; a name's run is shorter
// still, in case Japanese text follows it.
constexpr std::ptrdiff_t kRunBytes = 128;
constexpr std::ptrdiff_t kNameRunBytes = 32;

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
// stretch is searched twice. Each search answers for any later starting
// point up to what it found.
struct HeaderScanner::Lookahead {
    // Form A: byte after byte before here (a colon on the current line).
    const std::uint8_t* label_plain_until;
    // Form A: the first colon candidate (FindColonPair; nullptr before the
    // first search) and the last line end before it (nullptr if none).
    const std::uint8_t* colon;
    const std::uint8_t* line_end_before_colon;
    // Form B: the first quote (end if none; nullptr before the first
    // search) and the last asterisk before it (nullptr if none).
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

// Where a run of bytes that the machine takes one after the other ends,
// before `limit`: p when it does not take the byte at p. Inside a run the
// bytes change nothing about what the machine waits for, so they are
// stepped without asking again.
inline const std::uint8_t* HeaderScanner::label_run(const std::uint8_t* p, const std::uint8_t* limit,
                                                    const Lookahead& ahead) const noexcept {
    if (p >= limit) return p;
    if (limit - p > kRunBytes) limit = p + kRunBytes;
    switch (label_.state()) {
    case LineState::LINE_START:
        // A label with a colon ahead, a byte at a time: the first label
        // character alone rules out most lines.
        return p < ahead.label_plain_until && (label_.label_length() != 2 || label_.label_may_match()) ? p + 1 : p;
    case LineState::VALUE_START: return label_.label_known() ? p + 1 : p;
    case LineState::VALUE:  // a value takes everything up to its line end
        return label_.waits_for_line_end() ? p : byte_search::FindAnyOf<2>(p, limit, kLineEnds);
    case LineState::SKIP: return p;
    }
    return p;
}

inline const std::uint8_t* HeaderScanner::keyword_run(const std::uint8_t* p, const std::uint8_t* limit) const noexcept {
    std::uint8_t awaited[3];
    if (p >= limit || keyword_.awaited_bytes(awaited) != 0) return p;
    if (limit - p > kRunBytes) limit = p + kRunBytes;
    switch (keyword_.state()) {
    case KeywordState::QUOTED: {  // a value takes everything up to its quote
        const void* quote = std::memchr(p, keyword_.quote(), static_cast<std::size_t>(limit - p));
        return quote ? static_cast<const std::uint8_t*>(quote) : limit;
    }
    case KeywordState::NAME:
        // A name being spelled in ASCII, up to an asterisk or a quote: a
        // short run, as stepping Japanese text would cost more than the
        // search for name characters.
        if (*p >= 0x80) return p;
        if (limit - p > kNameRunBytes) limit = p + kNameRunBytes;
        return byte_search::FindAnyOf<3>(p, limit, kStarAndQuotes);
    case KeywordState::IDLE:
    case KeywordState::AFTER_STAR: return p;
    }
    return p;
}

// The first byte in [p, end) that can matter to the form A machine, or end.
// Stepping the machine over the bytes before it instead would commit
// nothing and leave it in the state it will be in at that byte anyway.
const std::uint8_t* HeaderScanner::next_for_label(const std::uint8_t* p, const std::uint8_t* end,
                                                  Lookahead& ahead) noexcept {
    const LineState state = label_.state();
    if (state == LineState::VALUE) {
        // A full value only waits for the line end that commits it.
        return label_.waits_for_line_end() ? byte_search::FindAnyOf<2>(p, end, kLineEnds) : p;
    }
    // A line whose label is not in the table, or cannot become one, commits
    // nothing: it only waits for its end, like a disqualified line.
    const bool dead = state == LineState::VALUE_START ? !label_.label_known()
                      : state == LineState::LINE_START ? !label_.label_may_match()
                                                       : true;
    if (!dead && (state == LineState::VALUE_START || p < ahead.label_plain_until ||
                  (label_.previous() == 0x81 && *p == 0x46)))
        return p;

    // In the label part or a line that commits nothing: only a full-width
    // colon leads to a commit, and every line end resets the machine, so all
    // the lines before the first one with a colon pass unseen.
    if (ahead.colon == nullptr || p > ahead.colon) {
        ahead.colon = byte_search::FindColonPair(p, end);
        ahead.line_end_before_colon = byte_search::FindLastLineEnd(p, ahead.colon);
    }
    if (ahead.line_end_before_colon != nullptr && ahead.line_end_before_colon >= p) return ahead.line_end_before_colon;
    // The colon lies on the current line, or no line end follows in this
    // block: the label part so far decides.
    if (dead) return byte_search::FindAnyOf<2>(p, end, kLineEnds);
    ahead.label_plain_until = end - ahead.colon > 2 ? ahead.colon + 2 : end;
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
        ahead.quote = byte_search::FindAnyOf<2>(p, end, kQuotes);
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
// A machine is stepped only with the bytes it needs: the bytes before its
// next one leave it as it is, or move it among states that this next byte
// overrides (a line end resets form A, an asterisk restarts form B's name),
// with nothing committed meanwhile. Leaving their steps out changes nothing.
template <HeaderForm F>
void HeaderScanner::scan_fast(const std::uint8_t* p, const std::uint8_t* const end) noexcept {
    if (p == end) return;
    Lookahead ahead{p, nullptr, nullptr, nullptr, nullptr};
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
        const bool label_steps = F != HeaderForm::B && label_next == next;
        const bool keyword_steps = F != HeaderForm::A && keyword_next == next;
        if (label_steps) label_.step(b, dbcs, header_);
        if (keyword_steps) {
            keyword_.step(b, dbcs, header_);
            keyword_next = p == end ? end : next_for_keyword(p, end, ahead);
        }
        // A machine taking byte after byte (a label with a colon ahead, a
        // value, a name) does so in a tight loop while the other has no use
        // for those bytes.
        if (label_steps) {
            for (const std::uint8_t* run; (run = label_run(p, keyword_next, ahead)) != p;) {
                for (; p != run; ++p) label_.step(*p, tracker_.step(*p), header_);
            }
            label_next = p == end ? end : next_for_label(p, end, ahead);
        }
        if (keyword_steps && keyword_next == p) {
            for (const std::uint8_t* run; (run = keyword_run(p, label_next)) != p;) {
                for (; p != run; ++p) keyword_.step(*p, tracker_.step(*p), header_);
            }
            keyword_next = p == end ? end : next_for_keyword(p, end, ahead);
        }
    }
}

std::span<const std::uint8_t> HeaderScanner::take_text(std::span<const std::uint8_t> bytes) noexcept {
    if (ended_ || bytes.empty()) return {};
    if (const void* eot = std::memchr(bytes.data(), kEndOfText, bytes.size())) {
        bytes = bytes.first(static_cast<std::size_t>(static_cast<const std::uint8_t*>(eot) - bytes.data()));
        ended_ = true;
    }
    offset_ += bytes.size();
    return bytes;
}

// Cuts the block at the end-of-text byte, then runs the chosen loop over
// what comes before it.
template <bool Fast>
bool HeaderScanner::feed_text(std::span<const std::uint8_t> bytes) noexcept {
    const std::span<const std::uint8_t> text = take_text(bytes);
    if (text.empty()) return !ended_;
    const std::uint8_t* begin = text.data();
    const std::uint8_t* end = begin + text.size();
    switch (form_) {
    case HeaderForm::A: Fast ? scan_fast<HeaderForm::A>(begin, end) : scan<HeaderForm::A>(begin, end); break;
    case HeaderForm::B: Fast ? scan_fast<HeaderForm::B>(begin, end) : scan<HeaderForm::B>(begin, end); break;
    case HeaderForm::BOTH:
        Fast ? scan_fast<HeaderForm::BOTH>(begin, end) : scan<HeaderForm::BOTH>(begin, end);
        break;
    }
    return !ended_;
}

bool HeaderScanner::feed_reference(std::span<const std::uint8_t> bytes) noexcept { return feed_text<false>(bytes); }

bool HeaderScanner::feed(std::span<const std::uint8_t> bytes) noexcept { return feed_text<true>(bytes); }

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
