// Thirty-two bytes at a time with AVX2, for byte_search_simd.inl.
//
// Included inside the AVX2 kernel's namespace by fast_loop_avx2.cpp, under
// its target region and after <immintrin.h>; includes nothing itself.

struct Simd {
    using Reg = __m256i;
    static constexpr int kWidth = 32;

    static Reg Load(const std::uint8_t* p) noexcept {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    static Reg Splat(std::uint8_t b) noexcept { return _mm256_set1_epi8(static_cast<char>(b)); }
    static Reg Equal(Reg a, Reg b) noexcept { return _mm256_cmpeq_epi8(a, b); }
    static Reg Or(Reg a, Reg b) noexcept { return _mm256_or_si256(a, b); }
    static Reg And(Reg a, Reg b) noexcept { return _mm256_and_si256(a, b); }
    // Lanes holding lo..hi (unsigned): shifted so the range starts at -128,
    // then one signed comparison.
    static Reg InRange(Reg v, std::uint8_t lo, std::uint8_t hi) noexcept {
        const Reg shifted = _mm256_add_epi8(v, Splat(static_cast<std::uint8_t>(0x80 - lo)));
        return _mm256_cmpgt_epi8(Splat(static_cast<std::uint8_t>(0x80 + (hi - lo) + 1)), shifted);
    }
    // One bit per lane, lowest address in bit 0.
    static std::uint32_t Bits(Reg m) noexcept { return static_cast<std::uint32_t>(_mm256_movemask_epi8(m)); }
};
