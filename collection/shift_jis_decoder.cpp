#include "shift_jis_decoder.hpp"

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "converter_lock.hpp"
#include "shift_jis_table.hpp"

namespace zolehead::collection {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
const auto kNoConverter = reinterpret_cast<iconv_t>(-1);

}  // namespace

bool DecodeThroughConverter(iconv_t cd, std::string_view bytes, std::string& out) {
    const std::size_t start = out.size();
    // A byte becomes at most three: a half-width katakana, or U+FFFD.
    out.resize(start + 3 * bytes.size());
    char* in = const_cast<char*>(bytes.data());
    std::size_t in_left = bytes.size();
    char* to = out.data() + start;
    std::size_t to_left = out.size() - start;
    bool clean = true;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    while (in_left > 0) {
        if (iconv(cd, &in, &in_left, &to, &to_left) != static_cast<std::size_t>(-1)) break;
        if (errno != EILSEQ && errno != EINVAL) break;  // E2BIG cannot happen: the room is enough
        clean = false;
        for (char r : kReplacement) *to++ = r;
        to_left -= kReplacement.size();
        const std::size_t skip = UnconvertedLength(reinterpret_cast<const std::uint8_t*>(in), in_left);
        in += skip;
        in_left -= skip;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return clean;
}

ShiftJisDecoder::ShiftJisDecoder() : table_(ShiftJisTable::Shared()), cd_(kNoConverter) {
    if (table_ != nullptr) return;
    cd_ = OpenConverter("UTF-8", "CP932");
    if (cd_ == kNoConverter) throw std::system_error(errno, std::generic_category(), "iconv cannot convert from CP932");
}

ShiftJisDecoder::~ShiftJisDecoder() {
    if (cd_ != kNoConverter) CloseConverter(cd_);
}

bool ShiftJisDecoder::decode(std::string_view bytes, std::string& out) {
    // Code page 932 keeps ASCII as it is (0x5C stays a backslash): most
    // values need no conversion at all.
    if (IsAscii(bytes)) {
        out.append(bytes);
        return true;
    }
    return table_ != nullptr ? table_->decode(bytes, out) : DecodeThroughConverter(cd_, bytes, out);
}

}  // namespace zolehead::collection
