// The portable kernel: a machine word at a time where a word can say "no
// match here", a byte at a time otherwise. Runs on any processor; the
// reference the wider kernels are tested against.
//
// Included inside the kernel's namespace by fast_loop_portable.cpp after
// <cstring>, <bit> and byte_search.hpp; includes nothing itself.

using byte_search::StarBeforeQuote;
using byte_search::ValueRun;

using Word = std::size_t;
constexpr std::ptrdiff_t kWordBytes = sizeof(Word);
constexpr Word kOnes = ~Word{0} / 0xFF;
constexpr Word kHighs = kOnes * 0x80;

inline Word LoadWord(const std::uint8_t* p) noexcept {
    Word v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Marks the bytes equal to b with their high bit, and may also mark bytes
// above a true match (a borrow runs on), never others: nonzero means a match
// somewhere in the word, which a byte loop then finds. The byte order of the
// word does not matter.
inline Word EqualMarks(Word v, std::uint8_t b) noexcept {
    const Word x = v ^ (kOnes * b);
    return (x - kOnes) & ~x & kHighs;
}

inline const std::uint8_t* FindAnyOf(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t a, std::uint8_t b,
                                     std::uint8_t c) noexcept {
    for (; end - p >= kWordBytes; p += kWordBytes) {
        const Word v = LoadWord(p);
        if ((EqualMarks(v, a) | EqualMarks(v, b) | EqualMarks(v, c) | EqualMarks(v, byte_search::kEndOfText)) != 0) break;
    }
    return byte_search::scalar::FindAnyOf(p, end, a, b, c);
}

inline const std::uint8_t* FindByte(const std::uint8_t* p, const std::uint8_t* end, std::uint8_t b) noexcept {
    return FindAnyOf(p, end, b, b, b);
}

inline const std::uint8_t* FindLineEnd(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    return FindAnyOf(p, end, byte_search::kCR, byte_search::kLF, byte_search::kLF);
}

// Both marks may be loose, so a hit is only a hint: the bytes decide.
inline const std::uint8_t* FindColonPairOr(const std::uint8_t* p, const std::uint8_t* end, const std::uint8_t* set,
                                           int count) noexcept {
    for (; end - p > kWordBytes; p += kWordBytes) {
        const Word v = LoadWord(p);
        Word marks = (EqualMarks(v, 0x81) & EqualMarks(LoadWord(p + 1), 0x46)) | EqualMarks(v, byte_search::kEndOfText);
        for (int i = 0; i < count; ++i) marks |= EqualMarks(v, set[i]);
        if (marks == 0) continue;
        const std::uint8_t* hit = byte_search::scalar::FindColonPairOr(p, p + kWordBytes, set, count);
        if (hit != p + kWordBytes) return hit;
        // A pair across the word's last byte: the next round starts there.
        if (p[kWordBytes - 1] == 0x81 && p[kWordBytes] == 0x46) return p + kWordBytes - 1;
    }
    return byte_search::scalar::FindColonPairOr(p, end, set, count);
}

inline const std::uint8_t* FindLastLineEnd(const std::uint8_t* begin, const std::uint8_t* end) noexcept {
    const std::uint8_t* p = end;
    for (; p - begin >= kWordBytes; p -= kWordBytes) {
        const Word v = LoadWord(p - kWordBytes);
        if ((EqualMarks(v, byte_search::kCR) | EqualMarks(v, byte_search::kLF)) != 0) break;
    }
    return byte_search::scalar::FindLastLineEnd(begin, p);
}

inline StarBeforeQuote FindLastStarBeforeQuote(const std::uint8_t* p, const std::uint8_t* end) noexcept {
    const std::uint8_t* last_star = nullptr;
    for (; end - p >= kWordBytes; p += kWordBytes) {
        const Word v = LoadWord(p);
        if ((EqualMarks(v, '*') | EqualMarks(v, '"') | EqualMarks(v, '\'') | EqualMarks(v, byte_search::kEndOfText)) == 0)
            continue;
        const StarBeforeQuote word = byte_search::scalar::FindLastStarBeforeQuote(p, p + kWordBytes, last_star);
        if (word.quote != p + kWordBytes) return word;
        last_star = word.last_star;
    }
    return byte_search::scalar::FindLastStarBeforeQuote(p, end, last_star);
}

// Name characters are too many for words to pay: a byte at a time.
inline const std::uint8_t* FindNameCandidate(const std::uint8_t* p, const std::uint8_t* end, bool syntax) noexcept {
    return byte_search::scalar::FindNameCandidate(p, end, syntax);
}

inline std::uint64_t LineStopBits(const std::uint8_t* p, bool star) noexcept {
    return byte_search::scalar::LineStopBits(p, star);
}

inline ValueRun ScanValueRun(const std::uint8_t* p, const std::uint8_t* limit, const std::uint8_t* /*end*/,
                             std::uint8_t stop, bool lead_before) noexcept {
    return byte_search::scalar::ScanValueRun(p, limit, stop, lead_before);
}

// As MatchLabelRow (24 bytes from p on are read).
constexpr std::ptrdiff_t kLabelMatchReach = LabelMatchTable::kBytes;
inline int MatchLabelRowAt(const std::uint8_t* p) noexcept { return MatchLabelRow(p); }
