#include "search_kernel.hpp"

#include "scan_loops.hpp"

namespace zolehead {

bool SearchKernelRuns(SearchKernel kernel) noexcept {
    switch (kernel) {
    case SearchKernel::PORTABLE: return true;
#if defined(ZOLEHEAD_X86_KERNELS)
    // The processor's own answer (cpuid; for AVX2 also whether the system
    // saves the wide registers), read once at load time by the compiler's
    // runtime.
    case SearchKernel::SSE2: __builtin_cpu_init(); return __builtin_cpu_supports("sse2");
    case SearchKernel::AVX2: __builtin_cpu_init(); return __builtin_cpu_supports("avx2");
#else
    case SearchKernel::SSE2:
    case SearchKernel::AVX2: return false;
#endif
    }
    return false;
}

SearchKernel BestSearchKernel() noexcept {
    if (SearchKernelRuns(SearchKernel::AVX2)) return SearchKernel::AVX2;
    if (SearchKernelRuns(SearchKernel::SSE2)) return SearchKernel::SSE2;
    return SearchKernel::PORTABLE;
}

const char* SearchKernelName(SearchKernel kernel) noexcept {
    switch (kernel) {
    case SearchKernel::PORTABLE: return "portable";
    case SearchKernel::SSE2: return "sse2";
    case SearchKernel::AVX2: return "avx2";
    }
    return "unknown";
}

const ScanLoops& ScanLoopsFor(SearchKernel kernel) noexcept {
    switch (kernel) {
#if defined(ZOLEHEAD_X86_KERNELS)
    case SearchKernel::AVX2: return Avx2ScanLoops();
    case SearchKernel::SSE2: return Sse2ScanLoops();
#endif
    default: return PortableScanLoops();
    }
}

}  // namespace zolehead
