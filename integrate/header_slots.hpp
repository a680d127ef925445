// The process-wide slots behind the C API: the last read's result.
#pragma once

#include "zole_header.hpp"

namespace zolehead {

// Empties every slot.
void ClearHeaderSlots() noexcept;

// Replaces all sixteen slots at once: a concurrent value getter sees either
// the previous result or this one, never a mixture.
void PublishHeaderSlots(const ZoleHeader& header) noexcept;

}  // namespace zolehead
