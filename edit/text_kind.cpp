#include "text_kind.hpp"

#include <algorithm>
#include <cstring>

#include "utf8_validation.hpp"

namespace zolehead::edit {

namespace {

bool StartsWith(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view magic) {
    return bytes.size() >= at + magic.size() && std::memcmp(bytes.data() + at, magic.data(), magic.size()) == 0;
}

struct Magic {
    std::size_t at;
    std::string_view bytes;
    std::string_view what;
};

// Formats that can sit beside Zole files and might hold no NUL early on.
constexpr Magic kMagics[] = {
    {0, "PK\x03\x04", "a ZIP archive"},
    {0, "PK\x05\x06", "a ZIP archive"},
    {2, "-lh", "an LHA archive"},
    {2, "-lz", "an LHA archive"},
    {0, "\x1F\x8B", "a gzip file"},
    {0, "BZh", "a bzip2 file"},
    {0, "7z\xBC\xAF\x27\x1C", "a 7-Zip archive"},
    {0, "Rar!\x1A\x07", "a RAR archive"},
    {0, "MSCF", "a cabinet archive"},
    {0, "MThd", "a MIDI file"},
    {0, "RIFF", "a RIFF file (WAVE or RMID)"},
    {0, "\x89PNG", "a PNG image"},
    {0, "%PDF", "a PDF document"},
    {0, "\xEF\xBB\xBF", "UTF-8 text with a byte order mark"},
    {0, "\xFF\xFE", "UTF-16 text"},
    {0, "\xFE\xFF", "UTF-16 text"},
};

}  // namespace

std::string_view NotZoleText(std::span<const std::uint8_t> bytes) noexcept {
    for (const Magic& m : kMagics) {
        if (!StartsWith(bytes, m.at, m.bytes)) continue;
        // An LHA method is -lh?- or -lz?-: five bytes, the last a dash.
        if (m.at == 2 && !(bytes.size() > 6 && bytes[6] == '-')) continue;
        // bzip2 names its block size right after.
        if (m.bytes == "BZh" && !(bytes.size() > 3 && bytes[3] >= '1' && bytes[3] <= '9')) continue;
        return m.what;
    }
    if (std::memchr(bytes.data(), 0, bytes.size()) != nullptr) return "a binary file (it holds NUL bytes)";
    return {};
}

bool IsUtf8Text(std::span<const std::uint8_t> bytes) noexcept {
    const bool beyond_ascii = std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
    return beyond_ascii && collection::IsUtf8(bytes);
}

}  // namespace zolehead::edit
