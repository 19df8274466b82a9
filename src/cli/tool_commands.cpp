// tarvex-cli commands of the fax assembly tools: breakup, build and longfax. None of
// them prompts; an existing output file is refused with the question the dialog asks.
#include <cstdio>
#include <limits>

#include "cli/commands.h"
#include "formats/file_io.h"
#include "tools/breakup.h"
#include "tools/build_fax.h"
#include "tools/long_fax.h"

namespace cli {

int BreakUpCommand(const std::vector<std::string>& args);
int BuildCommand(const std::vector<std::string>& args);
int LongFaxCommand(const std::vector<std::string>& args);

std::vector<Command> ToolCommands() {
    return {
        {"breakup", 2, 3, BreakUpCommand,
         "breakup FAX OUTDIR [SEED]     every page of FAX as OUTDIR/SEED0001.pcx ... (byte copies)"},
        {"build", 2, std::numeric_limits<std::size_t>::max(), BuildCommand,
         "build OUT.dcx PAGE.pcx...     a new fax of the pages in the given order"},
        {"longfax", 2, 2, LongFaxCommand,
         "longfax FAX.dcx OUT.dcx       all pages of FAX joined into one long page"},
    };
}

namespace {
void Warn(const fax::ToolMessages& messages) {
    for (const auto& m : messages) std::fprintf(stderr, "%s\n", m.text.c_str());
}
int FailWith(const fax::ToolMessages& messages, const std::string& fallback) {
    if (messages.empty()) return Fail(fallback);
    Warn(messages);
    return kFailed;
}
// The dialogs ask before replacing a fax; without anyone to ask the answer is no,
// unless --yes was given.
bool Refuse(const std::string& path, std::string& message) {
    if (AnswerYes() || !fax::PathExists(path)) return false;
    message = AnsweredNo(fax::FaxExistsQuestion(path).text);
    return true;
}
}  // namespace

int BreakUpCommand(const std::vector<std::string>& args) {
    const std::string& source = args[0];
    if (std::string why = OpenFax(source); !why.empty()) return Fail(why);
    std::string seed = fax::CutSeed(args.size() > 2 ? args[2] : std::string());
    fax::BreakUp breakup(args[1]);
    auto inspection = breakup.Inspect(source);
    if (!inspection.ok) return Fail(inspection.message.text);
    // Check every name first, so that a refusal leaves nothing half done.
    for (unsigned n = 1; n <= inspection.pages && !AnswerYes(); ++n) {
        std::string name = breakup.NameFor(seed, n);
        if (fax::PathExists(name)) return Fail(AnsweredNo(fax::BreakUp::OverwriteQuestionFor(name).text));
    }
    auto result = breakup.Run(source, seed, [](const fax::ToolMessage&) { return AnswerYes(); });
    if (result.outcome != fax::BreakUp::Outcome::Finished) return FailWith(result.messages, "BreakUp stopped.");
    for (const auto& name : result.written) std::printf("%s\n", name.c_str());
    return kOk;
}

int BuildCommand(const std::vector<std::string>& args) {
    std::string message;
    if (Refuse(args[0], message)) return Fail(message);
    std::vector<std::string> pages(args.begin() + 1, args.end());
    for (const std::string& page : pages)
        if (std::string why = OpenInput(page); !why.empty()) return Fail(why);
    auto result = fax::BuildFax(args[0], pages);
    if (result.outcome != fax::BuildFaxResult::Outcome::Built) return FailWith(result.messages, "Build failed.");
    Warn(result.messages);  // pages skipped or refused; the fax holds the others
    std::printf("pages %u\n", result.pages);
    ReportWritten(args[0]);
    return kOk;
}

int LongFaxCommand(const std::vector<std::string>& args) {
    if (std::string why = OpenFax(args[0]); !why.empty()) return Fail(why);
    std::string message;
    if (Refuse(args[1], message)) return Fail(message);
    auto result = fax::BuildLongFax(args[0], args[1]);
    if (!result.ok)
        return FailWith(result.messages, "Could not build a long fax from:\n" + args[0] +
                                             "\nIt must be a readable dcx fax.");
    std::printf("pages %u\nlines %u\n", result.pages, result.lines);
    ReportWritten(args[1]);
    return kOk;
}

}  // namespace cli
