#include "near_miss.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "identifier_table.hpp"

namespace zolehead::explain {

namespace {

// Edit distance with adjacent swaps (optimal string alignment) between two
// sequences of units, stopping early once it exceeds `limit`.
template <class Unit>
std::size_t Distance(const std::vector<Unit>& a, const std::vector<Unit>& b, std::size_t limit) {
    const std::size_t n = a.size(), m = b.size();
    if ((n > m ? n - m : m - n) > limit) return limit + 1;
    std::vector<std::size_t> before(m + 1), previous(m + 1), current(m + 1);
    for (std::size_t j = 0; j <= m; ++j) previous[j] = j;
    for (std::size_t i = 1; i <= n; ++i) {
        current[0] = i;
        std::size_t best = current[0];
        for (std::size_t j = 1; j <= m; ++j) {
            const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
                current[j] = std::min(current[j], before[j - 2] + 1);
            }
            best = std::min(best, current[j]);
        }
        if (best > limit) return limit + 1;
        before.swap(previous);
        previous.swap(current);
    }
    return previous[m];
}

// A label as its double-byte characters.
std::vector<std::uint16_t> Characters(std::string_view label) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i + 1 < label.size(); i += 2) {
        out.push_back(static_cast<std::uint16_t>(static_cast<std::uint8_t>(label[i]) << 8 |
                                                 static_cast<std::uint8_t>(label[i + 1])));
    }
    return out;
}

std::vector<char> Folded(std::string_view name) {
    std::vector<char> out;
    for (char c : name) out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    return out;
}

template <class Units, class Of>
int Nearest(const Units& wanted, std::size_t limit, Of units_of) {
    int row = -1;
    std::size_t best = limit + 1;
    for (std::size_t i = 0; i < kIdentifiers.size(); ++i) {
        const std::size_t d = Distance(wanted, units_of(kIdentifiers[i]), limit);
        if (d < best) {
            best = d;
            row = static_cast<int>(i);
        }
    }
    return row;
}

}  // namespace

int NearLabelRow(std::string_view label) {
    const auto wanted = Characters(label);
    if (wanted.empty()) return -1;
    return Nearest(wanted, 1, [](const Identifier& id) { return Characters(id.label); });
}

int NearKeywordRow(std::string_view name) {
    const auto wanted = Folded(name);
    if (wanted.empty()) return -1;
    return Nearest(wanted, 2, [](const Identifier& id) { return Folded(id.keyword); });
}

}  // namespace zolehead::explain
