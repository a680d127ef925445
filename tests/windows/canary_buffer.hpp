// An output buffer filled with a canary byte, to see exactly which bytes a
// getter wrote: 0xCC is never a byte these calls write.
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace zh_host {

struct CanaryBuffer {
    static constexpr unsigned char kCanary = 0xCC;
    std::array<unsigned char, 300> bytes;

    CanaryBuffer() { bytes.fill(kCanary); }
    char* data() { return reinterpret_cast<char*>(bytes.data()); }
    // Everything from the start to the last byte that is not the canary.
    std::string written() const {
        std::size_t last = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] != kCanary) last = i + 1;
        return std::string(reinterpret_cast<const char*>(bytes.data()), last);
    }
};

// `text` followed by NULs up to `total` bytes.
inline std::string WithNuls(std::string text, std::size_t total) {
    text.resize(total, '\0');
    return text;
}

}  // namespace zh_host
