// A value as the output shows it: UTF-8 converted from Shift_JIS, or with
// --raw the file's own bytes. One per thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "shift_jis_decoder.hpp"

namespace zolehead::collection {

class FieldText {
public:
    explicit FieldText(bool raw) {
        if (!raw) decoder_.emplace();
    }

    struct Text {
        std::string_view text;  // valid until the next call
        bool lossy;             // some bytes became U+FFFD
    };

    Text get(std::string_view bytes) {
        if (!decoder_) return {bytes, false};
        scratch_.clear();
        const bool clean = decoder_->decode(bytes, scratch_);
        return {scratch_, !clean};
    }

    bool raw() const noexcept { return !decoder_; }

private:
    std::optional<ShiftJisDecoder> decoder_;
    std::string scratch_;
};

}  // namespace zolehead::collection
