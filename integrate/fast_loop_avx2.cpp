// The fast loop with 32-byte searches. Everything between the target region
// marks may use AVX2, so nothing here runs unless the processor has it
// and the operating system saves its registers (SearchKernelRuns).
#include "search_kernel.hpp"

#if defined(ZOLEHEAD_X86_KERNELS)

#include <immintrin.h>

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
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

namespace zolehead {
namespace avx2 {
#include "simd_avx2.inl"
#include "byte_search_simd.inl"
#include "fast_loop.inl"
}  // namespace avx2
}  // namespace zolehead

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

namespace zolehead {
const ScanLoops& Avx2ScanLoops() noexcept { return avx2::kScanLoops; }
}  // namespace zolehead

#endif
