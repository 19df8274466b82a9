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
    const char* usage;  // one line for the help text, or nullptr when listed in main
};

const std::vector<Command>& Commands();

// Prints the message to standard error and returns kFailed.
int Fail(const std::string& message);
// Parses a positive page number; false when it is not one.
bool ParsePage(const std::string& text, unsigned& page);

// Commands of each subsystem (defined in the files named after them).
int Info(const std::vector<std::string>& args);
int Check(const std::vector<std::string>& args);
int Pbm(const std::vector<std::string>& args);

}  // namespace cli
