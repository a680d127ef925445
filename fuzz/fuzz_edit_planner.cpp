// The edit planner on arbitrary bytes and an arbitrary edit: the plan is
// refused, or every check 1-4 holds when verified from the outside
// (edit_invariants.hpp), apart from the planner's own checks.
//
// Input: row, flags, value length, the value, then the file. Flags: bit 0
// remove, bits 1-2 the insert form, bit 3 a second edit (remove of row + 1).
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

#include "edit_invariants.hpp"
#include "planner.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zolehead::edit;
    if (size < 3) return 0;
    const int row = data[0] % zolehead::kFieldCount;
    const std::uint8_t flags = data[1];
    const std::size_t length = std::min<std::size_t>(data[2] % 131, size - 3);
    const std::string value(reinterpret_cast<const char*>(data) + 3, length);
    const std::string file(reinterpret_cast<const char*>(data) + 3 + length, size - 3 - length);

    std::vector<FieldEdit> edits{{row, (flags & 1) ? EditAction::REMOVE : EditAction::SET, value}};
    if (flags & 8) edits.push_back({(row + 1) % zolehead::kFieldCount, EditAction::REMOVE, {}});
    const InsertForm form = static_cast<InsertForm>((flags >> 1) % 3);

    static Planner planner;
    const Plan& plan = planner.plan(zh_edit_check::Bytes(file), edits, form);
    std::string broken;
    switch (plan.kind) {
    case Plan::Kind::REFUSED:
        if (plan.reason.empty() || !plan.splices.empty() || !plan.result.empty()) broken = "a refusal without a reason";
        break;
    case Plan::Kind::CHANGE: broken = zh_edit_check::VerifyChange(file, edits, plan); break;
    case Plan::Kind::UNCHANGED: {
        // Nothing to do must mean the file already reads as asked.
        Plan same;
        same.result = file;
        broken = zh_edit_check::VerifyChange(file, edits, same);
        break;
    }
    }
    if (!broken.empty()) {
        std::fprintf(stderr, "edit check broken: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}
