// Sixteen bytes at a time with SSE2, for byte_search_simd.inl.
//
// Included inside the SSE2 kernel's namespace by fast_loop_sse2.cpp, under
// its target region and after <emmintrin.h>; includes nothing itself.

struct Simd {
    using Reg = __m128i;
    static constexpr int kWidth = 16;

    static Reg Load(const std::uint8_t* p) noexcept { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
    static Reg Splat(std::uint8_t b) noexcept { return _mm_set1_epi8(static_cast<char>(b)); }
    static Reg Equal(Reg a, Reg b) noexcept { return _mm_cmpeq_epi8(a, b); }
    static Reg Or(Reg a, Reg b) noexcept { return _mm_or_si128(a, b); }
    static Reg And(Reg a, Reg b) noexcept { return _mm_and_si128(a, b); }
    // Lanes holding lo..hi (unsigned): shifted so the range starts at -128,
    // then one signed comparison.
    static Reg InRange(Reg v, std::uint8_t lo, std::uint8_t hi) noexcept {
        const Reg shifted = _mm_add_epi8(v, Splat(static_cast<std::uint8_t>(0x80 - lo)));
        return _mm_cmplt_epi8(shifted, Splat(static_cast<std::uint8_t>(0x80 + (hi - lo) + 1)));
    }
    // One bit per lane, lowest address in bit 0.
    static std::uint32_t Bits(Reg m) noexcept { return static_cast<std::uint32_t>(_mm_movemask_epi8(m)); }
};
