#include "shift_jis_table.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>

#include "converter_lock.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::collection {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

enum class Outcome { CONVERTED, INCOMPLETE, INVALID, UNFIT };

// Converts `in` (one or two bytes) whole through `cd`; on CONVERTED, `utf8`
// holds one character of at most three bytes.
Outcome ConvertAlone(iconv_t cd, const std::uint8_t* in, std::size_t size, std::string& utf8) {
    char from[2];
    std::memcpy(from, in, size);
    char to[16];
    char* in_at = from;
    std::size_t in_left = size;
    char* to_at = to;
    std::size_t to_left = sizeof to;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &in_at, &in_left, &to_at, &to_left) == static_cast<std::size_t>(-1)) {
        if (in_left != size) return Outcome::UNFIT;  // converted part of it
        if (errno == EINVAL) return Outcome::INCOMPLETE;
        return errno == EILSEQ ? Outcome::INVALID : Outcome::UNFIT;
    }
    utf8.assign(to, static_cast<std::size_t>(to_at - to));
    const auto lead = utf8.empty() ? 0xFFu : static_cast<std::uint8_t>(utf8[0]);
    const std::size_t one_character = lead < 0x80 ? 1 : lead >= 0xC0 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3 : 0;
    return one_character != 0 && one_character == utf8.size() ? Outcome::CONVERTED : Outcome::UNFIT;
}

}  // namespace

const ShiftJisTable* ShiftJisTable::ReadOff(iconv_t cd) {
    std::unique_ptr<ShiftJisTable> table(new ShiftJisTable);
    std::string utf8;
    table->lead_index_.fill(0);
    for (unsigned b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        Unit& unit = table->single_[b];
        switch (ConvertAlone(cd, &byte, 1, utf8)) {
        case Outcome::CONVERTED:
            unit.length = static_cast<std::uint8_t>(utf8.size());
            std::memcpy(unit.bytes, utf8.data(), utf8.size());
            break;
        case Outcome::INVALID: unit.length = 0; break;
        case Outcome::INCOMPLETE: {
            // The decoder's own rule for a pair that fails counts lead bytes
            // as code page 932 defines them; a converter that waits for a
            // trail after any other byte would not match it.
            if (!IsShiftJisLeadByte(byte)) return nullptr;
            unit.length = kNeedsTrail;
            table->lead_index_[b] = static_cast<std::uint8_t>(table->pairs_.size());
            std::array<Unit, 256>& row = table->pairs_.emplace_back();
            for (unsigned t = 0; t < 256; ++t) {
                const std::uint8_t pair[2] = {byte, static_cast<std::uint8_t>(t)};
                switch (ConvertAlone(cd, pair, 2, utf8)) {
                case Outcome::CONVERTED:
                    row[t].length = static_cast<std::uint8_t>(utf8.size());
                    std::memcpy(row[t].bytes, utf8.data(), utf8.size());
                    break;
                case Outcome::INVALID: row[t].length = 0; break;
                default: return nullptr;
                }
            }
            break;
        }
        case Outcome::UNFIT: return nullptr;
        }
    }
    return table.release();
}

const ShiftJisTable* ShiftJisTable::Shared() {
    // Constant-initialised, so no guard a fork could leave held. Two threads
    // that both read a table keep the first and drop the other.
    static std::atomic<const ShiftJisTable*> shared{nullptr};
    static std::atomic<bool> unfit{false};
    if (const ShiftJisTable* table = shared.load(std::memory_order_acquire)) return table;
    if (unfit.load(std::memory_order_relaxed)) return nullptr;
    const iconv_t cd = OpenConverter("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
    std::unique_ptr<const ShiftJisTable> table(ReadOff(cd));
    CloseConverter(cd);
    if (!table) {
        unfit.store(true, std::memory_order_relaxed);
        return nullptr;
    }
    const ShiftJisTable* expected = nullptr;
    if (shared.compare_exchange_strong(expected, table.get(), std::memory_order_acq_rel)) return table.release();
    return expected;  // made for the whole process: never freed
}

ShiftJisTable::Unit ShiftJisTable::next(const std::uint8_t*& p, const std::uint8_t* end) const noexcept {
    Unit unit = single_[*p];
    std::size_t used = 1;
    if (unit.length == kNeedsTrail) {
        unit = end - p >= 2 ? pairs_[lead_index_[*p]][p[1]] : Unit{};
        used = 2;
    }
    if (unit.length == 0) used = UnconvertedLength(p, static_cast<std::size_t>(end - p));
    p += used;
    return unit;
}

bool ShiftJisTable::decode(std::string_view bytes, std::string& out) const {
    const std::size_t start = out.size();
    // A byte becomes at most three: a half-width katakana, or U+FFFD. The
    // three bytes of a unit are copied whole, which that room allows.
    out.resize(start + 3 * bytes.size());
    char* to = out.data() + start;
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::uint8_t* const end = p + bytes.size();
    bool clean = true;
    while (p != end) {
        const Unit unit = next(p, end);
        if (unit.length == 0) {
            clean = false;
            std::memcpy(to, kReplacement, 3);
            to += 3;
            continue;
        }
        std::memcpy(to, unit.bytes, sizeof unit.bytes);
        to += unit.length;
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
    return clean;
}

bool ShiftJisTable::decode_code_points(std::string_view bytes, char16_t* out, std::size_t& count,
                                       char16_t& max) const {
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::uint8_t* const end = p + bytes.size();
    bool clean = true;
    count = 0;
    while (p != end) {
        const Unit unit = next(p, end);
        char16_t code = 0xFFFD;
        switch (unit.length) {
        case 1: code = unit.bytes[0]; break;
        case 2: code = static_cast<char16_t>((unit.bytes[0] & 0x1F) << 6 | (unit.bytes[1] & 0x3F)); break;
        case 3:
            code = static_cast<char16_t>((unit.bytes[0] & 0x0F) << 12 | (unit.bytes[1] & 0x3F) << 6 |
                                         (unit.bytes[2] & 0x3F));
            break;
        default: clean = false; break;
        }
        out[count++] = code;
        if (code > max) max = code;
    }
    return clean;
}

}  // namespace zolehead::collection
