#include "commands.hpp"

#include <algorithm>
#include <array>

namespace zolehead_cli {

namespace {

// Each command adds itself here, in the order --help lists them.
constexpr std::array kCommands{
    Command{"set", "Set header fields: set FIELD=VALUE... [--] PATH...", RunSetCommand},
    Command{"remove", "Remove header fields: remove FIELD... [--] PATH...", RunRemoveCommand},
    Command{"apply", "Apply edits made to the tool's CSV, TSV, JSON or JSON Lines output", RunApplyCommand},
    Command{"explain", "Tell why each header field reads as it does, entry by entry", RunExplainCommand},
    Command{"lint", "Warn of near misses the readers skip: PATH:LINE:COLUMN: warning: MESSAGE [code]", RunLintCommand},
    Command{"serve", "Catalog of a collection in a web browser on this machine", RunServeCommand},
};

}  // namespace

std::span<const Command> Commands() { return kCommands; }

std::string CommandsHelp() {
    if (kCommands.empty()) return {};
    std::size_t width = 0;
    for (const Command& c : kCommands) width = std::max(width, c.name.size());
    std::string text = "Commands (zolehead COMMAND --help for each; a file named like one is read as ./NAME):\n";
    for (const Command& c : kCommands) {
        text += "  ";
        text += c.name;
        text.append(width - c.name.size() + 3, ' ');
        text += c.summary;
        text += '\n';
    }
    return text;
}

}  // namespace zolehead_cli
