#include "label_part.hpp"

#include "dbcs_tracker.hpp"

namespace zolehead::explain {

namespace {

constexpr std::uint8_t kWideLead = 0x81, kWideColon = 0x46, kWideSpace = 0x40;

bool IsBlank(std::uint8_t b) noexcept { return b == '\t' || b == ' ' || b == '!' || b == ';'; }

}  // namespace

LabelPart ReadLabelPart(std::span<const std::uint8_t> line) {
    LabelPart part;
    DbcsTracker tracker;
    std::uint8_t previous = 0;
    bool any = false;
    for (std::size_t i = 0; i < line.size(); previous = line[i], ++i) {
        const std::uint8_t b = line[i];
        const DbcsState state = tracker.step(b);
        if (state == DbcsState::DBCS_LEAD) continue;  // the pair is judged at its trail byte
        if (state == DbcsState::DBCS_SINGLE) {
            if (IsBlank(b)) continue;
            part.end = b == ':' ? LabelPart::End::ASCII_COLON : LabelPart::End::OTHER;
            part.stop = i;
            if (!any) part.first = i;
            return part;
        }
        if (previous == kWideLead && b == kWideColon) {
            part.end = LabelPart::End::WIDE_COLON;
            part.stop = i - 1;
            if (!any) part.first = i - 1;
            return part;
        }
        if (previous == kWideLead && b == kWideSpace) continue;
        if (!any) part.first = i - 1;
        any = true;
        part.label += static_cast<char>(previous);
        part.label += static_cast<char>(b);
        ++part.characters;
    }
    part.end = LabelPart::End::LINE_END;
    part.stop = line.size();
    if (!any) part.first = part.stop;
    return part;
}

}  // namespace zolehead::explain
