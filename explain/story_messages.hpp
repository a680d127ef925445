// The story in words: one English sentence per verdict and per note, shared
// by the tool's text, its JSON and whatever else shows a story.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "field_story.hpp"

namespace zolehead::explain {

// "form A reader", "form B reader", "combined reader".
std::string_view ReaderName(HeaderForm reader) noexcept;
// "A", "B", "both": the reader's key in JSON, as the tool's --form spells it.
std::string_view ReaderKey(HeaderForm reader) noexcept;
// The outcome's name in JSON: "final", "overwritten", ...
std::string_view OutcomeKey(Outcome outcome) noexcept;
// "stored, then overwritten by line 2"
std::string DescribeVerdict(const FieldStory& field, const Verdict& verdict);
// What the machine did to the value's bytes: "trailing spaces trimmed (2 bytes)", ...
std::vector<std::string> DescribeNotes(const StoryEntry& entry);
// "line 2", or "line 2, column 14" when the entry does not begin its line.
std::string DescribePlace(const TextPosition& at);

}  // namespace zolehead::explain
