#include "serve_module_loader.hpp"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace zolehead_cli {

namespace {

namespace fs = std::filesystem;
using zolehead::serve::ServeModuleTag;
using zolehead::serve::ServeRunFunction;
using zolehead::serve::ServeTagFunction;

// Where the module may be: beside the tool (a build tree), then where an
// installation puts it, relative to the tool's own directory.
std::vector<fs::path> Candidates() {
    std::error_code error;
    const fs::path tool = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const fs::path dir = tool.parent_path();
    return {dir / zolehead::serve::kServeModuleFile,
            (dir / ZOLEHEAD_SERVE_MODULE_FROM_BINDIR / zolehead::serve::kServeModuleFile).lexically_normal()};
}

}  // namespace

ServeRunFunction LoadServeModule(std::string& problem) {
    const std::vector<fs::path> candidates = Candidates();
    if (candidates.empty()) problem = "cannot tell where the tool itself is (/proc/self/exe)";
    for (const fs::path& path : candidates) {
        if (!problem.empty()) problem += "; ";
        problem += path.string() + ": ";
        if (::access(path.c_str(), F_OK) != 0) {
            problem += std::strerror(errno);
            continue;
        }
        // Kept loaded for the rest of the process: the server runs until exit.
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (module == nullptr) {
            const char* why = ::dlerror();
            problem += why != nullptr ? why : "cannot load";
            continue;
        }
        const auto tag = reinterpret_cast<ServeTagFunction>(::dlsym(module, zolehead::serve::kServeTagSymbol));
        const auto run = reinterpret_cast<ServeRunFunction>(::dlsym(module, zolehead::serve::kServeRunSymbol));
        if (tag == nullptr || run == nullptr) {
            problem += "not a catalog server module";
            continue;
        }
        const ServeModuleTag theirs = tag(), ours = zolehead::serve::ThisBuildTag();
        if (std::strcmp(theirs.version, ours.version) != 0 || theirs.options_size != ours.options_size) {
            problem += std::string("from another build (version ") + theirs.version + ", the tool's " + ours.version + ")";
            continue;
        }
        problem.clear();
        return run;
    }
    return nullptr;
}

}  // namespace zolehead_cli
