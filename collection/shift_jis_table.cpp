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

// The code point of a unit's UTF-8 (at most three bytes: the table holds
// nothing beyond U+FFFF); `lead` for a lead byte, kNoCode where it does not
// convert.
std::array<char16_t, 256> ShiftJisTable::CodesOf(const std::array<Unit, 256>& units, char16_t lead) {
    std::array<char16_t, 256> codes{};
    for (std::size_t i = 0; i < units.size(); ++i) {
        const Unit& unit = units[i];
        switch (unit.length) {
        case 1: codes[i] = unit.bytes[0]; break;
        case 2: codes[i] = static_cast<char16_t>((unit.bytes[0] & 0x1F) << 6 | (unit.bytes[1] & 0x3F)); break;
        case 3:
            codes[i] = static_cast<char16_t>((unit.bytes[0] & 0x0F) << 12 | (unit.bytes[1] & 0x3F) << 6 |
                                             (unit.bytes[2] & 0x3F));
            break;
        case kNeedsTrail: codes[i] = lead; break;
        default: codes[i] = kNoCode; break;
        }
    }
    return codes;
}

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
    table->single_codes_ = CodesOf(table->single_, kLeadCode);
    for (const std::array<Unit, 256>& row : table->pairs_) table->pair_codes_.push_back(CodesOf(row, kNoCode));
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
        Unit unit = single_[*p];
        std::size_t used = 1;
        if (unit.length == kNeedsTrail) {
            unit = end - p >= 2 ? pairs_[lead_index_[*p]][p[1]] : Unit{};
            used = 2;
        }
        if (unit.length == 0) [[unlikely]] {
            // U+FFFD stands for a lead and trail byte together, or one byte.
            p += UnconvertedLength(p, static_cast<std::size_t>(end - p));
            clean = false;
            std::memcpy(to, kReplacement, 3);
            to += 3;
            continue;
        }
        p += used;
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
    char16_t highest = max;
    char16_t* to = out;
    while (p != end) {
        char16_t code = single_codes_[*p];
        std::size_t used = 1;
        if (code == kLeadCode) {
            code = end - p >= 2 ? pair_codes_[lead_index_[*p]][p[1]] : kNoCode;
            used = 2;
        }
        if (code == kNoCode) [[unlikely]] {
            used = UnconvertedLength(p, static_cast<std::size_t>(end - p));
            code = 0xFFFD;
            clean = false;
        }
        p += used;
        *to++ = code;
        highest = code > highest ? code : highest;
    }
    count = static_cast<std::size_t>(to - out);
    max = highest;
    return clean;
}

}  // namespace zolehead::collection
