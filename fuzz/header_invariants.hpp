// What every read must give, whatever the bytes: checks shared by the fuzzers.
// A failed check prints what broke and aborts, which libFuzzer reports as a
// crash with the input that caused it.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string_view>

#include "zolehead.hpp"

namespace zh_fuzz {

[[noreturn]] inline void Fail(const char* what, int slot) {
    std::fprintf(stderr, "invariant broken: %s (slot %d)\n", what, slot);
    std::abort();
}

inline void Require(bool ok, const char* what, int slot = -1) {
    if (!ok) Fail(what, slot);
}

inline std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// One form's result on its own: statuses in range and of that form, values
// NUL-terminated within their buffer, and none of the bytes a reader drops.
inline void CheckHeader(const zolehead::ZoleHeader& h, zolehead::HeaderForm form) {
    using zolehead::HeaderForm;
    for (int i = 0; i < zolehead::kFieldCount; ++i) {
        const zolehead::HeaderSlot& slot = h.slots[static_cast<std::size_t>(i)];
        Require(std::memchr(slot.value, '\0', sizeof slot.value) != nullptr, "value not NUL-terminated in 128 bytes",
                i);
        const std::string_view text = slot.text();
        Require(text.size() <= zolehead::kValueMaxBytes, "value longer than 127 bytes", i);
        Require(slot.status == zolehead::STATUS_NONE || slot.status == zolehead::STATUS_FORM_A ||
                    slot.status == zolehead::STATUS_FORM_B,
                "status out of range", i);
        if (slot.status == zolehead::STATUS_NONE) Require(text.empty(), "status 0 with a value", i);
        for (unsigned char c : text) Require(c >= 0x20, "control byte stored in a value", i);
        if (form == HeaderForm::A) Require(slot.status != zolehead::STATUS_FORM_B, "form B status from form A", i);
        if (form == HeaderForm::B) Require(slot.status != zolehead::STATUS_FORM_A, "form A status from form B", i);
        if (slot.status == zolehead::STATUS_FORM_A && form == HeaderForm::A) {
            // The first byte is never a blank and never trimmed.
            Require(!text.empty() && static_cast<unsigned char>(text[0]) > 0x20, "form A value starts blank", i);
        }
        if (slot.status == zolehead::STATUS_FORM_B) {
            // Only the opening quote byte closes a value, so one of the two never occurs.
            Require(text.find('\'') == std::string_view::npos || text.find('"') == std::string_view::npos,
                    "form B value holds both quote bytes", i);
        }
    }
}

// The combined reader against the single-form readers of the same bytes:
// form B always wins; a form A value stands alone or, repeated, is emptied.
inline void CheckCombined(const zolehead::ZoleHeader& both, const zolehead::ZoleHeader& a,
                          const zolehead::ZoleHeader& b) {
    for (int i = 0; i < zolehead::kFieldCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const zolehead::HeaderSlot& s = both.slots[k];
        if (b.slots[k].status == zolehead::STATUS_FORM_B) {
            Require(s.status == zolehead::STATUS_FORM_B && s.text() == b.slots[k].text(),
                    "combined read lost a form B value", i);
        } else if (a.slots[k].status == zolehead::STATUS_FORM_A) {
            Require(s.status == zolehead::STATUS_FORM_A, "combined read lost a form A line", i);
            Require(s.text().empty() || s.text() == a.slots[k].text(), "combined form A value from nowhere", i);
        } else {
            Require(s.status == zolehead::STATUS_NONE, "combined read found what neither form found", i);
        }
    }
}

}  // namespace zh_fuzz
