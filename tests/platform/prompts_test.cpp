#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "help/configure_dialog.h"
#include "platform/prompts.h"
#include "platform/scripted_prompts.h"
#include "platform/window_stack.h"
#include "support/test_files.h"

using namespace app;

TEST(Prompts, ScriptAnswersInOrderThenDefaults) {
    ScriptedPrompts p;
    p.answers = {Yes};
    EXPECT_TRUE(prompts().yesNo(nullptr, "T", "first?", No));
    EXPECT_FALSE(prompts().yesNo(nullptr, "T", "second?", No));  // script ran out: default No
    ASSERT_EQ(p.asked.size(), 2u);
    EXPECT_EQ(p.asked[1].text, "second?");
    EXPECT_EQ(p.asked[1].buttons, unsigned(Yes | No));
    EXPECT_EQ(p.asked[1].icon, Icon::Question);
}

TEST(Prompts, QtMessageBoxShowsTitleTextAndDefaultButton) {
    QtPrompts qt;
    QString seenTitle, seenText;
    bool noIsDefault = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box) continue;
            seenTitle = box->windowTitle();
            seenText = box->text();
            noIsDefault = static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::No);
            box->button(QMessageBox::Yes)->click();
        }
    });
    EXPECT_EQ(qt.ask(nullptr, "Vantorel", "Over-Write it?", Icon::Question, Yes | No, No), Yes);
    EXPECT_EQ(seenTitle, "Vantorel");
    EXPECT_EQ(seenText, "Over-Write it?");
    EXPECT_TRUE(noIsDefault);
}

// The commands ask their own "already exists. Over-Write it?"; the save dialog must not ask first.
TEST(Prompts, SaveDialogLeavesTheOverwriteQuestionToTheCommand) {
    testing_support::TempDir dir;
    const QString existing = QString::fromStdString(dir.File("fax.dcx"));
    QFile(existing).open(QIODevice::WriteOnly);
    QtPrompts qt;
    bool asked = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (!dialog || !dialog->isVisible()) continue;
            dialog->selectFile(existing);
            // Should the dialog ask, its box is answered No and the dialog cancelled.
            QTimer::singleShot(0, dialog, [&, dialog] {
                for (QWidget* b : QApplication::topLevelWidgets())
                    if (auto* box = qobject_cast<QMessageBox*>(b); box && box->isVisible()) {
                        asked = true;
                        box->button(QMessageBox::No)->click();
                    }
                if (dialog->isVisible()) dialog->reject();
            });
            static_cast<QDialog*>(dialog)->accept();  // the Save button
        }
    });
    FileDialogSpec spec;
    spec.title = "Copy Fax To";
    spec.startFolder = QString::fromStdString(dir.path());
    EXPECT_EQ(qt.saveFile(nullptr, spec), existing);
    EXPECT_FALSE(asked);
}

// The paint program chooser lists folders and programs, and every file under "All Files".
TEST(Prompts, ProgramChooserListsFoldersAndPrograms) {
    testing_support::TempDir dir;
    const QString root = QString::fromStdString(dir.path());
    QDir(root).mkdir("tools");
    for (const char* name : {"paint", "notes.txt"}) QFile(root + "/" + name).open(QIODevice::WriteOnly);
    QFile::setPermissions(root + "/paint", QFile::ReadOwner | QFile::ExeOwner);
    QStringList listed[2];
    QTimer::singleShot(0, [&] {
        auto* view = QApplication::activeModalWidget()->findChild<QListView*>("listView");
        for (int i : {0, 1}) {
            if (i) QTest::keyClick(view->window()->findChild<QWidget*>("fileTypeCombo"), Qt::Key_Down);  // "All Files"
            (void)QTest::qWaitFor([&] { return view->model()->rowCount(view->rootIndex()) == 2 + i; }, 5000);
            for (int row = 0; row < 2 + i; ++row) listed[i] << view->model()->index(row, 0, view->rootIndex()).data().toString();
        }
        QTest::keyClicks(view->window()->findChild<QWidget*>("fileNameEdit"), "paint");
        QTest::keyClick(view->window()->windowHandle(), Qt::Key_Return);
    });
    EXPECT_EQ(QtPrompts().openFile(nullptr, PaintProgramDialogSpec("", root)), root + "/paint");
    for (QStringList& names : listed) names.sort();
    EXPECT_EQ(listed[0] + listed[1], (QStringList{"paint", "tools", "notes.txt", "paint", "tools"}));
}

TEST(WindowStack, TopToolWindowOwnsPrompts) {
    QWidget main, tool1, tool2;
    ResetWindowStack(&main);
    EXPECT_EQ(CurrentToolWindow(), nullptr);
    EXPECT_EQ(TopWindow(), &main);
    {
        ToolWindowScope a(&tool1);
        ToolWindowScope b(&tool2);
        EXPECT_EQ(TopWindow(), &tool2);
    }
    EXPECT_EQ(CurrentToolWindow(), nullptr);
}
