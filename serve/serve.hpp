// `zolehead serve`: scans the roots in the background and serves the catalog
// page and its API on one address until SIGINT, SIGTERM or SIGHUP.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace zolehead::serve {

inline constexpr int kDefaultPort = 8765;

struct ServeOptions {
    std::vector<std::string> roots;  // folders (with recursive) or files
    bool recursive = false;
    std::vector<std::string> extensions;  // lower case, no dot
    unsigned jobs = 1;
    std::string listen = "127.0.0.1";  // a numeric address, not a wildcard
    int port = kDefaultPort;           // 0, or taken: any free port
};

// Prints "http://ADDRESS:PORT/?token=TOKEN" as the first line of `out` and
// flushes it, then answers until a stop signal. Messages go to `err`.
// Returns 0 after a stop signal, 1 if the server cannot start, 2 for options
// that cannot be served (a missing root, a folder without -r, an address
// that is not a specific numeric one).
int Serve(const ServeOptions& options, std::FILE* out, std::FILE* err);

}  // namespace zolehead::serve
