#include "cli/commands.h"

#include <cstdio>
#include <cstdlib>

namespace cli {

int Fail(const std::string& message) {
    std::fprintf(stderr, "%s\n", message.c_str());
    return kFailed;
}

bool ParsePage(const std::string& text, unsigned& page) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
    if (v == 0) return false;
    page = static_cast<unsigned>(v);
    return true;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> table = [] {
        std::vector<Command> all;
        for (auto list : {FormatCommands(), ViewerCommands(), ExportCommands(), ToolCommands(), ZoomEditCommands()})
            all.insert(all.end(), list.begin(), list.end());
        return all;
    }();
    return table;
}

}  // namespace cli
