// explain and lint over arbitrary bytes. The story's final values, worked out
// from its verdicts, must be what the fast readers read in each form; lint
// must never crash, and every warning must carry a documented code, a place
// inside the input in file order, and UTF-8 text; both JSON records must
// serialise.
#include <cstddef>
#include <cstdint>
#include <string>

#include "explain_json.hpp"
#include "field_story.hpp"
#include "header_invariants.hpp"
#include "lint_checks.hpp"
#include "utf8_validation.hpp"
#include "zolehead.hpp"

namespace {

using zh_fuzz::Require;
using namespace zolehead::explain;
using zolehead::collection::IsUtf8;

void CheckStory(std::span<const std::uint8_t> bytes, const Story& story) {
    for (const zolehead::HeaderForm form : kReaders) {
        const zolehead::ZoleHeader read = zolehead::ReadHeader(bytes, form);
        bool told[zolehead::kFieldCount] = {};
        for (const FieldStory& field : story.fields) {
            const auto row = static_cast<std::size_t>(field.row);
            told[row] = true;
            Require(field.final_of(form).status == read.slots[row].status, "story's final form differs from the reader's",
                    field.row);
            Require(field.final_of(form).value == read.slots[row].text(), "story's final value differs from the reader's",
                    field.row);
            for (const StoryEntry& e : field.entries) {
                Require(e.at.offset < bytes.size() && e.at.line >= 1 && e.at.column >= 1, "entry outside the input",
                        field.row);
                Require(!e.verdicts.empty() && e.verdicts.size() <= 2, "an entry without its verdicts", field.row);
                for (const Verdict& v : e.verdicts) {
                    Require(v.other < static_cast<int>(field.entries.size()) &&
                                v.later < static_cast<int>(field.entries.size()),
                            "a verdict names an entry that is not there", field.row);
                }
            }
        }
        for (int row = 0; row < zolehead::kFieldCount; ++row) {
            Require(told[row] || read.slots[static_cast<std::size_t>(row)].status == zolehead::STATUS_NONE,
                    "the reader found a field the story does not tell", row);
        }
    }
}

void CheckWarnings(std::span<const std::uint8_t> bytes, const std::vector<Warning>& warnings) {
    std::uint64_t previous = 0;
    for (const Warning& w : warnings) {
        Require(IsLintCode(w.code), "a warning with an undocumented code");
        Require(w.at.offset <= bytes.size() && w.at.offset >= previous, "a warning out of place or out of order");
        Require(w.at.line >= 1 && w.at.column >= 1, "a warning without a line and column");
        Require(!w.message.empty() && IsUtf8(w.message) && IsUtf8(w.suggestion), "a warning's text is not UTF-8");
        previous = w.at.offset;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zolehead::collection::ShiftJisDecoder decoder;
    const std::span<const std::uint8_t> bytes(data, size);

    const Story story = TellStory(bytes);
    CheckStory(bytes, story);
    const std::vector<Warning> warnings = Lint(bytes, decoder);
    CheckWarnings(bytes, warnings);

    const std::string path(reinterpret_cast<const char*>(data), size < 16 ? size : 16);  // any bytes as a path
    Require(!DumpJson(StoryJson(path, story, decoder)).empty(), "the story's JSON is empty");
    Require(IsUtf8(DumpJson(WarningsJson(path, warnings))), "lint's JSON is not UTF-8");
    return 0;
}
