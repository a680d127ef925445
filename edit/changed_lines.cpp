#include "changed_lines.hpp"

#include <algorithm>
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

// Counts lines forward from where the last count stopped: the splices come
// in file order, so all of them cost one pass over the file.
class LineCounter {
public:
    explicit LineCounter(std::string_view text) : text_(text) {}
    std::uint64_t line_at(std::uint64_t pos) {
        for (; at_ < pos; ++at_) {
            if (text_[at_] == '\n' || (text_[at_] == '\r' && !(at_ + 1 < text_.size() && text_[at_ + 1] == '\n'))) {
                ++line_;
            }
        }
        return line_;
    }

private:
    std::string_view text_;
    std::uint64_t at_ = 0;
    std::uint64_t line_ = 1;
};

}  // namespace

std::vector<LineChange> ChangedLines(std::span<const std::uint8_t> bytes, const Plan& plan,
                                     collection::ShiftJisDecoder& decoder) {
    const std::string_view old_text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string_view new_text(plan.result);
    std::vector<LineChange> changes;
    LineCounter lines(old_text);
    std::int64_t shift = 0;  // new offset minus old offset, before the splice at hand

    // Splices within the same lines make one change; `open` is the one
    // being gathered: old lines [old_begin, old_end), new from new_begin.
    bool open = false;
    std::uint64_t old_begin = 0, old_end = 0, new_begin = 0;
    const auto close = [&] {
        if (!open) return;
        const auto new_end = static_cast<std::uint64_t>(static_cast<std::int64_t>(old_end) + shift);
        LineChange change;
        change.line = lines.line_at(old_begin);
        change.before = Shown(WithoutFinalLineEnd(old_text.substr(old_begin, old_end - old_begin)), decoder);
        change.after = Shown(WithoutFinalLineEnd(new_text.substr(new_begin, new_end - new_begin)), decoder);
        changes.push_back(std::move(change));
        open = false;
    };
    for (const Splice& s : plan.splices) {
        const std::string_view removed = old_text.substr(s.offset, s.removed);
        const std::string_view inserted = plan.inserted_by(s);
        const bool at_line_start = s.offset == 0 || IsLineEnd(old_text[s.offset - 1]);
        if (open && s.offset > old_end) close();
        if (!open && at_line_start && EndsLine(removed) && EndsLine(inserted)) {
            // Whole lines out, whole lines in.
            LineChange change;
            change.line = lines.line_at(s.offset);
            change.before = Shown(WithoutFinalLineEnd(removed), decoder);
            change.after = Shown(WithoutFinalLineEnd(inserted), decoder);
            changes.push_back(std::move(change));
        } else {
            if (!open) {
                open = true;
                old_begin = LineStart(old_text, s.offset);
                new_begin = static_cast<std::uint64_t>(static_cast<std::int64_t>(old_begin) + shift);
                old_end = old_begin;
            }
            old_end = LineEnd(old_text, std::max(old_end, s.offset + s.removed));
        }
        shift += static_cast<std::int64_t>(s.insert_size) - static_cast<std::int64_t>(s.removed);
    }
    close();
    return changes;
}

}  // namespace zolehead::edit
