// The reader of edited CSV, TSV, JSON and JSON Lines on arbitrary text: it
// never crashes, and what it accepts is well formed: a format, and a path in
// every record it did not flag.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "edit_sheet.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static zolehead::collection::ShiftJisEncoder encoder;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zolehead::edit::EditSheet sheet = zolehead::edit::ReadEditSheet(text, encoder);
    const auto fail = [](const char* what) {
        std::fprintf(stderr, "edit sheet invariant broken: %s\n", what);
        std::abort();
    };
    if (!sheet.problem.empty()) {
        if (!sheet.rows.empty()) fail("rows beside a problem with the whole input");
        return 0;
    }
    if (sheet.format.empty()) fail("no format");
    for (const zolehead::edit::SheetRow& row : sheet.rows) {
        if (row.problem.empty() && row.path.empty()) fail("a usable row without a path");
        if (row.line == 0) fail("a row without a place");
    }
    return 0;
}
