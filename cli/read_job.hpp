// One file's trip through the tool: the walk names it, a reading thread
// reads and renders it, the main thread writes it.
#pragma once

#include <string>

#include "file_walker.hpp"

namespace zolehead_cli {

struct ReadJob {
    WalkEntry entry;
    std::string output;  // the rendered record
    std::string error;   // why the file could not be read; empty if it was
};

}  // namespace zolehead_cli
