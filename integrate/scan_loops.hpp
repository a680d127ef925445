// The fast loops of one search kernel, one per header form: what
// HeaderScanner::feed runs over a block. Each kernel's translation unit
// (fast_loop_*.cpp) provides its set.
#pragma once

#include <cstdint>

#include "byte_search.hpp"
#include "dbcs_tracker.hpp"
#include "keyword_machine.hpp"
#include "label_line_machine.hpp"
#include "search_kernel.hpp"
#include "zole_header.hpp"

namespace zolehead {

// Everything a read carries from byte to byte: the tracker, the machines,
// and what they have committed.
struct ScanState {
    explicit ScanState(LabelCommit rule) noexcept : label(rule) {}

    DbcsTracker tracker;
    LabelLineMachine label;
    KeywordMachine keyword;
    ZoleHeader header{};
};

// Steps `state` over [begin, end) as the plain byte loop would, up to the
// first end-of-text byte. Returns end, or where that byte is.
using ScanLoop = const std::uint8_t* (*)(ScanState& state, const std::uint8_t* begin, const std::uint8_t* end) noexcept;

struct ScanLoops {
    ScanLoop form_a;
    ScanLoop form_b;
    ScanLoop both;
    byte_search::SearchFunctions searches;  // the kernel's searches, for tests
};

// The loops of `kernel`, which must run here (SearchKernelRuns).
const ScanLoops& ScanLoopsFor(SearchKernel kernel) noexcept;

// Each kernel's set, from its own translation unit.
const ScanLoops& PortableScanLoops() noexcept;
#if defined(ZOLEHEAD_X86_KERNELS)
const ScanLoops& Sse2ScanLoops() noexcept;
const ScanLoops& Avx2ScanLoops() noexcept;
#endif

}  // namespace zolehead
