// The catalog server as a module of its own, loaded by `zolehead serve` when
// it runs. Its HTTP library brings OpenSSL and compression libraries with it,
// and loading those took milliseconds from every run of the tool, most of
// which never serve anything.
//
// The module and the tool come from one build: the tool compares the
// module's tag with its own before it calls anything else.
#pragma once

#include <cstddef>
#include <cstdio>

#include "serve.hpp"

namespace zolehead::serve {

inline constexpr const char kServeModuleFile[] = "zolehead-serve.so";

// The module's two exported functions, by name.
inline constexpr const char kServeTagSymbol[] = "zolehead_serve_tag";
inline constexpr const char kServeRunSymbol[] = "zolehead_serve_run";

// The build a side comes from: the project's version (ZOLEHEAD_SERVE_VERSION,
// defined for both) and the layout of ServeOptions, which both must share.
struct ServeModuleTag {
    const char* version;
    std::size_t options_size;
};
inline ServeModuleTag ThisBuildTag() noexcept { return {ZOLEHEAD_SERVE_VERSION, sizeof(ServeOptions)}; }

using ServeTagFunction = ServeModuleTag (*)();
// Serve(*options, out, err).
using ServeRunFunction = int (*)(const ServeOptions* options, std::FILE* out, std::FILE* err);

}  // namespace zolehead::serve
