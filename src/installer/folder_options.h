// The six folder options of the folder dialog and how each finds a folder, without a window:
// the resolvers, the chains a click runs, the folder proposed at opening and the checks of
// [Next >].
#pragma once

#include <QString>

class QWidget;

namespace inst {

enum Option { kNoOption = 0, kOptionShort = 1001, kOptionLocal = 1002, kOptionProgramFiles = 1003, kOptionRoaming = 1004, kOptionMultiUser = 1005, kOptionUpgrade = 1006 };

inline constexpr int kFolderLimit = 236;

struct FolderPick {
    QString folder;
    int choice = kNoOption;
};

// Runs one resolver; `report` lets it show its failure message.
bool Resolve(int option, bool report, QWidget* owner, FolderPick& pick);
// The chain a click on `clicked` runs; stops at the first resolver that succeeds.
bool RunChain(int clicked, QWidget* owner, FolderPick& pick);
// The folder proposed when the dialog opens; false (after its message) when there is none.
bool DefaultFolder(QWidget* owner, FolderPick& pick);

// The checks of [Next >] with their messages: length, not the starting folder, and
// created. True when the folder may be used; `made` gets the uppermost level it created.
bool CheckTargetFolder(const QString& folder, const QString& startingFolder, QWidget* owner, QString* made = nullptr);

class PayloadView;
// What an accepted folder gets: the two settings, the payload (from `self` for the
// installer's own copy) and the registrations. False, after the permissions text, when a
// payload step failed; then the payload has given back what it wrote, the settings are
// what they were, and the levels of the folder from `made` down (made for it) go.
bool InstallInto(PayloadView& view, const QString& folder, const QString& self, const QString& made = {});

// Shown when a folder or a file cannot be written.
QString PermissionsText();

}  // namespace inst
