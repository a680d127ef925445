#include "label_line_machine.hpp"

namespace zolehead {

// Trailing ASCII spaces and full-width spaces go. A pair 81 40 counts as a
// full-width space only when its 0x81 was read as a lead byte: a character
// whose trail byte is 0x81 followed by '@' must survive whole. The first byte
// is never trimmed, and a value cut short by the limit rule is left as it is.
void LabelLineMachine::trim() noexcept {
    if (value_len_ != stored_len_) return;
    int i = stored_len_ - 1;
    while (i > 0) {
        if (value_[i] == ' ') {
            i -= 1;
        } else if (static_cast<std::uint8_t>(value_[i]) == kWideSpace &&
                   static_cast<std::uint8_t>(value_[i - 1]) == kWideLead && stored_as_lead(i - 1)) {
            i -= 2;
        } else {
            break;
        }
    }
    stored_len_ = static_cast<std::uint8_t>(i + 1);
}

// Every outcome reports the value as it is or would be stored: trimmed.
LabelLineEnd LabelLineMachine::commit(ZoleHeader& out) noexcept {
    const std::string_view label(label_, label_len_);
    const int collected = stored_len_;
    trim();
    const std::string_view value(value_, stored_len_);
    const int trimmed = collected - stored_len_;
    const int row = row_;
    if (row < 0) return {row, LabelOutcome::UNKNOWN_LABEL, label, value, trimmed};
    HeaderSlot& slot = out.slots[static_cast<std::size_t>(row)];
    if (rule_ == LabelCommit::DEFER_TO_FORM_B) {
        if (slot.status == STATUS_FORM_B) return {row, LabelOutcome::LEFT_TO_FORM_B, label, value, trimmed};
        if (slot.status == STATUS_FORM_A) {  // a repeated label: ambiguous, so emptied
            slot.value[0] = '\0';
            return {row, LabelOutcome::EMPTIED, label, value, trimmed};
        }
    }
    slot.assign(value, STATUS_FORM_A);
    return {row, LabelOutcome::STORED, label, value, trimmed};
}

}  // namespace zolehead
