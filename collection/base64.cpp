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


bool DecodeBase64(std::string_view in, std::string& out) {
    out.clear();
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t padding = 0;
    for (char c : in) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
        else if (c >= '0' && c <= '9') v = c - '0' + 52;
        else if (c == '+') v = 62;
        else if (c == '/') v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else {
            return false;
        }
        if (padding != 0) return false;
        bits = (bits << 6) | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out += static_cast<char>(bits >> 16);
            out += static_cast<char>((bits >> 8) & 0xFF);
            out += static_cast<char>(bits & 0xFF);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1 || padding > 2) return false;
    if (count == 2) out += static_cast<char>(bits >> 4);
    if (count == 3) {
        out += static_cast<char>(bits >> 10);
        out += static_cast<char>((bits >> 2) & 0xFF);
    }
    return true;
}

}  // namespace zolehead::collection
