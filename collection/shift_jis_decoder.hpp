// Shift_JIS (code page 932) to UTF-8 through iconv. One decoder per thread:
// an iconv descriptor is not safe to share. Decoders may be made and
// destroyed in a process forked while other threads made theirs.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace zolehead::collection {

// A byte that starts a double-byte character in code page 932.
inline bool IsShiftJisLeadByte(std::uint8_t b) noexcept { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

class ShiftJisDecoder {
public:
    // Throws std::system_error when the C library cannot convert from CP932.
    ShiftJisDecoder();
    ~ShiftJisDecoder();
    ShiftJisDecoder(const ShiftJisDecoder&) = delete;
    ShiftJisDecoder& operator=(const ShiftJisDecoder&) = delete;

    // Appends the UTF-8 text of `bytes` to `out`. A byte or pair that does
    // not convert becomes U+FFFD; returns false if that happened.
    bool decode(std::string_view bytes, std::string& out);

private:
    iconv_t cd_;
};

}  // namespace zolehead::collection
