// `zolehead serve`: the catalog of a collection in a web browser on this
// machine. The server itself lives in serve/; this is its command line.
#include <cstdio>
#include <string>

#include "commands.hpp"
#include "options.hpp"
#include "serve_module_loader.hpp"

namespace zolehead_cli {

int RunServeCommand(int argc, const char* const* argv) {
    CLI::App app{"Serves a catalog of Zole files to a web browser on this machine: a table of every file's "
                 "header fields to sort, filter, inspect and edit."};
    SetUpApp(app, "zolehead serve");
    app.footer(
        "Prints the catalog's address, with its access token, as the first line of output.\n"
        "Exit status: 0 stopped by a signal, 1 cannot start, 2 usage error.");

    WalkOptions walk;
    std::vector<std::string> extensions;
    app.add_option("PATH", walk.paths, "Folders to serve (with -r), or files")->required();
    AddWalkOptions(app, walk, extensions);
    AddArchiveOptions(app, walk);
    unsigned jobs = 0;
    AddJobsOption(app, jobs);
    zolehead::serve::ServeOptions options;
    app.add_option("--port", options.port, "Port to listen on; if taken, or 0, any free port")
        ->type_name("N")
        ->check(CLI::Range(0, 65535))
        ->capture_default_str();
    app.add_option("--listen", options.listen,
                   "Numeric address to listen on instead of the loopback address (no TLS: see the manual)")
        ->type_name("ADDR")
        ->capture_default_str();
    app.add_flag("--read-only", options.read_only, "Turn editing off: the catalog only shows the files");

    if (const std::optional<int> status = ParseOrExit(app, argc, argv)) return *status;
    FinishWalkOptions(walk, std::move(extensions));
    options.roots = std::move(walk.paths);
    options.recursive = walk.recursive;
    options.extensions = std::move(walk.extensions);
    options.archives = walk.archives;
    options.max_entry_size = walk.max_entry_size;
    options.jobs = ResolveJobs(jobs);
    std::string problem;
    const zolehead::serve::ServeRunFunction serve = LoadServeModule(problem);
    if (serve == nullptr) {
        std::fprintf(stderr, "zolehead serve: cannot load the catalog server (%s)\n", problem.c_str());
        return 1;
    }
    return serve(&options, stdout, stderr);
}

}  // namespace zolehead_cli
