#include "keyword_machine.hpp"

namespace zolehead {

void KeywordMachine::commit(ZoleHeader& out) noexcept {
    int row = FindKeywordRow(std::string_view(name_, name_len_));
    if (row < 0) return;  // unknown names are not errors; the value is dropped
    out.slots[static_cast<std::size_t>(row)].assign(std::string_view(value_, stored_len_), STATUS_FORM_B);
}

}  // namespace zolehead
