#include "cli/commands.h"

#include <cstdio>
#include <cstdlib>

#include "formats/file_io.h"

namespace cli {

int Fail(const std::string& message) {
    std::fflush(stdout);  // what was said before the failure comes first
    std::fprintf(stderr, "%s\n", message.c_str());
    return kFailed;
}

bool ParseWhole(const std::string& text, long min, long max, long& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < min || v > max) return false;
    value = v;
    return true;
}

bool ParsePage(const std::string& text, unsigned& page) {
    long v = 0;
    if (!ParseWhole(text, 1, 999999999, v)) return false;
    page = static_cast<unsigned>(v);
    return true;
}

namespace {
bool g_yes = false;
}  // namespace

bool AnswerYes() { return g_yes; }
void SetAnswerYes(bool yes) { g_yes = yes; }

bool ParseArguments(const Command& command, const std::vector<std::string>& in, std::vector<std::string>& out,
                    std::string& why) {
    out.clear();
    bool options = true;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const std::string& a = in[i];
        if (!options || a.size() < 2 || a[0] != '-') {
            out.push_back(a);
            continue;
        }
        if (a == "--") {
            options = false;
        } else if (a == "--yes") {
            SetAnswerYes(true);
        } else {
            bool takesValue = false, stands = false;
            for (const char* const* o = command.options; o && *o && !takesValue; ++o) takesValue = a == *o;
            for (const char* const* o = command.flags; o && *o && !stands; ++o) stands = a == *o;
            if (!takesValue && !stands) {
                why = "unknown option " + a;
                return false;
            }
            out.push_back(a);
            if (takesValue && i + 1 < in.size()) out.push_back(in[++i]);  // its value
        }
    }
    return true;
}

std::string AnsweredNo(const std::string& question) {
    return question + "\nNo one was asked, so the answer is No; give --yes to answer Yes.";
}

std::string SameFileRefusal(const std::string& input, const std::string& output) {
    if (!fax::SameFile(input, output)) return {};
    return "Can not create:\n" + output + "\nIt is the file it would be made from:\n" + input + "\nNothing was written.";
}

std::FILE* ReportStream(const std::string& output) {
    return fax::SameFile(output, "/dev/stdout") ? stderr : stdout;
}

const std::vector<Command>& Commands() {
    static const std::vector<Command> table = [] {
        std::vector<Command> all;
        for (auto list : {FormatCommands(), ViewerCommands(), ExportCommands(), ToolCommands(), PrintCommands(),
                          ZoomEditCommands(), TextCommands()})
            all.insert(all.end(), list.begin(), list.end());
        return all;
    }();
    return table;
}

}  // namespace cli
