// The --version text: the tool's release and the library it reads with.
#pragma once

#include <string>

namespace zolehead_cli {

std::string VersionText();

}  // namespace zolehead_cli
