// Each search kernel's searches against plain answers written here: every
// search at every start and end over inputs rich in what it looks for, each
// range against an inaccessible page on one side or the other.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "corpus.hpp"
#include "guarded_buffer.hpp"
#include "header_scanner.hpp"
#include "scan_loops.hpp"

namespace {

using zh_test::Guarded;
using zolehead::SearchKernel;
using zolehead::byte_search::SearchFunctions;
using zolehead::byte_search::StarBeforeQuote;
using zolehead::byte_search::ValueRun;
using Ptr = const std::uint8_t*;

// The plain answers. Every forward search also stops at the end-of-text
// byte.
constexpr std::uint8_t kEot = 0x1A;
Ptr AnyOf(Ptr p, Ptr end, std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    while (p != end && *p != a && *p != b && *p != c && *p != kEot) ++p;
    return p;
}
Ptr ColonPairOr(Ptr p, Ptr end, std::string_view set) {
    for (; p != end; ++p) {
        if (*p == kEot || set.find(static_cast<char>(*p)) != std::string_view::npos ||
            (*p == 0x81 && p + 1 != end && p[1] == 0x46))
            return p;
    }
    return end;
}
Ptr LastLineEnd(Ptr begin, Ptr end) {
    for (Ptr p = end; p != begin;) {
        if (*--p == '\r' || *p == '\n') return p;
    }
    return nullptr;
}
StarBeforeQuote LastStarBeforeQuote(Ptr p, Ptr end) {
    const Ptr quote = AnyOf(p, end, '"', '\'', '\'');
    Ptr star = nullptr;
    for (; p != quote; ++p) {
        if (*p == '*') star = p;
    }
    return {quote, star};
}
Ptr NameCandidate(Ptr p, Ptr end, bool syntax) {
    for (; p != end; ++p) {
        const char c = static_cast<char>(*p);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            *p == kEot || (syntax && (c == '*' || c == '"' || c == '\'')))
            return p;
    }
    return end;
}
// Through the tracker itself, byte by byte.
ValueRun ValueRunByTracker(Ptr p, Ptr limit, std::uint8_t stop, bool lead_before) {
    zolehead::DbcsTracker tracker{lead_before ? zolehead::DbcsState::DBCS_LEAD : zolehead::DbcsState::DBCS_SINGLE};
    ValueRun run{0, 0};
    for (; p != limit && *p >= 0x20 && *p != stop; ++p, ++run.length) {
        if (tracker.step(*p) == zolehead::DbcsState::DBCS_LEAD) run.leads |= std::uint64_t{1} << run.length;
    }
    return run;
}

// Random bytes, mostly one filler with the bytes the searches look for
// sprinkled in at a given density, so that the wide loops run before a hit.
std::string Sprinkled(zolehead_bench::Rng& rng, std::size_t size, std::uint32_t per_mille) {
    static const std::uint8_t kSpecial[] = {0x81, 0x46, 0x40, '*', '"', '\'', '\r', '\n', 0x00, 0x1A, 0x1F, 0x20, 0x7F,
                                            0x80, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC, 0xFF, 'a',  'Z',  '0',  '9',  '-',
                                            '_',  '@',  '[',  '`',  '{',  '/',  ':',  0x82, 0x83};
    std::string out;
    for (std::size_t i = 0; i < size; ++i) {
        const bool special = rng.chance(per_mille);
        out += static_cast<char>(special ? kSpecial[rng.below(std::size(kSpecial))] : (rng.chance(500) ? 0x8B : '#'));
    }
    return out;
}

// Calls `check(begin, end)` for every range of `bytes` from the first 70
// starts, each placed so that its end, then its start, touches a guard page.
template <typename Check>
void ForEveryRange(const std::string& bytes, Check check) {
    for (std::size_t from = 0; from < 70 && from <= bytes.size(); ++from) {
        for (std::size_t to = from; to <= bytes.size(); ++to) {
            for (bool against_start : {false, true}) {
                const auto range = Guarded().place(std::string_view(bytes).substr(from, to - from), against_start);
                check(range.data(), range.data() + range.size());
            }
        }
    }
}

class SearchKernels : public ::testing::TestWithParam<SearchKernel> {
protected:
    void SetUp() override {
        if (!zolehead::SearchKernelRuns(GetParam())) GTEST_SKIP() << "this processor does not run this kernel";
    }
    const SearchFunctions& searches() const { return zolehead::ScanLoopsFor(GetParam()).searches; }
};

TEST_P(SearchKernels, AgreeWithPlainAnswersOnEveryRange) {
    const SearchFunctions& f = searches();
    zolehead_bench::Rng rng(static_cast<std::uint64_t>(GetParam()) + 5);
    for (std::uint32_t density : {0u, 30u, 150u, 400u, 800u, 150u, 400u}) {
        const std::string bytes = Sprinkled(rng, 200, density);
        std::size_t checked = 0;
        ForEveryRange(bytes, [&](Ptr p, Ptr end) {
            ++checked;
            // One line per search, with what it must give.
            ASSERT_EQ(f.find_byte(p, end, '*'), AnyOf(p, end, '*', '*', '*'));
            ASSERT_EQ(f.find_byte(p, end, 0x81), AnyOf(p, end, 0x81, 0x81, 0x81));
            ASSERT_EQ(f.find_any_of(p, end, '\r', '\n', 0x81), AnyOf(p, end, '\r', '\n', 0x81));
            ASSERT_EQ(f.find_line_end(p, end), AnyOf(p, end, '\r', '\n', '\n'));
            ASSERT_EQ(f.find_any_of(p, end, '*', '"', '\''), AnyOf(p, end, '*', '"', '\''));
            for (std::string_view set : {"", "*", "*'", "*\"'", "\x46\x81\n"}) {
                const auto* bytes = reinterpret_cast<const std::uint8_t*>(set.data());
                ASSERT_EQ(f.find_colon_pair_or(p, end, bytes, static_cast<int>(set.size())), ColonPairOr(p, end, set));
            }
            ASSERT_EQ(f.find_last_line_end(p, end), LastLineEnd(p, end));
            const StarBeforeQuote got = f.find_last_star_before_quote(p, end), want = LastStarBeforeQuote(p, end);
            ASSERT_EQ(got.quote, want.quote);
            ASSERT_EQ(got.last_star, want.last_star);
            ASSERT_EQ(f.find_name_candidate(p, end, false), NameCandidate(p, end, false));
            ASSERT_EQ(f.find_name_candidate(p, end, true), NameCandidate(p, end, true));
        });
        ASSERT_GT(checked, 10000u);
    }
}

// The marks of 64 bytes at once, with and without asterisks.
TEST_P(SearchKernels, LineStopBitsMarkEachByte) {
    const SearchFunctions& f = searches();
    zolehead_bench::Rng rng(static_cast<std::uint64_t>(GetParam()) + 70);
    for (std::uint32_t density : {0u, 30u, 150u, 600u}) {
        const std::string bytes = Sprinkled(rng, 64, density);
        const Ptr p = Guarded().place(bytes, false).data();
        for (bool star : {false, true}) {
            std::uint64_t want = 0;
            for (int i = 0; i < 64; ++i) {
                const std::uint8_t b = p[i];
                want |= std::uint64_t{b == '\r' || b == '\n' || b == kEot || (star && b == '*')} << i;
            }
            EXPECT_EQ(f.line_stop_bits(p, star), want) << "density " << density << ", star " << star;
        }
    }
}

// A value run stops at the first byte below 0x20 or the stop byte, never at
// or past its limit, and reads lead bytes as the tracker does.
TEST_P(SearchKernels, ValueRunsAgreeWithTheTracker) {
    const SearchFunctions& f = searches();
    zolehead_bench::Rng rng(static_cast<std::uint64_t>(GetParam()) + 50);
    for (std::uint32_t density : {0u, 30u, 150u, 600u}) {
        const std::string bytes = Sprinkled(rng, 150, density);
        ForEveryRange(bytes, [&](Ptr p, Ptr end) {
            for (std::ptrdiff_t room : {0, 1, 31, 32, 33, 63, 64}) {
                const Ptr limit = end - p < room ? end : p + room;
                for (std::uint8_t stop : {std::uint8_t{'\''}, std::uint8_t{'"'}, std::uint8_t{'\n'}}) {
                    for (bool lead_before : {false, true}) {
                        const ValueRun got = f.scan_value_run(p, limit, end, stop, lead_before);
                        const ValueRun want = ValueRunByTracker(p, limit, stop, lead_before);
                        ASSERT_EQ(got.length, want.length);
                        ASSERT_EQ(got.leads, want.leads) << "lead bytes of " << want.length;
                    }
                }
            }
        });
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKernel, SearchKernels, ::testing::ValuesIn(zolehead::kSearchKernels),
                         [](const auto& info) { return std::string(zolehead::SearchKernelName(info.param)); });

// A run of lead-capable bytes longer than 64 carries its parity from one
// stretch of 64 to the next.
TEST(LeadBits, AgreeWithTheTrackerAcrossStretches) {
    zolehead_bench::Rng rng(9);
    for (int round = 0; round < 2000; ++round) {
        std::uint8_t bytes[256];
        for (std::uint8_t& b : bytes) b = rng.chance(900) ? 0x88 : (rng.chance(500) ? 0x41 : 0x20);
        zolehead::DbcsTracker tracker;
        bool lead_before = false;
        for (int stretch = 0; stretch < 4; ++stretch) {
            std::uint64_t capable = 0, want = 0;
            for (int i = 0; i < 64; ++i) {
                const std::uint8_t b = bytes[stretch * 64 + i];
                capable |= std::uint64_t{zolehead::IsLeadByte(b)} << i;
                want |= std::uint64_t{tracker.step(b) == zolehead::DbcsState::DBCS_LEAD} << i;
            }
            const std::uint64_t got = zolehead::byte_search::LeadBits(capable, lead_before);
            ASSERT_EQ(got, want) << "round " << round << ", stretch " << stretch;
            lead_before = (got >> 63) & 1U;
        }
    }
}

// The coverage above means something only if the kernels run here: every x86
// processor since 2003 has SSE2; AVX2 depends on the machine.
TEST(SearchKernelChoice, BestRunsAndEveryX86KernelIsCoveredHere) {
    EXPECT_TRUE(zolehead::SearchKernelRuns(zolehead::BestSearchKernel()));
    EXPECT_TRUE(zolehead::SearchKernelRuns(SearchKernel::PORTABLE));
#if defined(__x86_64__)
    EXPECT_TRUE(zolehead::SearchKernelRuns(SearchKernel::SSE2));
    if (!zolehead::SearchKernelRuns(SearchKernel::AVX2)) GTEST_SKIP() << "no AVX2 here: its kernel is not covered";
    EXPECT_EQ(zolehead::BestSearchKernel(), SearchKernel::AVX2);
#endif
}

// A kernel that does not run gives way to one that does.
TEST(SearchKernelChoice, ScannerFallsBackToAKernelThatRuns) {
    for (SearchKernel kernel : zolehead::kSearchKernels) {
        const zolehead::HeaderScanner scanner(zolehead::HeaderForm::BOTH, kernel);
        EXPECT_TRUE(zolehead::SearchKernelRuns(scanner.kernel()));
        if (zolehead::SearchKernelRuns(kernel)) {
            EXPECT_EQ(scanner.kernel(), kernel);
        }
    }
}

}  // namespace
