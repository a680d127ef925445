// The tool's one-line messages on stderr.
#pragma once

#include <string>
#include <string_view>

#include "text_escape.hpp"

namespace zolehead_cli {

// "zolehead: PATH: REASON", the path made printable.
inline std::string ToolMessage(std::string_view path, std::string_view reason) {
    std::string line = "zolehead: ";
    AppendPrintable(line, path);
    line += ": ";
    line += reason;
    return line;
}

}  // namespace zolehead_cli
