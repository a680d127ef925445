// The entry points of the catalog server module (serve_module.hpp).
#include "serve_module.hpp"

#define ZOLEHEAD_SERVE_EXPORT extern "C" __attribute__((visibility("default")))

ZOLEHEAD_SERVE_EXPORT zolehead::serve::ServeModuleTag zolehead_serve_tag() { return zolehead::serve::ThisBuildTag(); }

ZOLEHEAD_SERVE_EXPORT int zolehead_serve_run(const zolehead::serve::ServeOptions* options, std::FILE* out,
                                             std::FILE* err) {
    return zolehead::serve::Serve(*options, out, err);
}
