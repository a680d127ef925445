// Searches over raw bytes for the scanner's fast paths: SSE2 where the
// target has it (every x86-64), a machine word at a time anywhere else (32-bit
// x86 without SSE2, ARM, ...). Each search reads only inside [begin, end) and
// answers `end` (or nullptr, searching backwards) when nothing is found.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// ZOLEHEAD_NO_SSE2 forces the word-at-a-time searches, to test them here.
#if !defined(ZOLEHEAD_NO_SSE2) && (defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#include <emmintrin.h>
#define ZOLEHEAD_SSE2 1
#endif

namespace zolehead::byte_search {

constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D;

namespace detail {

#if defined(ZOLEHEAD_SSE2)
constexpr std::ptrdiff_t kChunk = 16;
using Chunk = __m128i;
inline Chunk Load(const std::uint8_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline Chunk Equal(Chunk v, std::uint8_t b) noexcept { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); }
inline Chunk Or(Chunk a, Chunk b) noexcept { return _mm_or_si128(a, b); }
// One bit per byte, lowest address in bit 0: exact.
inline unsigned Bits(Chunk m) noexcept { return static_cast<unsigned>(_mm_movemask_epi8(m)); }
// Lanes holding lo..hi (unsigned): shifted so the range starts at -128, then
// one signed comparison.
inline Chunk InRange(Chunk v, std::uint8_t lo, std::uint8_t hi) noexcept {
    const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + (hi - lo) + 1)));
}
#else
// A word at a time. Equal marks the bytes equal to b with their high bit, and
// may also mark bytes above a true match (a borrow runs on), never others: a
// nonzero result means a match somewhere in the word, which a byte loop then
// finds. The byte order of the word does not matter.
constexpr std::ptrdiff_t kChunk = sizeof(std::size_t);
using Chunk = std::size_t;
constexpr Chunk kOnes = ~Chunk{0} / 0xFF;
constexpr Chunk kHighs = kOnes * 0x80;
inline Chunk Load(const std::uint8_t* p) noexcept {
    Chunk v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
inline Chunk Equal(Chunk v, std::uint8_t b) noexcept {
    const Chunk x = v ^ (kOnes * b);
    return (x - kOnes) & ~x & kHighs;
}
inline Chunk Or(Chunk a, Chunk b) noexcept { return a | b; }
#endif

// The first position in [p, end) whose byte `matches`. `chunk` marks the
// candidates of kChunk bytes at once (exactly with SSE2; with words, nonzero
// only if some byte there matches).
template <typename ChunkTest, typename ByteTest>
inline const std::uint8_t* FindFirst(const std::uint8_t* p, const std::uint8_t* end, ChunkTest chunk,
                                     ByteTest matches) noexcept {
    for (; end - p >= kChunk; p += kChunk) {
        const auto marks = chunk(Load(p));
#if defined(ZOLEHEAD_SSE2)
        if (const unsigned bits = Bits(marks)) return p + std::countr_zero(bits);
#else
        if (marks) break;
#endif
    }
    for (; p != end; ++p) {
        if (matches(*p)) return p;
    }
    return end;
}

// The last position in [begin, end) whose byte `matches`, or nullptr.
template <typename ChunkTest, typename ByteTest>
inline const std::uint8_t* FindLastOf(const std::uint8_t* begin, const std::uint8_t* end, ChunkTest chunk,
                                      ByteTest matches) noexcept {
    const std::uint8_t* p = end;
    for (; p - begin >= kChunk; p -= kChunk) {
        const auto marks = chunk(Load(p - kChunk));
#if defined(ZOLEHEAD_SSE2)
        if (const unsigned bits = Bits(marks)) return p - kChunk + (std::bit_width(bits) - 1);
#else
        if (marks) break;
#endif
    }
    while (p != begin) {
        if (matches(*--p)) return p;
    }
    return nullptr;
}

}  // namespace detail

// The first byte equal to one of the N bytes of `set`.
template <int N>
inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set) noexcept {
    auto hits = [set](detail::Chunk v) {
        detail::Chunk m = detail::Equal(v, set[0]);
        for (int i = 1; i < N; ++i) m = detail::Or(m, detail::Equal(v, set[i]));
        return m;
    };
    auto matches = [set](std::uint8_t b) {
        bool hit = false;
        for (int i = 0; i < N; ++i) hit |= b == set[i];
        return hit;
    };
#if defined(ZOLEHEAD_SSE2)
    // Two chunks per round: the common case is a long stretch without a hit.
    for (; end - p >= 32; p += 32) {
        const __m128i low = hits(detail::Load(p)), high = hits(detail::Load(p + 16));
        if (detail::Bits(_mm_or_si128(low, high)) != 0) {
            const unsigned low_bits = detail::Bits(low);
            return low_bits ? p + std::countr_zero(low_bits) : p + 16 + std::countr_zero(detail::Bits(high));
        }
    }
#endif
    return detail::FindFirst(p, end, hits, matches);
}

// The same for a set of 1 to 3 bytes known only at run time.
inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set,
                                     int count) noexcept {
    switch (count) {
    case 1: {
        const void* hit = std::memchr(p, set[0], static_cast<std::size_t>(end - p));
        return hit ? static_cast<const std::uint8_t*>(hit) : end;
    }
    case 2: return FindAnyOf<2>(p, end, set);
    default: return FindAnyOf<3>(p, end, set);
    }
}

// The first full-width colon candidate: a byte 0x81 followed by 0x46 (the
// tracker decides whether they make the colon). Returns the 0x81.
inline const std::uint8_t* FindColonPair(const std::uint8_t* p, const std::uint8_t* end) noexcept {
#if defined(ZOLEHEAD_SSE2)
    // Each lane pairs a byte with the next one, loaded one byte further on.
    auto pairs = [](const std::uint8_t* q) {
        return _mm_and_si128(detail::Equal(detail::Load(q), 0x81), detail::Equal(detail::Load(q + 1), 0x46));
    };
    for (; end - p >= 33; p += 32) {
        const __m128i low = pairs(p), high = pairs(p + 16);
        if (detail::Bits(_mm_or_si128(low, high)) != 0) {
            const unsigned low_bits = detail::Bits(low);
            return low_bits ? p + std::countr_zero(low_bits) : p + 16 + std::countr_zero(detail::Bits(high));
        }
    }
    for (; end - p >= 17; p += 16) {
        if (const unsigned bits = detail::Bits(pairs(p))) return p + std::countr_zero(bits);
    }
#else
    // Both marks may be loose, so a hit is only a hint: the bytes decide.
    for (; end - p > detail::kChunk; p += detail::kChunk) {
        if ((detail::Equal(detail::Load(p), 0x81) & detail::Equal(detail::Load(p + 1), 0x46)) == 0) continue;
        for (const std::uint8_t* q = p; q != p + detail::kChunk; ++q) {
            if (*q == 0x81 && q[1] == 0x46) return q;
        }
    }
#endif
    for (; p != end; ++p) {
        if (*p == 0x81 && p + 1 != end && p[1] == 0x46) return p;
    }
    return end;
}

// The last CR or LF in [begin, end), or nullptr.
inline const std::uint8_t* FindLastLineEnd(const std::uint8_t* begin, const std::uint8_t* end) noexcept {
    return detail::FindLastOf(
        begin, end, [](detail::Chunk v) { return detail::Or(detail::Equal(v, kCR), detail::Equal(v, kLF)); },
        [](std::uint8_t b) { return b == kCR || b == kLF; });
}

// The last byte equal to `b` in [begin, end), or nullptr.
inline const std::uint8_t* FindLast(const std::uint8_t* begin, const std::uint8_t* end, std::uint8_t b) noexcept {
    return detail::FindLastOf(
        begin, end, [b](detail::Chunk v) { return detail::Equal(v, b); }, [b](std::uint8_t c) { return c == b; });
}

// The first byte that could be a form B name character ('-', 0-9, A-Z, '_',
// a-z; the tracker decides whether it stands alone) and, with `syntax`, the
// first asterisk or quote as well.
inline const std::uint8_t* FindNameCandidate(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept {
    auto matches = [syntax](std::uint8_t b) {
        const std::uint8_t folded = b | 0x20;
        return (folded >= 'a' && folded <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '_' ||
               (syntax && (b == '*' || b == '"' || b == '\''));
    };
#if defined(ZOLEHEAD_SSE2)
    const __m128i case_bit = _mm_set1_epi8(0x20);
    auto chunk = [&](__m128i v) {
        __m128i m = _mm_or_si128(detail::InRange(_mm_or_si128(v, case_bit), 'a', 'z'), detail::InRange(v, '0', '9'));
        m = _mm_or_si128(m, _mm_or_si128(detail::Equal(v, '-'), detail::Equal(v, '_')));
        if (syntax) {
            m = _mm_or_si128(m, _mm_or_si128(detail::Equal(v, '*'),
                                             _mm_or_si128(detail::Equal(v, '"'), detail::Equal(v, '\''))));
        }
        return m;
    };
    return detail::FindFirst(p, end, chunk, matches);
#else
    // Name characters are too many for words to pay: a byte at a time.
    for (; p != end; ++p) {
        if (matches(*p)) return p;
    }
    return end;
#endif
}

}  // namespace zolehead::byte_search
