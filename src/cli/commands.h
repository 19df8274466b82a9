// The command table of tarvex-cli; each subsystem registers its commands here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "export/fax_export.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "ocr/recognizer.h"

namespace cli {

enum Exit { kOk = 0, kFailed = 1, kUsage = 2 };

struct Command {
    const char* name;
    std::size_t minArgs;
    std::size_t maxArgs;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;  // the command's line in the help text
    // Options of the command's own that take a value (null-terminated list), handed to
    // it with the operands; any other option is a usage error.
    const char* const* options = nullptr;
    // Options of its own that stand alone (null-terminated list), handed on likewise.
    const char* const* flags = nullptr;
};

// Splits what follows the command name: "--yes" (anywhere before the operands, also
// before the command name) answers Yes where the window would ask; "--" ends the
// options. False with `why` set for an option the command does not know.
bool ParseArguments(const Command& command, const std::vector<std::string>& in, std::vector<std::string>& out,
                    std::string& why);
// Whether "--yes" was given.
bool AnswerYes();
void SetAnswerYes(bool yes);
// The question the window would ask, refused for want of an answer.
std::string AnsweredNo(const std::string& question);
// Refuses an output that is the input file itself; returns the message, or empty.
std::string SameFileRefusal(const std::string& input, const std::string& output);

// What keeps a fax from being read, in a command line's words: the file and the system's
// reason ("No such file or directory"), never the window's menus. The window's texts stay the
// window's; these are phrased from the same codes (the check's step, PageError, ExportError)
// and errno.
struct FaxProblem {
    unsigned page = 0;   // the page at fault; 0 for the file as a whole
    std::string reason;  // "can not be opened: Permission denied"; empty when there is none
    explicit operator bool() const { return !reason.empty(); }
    // "PATH\nCan not be opened: ...." or "Page N of:\nPATH\nhas no complete header: ...."
    std::string Message(const std::string& path) const;
    // The same on one line without the path, for a line that names it already.
    std::string Line() const;
};
// The failed fax check (`CheckFaxFile`, `CheckFaxContent`, `OpenFailure`) in those words.
FaxProblem CheckProblem(const fax::FaxCheck& check);
// What the page error of page `number` means (the file as a whole for the layout's errors).
FaxProblem PageProblem(const fax::FaxReader& reader, unsigned number, fax::PageError error);
// A fax by its content, whatever its name: checked, opened into `reader`, its layout read.
FaxProblem OpenFax(const std::string& path, fax::FaxReader& reader);
// The same as a message for standard error; empty when the fax can be read. A folder, FIFO
// or device is refused at once.
std::string OpenFax(const std::string& path);
// Why a file that is not a fax (a bitmap, a page to build from) cannot be read; empty when it can.
std::string OpenInput(const std::string& path);
// "Dcx-Pcx to TIF and PDF failed with error[2024]: page 2 is wider than ..." for a failed export.
std::string ExportFailure(const fax::ExportResult& result);
// Makes the folder and those above it; empty when it is there, else the message.
std::string MakeFolder(const std::string& path);

// Where a command says what it wrote: standard output, unless the output file is it.
std::FILE* ReportStream(const std::string& output);
// Says that `output` was written ("wrote PATH"), each output on a line of its own.
void ReportWritten(const std::string& output);
// A message on one line, for a log of one line per fax.
std::string OneLine(std::string text);

// All commands, gathered from the subsystems' lists below.
const std::vector<Command>& Commands();

// Each subsystem lists its own commands in its own file.
std::vector<Command> FormatCommands();  // format_commands.cpp
std::vector<Command> ViewerCommands();  // viewer_commands.cpp
std::vector<Command> ExportCommands();  // export_commands.cpp
std::vector<Command> ToolCommands();    // tool_commands.cpp
std::vector<Command> PrintCommands();   // print_commands.cpp
std::vector<Command> ZoomEditCommands();  // zoomedit_commands.cpp
std::vector<Command> TextCommands();      // text_commands.cpp

// Prints the message to standard error and returns kFailed.
int Fail(const std::string& message);
// Parses decimal digits alone (no sign, no blank) standing for a number from `min` to `max`
// (at most 999,999,999); false otherwise, with `value` unchanged.
bool ParseWhole(const std::string& text, long min, long max, long& value);
// Parses a positive page number; false when it is not one.
bool ParsePage(const std::string& text, unsigned& page);

// Text recognition (text_commands.cpp): --ocr and --lang L, taken out of `args`. With
// `needsOcr`, --lang without --ocr is refused. Empty, or why the options are wrong.
struct TextOptions {
    bool ocr = false;
    std::string language = ocr::kDefaultLanguage;
};
std::string TakeTextOptions(std::vector<std::string>& args, TextOptions& text, bool needsOcr);
// A recogniser for the options (none without --ocr); empty, or why it cannot be had (the
// message names the package to install).
std::string OpenRecognizer(const TextOptions& text, std::unique_ptr<ocr::Recognizer>& recognizer);
// export of one fax, with the text layer when `recognizer` is given; empty on success, else
// the message.
std::string ExportFax(const std::string& fax, const std::string& tif, const std::string& pdf,
                      ocr::Recognizer* recognizer, fax::ExportResult& result);

}  // namespace cli
