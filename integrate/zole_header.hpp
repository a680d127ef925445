// The result of one read: sixteen slots, one per field of the identifier table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace zolehead {

inline constexpr int kFieldCount = 16;
inline constexpr int kLabelMaxBytes = 18;   // longest form A label
inline constexpr int kValueMaxBytes = 127;  // longest stored value

// Where a slot's value came from. The numbers are part of the C ABI.
enum HeaderStatus : std::int32_t {
    STATUS_NONE = 0,
    STATUS_FORM_A = 1,
    STATUS_FORM_B = 2,
};

struct HeaderSlot {
    char value[kValueMaxBytes + 1] = {};  // NUL-terminated Shift_JIS bytes
    HeaderStatus status = STATUS_NONE;

    std::string_view text() const noexcept { return std::string_view(value); }
    void clear() noexcept {
        value[0] = '\0';
        status = STATUS_NONE;
    }
    // Stores a value of at most kValueMaxBytes bytes (longer input is cut).
    void assign(std::string_view bytes, HeaderStatus from) noexcept;
};

// Sixteen slots. A plain value: copy it, compare it, keep one per thread.
struct ZoleHeader {
    std::array<HeaderSlot, kFieldCount> slots{};

    void clear() noexcept {
        for (HeaderSlot& slot : slots) slot.clear();
    }
    // Equal when every slot has the same status and the same text; bytes after
    // a value's NUL do not count.
    friend bool operator==(const ZoleHeader& a, const ZoleHeader& b) noexcept {
        for (std::size_t i = 0; i < a.slots.size(); ++i) {
            if (a.slots[i].status != b.slots[i].status || a.slots[i].text() != b.slots[i].text()) return false;
        }
        return true;
    }
};

inline void HeaderSlot::assign(std::string_view bytes, HeaderStatus from) noexcept {
    std::size_t n = bytes.size() < std::size_t{kValueMaxBytes} ? bytes.size() : std::size_t{kValueMaxBytes};
    if (n != 0) std::memcpy(value, bytes.data(), n);
    value[n] = '\0';
    status = from;
}

}  // namespace zolehead
