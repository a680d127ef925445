#include "shift_jis_encoder.hpp"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <system_error>

#include "converter_lock.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::collection {

namespace {

// The length of the UTF-8 sequence that starts with `b`, or 0 if none does.
std::size_t SequenceLength(std::uint8_t b) {
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return 2;
    if (b >= 0xE0 && b <= 0xEF) return 3;
    if (b >= 0xF0 && b <= 0xF4) return 4;
    return 0;
}

}  // namespace

ShiftJisEncoder::ShiftJisEncoder() : cd_(OpenConverter("CP932", "UTF-8")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
        throw std::system_error(errno, std::generic_category(), "iconv cannot convert to CP932");
    }
}

ShiftJisEncoder::~ShiftJisEncoder() { CloseConverter(cd_); }

ShiftJisEncoder::Result ShiftJisEncoder::encode(std::string_view utf8, std::string& out) {
    out.clear();
    // ASCII is the same in both, and most values are ASCII.
    if (IsAscii(utf8)) {
        out.assign(utf8);
        return {};
    }
    // A character never grows: one to four UTF-8 bytes give one or two bytes.
    out.resize(utf8.size());
    char* in = const_cast<char*>(utf8.data());
    std::size_t in_left = utf8.size();
    char* to = out.data();
    std::size_t to_left = out.size();
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    const std::size_t done = iconv(cd_, &in, &in_left, &to, &to_left);
    out.resize(static_cast<std::size_t>(to - out.data()));
    if (done != static_cast<std::size_t>(-1) && in_left == 0) return {};

    Result result;
    result.offset = utf8.size() - in_left;
    const auto first = static_cast<std::uint8_t>(utf8[result.offset]);
    const std::size_t length = SequenceLength(first);
    // iconv says EILSEQ both for bad UTF-8 and for a character it cannot
    // map: tell them apart by decoding the character ourselves.
    if (length == 0 || length > in_left || CodePointName(utf8.substr(result.offset, length)).empty()) {
        result.outcome = Outcome::INVALID_UTF8;
        return result;
    }
    result.outcome = Outcome::NO_CP932_FORM;
    result.character = utf8.substr(result.offset, length);
    return result;
}

std::string CodePointName(std::string_view c) {
    if (c.empty()) return {};
    const std::size_t length = SequenceLength(static_cast<std::uint8_t>(c[0]));
    if (length == 0 || length != c.size()) return {};
    std::uint32_t cp = length == 1   ? static_cast<std::uint8_t>(c[0])
                       : length == 2 ? static_cast<std::uint8_t>(c[0]) & 0x1Fu
                       : length == 3 ? static_cast<std::uint8_t>(c[0]) & 0x0Fu
                                     : static_cast<std::uint8_t>(c[0]) & 0x07u;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<std::uint8_t>(c[i]);
        if ((b & 0xC0) != 0x80) return {};
        cp = (cp << 6) | (b & 0x3Fu);
    }
    // Overlong forms and surrogates are not characters.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return {};
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
    return name;
}

}  // namespace zolehead::collection
