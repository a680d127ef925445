#include "lint_checks.hpp"

#include <algorithm>

#include "entry_map.hpp"
#include "field_story.hpp"
#include "keyword_machine.hpp"
#include "label_part.hpp"
#include "near_miss.hpp"
#include "story_messages.hpp"
#include "utf8_validation.hpp"

namespace zolehead::explain {

using collection::IsUtf8;

namespace {

constexpr std::size_t kLabelMaxCharacters = kLabelMaxBytes / 2;
constexpr std::string_view kWideColonUtf8 = "\xEF\xBC\x9A";  // ：

std::string_view Keyword(int row) { return kIdentifiers[static_cast<std::size_t>(row)].keyword; }

// A form B entry whose asterisk, name and quote stand together on one line
// (`*Titel 'x'`, `*Titel = "x"`): what an author wrote as a keyword, rather
// than a stray asterisk that the machine paired with some later quote.
// Returns the name as written, or nothing.
std::string_view StarredWord(std::span<const std::uint8_t> bytes, const HeaderEntry& e) {
    std::uint64_t i = e.entry.begin + 1;
    const std::uint64_t quote = e.separator.begin;
    const std::uint64_t name_begin = i;
    while (i < quote && IsNameChar(bytes[i])) ++i;
    const std::uint64_t name_end = i;
    if (name_end == name_begin) return {};
    while (i < quote && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '=' || bytes[i] == ':')) ++i;
    if (i != quote) return {};
    return {reinterpret_cast<const char*>(bytes.data() + name_begin), name_end - name_begin};
}

class Checker {
public:
    Checker(std::span<const std::uint8_t> bytes, collection::ShiftJisDecoder& decoder)
        : bytes_(bytes), decoder_(decoder) {}

    void encoding() {
        static constexpr std::uint8_t kBom[] = {0xEF, 0xBB, 0xBF};
        std::span<const std::uint8_t> text = bytes_;
        if (text.size() >= 3 && std::equal(kBom, kBom + 3, text.begin())) {
            add(0, "utf8-bom", "the file begins with a UTF-8 byte-order mark: its first line cannot be a header line");
            text = text.subspan(3);
        }
        const auto first_high = std::find_if(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0x80; });
        if (first_high == text.end() || !IsUtf8(text)) return;
        // Real Shift_JIS text is almost never valid UTF-8, but a short run
        // can be: two half-width katakana (DE BD) make one UTF-8 character.
        // Japanese in UTF-8 takes three bytes a character, which code page
        // 932 text hardly ever forms; bytes that mean nothing in code page
        // 932 settle it too.
        const bool wide = std::any_of(text.begin(), text.end(), [](std::uint8_t b) { return b >= 0xE0; });
        std::string ignored;
        if (!wide && decoder_.decode({reinterpret_cast<const char*>(text.data()), text.size()}, ignored)) return;
        utf8_file_ = true;
        add(static_cast<std::uint64_t>(&*first_high - bytes_.data()), "utf8-file",
            "the file is UTF-8, not code page 932 (Shift_JIS): its Japanese labels and values do not read as written");
    }

    // The near misses the machines never see: a line is read up to where its
    // label part ends.
    void lines(std::uint64_t text_size) {
        std::uint64_t begin = 0;
        for (std::uint64_t i = 0; i <= text_size; ++i) {
            if (i < text_size && bytes_[i] != '\n' && bytes_[i] != '\r') continue;
            line(begin, bytes_.subspan(begin, i - begin));
            begin = i + 1;
        }
    }

    void entries(const EntryMap& map) {
        for (const HeaderEntry& e : map.entries) {
            if (e.row >= 0) continue;
            if (e.form == EntryForm::A) {
                if (e.name.empty()) continue;  // a line that begins with its colon is no label line
                std::string message = quoted(e.name) + " is not a known label: the line is not read";
                std::string suggestion;
                if (const int row = NearLabelRow(e.name); row >= 0) {
                    suggestion = text(kIdentifiers[static_cast<std::size_t>(row)].label);
                    message += "; did you mean '" + suggestion + "' (" + std::string(Keyword(row)) + ")?";
                }
                add(e.entry.begin, "unknown-label", std::move(message), std::move(suggestion));
            } else {
                const std::string_view name = StarredWord(bytes_, e);
                if (name.empty()) continue;
                std::string message = "'*" + text(name) + "' is not a known keyword: its value is not read";
                std::string suggestion;
                if (const int row = NearKeywordRow(name); row >= 0) {
                    suggestion = Keyword(row);
                    message += "; did you mean '" + suggestion + "'?";
                }
                add(e.entry.begin, "unknown-keyword", std::move(message), std::move(suggestion));
            }
        }
        if (map.unclosed_quote) {
            const char quote = static_cast<char>(bytes_[*map.unclosed_quote]);
            add(*map.unclosed_quote, "unclosed-quote",
                std::string("the value opened by this ") + quote + " is never closed: it runs to the end of " +
                    (map.has_end_mark ? "the text (the 0x1A mark)" : "the file") + " and nothing is stored");
        }
    }

    void story(const Story& story) {
        for (const FieldStory& field : story.fields) {
            const std::string keyword(Keyword(field.row));
            for (const StoryEntry& e : field.entries) {
                if (e.dropped_at_limit > 0) {
                    add(e.value.offset, "value-cut",
                        keyword + " value cut at 127 bytes: " + std::to_string(e.dropped_at_limit) +
                            (e.dropped_at_limit == 1 ? " byte" : " bytes") + " dropped");
                }
                if (!utf8_file_ && !e.stored.empty()) {
                    std::string ignored;
                    if (!decoder_.decode(e.stored, ignored)) {
                        add(e.value.offset, "not-cp932",
                            keyword + " value has bytes with no code page 932 meaning (shown as U+FFFD)");
                    }
                }
                for (const Verdict& v : e.verdicts) {
                    if (v.reader != HeaderForm::BOTH) continue;
                    if (v.outcome == Outcome::EMPTIES) {
                        add(e.at.offset, "repeated-label",
                            quoted(e.name) + " (" + keyword + ") repeats the label of " + other(field, v.other) +
                                ": the combined reader empties " + keyword);
                    } else if (v.outcome == Outcome::IGNORED_FOR_FORM_B) {
                        add(e.at.offset, "hidden-by-form-b",
                            quoted(e.name) + " (" + keyword + ") is ignored by the combined reader: the form B entry on " +
                                other(field, v.other) + " came first and wins");
                    }
                }
            }
        }
    }

    // Entries after the end-of-text mark: each stretch up to the next mark,
    // mapped as if it were a file of its own.
    void after_end_mark(const EntryMap& map, const Story& story) {
        if (!map.has_end_mark || !story.end_mark) return;
        const std::string mark = DescribePlace(*story.end_mark);
        std::uint64_t base = map.text_size + 1;
        while (base < bytes_.size()) {
            const EntryMap tail = MapEntries(bytes_.subspan(base));
            for (const HeaderEntry& e : tail.entries) {
                if (e.row < 0) continue;
                add(base + e.entry.begin, "after-end-mark",
                    std::string(Keyword(e.row)) + (e.form == EntryForm::A ? " line" : " entry") +
                        " after the end-of-text mark (0x1A on " + mark + ") is never read");
            }
            if (!tail.has_end_mark) break;
            base += tail.text_size + 1;
        }
    }

    std::vector<Warning> finish(std::span<const std::string> ignore) && {
        std::erase_if(warnings_, [&](const Warning& w) {
            return std::find(ignore.begin(), ignore.end(), w.code) != ignore.end();
        });
        std::stable_sort(warnings_.begin(), warnings_.end(),
                         [](const Warning& x, const Warning& y) { return x.at.offset < y.at.offset; });
        std::vector<std::uint64_t> offsets;
        for (const Warning& w : warnings_) offsets.push_back(w.at.offset);
        const std::vector<TextPosition> found = Locate(bytes_, offsets);
        for (std::size_t i = 0; i < warnings_.size(); ++i) warnings_[i].at = found[i];
        return std::move(warnings_);
    }

private:
    void line(std::uint64_t begin, std::span<const std::uint8_t> bytes) {
        const LabelPart part = ReadLabelPart(bytes);
        if (part.end == LabelPart::End::ASCII_COLON) {
            const int row = FindLabelRow(part.label);
            if (row < 0) return;
            add(begin + part.stop, "ascii-colon",
                quoted(part.label) + " (" + std::string(Keyword(row)) +
                    ") is followed by an ASCII ':' where a label line needs the full-width '" +
                    std::string(kWideColonUtf8) + "': the line is not read",
                std::string(kWideColonUtf8));
        } else if (part.end == LabelPart::End::WIDE_COLON && static_cast<std::size_t>(part.characters) > kLabelMaxCharacters) {
            add(begin + part.first, "long-label",
                "the label part has " + std::to_string(part.characters) + " characters; a label has at most " +
                    std::to_string(kLabelMaxCharacters) + ", so the line is not read");
        }
    }

    std::string text(std::string_view shift_jis) {
        std::string out;
        decoder_.decode(shift_jis, out);
        return out;
    }
    std::string quoted(std::string_view shift_jis) {
        std::string out = "'";  // appended, not "'" + text: g++ 12 warns of a -Wrestrict false positive
        decoder_.decode(shift_jis, out);
        out += '\'';
        return out;
    }
    static std::string other(const FieldStory& field, int index) {
        if (index < 0 || static_cast<std::size_t>(index) >= field.entries.size()) return "an earlier line";
        return DescribePlace(field.entries[static_cast<std::size_t>(index)].at);
    }

    void add(std::uint64_t offset, std::string_view code, std::string message, std::string suggestion = {}) {
        Warning w;
        w.at.offset = offset;
        w.code = code;
        w.message = std::move(message);
        w.suggestion = std::move(suggestion);
        warnings_.push_back(std::move(w));
    }

    std::span<const std::uint8_t> bytes_;
    collection::ShiftJisDecoder& decoder_;
    bool utf8_file_ = false;
    std::vector<Warning> warnings_;
};

}  // namespace

bool IsLintCode(std::string_view code) noexcept {
    return std::any_of(kLintCodes.begin(), kLintCodes.end(), [&](const LintCode& c) { return c.code == code; });
}

std::vector<Warning> Lint(std::span<const std::uint8_t> bytes, collection::ShiftJisDecoder& decoder,
                          std::span<const std::string> ignore) {
    const EntryMap map = MapEntries(bytes);
    const Story story = TellStory(bytes, map);
    Checker checker(bytes, decoder);
    checker.encoding();
    checker.lines(map.text_size);
    checker.entries(map);
    checker.story(story);
    checker.after_end_mark(map, story);
    return std::move(checker).finish(ignore);
}

}  // namespace zolehead::explain
