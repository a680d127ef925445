// The tool's commands. `zolehead PATH...` reads; `zolehead COMMAND ...` runs
// one of the commands listed here, each with its own options. A file named
// like a command is read as ./NAME, or after `--`.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace zolehead_cli {

struct Command {
    std::string_view name;
    std::string_view summary;  // one line for `zolehead --help`
    // argv[0] is the command's name.
    int (*run)(int argc, const char* const* argv);
};

std::span<const Command> Commands();

// The command list for the main --help, one line each.
std::string CommandsHelp();

// The default command: reads and prints headers.
int RunReadCommand(int argc, const char* const* argv);
// `zolehead serve`: the catalog in a web browser.
int RunServeCommand(int argc, const char* const* argv);

// Why each field reads as it does (explain), and the near misses (lint).
int RunExplainCommand(int argc, const char* const* argv);
int RunLintCommand(int argc, const char* const* argv);
// Editing: set FIELD=VALUE..., remove FIELD..., apply EDITS.
int RunSetCommand(int argc, const char* const* argv);
int RunRemoveCommand(int argc, const char* const* argv);
int RunApplyCommand(int argc, const char* const* argv);

}  // namespace zolehead_cli
