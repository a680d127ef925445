// Sizes as people write them on a command line: 1048576, 512K, 256M, 1G.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zolehead_cli {

// A whole number of bytes, optionally followed by K, M, G or T (powers of
// 1024, any case, "B" or "iB" after them allowed: 256M, 256MiB, 256mb).
// nullopt for anything else, for 0, and for sizes past 2^64 - 1.
std::optional<std::uint64_t> ParseByteSize(std::string_view text);

}  // namespace zolehead_cli
