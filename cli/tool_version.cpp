#include "tool_version.hpp"

#include <cstdint>

#include "ZoleHead.h"

namespace zolehead_cli {

std::string VersionText() {
    std::int32_t major = 0, minor = 0, revision = 0, build = 0;
    zhGetZoleHeadDllVersion(&major, &minor, &revision, &build);
    return std::string("zolehead ") + ZOLEHEAD_TOOL_VERSION + "\nZoleHead library " + std::to_string(major) + "." +
           std::to_string(minor) + "." + std::to_string(revision) + "." + std::to_string(build);
}

}  // namespace zolehead_cli
