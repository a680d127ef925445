// What every search kernel of the fast loop provides, and the scalar pieces
// they share.
//
// A kernel is a set of functions with the same names in its own namespace
// (byte_search_portable.inl, byte_search_sse2.inl, byte_search_avx2.inl),
// compiled in its own translation unit for its instruction set and chosen at
// run time (search_kernel.hpp). Every kernel gives the same answers; each
// reads only inside the range it is given.
//
// Input ends at the end-of-text byte 0x1A, so every forward search also
// stops at the first one: the fast loop finds it on its way instead of in a
// pass of its own.
//
//   FindByte(p, end, b)                 first byte equal to b, or end
//   FindAnyOf(p, end, a, b, c)          first byte equal to a, b or c, or end
//   FindLineEnd(p, end)                 first CR or LF, or end
//   FindColonPairOr(p, end, set, n)     first 0x81 followed by 0x46 (both before end) or byte
//                                       equal to one of the n (0 to 3) bytes of set, or end
//   FindLastLineEnd(begin, end)         last CR or LF, or nullptr (backwards: no 0x1A stop)
//   FindLastStarBeforeQuote(p, end)     StarBeforeQuote below (0x1A counts as a quote)
//   FindNameCandidate(p, end, syntax)   first '-', 0-9, A-Z, '_', a-z (and with syntax '*', '"', '\''), or end
//   LineStopBits(p, star)               one bit per byte of the 64 from p on (p + 64 <= end):
//                                       CR, LF, 0x1A, and with star '*'
//   ScanValueRun(p, limit, end, stop, lead_before)
//                                       ValueRun below; limit <= p + 64 and
//                                       limit <= end; may read up to end
#pragma once

#include <cstddef>
#include <cstdint>

#include "dbcs_tracker.hpp"

namespace zolehead::byte_search {

inline constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D, kEndOfText = 0x1A;

// FindLastStarBeforeQuote: the first quote (' or ", or 0x1A) in [p, end),
// or end if there is none, and the last asterisk before it, or nullptr.
struct StarBeforeQuote {
    const std::uint8_t* quote;
    const std::uint8_t* last_star;
};

// ScanValueRun: how many bytes from p on, before limit, are value bytes
// (none below 0x20, none equal to `stop`), and which of them the tracker
// reads as lead bytes, given whether the byte before p was one: bit i of
// `leads` for byte p[i], no bits at or above `length`.
struct ValueRun {
    int length;
    std::uint64_t leads;
};

// One kernel's searches as function pointers, so that a test can call each
// kernel's own (ScanLoops::searches).
struct SearchFunctions {
    const std::uint8_t* (*find_byte)(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t b) noexcept;
    const std::uint8_t* (*find_any_of)(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t a, std::uint8_t b,
                                       std::uint8_t c) noexcept;
    const std::uint8_t* (*find_line_end)(const std::uint8_t* p, const std::uint8_t* end) noexcept;
    const std::uint8_t* (*find_colon_pair_or)(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set,
                                              int count) noexcept;
    const std::uint8_t* (*find_last_line_end)(const std::uint8_t* begin, const std::uint8_t* end) noexcept;
    StarBeforeQuote (*find_last_star_before_quote)(const std::uint8_t* p, const std::uint8_t* end) noexcept;
    const std::uint8_t* (*find_name_candidate)(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept;
    std::uint64_t (*line_stop_bits)(const std::uint8_t* p, bool star) noexcept;
    ValueRun (*scan_value_run)(const std::uint8_t* p, const std::uint8_t* limit, const std::uint8_t* end,
                               std::uint8_t stop, bool lead_before) noexcept;
};

// Which bytes of a stretch of up to 64 are lead bytes, from the mask of
// those that could be (IsLeadByte) and whether the byte before the stretch
// was a lead byte. A byte is a lead byte when it could be one and the byte
// before it is not: in a run of bytes that could all be lead bytes, those at
// an even distance from the run's first one. A lead byte just before the
// stretch takes the first byte as its trail, so the first run starts a byte
// later.
constexpr std::uint64_t LeadBits(std::uint64_t capable, bool lead_before) noexcept {
    constexpr std::uint64_t kEven = 0x5555555555555555ULL;
    const std::uint64_t runs = capable & ~std::uint64_t{lead_before};
    const std::uint64_t starts = runs & ~(runs << 1);
    // Adding a run's first bit carries through the run and clears it: what
    // is left are the runs that start at an odd position.
    const std::uint64_t odd_runs = (runs + (starts & kEven)) & runs;
    const std::uint64_t even_runs = runs ^ odd_runs;
    return (even_runs & kEven) | (odd_runs & ~kEven);
}

// Whether byte x-1 is a lead byte, given whether byte lo-1 is (x >= lo).
// Only a run of bytes that could all be lead bytes leaves this open; the
// byte before such a run is not a lead byte, and inside it lead and trail
// alternate. So the walk back stops at the run's start.
inline bool EndsOnLead(const std::uint8_t* lo, const std::uint8_t* x, bool lead_before_lo) noexcept {
    const std::uint8_t* run = x;
    while (run != lo && IsLeadByte(run[-1])) --run;
    const bool lead_before_run = run == lo && lead_before_lo;
    return ((x - run) & 1) != static_cast<int>(lead_before_run);
}

// Byte-at-a-time answers, for the tails of the wider kernels and for the
// portable one.
namespace scalar {

inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t a, std::uint8_t b,
                                     std::uint8_t c) noexcept {
    for (; p != end; ++p) {
        if (*p == a || *p == b || *p == c || *p == kEndOfText) return p;
    }
    return end;
}

inline bool InSet(std::uint8_t b, const std::uint8_t* set, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        if (b == set[i]) return true;
    }
    return false;
}

inline const std::uint8_t* FindColonPairOr(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set,
                                           int count) noexcept {
    for (; p != end; ++p) {
        if (*p == kEndOfText || InSet(*p, set, count) || (*p == 0x81 && p + 1 != end && p[1] == 0x46)) return p;
    }
    return end;
}

inline const std::uint8_t* FindLastLineEnd(const std::uint8_t* begin, const std::uint8_t* p) noexcept {
    while (p != begin) {
        --p;
        if (*p == kCR || *p == kLF) return p;
    }
    return nullptr;
}

inline StarBeforeQuote FindLastStarBeforeQuote(const std::uint8_t* p, const std::uint8_t* end,
                                               const std::uint8_t* last_star) noexcept {
    for (; p != end; ++p) {
        if (*p == '"' || *p == '\'' || *p == kEndOfText) return {p, last_star};
        if (*p == '*') last_star = p;
    }
    return {end, last_star};
}

constexpr bool IsNameCandidate(std::uint8_t b, bool syntax) noexcept {
    const std::uint8_t folded = b | 0x20;
    return (folded >= 'a' && folded <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '_' || b == kEndOfText ||
           (syntax && (b == '*' || b == '"' || b == '\''));
}

inline const std::uint8_t* FindNameCandidate(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept {
    for (; p != end; ++p) {
        if (IsNameCandidate(*p, syntax)) return p;
    }
    return end;
}

inline std::uint64_t LineStopBits(const std::uint8_t* p, bool star) noexcept {
    std::uint64_t bits = 0;
    for (int i = 0; i < 64; ++i) {
        const std::uint8_t b = p[i];
        bits |= std::uint64_t{b == kCR || b == kLF || b == kEndOfText || (star && b == '*')} << i;
    }
    return bits;
}

inline ValueRun ScanValueRun(const std::uint8_t* p, const std::uint8_t* limit, std::uint8_t stop,
                             bool lead_before) noexcept {
    ValueRun run{0, 0};
    for (const std::uint8_t* q = p; q != limit; ++q) {
        if (*q < 0x20 || *q == stop) break;
        lead_before = !lead_before && IsLeadByte(*q);
        run.leads |= std::uint64_t{lead_before} << run.length;
        ++run.length;
    }
    return run;
}

}  // namespace scalar

}  // namespace zolehead::byte_search
