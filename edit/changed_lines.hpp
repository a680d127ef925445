// The lines a plan changes, before and after, in UTF-8: what a dry run shows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "edit_plan.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::edit {

struct LineChange {
    std::uint64_t line = 0;  // the first old line's number, from 1 (CR LF is one line end)
    std::string before;      // the old lines, joined by "\n"; empty for lines only added
    std::string after;       // the new lines, joined by "\n"; empty for lines only removed
};

// One entry per splice of a CHANGE plan of `bytes`, in file order.
std::vector<LineChange> ChangedLines(std::span<const std::uint8_t> bytes, const Plan& plan,
                                     collection::ShiftJisDecoder& decoder);

}  // namespace zolehead::edit
