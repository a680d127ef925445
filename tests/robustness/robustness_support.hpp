// Helpers for the robustness suites: the invariants of any result, open file
// descriptors, peak memory, and reading through the C API.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <utility>

#include "ZoleHead.h"
#include "test_support.hpp"

namespace zh_robust {

// What any result must be, whatever the input: each value NUL-terminated in
// its buffer, at most 127 bytes, empty when nothing was found.
inline void ExpectWellFormed(const zolehead::ZoleHeader& h, const std::string& what) {
    for (std::size_t i = 0; i < h.slots.size(); ++i) {
        const zolehead::HeaderSlot& slot = h.slots[i];
        ASSERT_NE(std::memchr(slot.value, '\0', sizeof slot.value), nullptr) << what << " slot " << i;
        EXPECT_LE(slot.text().size(), 127u) << what << " slot " << i;
        EXPECT_TRUE(slot.status >= zolehead::STATUS_NONE && slot.status <= zolehead::STATUS_FORM_B)
            << what << " slot " << i;
        if (slot.status == zolehead::STATUS_NONE) {
            EXPECT_EQ(slot.text(), "") << what << " slot " << i;
        }
    }
}

// The process's open file descriptors, to prove no read leaves one behind.
inline std::size_t OpenDescriptorCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

// The process's peak resident memory so far, in KiB.
inline long PeakResidentKiB() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline std::span<const std::uint8_t> Bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

inline std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

// One slot as the C API hands it out: status and value.
inline std::pair<int32_t, std::string> ApiSlot(int32_t index) {
    char buf[128];
    const int32_t status = zhGetZoleHeaderValue(index, buf, 127);
    return {status, std::string(buf)};
}

}  // namespace zh_robust
