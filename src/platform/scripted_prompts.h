// Prompts for tests: records every prompt and answers from a script.
#pragma once

#include <deque>
#include <functional>
#include <vector>

#include "platform/prompts.h"

namespace app {

class ScriptedPrompts : public Prompts {
public:
    struct Record {
        QString title;
        QString text;
        Icon icon;
        Buttons buttons;
        Button defaultButton;
    };
    struct FileRecord {
        bool save;
        FileDialogSpec spec;
    };

    ScriptedPrompts() { setPrompts(this); }
    ~ScriptedPrompts() override { setPrompts(nullptr); }

    // Answers used in order; when they run out the default button is taken.
    std::deque<Button> answers;
    // File dialog results in order; when they run out the dialog counts as cancelled.
    std::deque<QString> files;
    bool printerAnswer = false;
    // When set, runs in place of the printer setup dialog (it may choose a printer).
    std::function<bool(QPrinter*)> onPrinterSetup;
    int printerSetups = 0;
    QStringList printerPropertySheets;  // printer names whose properties were shown
    std::function<void(QPrinter*)> onPrinterProperties;  // what the user sets there

    std::vector<Record> asked;
    std::vector<FileRecord> dialogs;

    Button ask(QWidget*, const QString& title, const QString& text, Icon icon, Buttons buttons,
               Button defaultButton) override;
    QString openFile(QWidget*, const FileDialogSpec& spec) override;
    QString saveFile(QWidget*, const FileDialogSpec& spec) override;
    bool printerSetup(QWidget*, QPrinter* printer) override;
    void printerProperties(QWidget*, QPrinter* printer) override;

    // The texts of all message boxes so far.
    QStringList texts() const;

private:
    QString fileDialog(bool save, const FileDialogSpec& spec);
};

}  // namespace app
