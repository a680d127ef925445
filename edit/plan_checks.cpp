#include "plan_checks.hpp"

#include <cstring>

#include "identifier_table.hpp"

namespace zolehead::edit {

namespace {

std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

const char* ReaderName(int which) {
    return which == 0 ? "the form A reader" : which == 1 ? "the form B reader" : "the combined reader";
}

const HeaderSlot& SlotOf(const ThreeReadings& r, int which, int row) {
    const ZoleHeader& h = which == 0 ? r.a : which == 1 ? r.b : r.both;
    return h.slots[static_cast<std::size_t>(row)];
}

std::string Shown(const HeaderSlot& slot, collection::ShiftJisDecoder& decoder) {
    if (slot.status == STATUS_NONE) return "nothing";
    std::string text = "\"";
    decoder.decode(slot.text(), text);
    text += '"';
    return text;
}

const FieldEdit* EditOf(std::span<const FieldEdit> edits, int row) {
    for (const FieldEdit& e : edits) {
        if (e.row == row) return &e;
    }
    return nullptr;
}

// Whether one reader's slot is what the edit asks; `reported_before` says
// whether that reader reported the field before the edit.
bool SlotMeets(const HeaderSlot& slot, const FieldEdit& edit, int which, bool reported_before) {
    if (edit.action == EditAction::REMOVE) return slot.status == STATUS_NONE;
    if (which == 2) return slot.status != STATUS_NONE && slot.text() == edit.value;
    if (slot.status == STATUS_NONE) return !reported_before;
    return slot.text() == edit.value;
}

}  // namespace

ThreeReadings ReadThree(std::span<const std::uint8_t> bytes) noexcept {
    return {ReadHeader(bytes, HeaderForm::A), ReadHeader(bytes, HeaderForm::B), ReadHeader(bytes, HeaderForm::BOTH)};
}

bool AlreadySatisfied(const ThreeReadings& r, std::span<const FieldEdit> edits) noexcept {
    for (const FieldEdit& e : edits) {
        for (int which = 0; which < 3; ++which) {
            const HeaderSlot& slot = SlotOf(r, which, e.row);
            if (!SlotMeets(slot, e, which, slot.status != STATUS_NONE)) return false;
        }
    }
    return true;
}

CheckFailure CheckPlan(std::span<const std::uint8_t> bytes, const ThreeReadings& before, const Plan& plan,
                       std::span<const FieldEdit> edits, ThreeReadings& after,
                       collection::ShiftJisDecoder& decoder) {
    const std::span<const std::uint8_t> result = Bytes(plan.result);

    // 4 first: it needs no reading, and 1-3 mean little if it fails.
    const void* mark = std::memchr(bytes.data(), 0x1A, bytes.size());
    const std::uint64_t text_size =
        mark ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(mark) - bytes.data()) : bytes.size();
    std::uint64_t from = 0;  // in the original
    std::uint64_t to = 0;    // in the result
    for (const Splice& s : plan.splices) {
        if (s.offset < from || s.offset + s.removed > text_size) {
            return {4, "a change would reach past the end-of-text byte or overlap another"};
        }
        const std::uint64_t same = s.offset - from;
        if (to + same > result.size() || std::memcmp(bytes.data() + from, result.data() + to, same) != 0) {
            return {4, "bytes outside the changes would differ"};
        }
        to += same + s.insert_size;
        from = s.offset + s.removed;
    }
    const std::uint64_t rest = bytes.size() - from;
    if (to + rest != result.size() || std::memcmp(bytes.data() + from, result.data() + to, rest) != 0) {
        return {4, "bytes outside the changes would differ"};
    }
    const void* new_mark = std::memchr(result.data(), 0x1A, result.size());
    const std::uint64_t new_text_size =
        new_mark ? static_cast<std::uint64_t>(static_cast<const std::uint8_t*>(new_mark) - result.data())
                 : result.size();
    if ((mark != nullptr) != (new_mark != nullptr) || new_text_size - text_size != result.size() - bytes.size()) {
        return {4, "the end-of-text byte would move within the text"};
    }

    after = ReadThree(result);
    for (int row = 0; row < kFieldCount; ++row) {
        const FieldEdit* edit = EditOf(edits, row);
        const std::string_view keyword = kIdentifiers[static_cast<std::size_t>(row)].keyword;
        for (int which = 2; which >= 0; --which) {
            const HeaderSlot& was = SlotOf(before, which, row);
            const HeaderSlot& now = SlotOf(after, which, row);
            if (edit == nullptr) {
                if (was.status != now.status || was.text() != now.text()) {
                    return {3, std::string(ReaderName(which)) + " would read " + std::string(keyword) + " as " +
                                   Shown(now, decoder) + " instead of " + Shown(was, decoder) +
                                   ", and that field was not to change"};
                }
                continue;
            }
            if (SlotMeets(now, *edit, which, was.status != STATUS_NONE)) continue;
            return {which == 2 ? 1 : 2, std::string(ReaderName(which)) + " would read " + std::string(keyword) +
                                            " as " + Shown(now, decoder)};
        }
    }
    return {};
}

}  // namespace zolehead::edit
