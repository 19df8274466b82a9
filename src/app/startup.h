// The viewer's start-up steps that need no window: command line, program folders and
// the operating-system description. The installer resolves the program folder the same way.
#pragma once

#include <QString>
#include <optional>

namespace app {

struct ViewerState;

// The command line as given (never cut: a long path stays whole). With `findText`, the form
// "FAX --find TEXT" is taken apart: TEXT goes there and FAX stays the command line.
QString JoinCommandLine(int argc, char** argv, QString* findText = nullptr);
// True for "InstallingTheProgram" in any letter case.
bool IsInstallingCommand(const QString& commandLine);
// A fax path from the command line: a leading double quote is dropped and, when more
// than one character remains, the last character too.
QString CommandLineFax(const QString& commandLine);
// The program folder: `currentDir`, replaced by `thisProgramDir` when that is set, without
// trailing line feeds, carriage returns, spaces or separators ("/" stays "/"). A setting that
// is nothing but such characters and names no folder counts as not set.
QString ResolveProgramDir(const QString& currentDir, const QString& thisProgramDir);
// Creates ProgramDir, FaxDir, DataDir and AccumDir where missing, one component at a time.
// Returns the folder that could not be created (which may be an empty or relative name), or
// nothing when every folder exists.
std::optional<QString> CreateProgramFolders(const ViewerState& state);
QString FolderFailureMessage(const QString& folder);  // "Main18, ..."

// "<system>, 64bit, CPU: <cpu>", at most 127 characters; OsKind is 0 on this platform.
QString OsDescriptionText();
int OsKindCode();

QString InstallNoticeText();
QString AboutText(const ViewerState& state);

}  // namespace app
