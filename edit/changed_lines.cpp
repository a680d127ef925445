#include "changed_lines.hpp"

#include <string_view>

namespace zolehead::edit {

namespace {

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

std::uint64_t LineStart(std::string_view text, std::uint64_t pos) {
    while (pos > 0 && !IsLineEnd(text[pos - 1])) --pos;
    return pos;
}

std::uint64_t LineEnd(std::string_view text, std::uint64_t pos) {
    while (pos < text.size() && !IsLineEnd(text[pos])) ++pos;
    return pos;
}

std::string_view WithoutFinalLineEnd(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    return text;
}

bool EndsLine(std::string_view text) { return text.empty() || IsLineEnd(text.back()); }

// UTF-8 with every line end made "\n".
std::string Shown(std::string_view bytes, collection::ShiftJisDecoder& decoder) {
    std::string text;
    decoder.decode(bytes, text);
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            lines += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            lines += text[i];
        }
    }
    return lines;
}

std::uint64_t LineNumber(std::string_view text, std::uint64_t pos) {
    std::uint64_t line = 1;
    for (std::uint64_t i = 0; i < pos; ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && !(i + 1 < text.size() && text[i + 1] == '\n'))) ++line;
    }
    return line;
}

}  // namespace

std::vector<LineChange> ChangedLines(std::span<const std::uint8_t> bytes, const Plan& plan,
                                     collection::ShiftJisDecoder& decoder) {
    const std::string_view old_text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string_view new_text(plan.result);
    std::vector<LineChange> changes;
    std::int64_t shift = 0;  // new offset minus old offset so far
    for (const Splice& s : plan.splices) {
        const std::string_view removed = old_text.substr(s.offset, s.removed);
        const std::string_view inserted = plan.inserted_by(s);
        const std::uint64_t new_offset = static_cast<std::uint64_t>(static_cast<std::int64_t>(s.offset) + shift);
        LineChange change;
        change.line = LineNumber(old_text, LineStart(old_text, s.offset));
        if (LineStart(old_text, s.offset) == s.offset && EndsLine(removed) && EndsLine(inserted)) {
            // Whole lines out, whole lines in.
            change.before = Shown(WithoutFinalLineEnd(removed), decoder);
            change.after = Shown(WithoutFinalLineEnd(inserted), decoder);
        } else {
            const std::uint64_t old_begin = LineStart(old_text, s.offset);
            const std::uint64_t new_begin = LineStart(new_text, new_offset);
            const std::uint64_t old_end = LineEnd(old_text, s.offset + s.removed);
            const std::uint64_t new_end = LineEnd(new_text, new_offset + s.insert_size);
            change.before = Shown(WithoutFinalLineEnd(old_text.substr(old_begin, old_end - old_begin)), decoder);
            change.after = Shown(WithoutFinalLineEnd(new_text.substr(new_begin, new_end - new_begin)), decoder);
        }
        changes.push_back(std::move(change));
        shift += static_cast<std::int64_t>(s.insert_size) - static_cast<std::int64_t>(s.removed);
    }
    return changes;
}

}  // namespace zolehead::edit
