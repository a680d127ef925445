// The four checks every plan passes before anything is written, by reading
// the planned bytes with the core's own readers:
//   1. the combined reader gives the new value for each set field, and
//      nothing for each removed one;
//   2. a single-form reader that reported a set field reports the new value
//      (none shows an old one), and no reader reports a removed field;
//   3. every other field reads exactly as before in all three readers;
//   4. the bytes outside the splices are unchanged, and so is everything
//      from the end-of-text byte (0x1A) on.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "edit_plan.hpp"
#include "shift_jis_decoder.hpp"

namespace zolehead::edit {

// What the three readers read: form A, form B, both.
struct ThreeReadings {
    ZoleHeader a, b, both;
};
ThreeReadings ReadThree(std::span<const std::uint8_t> bytes) noexcept;

struct CheckFailure {
    int check = 0;       // 0: every check holds
    std::string reason;  // what broke, for a person
};

// Checks `plan.result` against the original `bytes` (read as `before`).
// Fills `after` with the readings of the result. `decoder` only words the
// reason.
CheckFailure CheckPlan(std::span<const std::uint8_t> bytes, const ThreeReadings& before, const Plan& plan,
                       std::span<const FieldEdit> edits, ThreeReadings& after,
                       collection::ShiftJisDecoder& decoder);

// Whether `readings` already give what `edits` ask (checks 1 and 2 hold
// with no change at all).
bool AlreadySatisfied(const ThreeReadings& readings, std::span<const FieldEdit> edits) noexcept;

}  // namespace zolehead::edit
