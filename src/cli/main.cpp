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
    std::fputs("usage: tarvex-cli [--yes] COMMAND ARGS...   (--yes: replace existing outputs where the window would ask)\n",
               stderr);
    for (const auto& c : cli::Commands()) std::fprintf(stderr, "  %s\n", c.usage);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> all(argv + 1, argv + argc);
    // "--yes" may also stand before the command's name.
    std::size_t at = 0;
    for (; at < all.size() && all[at] == "--yes"; ++at) cli::SetAnswerYes(true);
    if (at >= all.size()) {
        Usage();
        return 2;
    }
    const std::string& name = all[at];
    std::vector<std::string> given(all.begin() + static_cast<std::ptrdiff_t>(at) + 1, all.end());
    for (const auto& c : cli::Commands()) {
        if (name != c.name) continue;
        std::vector<std::string> args;
        std::string why;
        if (!cli::ParseArguments(c, given, args, why)) {
            std::fprintf(stderr, "%s: %s\n", c.name, why.c_str());
            Usage();
            return 2;
        }
        if (args.size() < c.minArgs || args.size() > c.maxArgs) {
            Usage();
            return 2;
        }
        return c.run(args);
    }
    Usage();
    return 2;
}
