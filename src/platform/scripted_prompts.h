// Prompts for tests: records every prompt and answers from a script.
#pragma once

#include <deque>
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

    std::vector<Record> asked;
    std::vector<FileRecord> dialogs;

    Button ask(QWidget*, const QString& title, const QString& text, Icon icon, Buttons buttons,
               Button defaultButton) override;
    QString openFile(QWidget*, const FileDialogSpec& spec) override;
    QString saveFile(QWidget*, const FileDialogSpec& spec) override;
    bool printerSetup(QWidget*, QPrinter*) override { return printerAnswer; }

    // The texts of all message boxes so far.
    QStringList texts() const;

private:
    QString fileDialog(bool save, const FileDialogSpec& spec);
};

}  // namespace app
