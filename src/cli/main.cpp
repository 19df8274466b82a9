// tarvex-cli: the toolbox's file operations without a window.
// Exit status: 0 success, 1 failure (the message on standard error), 2 usage error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

void Usage() {
    std::fputs("usage: tarvex-cli COMMAND ARGS...\n", stderr);
    for (const auto& c : cli::Commands()) std::fprintf(stderr, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        Usage();
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : cli::Commands()) {
        if (std::strcmp(c.name, argv[1]) != 0) continue;
        if (args.size() < c.minArgs || args.size() > c.maxArgs) {
            Usage();
            return 2;
        }
        return c.run(args);
    }
    Usage();
    return 2;
}
