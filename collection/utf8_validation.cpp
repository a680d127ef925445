#include "utf8_validation.hpp"

namespace zolehead::collection {

bool IsUtf8(std::string_view bytes) noexcept {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const std::uint8_t b = *p;
        if (b < 0x80) {
            ++p;
            continue;
        }
        std::size_t length = 0;
        std::uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            if (b == 0xE0) low = 0xA0;   // overlong
            if (b == 0xED) high = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            if (b == 0xF0) low = 0x90;   // overlong
            if (b == 0xF4) high = 0x8F;  // past U+10FFFF
        } else {
            return false;
        }
        if (static_cast<std::size_t>(end - p) < length) return false;
        if (p[1] < low || p[1] > high) return false;
        for (std::size_t i = 2; i < length; ++i) {
            if (p[i] < 0x80 || p[i] > 0xBF) return false;
        }
        p += length;
    }
    return true;
}

}  // namespace zolehead::collection
