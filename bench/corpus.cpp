#include "corpus.hpp"

#include <cstdio>
#include <fstream>

#include "identifier_table.hpp"

namespace zolehead_bench {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendPair(std::string& out, unsigned lead, unsigned trail) {
    out += static_cast<char>(lead);
    out += static_cast<char>(trail);
}

// One Japanese character in Shift_JIS. Hiragana and kanji dominate, as in
// real comments; full-width letters put ASCII letters in trail position.
// `colon_per_mille` sets how often the full-width colon shows up.
void AppendJapaneseChar(Rng& rng, std::string& out, std::uint32_t colon_per_mille) {
    if (rng.chance(colon_per_mille)) return AppendPair(out, 0x81, 0x46);  // ：
    const std::uint32_t kind = rng.below(100);
    if (kind < 45) {
        AppendPair(out, 0x82, rng.between(0x9F, 0xF1));  // hiragana
    } else if (kind < 65) {
        unsigned trail = rng.between(0x40, 0x96);
        if (trail == 0x7F) trail = 0x80;
        AppendPair(out, 0x83, trail);  // katakana
    } else if (kind < 90) {
        const unsigned lead = rng.chance(850) ? rng.between(0x89, 0x97) : rng.between(0xE0, 0xE9);
        unsigned trail = rng.between(0x40, 0xFC);
        if (trail == 0x7F) trail = 0x80;
        AppendPair(out, lead, trail);  // kanji
    } else if (kind < 98) {
        static constexpr unsigned kPunctuation[] = {0x41, 0x42, 0x45, 0x5B, 0x75, 0x76, 0x49, 0x48, 0x40};
        AppendPair(out, 0x81, kPunctuation[rng.below(std::size(kPunctuation))]);  // 、。・ー「」！？ and the wide space
    } else if (kind < 99) {
        AppendPair(out, 0x82, rng.between(0x60, 0x79));  // Ａ..Ｚ
    } else {
        AppendPair(out, 0x82, rng.between(0x4F, 0x58));  // ０..９
    }
}

void AppendJapanese(Rng& rng, std::string& out, std::uint32_t chars, std::uint32_t colon_per_mille = 2) {
    for (std::uint32_t i = 0; i < chars; ++i) AppendJapaneseChar(rng, out, colon_per_mille);
}

void AppendNumber(std::string& out, std::uint32_t n) { out += std::to_string(n); }

// One music command: notes, rests, octave, length, volume, program...
void AppendCommand(Rng& rng, std::string& out) {
    static constexpr char kNotes[] = "cdefgab";
    static constexpr std::uint32_t kLengths[] = {1, 2, 4, 8, 8, 8, 16, 16, 32};
    const std::uint32_t kind = rng.below(100);
    if (kind < 55) {
        const std::uint32_t notes = rng.between(1, 8);
        for (std::uint32_t i = 0; i < notes; ++i) {
            out += kNotes[rng.below(7)];
            if (rng.chance(120)) out += rng.chance(500) ? '+' : '-';
            if (rng.chance(300)) AppendNumber(out, kLengths[rng.below(std::size(kLengths))]);
            if (rng.chance(60)) out += '.';
        }
        if (rng.chance(50)) out += '&';
    } else if (kind < 62) {
        out += 'r';
        AppendNumber(out, kLengths[rng.below(std::size(kLengths))]);
    } else if (kind < 70) {
        out += rng.chance(500) ? '>' : '<';
    } else if (kind < 76) {
        out += 'o';
        AppendNumber(out, rng.between(1, 7));
    } else if (kind < 82) {
        out += 'l';
        AppendNumber(out, kLengths[rng.below(std::size(kLengths))]);
    } else if (kind < 87) {
        out += 'v';
        AppendNumber(out, rng.between(60, 127));
    } else if (kind < 90) {
        out += '@';
        AppendNumber(out, rng.below(128));
    } else if (kind < 93) {
        out += 'q';
        AppendNumber(out, rng.between(1, 8));
    } else if (kind < 95) {
        out += 't';
        AppendNumber(out, rng.between(60, 180));
    } else if (kind < 98) {
        out += '[';
        const std::uint32_t notes = rng.between(2, 4);
        for (std::uint32_t i = 0; i < notes; ++i) out += kNotes[rng.below(7)];
        out += ']';
        AppendNumber(out, rng.between(2, 4));
    } else {
        out += '|';
    }
}

// Commands until the line holds at least `bytes` more bytes.
void AppendCommands(Rng& rng, std::string& out, std::size_t bytes) {
    const std::size_t stop = out.size() + bytes;
    while (out.size() < stop) {
        AppendCommand(rng, out);
        if (rng.chance(600)) out += ' ';
    }
}

void AppendTrackName(Rng& rng, std::string& out) {
    static constexpr char kTracks[] = "ABCDEFGHIJR";
    out += kTracks[rng.below(sizeof kTracks - 1)];
    if (rng.chance(150)) out += kTracks[rng.below(sizeof kTracks - 1)];
    out += rng.chance(800) ? " " : "  ";
}

// A header in both forms, as authors write it: a banner, label lines for
// some fields, starred keywords for others (some fields in both).
void AppendHeader(Rng& rng, std::string& out) {
    out += ";==============================";
    out += kLineEnd;
    out += "; ";
    AppendJapanese(rng, out, rng.between(4, 12), 0);
    out += kLineEnd;
    out += ";==============================";
    out += kLineEnd;
    for (const zolehead::Identifier& field : zolehead::kIdentifiers) {
        if (!rng.chance(650)) continue;
        out += field.label;
        out += "\x81\x46";  // ：
        if (rng.chance(600)) {
            AppendJapanese(rng, out, rng.between(2, 14), 0);
        } else {
            AppendCommands(rng, out, rng.between(4, 20));
        }
        out += kLineEnd;
    }
    out += kLineEnd;
    for (const zolehead::Identifier& field : zolehead::kIdentifiers) {
        if (!rng.chance(500)) continue;
        const char quote = rng.chance(700) ? '"' : '\'';
        out += '*';
        out += field.keyword;
        out += rng.chance(800) ? " " : " = ";
        out += quote;
        AppendJapanese(rng, out, rng.between(2, 20), 0);
        out += quote;
        out += kLineEnd;
    }
    out += kLineEnd;
}

// One line of music data. Apostrophes can be kept out so that an unclosed
// value stays unclosed.
void AppendMusicLine(Rng& rng, std::string& out, bool apostrophes) {
    const std::uint32_t kind = rng.below(1000);
    if (kind < 50) {
        // a blank line
    } else if (kind < 130) {
        out += "; ";
        AppendJapanese(rng, out, rng.between(4, 24));
    } else if (kind < 150) {
        out += "; ---- ";
        AppendJapanese(rng, out, rng.between(2, 6));
        out += " ----";
    } else if (kind < 170) {
        out += "// ";
        AppendJapanese(rng, out, rng.between(4, 20));
    } else if (kind < 230) {
        AppendTrackName(rng, out);
        AppendCommands(rng, out, rng.between(10, 50));
        out += " ; ";
        AppendJapanese(rng, out, rng.between(2, 10));
    } else if (kind < 240) {
        const char quote = (apostrophes && rng.chance(300)) ? '\'' : '"';
        out += "#Lyric ";
        out += quote;
        AppendJapanese(rng, out, rng.between(4, 30), 0);
        out += quote;
    } else if (kind < 248) {
        if (rng.chance(500)) {
            out += ";******** ";
            AppendJapanese(rng, out, rng.between(2, 8), 0);
            out += " ********";
        } else {
            AppendTrackName(rng, out);
            AppendCommands(rng, out, rng.between(8, 30));
            out += '*';
            AppendNumber(out, rng.between(2, 4));
        }
    } else if (kind < 258) {
        out += "#Track ";
        AppendNumber(out, rng.between(1, 16));
    } else {
        AppendTrackName(rng, out);
        AppendCommands(rng, out, rng.between(16, 80));
    }
    out += kLineEnd;
}

void AppendDoubleByteLine(Rng& rng, std::string& out) {
    AppendJapanese(rng, out, rng.between(20, 60));
    out += kLineEnd;
}

// Thousands of bytes per line: commands with Japanese remarks in between;
// half the lines start with Japanese text.
void AppendLongLine(Rng& rng, std::string& out) {
    const std::size_t stop = out.size() + rng.between(2000, 8000);
    bool japanese = rng.chance(500);
    while (out.size() < stop) {
        if (japanese) {
            AppendJapanese(rng, out, rng.between(4, 40));
        } else {
            AppendCommands(rng, out, rng.between(20, 200));
        }
        out += ' ';
        japanese = !japanese;
    }
    out += kLineEnd;
}

// Music commands with an asterisk after every 2 to 8 bytes.
void AppendAsteriskLine(Rng& rng, std::string& out) {
    std::string commands;
    AppendTrackName(rng, commands);
    AppendCommands(rng, commands, rng.between(30, 100));
    std::size_t next_star = rng.between(2, 8);
    for (char c : commands) {
        out += c;
        if (--next_star == 0) {
            out += '*';
            next_star = rng.between(2, 8);
        }
    }
    out += kLineEnd;
}

// A label line of the table with 10 to 70 Japanese characters as its value:
// every byte of it is collected by the form A machine.
void AppendLabelLine(Rng& rng, std::string& out) {
    out += zolehead::kIdentifiers[rng.below(std::size(zolehead::kIdentifiers))].label;
    out += "\x81\x46";  // ：
    AppendJapanese(rng, out, rng.between(10, 70), 0);
    out += kLineEnd;
}

}  // namespace

std::string_view ContentName(Content content) noexcept {
    switch (content) {
    case Content::REALISTIC: return "realistic";
    case Content::DOUBLE_BYTE: return "double_byte";
    case Content::LONG_LINES: return "long_lines";
    case Content::ASTERISKS: return "asterisks";
    case Content::UNCLOSED_QUOTE: return "unclosed_quote";
    case Content::HEADER_DENSE: return "header_dense";
    }
    return "unknown";
}

std::string GenerateFile(Content content, std::size_t bytes, std::uint64_t seed) {
    Rng rng(seed);
    std::string out;
    out.reserve(bytes + 16 * 1024);
    if (content != Content::HEADER_DENSE) AppendHeader(rng, out);
    if (content == Content::UNCLOSED_QUOTE) {
        out += "*Comment '";
        AppendJapanese(rng, out, 12, 0);
        out += kLineEnd;
    }
    while (out.size() < bytes) {
        switch (content) {
        case Content::REALISTIC: AppendMusicLine(rng, out, true); break;
        case Content::DOUBLE_BYTE: AppendDoubleByteLine(rng, out); break;
        case Content::LONG_LINES: AppendLongLine(rng, out); break;
        case Content::ASTERISKS: AppendAsteriskLine(rng, out); break;
        case Content::UNCLOSED_QUOTE: AppendMusicLine(rng, out, false); break;
        case Content::HEADER_DENSE: AppendLabelLine(rng, out); break;
        }
    }
    return out;
}

bool WriteFileBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return static_cast<bool>(file);
}

std::vector<std::string> WriteCollection(const std::filesystem::path& dir, int count, std::size_t bytes_each,
                                         std::uint64_t seed) {
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(count));
    Rng sizes(seed);
    for (int i = 0; i < count; ++i) {
        const std::filesystem::path folder = dir / std::to_string(i / 100);
        if (i % 100 == 0) std::filesystem::create_directories(folder);
        char name[32];
        std::snprintf(name, sizeof name, "song%05d.zole", i);
        const std::size_t bytes = bytes_each * 3 / 4 + sizes.below(static_cast<std::uint32_t>(bytes_each / 2 + 1));
        const std::filesystem::path path = folder / name;
        if (!WriteFileBytes(path, GenerateFile(Content::REALISTIC, bytes, seed + 1 + static_cast<std::uint64_t>(i))))
            return {};
        paths.push_back(path.string());
    }
    return paths;
}

}  // namespace zolehead_bench
