// The fast loop with the portable searches: no instruction beyond the
// target's baseline.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "byte_search.hpp"
#include "header_scanner.hpp"
#include "scan_loops.hpp"

namespace zolehead {
namespace portable {
#include "byte_search_portable.inl"
#include "fast_loop.inl"
}  // namespace portable

const ScanLoops& PortableScanLoops() noexcept { return portable::kScanLoops; }

}  // namespace zolehead
