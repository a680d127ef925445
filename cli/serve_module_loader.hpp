// Finds the catalog server module and loads it: beside the tool in a build
// tree, or where an installation puts it relative to the tool.
#pragma once

#include <string>

#include "serve_module.hpp"

namespace zolehead_cli {

// The module's run function, or nullptr with `problem` saying what was tried
// and why each failed.
zolehead::serve::ServeRunFunction LoadServeModule(std::string& problem);

}  // namespace zolehead_cli
