// The checks 1-4 of an edit, verified from the outside: given the original
// bytes, the edits and a plan, re-derive the new bytes from the splices and
// read them with the core. Shared by the planner's tests and its fuzzer, and
// written apart from the planner's own checks so that a fault in those does
// not hide itself.
#pragma once

#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "edit_plan.hpp"
#include "zolehead.hpp"

namespace zh_edit_check {

inline std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// "" when every check holds for a CHANGE plan, else what broke.
inline std::string VerifyChange(std::string_view original, std::span<const zolehead::edit::FieldEdit> edits,
                                const zolehead::edit::Plan& plan) {
    using namespace zolehead;
    // 4: rebuild from the splices alone; nothing from the end mark on moves.
    const std::size_t mark = original.find('\x1A');
    const std::size_t text_end = mark == std::string_view::npos ? original.size() : mark;
    std::string rebuilt;
    std::size_t from = 0;
    for (const edit::Splice& s : plan.splices) {
        if (s.offset < from || s.offset + s.removed > text_end) return "4: a splice overlaps or passes the end mark";
        rebuilt.append(original.substr(from, s.offset - from));
        rebuilt.append(plan.inserted_by(s));
        from = s.offset + s.removed;
    }
    rebuilt.append(original.substr(from));
    if (rebuilt != plan.result) return "4: the result is not the splices applied";
    if (mark != std::string_view::npos) {
        const std::string_view tail = original.substr(mark);
        if (rebuilt.size() < tail.size() || rebuilt.compare(rebuilt.size() - tail.size(), tail.size(), tail) != 0 ||
            rebuilt.find('\x1A') != rebuilt.size() - tail.size()) {
            return "4: the end mark or what follows it changed";
        }
    }
    for (const edit::Splice& s : plan.splices) {
        if (plan.inserted_by(s).find('\x1A') != std::string_view::npos) return "4: an end mark inserted";
    }

    const HeaderForm forms[] = {HeaderForm::A, HeaderForm::B, HeaderForm::BOTH};
    for (HeaderForm form : forms) {
        const ZoleHeader before = ReadHeader(Bytes(original), form);
        const ZoleHeader after = ReadHeader(Bytes(rebuilt), form);
        for (int row = 0; row < kFieldCount; ++row) {
            const HeaderSlot& was = before.slots[static_cast<std::size_t>(row)];
            const HeaderSlot& now = after.slots[static_cast<std::size_t>(row)];
            const edit::FieldEdit* e = nullptr;
            for (const edit::FieldEdit& x : edits) {
                if (x.row == row) e = &x;
            }
            const std::string where = "field " + std::to_string(row) + ", form " +
                                      std::to_string(static_cast<int>(form));
            if (e == nullptr) {
                if (was.status != now.status || was.text() != now.text()) return "3: " + where + " changed";
            } else if (e->action == edit::EditAction::REMOVE) {
                if (now.status != STATUS_NONE) return "1/2: " + where + " still read after removal";
            } else if (form == HeaderForm::BOTH) {
                if (now.status == STATUS_NONE || now.text() != e->value) return "1: " + where + " is not the new value";
            } else if (now.status != STATUS_NONE ? now.text() != e->value : was.status != STATUS_NONE) {
                return "2: " + where + " does not read the new value";
            }
        }
    }
    return {};
}

}  // namespace zh_edit_check
