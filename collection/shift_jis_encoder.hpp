// UTF-8 to Shift_JIS (code page 932) through iconv: the reverse of
// ShiftJisDecoder, with the same converter, so that what the tool shows
// converts back to the bytes it came from. One encoder per thread: an iconv
// descriptor is not safe to share.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zolehead::collection {

class ShiftJisEncoder {
public:
    // Throws std::system_error when the C library cannot convert to CP932.
    ShiftJisEncoder();
    ~ShiftJisEncoder();
    ShiftJisEncoder(const ShiftJisEncoder&) = delete;
    ShiftJisEncoder& operator=(const ShiftJisEncoder&) = delete;

    enum class Outcome { OK, INVALID_UTF8, NO_CP932_FORM };

    struct Result {
        Outcome outcome = Outcome::OK;
        // Where the text stopped converting: the byte offset in the input and,
        // for NO_CP932_FORM, the UTF-8 bytes of the character that has no form.
        std::size_t offset = 0;
        std::string_view character;
    };

    // Replaces `out` with the CP932 bytes of `utf8`. On failure `out` holds
    // what converted before the failing character. Never throws but
    // std::bad_alloc.
    Result encode(std::string_view utf8, std::string& out);

private:
    iconv_t cd_;
};

// "U+1F600" for the UTF-8 bytes of one character; "" when they are not one.
std::string CodePointName(std::string_view utf8_character);

}  // namespace zolehead::collection
