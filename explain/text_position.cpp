#include "text_position.hpp"

#include <algorithm>
#include <numeric>

#include "dbcs_tracker.hpp"

namespace zolehead::explain {

std::vector<TextPosition> Locate(std::span<const std::uint8_t> bytes, std::span<const std::uint64_t> offsets) {
    std::vector<std::size_t> order(offsets.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return offsets[x] < offsets[y]; });

    std::vector<TextPosition> positions(offsets.size());
    DbcsTracker tracker;
    std::uint64_t at = 0, line = 1, column = 1;
    std::uint8_t previous = 0;
    for (const std::size_t i : order) {
        const std::uint64_t wanted = std::min<std::uint64_t>(offsets[i], bytes.size());
        for (; at < wanted; ++at) {
            const std::uint8_t b = bytes[at];
            const DbcsState state = tracker.step(b);
            if (b == '\n' && previous == '\r') {
                // The LF of a CR LF: the line ended at the CR.
            } else if (b == '\n' || b == '\r') {
                ++line;
                column = 1;
            } else if (state != DbcsState::DBCS_TRAIL) {
                ++column;  // `column` is where the next character begins
            }
            previous = b;
        }
        // A trail byte shares its character's column.
        const bool on_trail = at < bytes.size() && NextDbcsState(tracker.state, bytes[at]) == DbcsState::DBCS_TRAIL;
        positions[i] = {offsets[i], line, on_trail ? column - 1 : column};
    }
    return positions;
}

}  // namespace zolehead::explain
