// zolehead: reads, explains and edits the header fields of Zole music data
// files. `zolehead PATH...` reads; `zolehead COMMAND ...` runs a command.
#include <string_view>

#include "commands.hpp"

int main(int argc, char** argv) {
    if (argc >= 2) {
        const std::string_view first = argv[1];
        for (const zolehead_cli::Command& command : zolehead_cli::Commands()) {
            if (first == command.name) return command.run(argc - 1, argv + 1);
        }
    }
    return zolehead_cli::RunReadCommand(argc, argv);
}
