// Deterministic Zole data for benchmarks and tests: the same seed gives the
// same bytes on every platform (own generator, no std distributions).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zolehead_bench {

// splitmix64: tiny, fast, and identical everywhere.
class Rng {
public:
    explicit Rng(std::uint64_t seed) noexcept : state_(seed) {}

    std::uint64_t next() noexcept {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // 0 .. n-1 (n > 0); the slight bias of a modulus does not matter here.
    std::uint32_t below(std::uint32_t n) noexcept { return static_cast<std::uint32_t>(next() % n); }
    // lo .. hi inclusive.
    std::uint32_t between(std::uint32_t lo, std::uint32_t hi) noexcept { return lo + below(hi - lo + 1); }
    // True with probability per_mille / 1000.
    bool chance(std::uint32_t per_mille) noexcept { return below(1000) < per_mille; }

private:
    std::uint64_t state_;
};

enum class Content {
    REALISTIC,       // header in both forms, then music data: commands, Japanese comments, CR LF
    DOUBLE_BYTE,     // after the header, nothing but double-byte text
    LONG_LINES,      // lines of thousands of bytes
    ASTERISKS,       // an asterisk every few bytes
    UNCLOSED_QUOTE,  // a form B value opened early and never closed
    HEADER_DENSE,    // nothing but form A lines of known labels with long Japanese values
};

inline constexpr Content kAllContents[] = {Content::REALISTIC, Content::DOUBLE_BYTE,    Content::LONG_LINES,
                                           Content::ASTERISKS, Content::UNCLOSED_QUOTE, Content::HEADER_DENSE};

// A short lowercase name for reports: "realistic", "double_byte", ...
std::string_view ContentName(Content content) noexcept;

// A whole data file of about `bytes` bytes (whole lines; at least a header).
std::string GenerateFile(Content content, std::size_t bytes, std::uint64_t seed);

// Writes `count` realistic files of about `bytes_each` bytes under `dir`, in
// subdirectories of 100 files as a collection on disk tends to be. Returns
// their paths in order.
std::vector<std::string> WriteCollection(const std::filesystem::path& dir, int count, std::size_t bytes_each,
                                         std::uint64_t seed);

// Writes `bytes` to `path`; false if the file could not be written whole.
bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes);

}  // namespace zolehead_bench
