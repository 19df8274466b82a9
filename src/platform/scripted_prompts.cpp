#include "platform/scripted_prompts.h"

#include <QPrinter>

namespace app {

Button ScriptedPrompts::ask(QWidget*, const QString& title, const QString& text, Icon icon, Buttons buttons,
                            Button defaultButton) {
    asked.push_back({title, text, icon, buttons, defaultButton});
    if (answers.empty()) return defaultButton == NoButton ? Ok : defaultButton;
    Button b = answers.front();
    answers.pop_front();
    return b;
}

QString ScriptedPrompts::openFile(QWidget*, const FileDialogSpec& spec) { return fileDialog(false, spec); }

QString ScriptedPrompts::saveFile(QWidget*, const FileDialogSpec& spec) { return fileDialog(true, spec); }

QString ScriptedPrompts::fileDialog(bool save, const FileDialogSpec& spec) {
    dialogs.push_back({save, spec});
    if (files.empty()) return {};
    QString f = files.front();
    files.pop_front();
    return f;
}

bool ScriptedPrompts::printerSetup(QWidget*, QPrinter* printer) {
    ++printerSetups;
    return onPrinterSetup ? onPrinterSetup(printer) : printerAnswer;
}

void ScriptedPrompts::printerProperties(QWidget*, QPrinter* printer) {
    printerPropertySheets << printer->printerName();
    if (onPrinterProperties) onPrinterProperties(printer);
}

QStringList ScriptedPrompts::texts() const {
    QStringList t;
    for (const auto& r : asked) t << r.text;
    return t;
}

}  // namespace app
