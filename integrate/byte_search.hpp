// Searches over raw bytes for the scanner's fast paths: SSE2 where the
// target has it (every x86-64), a plain loop anywhere else. Each search
// reads only inside [begin, end) and answers `end` when nothing is found.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define ZOLEHEAD_SSE2 1
#endif

namespace zolehead::byte_search {

namespace detail {

#if defined(ZOLEHEAD_SSE2)
inline __m128i Load(const std::uint8_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline __m128i Equal(__m128i v, std::uint8_t b) noexcept { return _mm_cmpeq_epi8(v, _mm_set1_epi8(static_cast<char>(b))); }
inline unsigned Mask(__m128i m) noexcept { return static_cast<unsigned>(_mm_movemask_epi8(m)); }
// Lanes holding lo..hi (unsigned): shifted so the range starts at -128, then
// one signed comparison.
inline __m128i InRange(__m128i v, std::uint8_t lo, std::uint8_t hi) noexcept {
    const __m128i shifted = _mm_add_epi8(v, _mm_set1_epi8(static_cast<char>(0x80 - lo)));
    return _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(-128 + (hi - lo) + 1)));
}
#endif

// The first position in [p, end) whose byte `matches`; `block` gives the
// same answer for 16 bytes at once as a bit mask.
template <typename Block, typename Byte>
inline const std::uint8_t* FindFirst(const std::uint8_t* p, const std::uint8_t* end, Block block,
                                     Byte matches) noexcept {
#if defined(ZOLEHEAD_SSE2)
    for (; end - p >= 16; p += 16) {
        if (const unsigned mask = block(Load(p))) return p + std::countr_zero(mask);
    }
#else
    (void)block;
#endif
    for (; p != end; ++p) {
        if (matches(*p)) return p;
    }
    return end;
}

}  // namespace detail

constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D;

// The first byte equal to one of the N bytes of `set`.
template <int N>
inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set) noexcept {
    auto matches = [set](std::uint8_t b) {
        bool hit = false;
        for (int i = 0; i < N; ++i) hit |= b == set[i];
        return hit;
    };
#if defined(ZOLEHEAD_SSE2)
    __m128i needles[N];
    for (int i = 0; i < N; ++i) needles[i] = _mm_set1_epi8(static_cast<char>(set[i]));
    auto hits = [&](__m128i v) {
        __m128i m = _mm_cmpeq_epi8(v, needles[0]);
        for (int i = 1; i < N; ++i) m = _mm_or_si128(m, _mm_cmpeq_epi8(v, needles[i]));
        return m;
    };
    // Two blocks per round: the common case is a long stretch without a hit.
    for (; end - p >= 32; p += 32) {
        const __m128i low = hits(detail::Load(p)), high = hits(detail::Load(p + 16));
        if (const unsigned mask = detail::Mask(_mm_or_si128(low, high))) {
            const unsigned low_mask = detail::Mask(low);
            return low_mask ? p + std::countr_zero(low_mask) : p + 16 + std::countr_zero(detail::Mask(high));
        }
    }
    return detail::FindFirst(p, end, [&](__m128i v) { return detail::Mask(hits(v)); }, matches);
#else
    return detail::FindFirst(p, end, 0, matches);
#endif
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

// The end of the current line: the first CR or LF. With `stop_at_colon`,
// the search ends early at the second byte of a pair 81 46 (the full-width
// colon, if the tracker agrees); `after_81` says whether the byte before p
// was 0x81, so a pair cut by p counts too.
struct LineEndScan {
    const std::uint8_t* at;  // the CR or LF, the 0x46 of a colon pair, or end
    bool colon;              // `at` is the 0x46 of a colon pair
};

inline LineEndScan FindLineEnd(const std::uint8_t* p, const std::uint8_t* end, bool after_81) noexcept {
#if defined(ZOLEHEAD_SSE2)
    unsigned carry = after_81 ? 1u : 0u;
    for (; end - p >= 16; p += 16) {
        const __m128i v = detail::Load(p);
        const unsigned eol = detail::Mask(_mm_or_si128(detail::Equal(v, kCR), detail::Equal(v, kLF)));
        const unsigned lead = detail::Mask(detail::Equal(v, 0x81));
        const unsigned colon = ((lead << 1) | carry) & detail::Mask(detail::Equal(v, 0x46));
        if (eol | colon) {
            const unsigned first = std::countr_zero(eol | colon);
            return {p + first, ((colon >> first) & 1u) != 0};
        }
        carry = lead >> 15;
    }
    after_81 = carry != 0;
#endif
    for (; p != end; ++p) {
        const std::uint8_t b = *p;
        if (b == kCR || b == kLF) return {p, false};
        if (b == 0x46 && after_81) return {p, true};
        after_81 = b == 0x81;
    }
    return {end, false};
}

// The first full-width colon candidate: a byte 0x81 followed by 0x46 (the
// tracker decides whether they make the colon).
inline const std::uint8_t* FindColonPair(const std::uint8_t* p, const std::uint8_t* end) noexcept {
#if defined(ZOLEHEAD_SSE2)
    for (; end - p >= 17; p += 16) {
        const unsigned lead = detail::Mask(detail::Equal(detail::Load(p), 0x81));
        if (const unsigned pair = lead & detail::Mask(detail::Equal(detail::Load(p + 1), 0x46)))
            return p + std::countr_zero(pair);
    }
#endif
    for (; p != end; ++p) {
        if (*p == 0x81 && p + 1 != end && p[1] == 0x46) return p;
    }
    return end;
}

// The last CR or LF in [begin, end), or nullptr.
inline const std::uint8_t* FindLastLineEnd(const std::uint8_t* begin, const std::uint8_t* end) noexcept {
    const std::uint8_t* p = end;
#if defined(ZOLEHEAD_SSE2)
    for (; p - begin >= 16; p -= 16) {
        const __m128i v = detail::Load(p - 16);
        if (const unsigned mask = detail::Mask(_mm_or_si128(detail::Equal(v, kCR), detail::Equal(v, kLF))))
            return p - 16 + (std::bit_width(mask) - 1);
    }
#endif
    while (p != begin) {
        --p;
        if (*p == kCR || *p == kLF) return p;
    }
    return nullptr;
}

// The last byte equal to `b` in [begin, end), or nullptr.
inline const std::uint8_t* FindLast(const std::uint8_t* begin, const std::uint8_t* end, std::uint8_t b) noexcept {
    const std::uint8_t* p = end;
#if defined(ZOLEHEAD_SSE2)
    for (; p - begin >= 16; p -= 16) {
        if (const unsigned mask = detail::Mask(detail::Equal(detail::Load(p - 16), b)))
            return p - 16 + (std::bit_width(mask) - 1);
    }
#endif
    while (p != begin) {
        if (*--p == b) return p;
    }
    return nullptr;
}

// The first byte that could be a form B name character ('-', 0-9, A-Z, '_',
// a-z; the tracker decides whether it stands alone) and, with `syntax`, the
// first asterisk or quote as well.
inline const std::uint8_t* FindNameCandidate(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept {
#if defined(ZOLEHEAD_SSE2)
    const __m128i case_bit = _mm_set1_epi8(0x20);
    auto block = [&](__m128i v) {
        __m128i m = _mm_or_si128(detail::InRange(_mm_or_si128(v, case_bit), 'a', 'z'), detail::InRange(v, '0', '9'));
        m = _mm_or_si128(m, _mm_or_si128(detail::Equal(v, '-'), detail::Equal(v, '_')));
        if (syntax) {
            m = _mm_or_si128(m, _mm_or_si128(detail::Equal(v, '*'),
                                             _mm_or_si128(detail::Equal(v, '"'), detail::Equal(v, '\''))));
        }
        return detail::Mask(m);
    };
#else
    auto block = [](int) { return 0u; };
#endif
    return detail::FindFirst(p, end, block, [syntax](std::uint8_t b) {
        const std::uint8_t folded = b | 0x20;
        return (folded >= 'a' && folded <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '_' ||
               (syntax && (b == '*' || b == '"' || b == '\''));
    });
}

}  // namespace zolehead::byte_search
