// The search kernels of the fast loop: the same searches written for
// different instruction sets. The plain byte loop is the reference they all
// agree with; which one runs is chosen at run time from what the processor
// offers, and any one that runs here can be asked for (to test it).
#pragma once

#include <cstdint>

// The x86 kernels need GCC or Clang (target regions, processor checks).
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define ZOLEHEAD_X86_KERNELS 1
#endif

namespace zolehead {

enum class SearchKernel : std::uint8_t {
    PORTABLE,  // a machine word at a time: any processor
    SSE2,      // 16 bytes at a time (x86)
    AVX2,      // 32 bytes at a time (x86 with AVX2 and an operating system that saves its registers)
};

inline constexpr SearchKernel kSearchKernels[] = {SearchKernel::PORTABLE, SearchKernel::SSE2, SearchKernel::AVX2};

// Whether this build holds the kernel and this processor runs it.
bool SearchKernelRuns(SearchKernel kernel) noexcept;

// The fastest kernel that runs here.
SearchKernel BestSearchKernel() noexcept;

// "portable", "sse2" or "avx2".
const char* SearchKernelName(SearchKernel kernel) noexcept;

}  // namespace zolehead
