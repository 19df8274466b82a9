// The command table of tarvex-cli; each subsystem registers its commands here.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

struct Command {
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;  // the command's line in the help text
};

// All commands, gathered from the subsystems' lists below.
const std::vector<Command>& Commands();

// Each subsystem lists its own commands in its own file.
std::vector<Command> FormatCommands();  // format_commands.cpp
std::vector<Command> ViewerCommands();  // viewer_commands.cpp
std::vector<Command> ExportCommands();  // export_commands.cpp
std::vector<Command> ToolCommands();    // tool_commands.cpp
std::vector<Command> ZoomEditCommands();  // zoomedit_commands.cpp

// Prints the message to standard error and returns kFailed.
int Fail(const std::string& message);
// Parses a positive page number; false when it is not one.
bool ParsePage(const std::string& text, unsigned& page);


}  // namespace cli
