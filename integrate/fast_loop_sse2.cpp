// The fast loop with 16-byte searches. Everything between the target region
// marks may use SSE2, so nothing here runs unless the processor has it
// (SearchKernelRuns); on 32-bit x86 the rest of the library does not.
#include "search_kernel.hpp"

#if defined(ZOLEHEAD_X86_KERNELS)

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "byte_search.hpp"
#include "header_scanner.hpp"
#include "scan_loops.hpp"

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

namespace zolehead {
namespace sse2 {
#include "simd_sse2.inl"
#include "byte_search_simd.inl"
#include "fast_loop.inl"
}  // namespace sse2
}  // namespace zolehead

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace zolehead {
const ScanLoops& Sse2ScanLoops() noexcept { return sse2::kScanLoops; }
}  // namespace zolehead

#endif
