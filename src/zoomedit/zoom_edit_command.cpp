#include "zoomedit/zoom_edit_command.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "formats/fax_reader.h"
#include "platform/prompts.h"
#include "platform/pump_wait.h"
#include "tools/tool_prompt.h"
#include "zoomedit/bitmap_file.h"
#include "zoomedit/zoom_edit.h"

namespace app {

namespace {
const QString kTitle = QString::fromLatin1(fax::kZoomEditTitle);
constexpr int kFirstWaitMs = 512;
constexpr int kPollMs = 128;
}  // namespace

QString ChooseEditor(const QString& paintProgram) {
    if (!paintProgram.isEmpty()) return paintProgram;
    for (const QString& name : kDefaultEditors)
        if (!QStandardPaths::findExecutable(name).isEmpty()) return name;
    return kDefaultEditors.first();
}

QString EditorFailedText(const QString& editor) {
    return QStringLiteral(
               "Was unable to start %1.\n\nThe program could not be started.\n\nThe most probable cause is the "
               "absence of \"%1\".\n\nBe sure it is installed, or make sure there is a PATH entry for the folder it "
               "is in or wherever it is.\n\nYou can get %1 from your distribution's packages.\n\nOr...Go to "
               "Configuration and select your own Paint Program.")
        .arg(editor);
}

bool IsPcxFaxPath(const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && path.mid(dot, 4).compare(QStringLiteral(".pcx"), Qt::CaseInsensitive) == 0;
}

ZoomEditCommand::ZoomEditCommand(QWidget* owner, QString programDir, QString fax, unsigned page, QString paintProgram)
    : owner_(owner),
      programDir_(std::move(programDir)),
      fax_(std::move(fax)),
      page_(page),
      paintProgram_(std::move(paintProgram)) {}

QString ZoomEditCommand::workFile(const char* name) const { return QDir(programDir_).filePath(QLatin1String(name)); }

void ZoomEditCommand::SetDialogVisible(bool visible) {
    if (showDialog) showDialog(visible);
}

bool ZoomEditCommand::Run() {
    // A picture page would come back as black and white; it is refused before any work file is made.
    if (std::string picture = fax::FaxPictureRefusal(ToCorePath(fax_), IsPcxFaxPath(fax_) ? 0 : page_); !picture.empty()) {
        ShowToolMessage(owner_, {fax::kZoomEditTitle, picture, fax::MessageIcon::Error});
        return false;
    }
    bool changed = false;
    if (IsPcxFaxPath(fax_)) {
        changed = EditPcx(fax_, fax::Placement::Keep);
    } else {
        changed = EditDcx();
    }
    for (const char* name : {fax::kZoomEditBmp, fax::kZoomEditPcx, fax::kZoomEditDcx}) QFile::remove(workFile(name));
    return changed;
}

bool ZoomEditCommand::EditDcx() {
    fax::EditCopyBuffer buffer;
    if (!buffer.ok()) {
        ShowToolMessage(owner_, fax::EditCopyBuffer::NoMemoryMessage());
        return false;
    }
    const std::string faxPath = ToCorePath(fax_);
    const std::string pcx = ToCorePath(workFile(fax::kZoomEditPcx));
    fax::EditStep step = fax::ExtractDcxPage(faxPath, page_, pcx, buffer);
    ShowToolMessages(owner_, step.messages);
    if (!step.ok || !EditPcx(workFile(fax::kZoomEditPcx), fax::Placement::Work)) return false;
    WaitCursor wait;
    step = fax::ReplaceDcxPage(faxPath, page_, pcx, buffer);
    ShowToolMessages(owner_, step.messages);
    return step.ok;
}

bool ZoomEditCommand::EditPcx(const QString& pcx, fax::Placement placement) {
    const QString bitmap = workFile(fax::kZoomEditBmp);
    fax::ConversionResult out;
    {
        WaitCursor wait;
        out = fax::PageToBitmap(ToCorePath(pcx), ToCorePath(bitmap));
    }
    ShowToolMessages(owner_, out.messages);
    if (!out.ok || !RunEditor(bitmap)) return false;
    WaitCursor wait;
    fax::ConversionResult back = fax::BitmapToPage(ToCorePath(bitmap), ToCorePath(pcx), placement);
    ShowToolMessages(owner_, back.messages);
    return back.ok;
}

bool ZoomEditCommand::RunEditor(const QString& bitmap) {
    const QString editor = ChooseEditor(paintProgram_);
    QString program = editor;
    QStringList arguments;
    // A configured command with arguments ("flatpak run ...") rather than a program file.
    if (!QFileInfo(editor).isFile() && editor.contains(QLatin1Char(' '))) {
        arguments = QProcess::splitCommand(editor);
        program = arguments.isEmpty() ? editor : arguments.takeFirst();
    }
    arguments << bitmap;  // one argument, whatever blanks the path holds

    SetDialogVisible(false);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(programDir_);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedChannels);  // never blocks on a full pipe
    QElapsedTimer started;
    started.start();
    process.start();
    if (!process.waitForStarted()) {
        SetDialogVisible(true);
        prompts().show(owner_, kTitle, EditorFailedText(editor), Icon::Error);
        return false;
    }
    // The window keeps repainting while the editor runs; the editor is only watched.
    PumpWait(kFirstWaitMs, true);
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(0)) PumpWait(kPollMs, true);
    if (started.elapsed() < quickExitMs)
        prompts().ask(owner_, kTitle, QStringLiteral("Select [OK] after closing the editor."), Icon::None, Ok, Ok);
    SetDialogVisible(true);
    return true;
}

}  // namespace app
