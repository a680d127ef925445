#include "keyword_machine.hpp"

namespace zolehead {

KeywordEnd KeywordMachine::commit(ZoleHeader& out) noexcept {
    const std::string_view name(name_, name_len_);
    const std::string_view value(value_, stored_len_);
    const int row = KeywordRowSpelled(candidates_, name_len_);
    // Unknown names are not errors; the value is dropped.
    if (row >= 0) out.slots[static_cast<std::size_t>(row)].assign(value, STATUS_FORM_B);
    return {row, name, value};
}

}  // namespace zolehead
