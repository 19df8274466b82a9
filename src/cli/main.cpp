// tarvex-cli: the toolbox's file operations without a window.
// Exit status: 0 success, 1 failure (the message on standard error), 2 usage error.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "formats/product.h"

namespace {

constexpr const char* kUsageHead =
    "usage: tarvex-cli [--yes] COMMAND ARGS...   (--yes: replace existing outputs where the window would ask)\n";

void Usage(std::FILE* to) {
    std::fputs(kUsageHead, to);
    for (const auto& c : cli::Commands()) std::fprintf(to, "  %s\n", c.usage);
    std::fputs("  --help                        this list; COMMAND --help: that command's arguments\n"
               "  --version                     the version\n",
               to);
}

int UsageOf(const cli::Command& c, std::FILE* to, const std::string& why) {
    if (!why.empty()) std::fprintf(to, "%s: %s\n", c.name, why.c_str());
    std::fprintf(to, "usage: tarvex-cli %s\n", c.usage);
    return to == stdout ? cli::kOk : cli::kUsage;
}

// The operands the usage line names, up to its options: "pbm FAX PAGE OUT.pbm" gives FAX,
// PAGE and OUT.pbm.
std::vector<std::string> Operands(const cli::Command& c) {
    std::string synopsis = c.usage;
    synopsis = synopsis.substr(0, synopsis.find('\n'));
    synopsis = synopsis.substr(0, synopsis.find("  "));  // the description follows
    std::istringstream words(synopsis);
    std::vector<std::string> operands;
    std::string word;
    words >> word;  // the command's name
    while (words >> word && word[0] != '[' && word[0] != '-') operands.push_back(word);
    return operands;
}

// "PAGE and OUT.pbm are missing" for the operands after the `given` ones.
std::string Missing(const cli::Command& c, std::size_t given) {
    std::vector<std::string> operands = Operands(c);
    std::string list;
    std::size_t named = 0;
    for (std::size_t i = given; i < operands.size() && i < c.minArgs; ++i, ++named)
        list += (named == 0 ? "" : i + 1 == std::min(operands.size(), c.minArgs) ? " and " : ", ") + operands[i];
    if (named == 0) return "too few arguments";
    return list + (named == 1 ? " is missing" : " are missing");
}

// "--help" before the operands end.
bool AsksForHelp(const std::vector<std::string>& given) {
    for (const std::string& a : given) {
        if (a == "--") return false;
        if (a == "--help") return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> all(argv + 1, argv + argc);
    // "--yes" may also stand before the command's name.
    std::size_t at = 0;
    for (; at < all.size() && all[at] == "--yes"; ++at) cli::SetAnswerYes(true);
    if (at >= all.size()) {
        Usage(stderr);
        return cli::kUsage;
    }
    const std::string& name = all[at];
    if (name == "--help" || name == "-h") {
        Usage(stdout);
        return cli::kOk;
    }
    if (name == "--version") {
        std::printf("tarvex-cli (%s) %s\n", fax::kProductTitle, fax::kProductVersion);
        return cli::kOk;
    }
    std::vector<std::string> given(all.begin() + static_cast<std::ptrdiff_t>(at) + 1, all.end());
    for (const auto& c : cli::Commands()) {
        if (name != c.name) continue;
        if (AsksForHelp(given)) return UsageOf(c, stdout, {});
        std::vector<std::string> args;
        std::string why;
        if (!cli::ParseArguments(c, given, args, why)) return UsageOf(c, stderr, why);
        if (args.size() < c.minArgs) return UsageOf(c, stderr, Missing(c, args.size()));
        if (args.size() > c.maxArgs) return UsageOf(c, stderr, "too many arguments, from " + args[c.maxArgs] + " on");
        return c.run(args);
    }
    std::fprintf(stderr, "tarvex-cli: unknown command %s\n", name.c_str());
    Usage(stderr);
    return cli::kUsage;
}
