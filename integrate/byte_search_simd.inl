// The searches over vector registers, for any register width: 64 bytes per
// round, one bit per byte, then a register at a time, then a byte at a time.
//
// Included inside a kernel's namespace (fast_loop_sse2.cpp,
// fast_loop_avx2.cpp) under its target region, after its Simd
// (simd_*.inl), <bit> and byte_search.hpp; includes nothing itself.

using byte_search::StarBeforeQuote;
using byte_search::ValueRun;

constexpr int kLanes = 64 / Simd::kWidth;

// The 64 bytes at p: one register each per lane.
struct Block {
    Simd::Reg lane[kLanes];

    explicit Block(const std::uint8_t* p) noexcept {
        for (int i = 0; i < kLanes; ++i) lane[i] = Simd::Load(p + i * Simd::kWidth);
    }
};

// One bit per byte of a block's marks, lowest address in bit 0.
inline std::uint64_t BlockBits(const Simd::Reg (&marks)[kLanes]) noexcept {
    std::uint64_t bits = 0;
    for (int i = 0; i < kLanes; ++i) bits |= std::uint64_t{Simd::Bits(marks[i])} << (i * Simd::kWidth);
    return bits;
}

// Whether any byte of a block is marked: one mask for the common case of
// none, the exact bits only for a hit.
inline bool AnyMarked(const Simd::Reg (&marks)[kLanes]) noexcept {
    Simd::Reg any = marks[0];
    for (int i = 1; i < kLanes; ++i) any = Simd::Or(any, marks[i]);
    return Simd::Bits(any) != 0;
}

template <int N>
inline Simd::Reg EqualAny(Simd::Reg v, const Simd::Reg (&set)[3]) noexcept {
    Simd::Reg m = Simd::Equal(v, set[0]);
    for (int i = 1; i < N; ++i) m = Simd::Or(m, Simd::Equal(v, set[i]));
    return m;
}

// Lanes holding the end-of-text byte, added to every forward search.
inline Simd::Reg OrEndOfText(Simd::Reg marks, Simd::Reg v) noexcept {
    return Simd::Or(marks, Simd::Equal(v, Simd::Splat(byte_search::kEndOfText)));
}

// The first byte equal to one of the N bytes of `bytes`.
template <int N>
inline const std::uint8_t* FindAnyOfN(const std::uint8_t* p, const std::uint8_t* end,
                                      const std::uint8_t (&bytes)[3]) noexcept {
    Simd::Reg set[3];
    for (int i = 0; i < 3; ++i) set[i] = Simd::Splat(bytes[i]);
    for (; end - p >= 64; p += 64) {
        const Block block(p);
        Simd::Reg marks[kLanes];
        for (int i = 0; i < kLanes; ++i) marks[i] = OrEndOfText(EqualAny<N>(block.lane[i], set), block.lane[i]);
        if (AnyMarked(marks)) return p + std::countr_zero(BlockBits(marks));
    }
    for (; end - p >= Simd::kWidth; p += Simd::kWidth) {
        const Simd::Reg v = Simd::Load(p);
        if (const std::uint32_t bits = Simd::Bits(OrEndOfText(EqualAny<N>(v, set), v))) {
            return p + std::countr_zero(bits);
        }
    }
    return byte_search::scalar::FindAnyOf(p, end, bytes[0], bytes[N > 1 ? 1 : 0], bytes[N > 2 ? 2 : 0]);
}

inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t a, std::uint8_t b,
                                     std::uint8_t c) noexcept {
    return FindAnyOfN<3>(p, end, {a, b, c});
}

inline const std::uint8_t* FindByte(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t b) noexcept {
    return FindAnyOfN<1>(p, end, {b, b, b});
}

inline const std::uint8_t* FindLineEnd(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    return FindAnyOfN<2>(p, end, {byte_search::kCR, byte_search::kLF, byte_search::kLF});
}

// Each lane pairs a byte with the next one, loaded one byte further on.
template <int N>
inline Simd::Reg ColonPairsOr(const std::uint8_t* q, Simd::Reg lead, Simd::Reg colon, const Simd::Reg (&set)[3]) noexcept {
    const Simd::Reg v = Simd::Load(q);
    Simd::Reg marks = OrEndOfText(Simd::And(Simd::Equal(v, lead), Simd::Equal(Simd::Load(q + 1), colon)), v);
    for (int i = 0; i < N; ++i) marks = Simd::Or(marks, Simd::Equal(v, set[i]));
    return marks;
}

template <int N>
inline const std::uint8_t* FindColonPairOrN(const std::uint8_t* p, const std::uint8_t* end,
                                            const std::uint8_t* bytes) noexcept {
    const Simd::Reg lead = Simd::Splat(0x81), colon = Simd::Splat(0x46);
    Simd::Reg set[3] = {lead, lead, lead};
    for (int i = 0; i < N; ++i) set[i] = Simd::Splat(bytes[i]);
    for (; end - p > 64; p += 64) {
        Simd::Reg marks[kLanes];
        for (int i = 0; i < kLanes; ++i) marks[i] = ColonPairsOr<N>(p + i * Simd::kWidth, lead, colon, set);
        if (AnyMarked(marks)) return p + std::countr_zero(BlockBits(marks));
    }
    for (; end - p > Simd::kWidth; p += Simd::kWidth) {
        if (const std::uint32_t bits = Simd::Bits(ColonPairsOr<N>(p, lead, colon, set))) {
            return p + std::countr_zero(bits);
        }
    }
    return byte_search::scalar::FindColonPairOr(p, end, bytes, N);
}

inline const std::uint8_t* FindColonPairOr(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set,
                                           int count) noexcept {
    switch (count) {
    case 0: return FindColonPairOrN<0>(p, end, set);
    case 1: return FindColonPairOrN<1>(p, end, set);
    case 2: return FindColonPairOrN<2>(p, end, set);
    default: return FindColonPairOrN<3>(p, end, set);
    }
}

inline const std::uint8_t* FindLastLineEnd(const std::uint8_t* begin, const std::uint8_t* end) noexcept {
    const Simd::Reg cr = Simd::Splat(byte_search::kCR), lf = Simd::Splat(byte_search::kLF);
    const std::uint8_t* p = end;
    for (; p - begin >= 64; p -= 64) {
        const Block block(p - 64);
        Simd::Reg marks[kLanes];
        for (int i = 0; i < kLanes; ++i) marks[i] = Simd::Or(Simd::Equal(block.lane[i], cr), Simd::Equal(block.lane[i], lf));
        if (AnyMarked(marks)) return p - 1 - std::countl_zero(BlockBits(marks));
    }
    for (; p - begin >= Simd::kWidth; p -= Simd::kWidth) {
        const Simd::Reg v = Simd::Load(p - Simd::kWidth);
        if (const std::uint32_t bits = Simd::Bits(Simd::Or(Simd::Equal(v, cr), Simd::Equal(v, lf)))) {
            return p - Simd::kWidth + (std::bit_width(bits) - 1);
        }
    }
    return byte_search::scalar::FindLastLineEnd(begin, p);
}

inline StarBeforeQuote FindLastStarBeforeQuote(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    const Simd::Reg star = Simd::Splat('*'), dquote = Simd::Splat('"'), squote = Simd::Splat('\'');
    const std::uint8_t* last_star = nullptr;
    for (; end - p >= 64; p += 64) {
        const Block block(p);
        Simd::Reg stars[kLanes], quotes[kLanes], either[kLanes];
        for (int i = 0; i < kLanes; ++i) {
            stars[i] = Simd::Equal(block.lane[i], star);
            quotes[i] = OrEndOfText(Simd::Or(Simd::Equal(block.lane[i], dquote), Simd::Equal(block.lane[i], squote)),
                                    block.lane[i]);
            either[i] = Simd::Or(stars[i], quotes[i]);
        }
        if (!AnyMarked(either)) continue;
        std::uint64_t star_bits = BlockBits(stars);
        const std::uint64_t quote_bits = BlockBits(quotes);
        if (quote_bits != 0) star_bits &= (quote_bits & (0 - quote_bits)) - 1;  // the stars before the first quote
        if (star_bits != 0) last_star = p + 63 - std::countl_zero(star_bits);
        if (quote_bits != 0) return {p + std::countr_zero(quote_bits), last_star};
    }
    return byte_search::scalar::FindLastStarBeforeQuote(p, end, last_star);
}

inline Simd::Reg NameCandidates(Simd::Reg v, bool syntax) noexcept {
    const Simd::Reg folded = Simd::Or(v, Simd::Splat(0x20));
    Simd::Reg m = Simd::Or(Simd::InRange(folded, 'a', 'z'), Simd::InRange(v, '0', '9'));
    m = Simd::Or(m, Simd::Or(Simd::Equal(v, Simd::Splat('-')), Simd::Equal(v, Simd::Splat('_'))));
    m = OrEndOfText(m, v);
    if (syntax) m = Simd::Or(m, EqualAny<3>(v, {Simd::Splat('*'), Simd::Splat('"'), Simd::Splat('\'')}));
    return m;
}

inline const std::uint8_t* FindNameCandidate(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept {
    for (; end - p >= Simd::kWidth; p += Simd::kWidth) {
        if (const std::uint32_t bits = Simd::Bits(NameCandidates(Simd::Load(p), syntax))) {
            return p + std::countr_zero(bits);
        }
    }
    return byte_search::scalar::FindNameCandidate(p, end, syntax);
}

inline std::uint64_t LineStopBits(const std::uint8_t* p, bool star) noexcept {
    const Block block(p);
    const Simd::Reg cr = Simd::Splat(byte_search::kCR), lf = Simd::Splat(byte_search::kLF), asterisk = Simd::Splat('*');
    Simd::Reg marks[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        const Simd::Reg v = block.lane[i];
        marks[i] = OrEndOfText(Simd::Or(Simd::Equal(v, cr), Simd::Equal(v, lf)), v);
        if (star) marks[i] = Simd::Or(marks[i], Simd::Equal(v, asterisk));
    }
    return BlockBits(marks);
}

inline ValueRun ScanValueRun(const std::uint8_t* p, const std::uint8_t* limit, const std::uint8_t* end,
                             std::uint8_t stop, bool lead_before) noexcept {
    if (end - p < 64) return byte_search::scalar::ScanValueRun(p, limit, stop, lead_before);
    const Block block(p);
    const Simd::Reg stop_byte = Simd::Splat(stop);
    Simd::Reg stops[kLanes], capable[kLanes];
    for (int i = 0; i < kLanes; ++i) {
        const Simd::Reg v = block.lane[i];
        stops[i] = Simd::Or(Simd::InRange(v, 0x00, 0x1F), Simd::Equal(v, stop_byte));
        capable[i] = Simd::Or(Simd::InRange(v, 0x7F, 0x9F), Simd::InRange(v, 0xE0, 0xFF));
    }
    const std::uint64_t stop_bits = BlockBits(stops);
    int length = stop_bits != 0 ? std::countr_zero(stop_bits) : 64;
    if (length > limit - p) length = static_cast<int>(limit - p);
    const std::uint64_t kept = length == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << length) - 1;
    return {length, byte_search::LeadBits(BlockBits(capable), lead_before) & kept};
}

// As MatchLabelRow, where 32 bytes from p on can be read: the line's start
// compared with the row's label and colon in one or two registers.
constexpr std::ptrdiff_t kLabelMatchReach = 32;
inline int MatchLabelRowAt(const std::uint8_t* p) noexcept {
    const int row = LabelMatchCandidate(p);
    std::uint32_t same = 0;
    for (int i = 0; i < 32 / Simd::kWidth; ++i) {
        same |= Simd::Bits(Simd::Equal(Simd::Load(p + i * Simd::kWidth), Simd::Load(kLabelMatch.bytes[row] + i * Simd::kWidth)))
                << (i * Simd::kWidth);
    }
    const std::uint32_t mask = kLabelMatch.byte_mask[row];
    return (same & mask) == mask && row != LabelMatchTable::kNoRow ? row : -1;
}
