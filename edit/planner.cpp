#include "planner.hpp"

#include <algorithm>
#include <cstring>

#include "identifier_table.hpp"
#include "text_kind.hpp"
#include "value_rules.hpp"

namespace zolehead::edit {

namespace {

constexpr std::uint8_t kLF = 0x0A, kCR = 0x0D;
constexpr std::string_view kFullWidthColon = "\x81\x46";

bool IsLineEnd(std::uint8_t b) { return b == kLF || b == kCR; }
bool IsBlank(std::uint8_t b) { return b == ' ' || b == '\t'; }

using Bytes = std::span<const std::uint8_t>;

std::string_view View(Bytes bytes, std::uint64_t begin, std::uint64_t end) {
    return {reinterpret_cast<const char*>(bytes.data()) + begin, static_cast<std::size_t>(end - begin)};
}

// The length of the line end at `pos` before `limit`: 2 for CR LF, 1 for a
// lone CR or LF, 0 for none.
std::uint64_t LineEndLength(Bytes bytes, std::uint64_t pos, std::uint64_t limit) {
    if (pos >= limit) return 0;
    if (bytes[pos] == kLF) return 1;
    if (bytes[pos] == kCR) return pos + 1 < limit && bytes[pos + 1] == kLF ? 2 : 1;
    return 0;
}

std::uint64_t LineEnd(Bytes bytes, std::uint64_t pos, std::uint64_t limit) {
    while (pos < limit && !IsLineEnd(bytes[pos])) ++pos;
    return pos;
}

// 1-based, counting CR LF as one line end; for messages only.
std::uint64_t LineNumber(Bytes bytes, std::uint64_t pos) {
    std::uint64_t line = 1;
    for (std::uint64_t i = 0; i < pos && i < bytes.size(); ++i) {
        if (bytes[i] == kLF || (bytes[i] == kCR && !(i + 1 < bytes.size() && bytes[i + 1] == kLF))) ++line;
    }
    return line;
}

// The file's own line end: its first one, or CR LF when it has none.
std::string_view FirstLineEnd(Bytes bytes, std::uint64_t limit) {
    const std::uint64_t at = LineEnd(bytes, 0, limit);
    if (at == limit) return "\r\n";
    return View(bytes, at, at + LineEndLength(bytes, at, limit));
}

// Whether only blanks and at most one line end lie in [begin, end).
bool OneLineApart(Bytes bytes, std::uint64_t begin, std::uint64_t end) {
    int line_ends = 0;
    for (std::uint64_t i = begin; i < end; ++i) {
        if (IsBlank(bytes[i])) continue;
        if (!IsLineEnd(bytes[i])) return false;
        if (bytes[i] == kCR && i + 1 < end && bytes[i + 1] == kLF) ++i;
        if (++line_ends > 1) return false;
    }
    return true;
}

bool Overlap(const ByteRange& x, const ByteRange& y) { return x.begin < y.end && y.begin < x.end; }

std::string Keyword(int row) { return std::string(kIdentifiers[static_cast<std::size_t>(row)].keyword); }

const char* FormName(EntryForm form) { return form == EntryForm::A ? "form A line" : "form B entry"; }

}  // namespace

void Planner::refuse(Problem problem, std::string reason, int check) {
    plan_.kind = Plan::Kind::REFUSED;
    plan_.problem = problem;
    plan_.check = check;
    plan_.reason = std::move(reason);
    plan_.splices.clear();
    plan_.inserted.clear();
    plan_.result.clear();
    for (FieldOutcome& f : plan_.fields) {
        f.changed = false;
        f.after = f.before;
    }
}

const Plan& Planner::plan(Bytes bytes, std::span<const FieldEdit> edits, InsertForm form) {
    plan_.kind = Plan::Kind::UNCHANGED;
    plan_.problem = Problem::NONE;
    plan_.check = 0;
    plan_.reason.clear();
    plan_.fields.clear();
    plan_.splices.clear();
    plan_.inserted.clear();
    plan_.result.clear();

    before_ = ReadThree(bytes);
    bool seen[kFieldCount] = {};
    for (const FieldEdit& e : edits) {
        if (e.row < 0 || e.row >= kFieldCount) {
            refuse(Problem::BAD_VALUE, "no such field (row " + std::to_string(e.row) + ")");
            return plan_;
        }
        const HeaderSlot& now = before_.both.slots[static_cast<std::size_t>(e.row)];
        plan_.fields.push_back({e.row, e.action, false, now, now});
    }
    for (const FieldEdit& e : edits) {
        if (seen[e.row]) {
            refuse(Problem::BAD_VALUE, Keyword(e.row) + ": named more than once");
            return plan_;
        }
        seen[e.row] = true;
        if (e.action != EditAction::SET) continue;
        if (std::string why = CheckValueBytes(e.value); !why.empty()) {
            refuse(Problem::BAD_VALUE, Keyword(e.row) + ": the value " + why);
            return plan_;
        }
    }

    if (AlreadySatisfied(before_, edits)) return plan_;

    if (const std::string_view what = NotZoleText(bytes); !what.empty()) {
        refuse(Problem::NOT_ZOLE_TEXT, "the file is " + std::string(what) + ", not Zole text");
        return plan_;
    }
    const bool any_beyond_ascii = std::any_of(edits.begin(), edits.end(), [](const FieldEdit& e) {
        return std::any_of(e.value.begin(), e.value.end(), [](char c) { return static_cast<std::uint8_t>(c) >= 0x80; });
    });
    if (any_beyond_ascii && IsUtf8Text(bytes)) {
        refuse(Problem::NOT_ZOLE_TEXT,
               "the file is UTF-8 text, not code page 932: the new value's code page 932 bytes would not fit in");
        return plan_;
    }

    MapEntries(bytes, map_);
    if (!plan_changes(bytes, edits, form)) return plan_;

    // Pure insertions first where two splices start together.
    std::sort(plan_.splices.begin(), plan_.splices.end(), [](const Splice& x, const Splice& y) {
        return x.offset != y.offset ? x.offset < y.offset : x.removed < y.removed;
    });
    std::uint64_t grow = 0, shrink = 0, covered = 0;
    for (const Splice& s : plan_.splices) {
        if (s.offset < covered) {
            refuse(Problem::NESTED_ENTRY, "two of the changes would overlap");
            return plan_;
        }
        covered = s.offset + s.removed;
        grow += s.insert_size;
        shrink += s.removed;
    }
    plan_.result.reserve(bytes.size() + grow - shrink);
    std::uint64_t from = 0;
    for (const Splice& s : plan_.splices) {
        plan_.result.append(View(bytes, from, s.offset));
        plan_.result.append(plan_.inserted_by(s));
        from = s.offset + s.removed;
    }
    plan_.result.append(View(bytes, from, bytes.size()));

    const CheckFailure failure = CheckPlan(bytes, before_, plan_, edits, after_, decoder_);
    if (failure.check != 0) {
        refuse(Problem::CHECK_FAILED, "check " + std::to_string(failure.check) + " failed: " + failure.reason,
               failure.check);
        return plan_;
    }
    plan_.kind = Plan::Kind::CHANGE;
    for (FieldOutcome& f : plan_.fields) f.after = after_.both.slots[static_cast<std::size_t>(f.row)];
    return plan_;
}

bool Planner::plan_changes(Bytes bytes, std::span<const FieldEdit> edits, InsertForm form) {
    const std::vector<HeaderEntry>& entries = map_.entries;
    const std::uint64_t text_size = map_.text_size;

    int count_a = 0, count_b = 0, double_quotes = 0, single_quotes = 0;
    for (const HeaderEntry& e : entries) {
        if (e.row < 0) continue;
        if (e.form == EntryForm::A) {
            ++count_a;
            continue;
        }
        ++count_b;
        (bytes[e.separator.begin] == '\'' ? single_quotes : double_quotes) += 1;
    }
    const EntryForm new_form = form == InsertForm::A   ? EntryForm::A
                               : form == InsertForm::B ? EntryForm::B
                               : count_a > count_b     ? EntryForm::A
                                                       : EntryForm::B;
    const char preferred_quote = single_quotes > double_quotes ? '\'' : '"';

    // Refuses a change to an entry that overlaps another field's entry.
    // Entries are in order of their first byte; an earlier entry reaches
    // into this one only if the furthest end before it does.
    reach_.assign(entries.size(), 0);
    for (std::size_t i = 1; i < entries.size(); ++i) {
        const HeaderEntry& e = entries[i - 1];
        reach_[i] = std::max(reach_[i - 1], e.row >= 0 ? e.entry.end : 0);
    }
    const auto nested = [&](const HeaderEntry& target) {
        const std::size_t at = static_cast<std::size_t>(&target - entries.data());
        const HeaderEntry* other = nullptr;
        if (reach_[at] > target.entry.begin) {
            for (std::size_t j = at; j-- > 0 && other == nullptr;) {
                if (entries[j].row >= 0 && Overlap(entries[j].entry, target.entry)) other = &entries[j];
            }
        }
        for (std::size_t j = at + 1; j < entries.size() && other == nullptr && entries[j].entry.begin < target.entry.end;
             ++j) {
            if (entries[j].row >= 0) other = &entries[j];
        }
        if (other == nullptr) return false;
        const bool holds = target.entry.begin <= other->entry.begin && other->entry.end <= target.entry.end;
        const std::string line = std::to_string(LineNumber(bytes, target.entry.begin));
        if (holds) {
            refuse(Problem::NESTED_ENTRY, Keyword(target.row) + ": its " + FormName(target.form) + " on line " + line +
                                              " holds a " + Keyword(other->row) + " " + FormName(other->form) +
                                              ", which would change with it");
        } else {
            refuse(Problem::NESTED_ENTRY, Keyword(target.row) + ": its " + FormName(target.form) + " on line " + line +
                                              " sits inside the value of a " + Keyword(other->row) + " " +
                                              FormName(other->form) + ", and cannot change without changing " +
                                              Keyword(other->row));
        }
        return true;
    };
    const auto add = [&](std::uint64_t offset, std::uint64_t removed, std::string_view text) {
        plan_.splices.push_back({offset, removed, plan_.inserted.size(), text.size()});
        plan_.inserted.append(text);
    };
    const auto remove = [&](const HeaderEntry& e) {
        if (nested(e)) return false;
        if (e.form == EntryForm::A) {
            add(e.entry.begin, e.entry.size() + LineEndLength(bytes, e.entry.end, text_size), {});
            return true;
        }
        // A keyword alone on its line takes the line with it. Only blanks
        // are stepped over, so a long line costs no more than its entry.
        std::uint64_t start = e.entry.begin;
        while (start > 0 && IsBlank(bytes[start - 1])) --start;
        std::uint64_t end = e.entry.end;
        while (end < text_size && IsBlank(bytes[end])) ++end;
        const bool alone = (start == 0 || IsLineEnd(bytes[start - 1])) && (end == text_size || IsLineEnd(bytes[end]));
        if (alone) {
            add(start, end + LineEndLength(bytes, end, text_size) - start, {});
        } else {
            add(e.entry.begin, e.entry.size(), {});
        }
        return true;
    };
    std::string& quoted = quoted_;  // a form B value with its quotes
    const auto replace = [&](const HeaderEntry& e, std::string_view value) {
        if (nested(e)) return false;
        if (e.form == EntryForm::A) {
            if (const std::string_view why = FormAProblem(value); !why.empty()) {
                refuse(Problem::BAD_VALUE, Keyword(e.row) + ": the value " + std::string(why) + " (the field has a " +
                                               "form A line, line " + std::to_string(LineNumber(bytes, e.entry.begin)) +
                                               ")");
                return false;
            }
            add(e.value.begin, e.value.size(), value);
            return true;
        }
        const char quote = FormBQuote(value, static_cast<char>(bytes[e.separator.begin]));
        if (quote == 0) {
            refuse(Problem::BAD_VALUE, Keyword(e.row) + ": the value " + std::string(kFormBBothQuotes));
            return false;
        }
        quoted.assign(1, quote).append(value).append(1, quote);
        add(e.separator.begin, e.entry.end - e.separator.begin, quoted);
        return true;
    };

    // New lines all go to one place, after the header block.
    bool inserting = false;
    std::string& lines = lines_;
    lines.clear();
    for (const FieldEdit& edit : edits) {
        const HeaderEntry* last_b = nullptr;
        const HeaderEntry* last_a = nullptr;
        const HeaderEntry* empty_a = nullptr;
        int a_values = 0;
        for (const HeaderEntry& e : entries) {
            if (e.row != edit.row) continue;
            if (e.form == EntryForm::B) {
                last_b = &e;
            } else if (e.single_form == EntryFate::STORED) {
                last_a = &e;
                ++a_values;
            } else if (e.single_form == EntryFate::NO_VALUE) {
                empty_a = &e;
            }
        }
        const std::size_t splices_before = plan_.splices.size();
        const std::size_t lines_before = lines.size();

        if (edit.action == EditAction::REMOVE) {
            for (const HeaderEntry& e : entries) {
                if (e.row != edit.row) continue;
                if (e.form == EntryForm::A && e.single_form != EntryFate::STORED) continue;
                if (!remove(e)) return false;
            }
        } else if (last_b != nullptr) {
            // Form B wins in the combined reader; the form A reader, if it
            // reads the field, must read the new value too.
            if (last_b->stored != edit.value && !replace(*last_b, edit.value)) return false;
            if (last_a != nullptr && last_a->stored != edit.value && !replace(*last_a, edit.value)) return false;
        } else if (last_a != nullptr) {
            // One line left, so that the combined reader does not empty it.
            for (const HeaderEntry& e : entries) {
                if (e.row != edit.row || e.form != EntryForm::A || e.single_form != EntryFate::STORED) continue;
                if (&e != last_a && !remove(e)) return false;
            }
            if (last_a->stored != edit.value && !replace(*last_a, edit.value)) return false;
        } else if (new_form == EntryForm::A && empty_a != nullptr) {
            if (!replace(*empty_a, edit.value)) return false;
        } else if (new_form == EntryForm::A) {
            if (const std::string_view why = FormAProblem(edit.value); !why.empty()) {
                refuse(Problem::BAD_VALUE, Keyword(edit.row) + ": the value " + std::string(why) +
                                               ", and a new entry would be a form A line");
                return false;
            }
            lines.append(kIdentifiers[static_cast<std::size_t>(edit.row)].label).append(kFullWidthColon);
            lines.append(edit.value).append(1, '\n');  // '\n' stands for the line end, set below
            inserting = true;
        } else {
            const char quote = FormBQuote(edit.value, preferred_quote);
            if (quote == 0) {
                refuse(Problem::BAD_VALUE, Keyword(edit.row) + ": the value " + std::string(kFormBBothQuotes));
                return false;
            }
            lines.append(1, '*').append(kIdentifiers[static_cast<std::size_t>(edit.row)].keyword).append(1, ' ');
            lines.append(1, quote).append(edit.value).append(1, quote).append(1, '\n');
            inserting = true;
        }
        const bool changed = plan_.splices.size() != splices_before || lines.size() != lines_before;
        for (FieldOutcome& f : plan_.fields) {
            if (f.row == edit.row) f.changed = changed;
        }
    }
    if (!inserting) return true;

    // Where the header block ends, and the line end to use.
    std::uint64_t point = 0;
    std::string_view line_end = FirstLineEnd(bytes, text_size);
    bool line_end_first = false;
    const auto first = std::find_if(entries.begin(), entries.end(), [](const HeaderEntry& e) { return e.row >= 0; });
    if (first != entries.end()) {
        std::uint64_t end = first->entry.end;
        for (auto e = first + 1; e != entries.end(); ++e) {
            if (e->row < 0) continue;
            if (e->entry.begin > end && !OneLineApart(bytes, end, e->entry.begin)) break;
            end = std::max(end, e->entry.end);
        }
        const std::uint64_t at = LineEnd(bytes, end, text_size);
        if (at < text_size) {
            point = at + LineEndLength(bytes, at, text_size);
            line_end = View(bytes, at, point);
        } else {
            point = text_size;  // the last line has no line end: give it one first
            line_end_first = true;
        }
    }
    std::string& text = quoted_;
    text.clear();
    if (line_end_first) text.append(line_end);
    for (char c : lines) {
        if (c == '\n') {
            text.append(line_end);
        } else {
            text += c;
        }
    }
    add(point, 0, text);
    return true;
}

}  // namespace zolehead::edit
