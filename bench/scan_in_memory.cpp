// One read of a generated input held in memory, fed in 64 KiB blocks as the
// file reader feeds it: what an instruction count (callgrind) should see,
// without the generator or the file system.
//
//   zolehead_scan_in_memory INPUT FORM [MIB [ROUNDS [KERNEL]]]
//
// INPUT is a corpus name (realistic, header_dense, ...), FORM A, B or BOTH,
// MIB the input's size (default 4). With ROUNDS, it times the read and a
// plain copy of the same blocks and prints the best of each (a rough figure
// on a shared machine); without, it reads once, for
//   valgrind --tool=callgrind --toggle-collect='ScanInBlocks*' ...
// KERNEL (portable, sse2 or avx2) picks the search kernel; by default the
// best one that runs here.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "corpus.hpp"
#include "header_scanner.hpp"
#include "search_kernel.hpp"

namespace {

constexpr std::size_t kBlock = 64 * 1024;

__attribute__((noinline)) int ScanInBlocks(const std::string& data, zolehead::HeaderForm form,
                                          zolehead::SearchKernel kernel) {
    zolehead::HeaderScanner scanner(form, kernel);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    for (std::size_t at = 0; at < data.size(); at += kBlock) {
        if (!scanner.feed({bytes + at, std::min(kBlock, data.size() - at)})) break;
    }
    return static_cast<int>(scanner.header().slots[0].status);
}

__attribute__((noinline)) void CopyInBlocks(const std::string& data, std::vector<char>& into) {
    for (std::size_t at = 0; at < data.size(); at += kBlock)
        std::memcpy(into.data(), data.data() + at, std::min(kBlock, data.size() - at));
}

double Milliseconds(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr, "usage: zolehead_scan_in_memory INPUT A|B|BOTH [MIB [ROUNDS [KERNEL]]]\n");
        return 2;
    }
    const std::string_view input = argv[1], form_name = argv[2];
    const zolehead_bench::Content* content = nullptr;
    for (const auto& c : zolehead_bench::kAllContents) {
        if (zolehead_bench::ContentName(c) == input) content = &c;
    }
    const bool form_known = form_name == "A" || form_name == "B" || form_name == "BOTH";
    const long mib = argc > 3 ? std::atol(argv[3]) : 4;
    const int rounds = argc > 4 ? std::atoi(argv[4]) : 0;
    zolehead::SearchKernel kernel = zolehead::BestSearchKernel();
    bool kernel_known = argc <= 5;
    for (const zolehead::SearchKernel k : zolehead::kSearchKernels) {
        if (argc > 5 && zolehead::SearchKernelName(k) == std::string_view(argv[5]) && zolehead::SearchKernelRuns(k)) {
            kernel = k;
            kernel_known = true;
        }
    }
    if (content == nullptr || !form_known || mib <= 0 || rounds < 0 || !kernel_known) {
        std::fprintf(stderr,
                     "zolehead_scan_in_memory: unknown input or form, a kernel that is unknown or does not run "
                     "here, or a size or count out of range\n");
        return 2;
    }
    const auto form = form_name == "A" ? zolehead::HeaderForm::A
                      : form_name == "B" ? zolehead::HeaderForm::B
                                         : zolehead::HeaderForm::BOTH;
    const std::string data = zolehead_bench::GenerateFile(*content, static_cast<std::size_t>(mib) << 20, 7);
    if (rounds == 0) return ScanInBlocks(data, form, kernel) < 0;

    std::vector<char> copy(kBlock);
    double scan = 1e300, plain = 1e300;
    for (int round = 0; round < rounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        CopyInBlocks(data, copy);
        plain = std::min(plain, Milliseconds(start));
        start = std::chrono::steady_clock::now();
        ScanInBlocks(data, form, kernel);
        scan = std::min(scan, Milliseconds(start));
    }
    std::printf("%s %s, %s: read %.2f ms, copy %.2f ms, ratio %.2f (best of %d)\n", argv[1], argv[2],
                zolehead::SearchKernelName(kernel), scan, plain, scan / plain, rounds);
    return 0;
}
