// The steps of Zoom/Edit once its dialog is on screen: the page out to a bitmap, the
// user's paint program on it, the edited bitmap back into the fax. Messages go through
// the prompts seam, so tests drive the whole round trip with a stand-in editor.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "zoomedit/bitmap_file.h"

class QWidget;

namespace app {

// The editors tried, in order, when no paint program is configured.
inline const QStringList kDefaultEditors = {QStringLiteral("kolourpaint"), QStringLiteral("pinta"),
                                            QStringLiteral("mtpaint"), QStringLiteral("gimp")};

// `paintProgram` when set; else the first default editor found on PATH; else the first
// default editor (which then cannot be started, and says so).
QString ChooseEditor(const QString& paintProgram);

// The message shown when the editor cannot be started.
QString EditorFailedText(const QString& editor);

// True when the path's last "." begins ".pcx" (any case): the fax is a single page,
// converted in place.
bool IsPcxFaxPath(const QString& path);

class ZoomEditCommand {
public:
    ZoomEditCommand(QWidget* owner, QString programDir, QString fax, unsigned page, QString paintProgram);

    // Shows or hides the dialog while the editor runs; set by the dialog.
    std::function<void(bool visible)> showDialog;
    // An editor that ends sooner than this after its start handed the file to a running
    // copy of itself; the user then confirms when done.
    int quickExitMs = 4000;

    // The start command: the edit of a PCX fax in place or of one page of a DCX, then
    // the work files removed. True when the fax was rewritten.
    bool Run();

    QString workFile(const char* name) const;

private:
    bool EditPcx(const QString& pcx, fax::Placement placement);
    bool EditDcx();
    bool RunEditor(const QString& bitmap);
    void SetDialogVisible(bool visible);

    QWidget* owner_;
    QString programDir_;
    QString fax_;
    unsigned page_;
    QString paintProgram_;
};

}  // namespace app
