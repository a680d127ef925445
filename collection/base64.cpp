#include "base64.hpp"

#include <cstdint>

namespace zolehead::collection {

void AppendBase64(std::string& out, std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16 |
                                static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8 |
                                static_cast<std::uint8_t>(bytes[i + 2]);
        out += kDigits[n >> 18];
        out += kDigits[(n >> 12) & 63];
        out += kDigits[(n >> 6) & 63];
        out += kDigits[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 0) return;
    std::uint32_t n = static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i])) << 16;
    if (rest == 2) n |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[i + 1])) << 8;
    out += kDigits[n >> 18];
    out += kDigits[(n >> 12) & 63];
    out += rest == 2 ? kDigits[(n >> 6) & 63] : '=';
    out += '=';
}

}  // namespace zolehead::collection
