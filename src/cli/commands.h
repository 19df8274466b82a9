// The command table of tarvex-cli; each subsystem registers its commands here.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "export/fax_export.h"
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
// Why the fax cannot be opened for reading (a folder, FIFO or device is not a fax file
// and is refused at once); empty when it can.
std::string OpenFax(const std::string& path);
// Where a command says what it wrote: standard output, unless the output file is it.
std::FILE* ReportStream(const std::string& output);

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
