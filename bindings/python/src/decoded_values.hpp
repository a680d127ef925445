// A header's values decoded for Python, made where no Python object may be
// touched (on a reading thread, or with the GIL released) and turned into
// Python objects later. Shared by read() and scan(), so both decode alike.
//
// The text is the tool's (FieldText: UTF-8, U+FFFD where the bytes are not
// code page 932), held as the code units of the str that will show it, so
// that making the str with the GIL held is an allocation and a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "field_text.hpp"
#include "zolehead.hpp"

namespace zolehead::python {

// Appends the text of every slot `header` holds, in slot order, to `out`,
// each with its lossy flag. Touches no Python object. Decodes through the
// process's code page table; where the C library gives none, through
// `converter`, or a converter opened for the call when that is null.
void AppendDecodedValues(const zolehead::ZoleHeader& header, zolehead::collection::FieldText* converter,
                         std::string& out);

// Reads back, one value at a time, what AppendDecodedValues appended.
class DecodedValues {
public:
    explicit DecodedValues(std::string_view packed) noexcept : rest_(packed) {}

    struct Value {
        std::uint32_t length;    // in characters
        std::uint32_t max_char;  // the largest code point, as PyUnicode_New takes it
        const char* units;       // `length` code units of 1, 2 or 4 bytes, as max_char makes a str hold them
        bool lossy;
    };
    // The next value; the caller asks for exactly as many as were appended.
    Value next() noexcept;

private:
    std::string_view rest_;
};

}  // namespace zolehead::python
