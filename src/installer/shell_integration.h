// Making the product known to the desktop: the uninstall entry, the file types, the
// desktop launcher and the "Vantorel" group of the applications menu, and removing them.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace inst {

// The viewer's command line for a file: {folder}/tarvex %f, quoted where a desktop entry
// must quote it.
QString OpenCommand(const QString& folder);
// A desktop entry's Exec value for `program` with `arguments` (already an argument list text);
// the program is quoted only when it holds a character the desktop reserves.
QString ExecLine(const QString& program, const QString& arguments = {});

// The uninstall entry, then the file types (the viewer's desktop entry, the DCX type, the
// defaults of mimeapps.list). Best effort: a part that cannot be written is skipped.
void WriteRegistrations(const QString& folder);
// Sets `mime`=`entry` in the [Default Applications] and [Added Associations] groups of a
// mimeapps.list text, keeping every other line.
QString WithDefaultApplication(const QString& mimeappsText, const QStringList& mimeTypes, const QString& entry);
// Takes `entry` out of the lists of those two groups; a type left with none goes.
QString WithoutApplication(const QString& mimeappsText, const QString& entry);
// After an uninstall: the file-type entry that starts the viewer of `folder` (also under the
// name earlier versions gave it), the defaults naming an entry that is gone, and the icons.
void RemoveFileTypes(const QString& folder);

struct Shortcut {
    QString name;       // "Vantorel", "Manual", ...
    QString target;     // a program, or a document opened with the desktop's opener
    QString arguments;
    QString workingFolder;
    QString icon;       // a file or a theme icon name
    bool document = false;  // opened with xdg-open rather than run
};

// The desktop entry text of a shortcut.
QString ShortcutEntry(const Shortcut& s);

// Makes the group (group flag: the folder, its .directory and the menu merge file) or one
// shortcut, saved as {working folder}/tmp and renamed into place without replacing.
bool MakeShortcut(QWidget* owner, int folderId, const Shortcut& shortcut, bool group, bool open = false);
// Removes one shortcut or the whole group folder (its files; sub-folders are not entered).
bool RemoveShortcut(int folderId, const QString& name, bool group);

// Startup shortcuts, desktop launcher and both groups, pausing 64 ms after each step and
// `lastPause` after the fifth.
void RunRemovalSequence(int lastPause);
// Desktop launcher, group, and its five entries, pausing 64 ms after each;
// `desktopMade` runs right after the launcher. Returns the result of the last entry.
bool RunMakingSequence(const QString& folder, const std::function<void()>& desktopMade);

}  // namespace inst
