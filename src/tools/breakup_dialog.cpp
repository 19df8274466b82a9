#include "tools/breakup_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/viewer_state.h"
#include "help/help.h"
#include "tools/tool_commands.h"
#include "tools/tool_prompt.h"

namespace app {

namespace {
int g_open = 0;
}

BreakUpDialog::BreakUpDialog(QWidget* owner, ViewerState& state)
    : QDialog(owner), state_(state), scope_(this), core_(ToCorePath(state.dataDir)) {
    ++g_open;
    setWindowTitle(FromCore(fax::kBreakUpTitle));

    auto* sourceBox = new QGroupBox(tr("Copying from .dcx File"), this);
    source_ = new QLabel(sourceBox);
    source_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    (new QVBoxLayout(sourceBox))->addWidget(source_);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(tr("Pages in this .dcx file are:"), this), 0, 0);
    count_ = new QLabel(this);
    fields->addWidget(count_, 0, 1);
    auto* seedLabel = new QLabel(tr("Type in a 4 letter seed &FileName:"), this);
    seed_ = new QLineEdit(this);
    seed_->setMaxLength(static_cast<int>(fax::kSeedChars));
    seedLabel->setBuddy(seed_);
    fields->addWidget(seedLabel, 1, 0);
    fields->addWidget(seed_, 1, 1);

    auto* outputBox = new QGroupBox(tr("Creating .pcx File(s)"), this);
    output_ = new QLabel(outputBox);
    (new QVBoxLayout(outputBox))->addWidget(output_);

    breakUp_ = new QPushButton(tr("&BreakUp"), this);
    breakUp_->setDefault(true);
    exit_ = new QPushButton(tr("E&xit"), this);
    help_ = new QPushButton(tr("&Help"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(breakUp_);
    buttons->addWidget(exit_);
    buttons->addWidget(help_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(sourceBox);
    layout->addLayout(fields);
    layout->addWidget(outputBox);
    layout->addLayout(buttons);

    connect(breakUp_, &QPushButton::clicked, this, &BreakUpDialog::BreakUpPages);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(help_, &QPushButton::clicked, this,
            [this] { ShowHelp(this, state_, QStringLiteral("#dcx_to_pcx_BreakUp")); });
}

BreakUpDialog::~BreakUpDialog() { --g_open; }

bool BreakUpDialog::IsOpen() { return g_open > 0; }

bool BreakUpDialog::Prepare() {
    if (!core_.HasBuffer()) {
        ShowToolMessage(this, fax::BreakUp::NoMemoryMessage());
        return false;
    }
    source_->setText(state_.currentFax);
    auto inspection = core_.Inspect(ToCorePath(state_.currentFax));
    if (!inspection.ok) {
        ShowToolMessage(this, inspection.message);
        return false;
    }
    count_->setText(QString::number(inspection.pages));
    adjustSize();
    CentreOnScreen(this);
    seed_->setFocus();
    return true;
}

void BreakUpDialog::BreakUpPages() {
    fax::BreakUp::Result result;
    {
        WaitCursor wait;
        result = core_.Run(
            ToCorePath(state_.currentFax), ToCorePath(seed_->text()),
            [this](const fax::ToolMessage& q) {
                QApplication::restoreOverrideCursor();  // a question gets the normal cursor
                bool yes = AskOverwrite(this, q);
                QApplication::setOverrideCursor(Qt::WaitCursor);
                return yes;
            },
            [this](const std::string& name) { output_->setText(FromCore(name)); });
    }
    ShowToolMessages(this, result.messages);
    switch (result.outcome) {
        case fax::BreakUp::Outcome::Finished: accept(); break;
        case fax::BreakUp::Outcome::Closed: reject(); break;
        case fax::BreakUp::Outcome::Declined:
            seed_->setFocus();
            seed_->selectAll();
            break;
        case fax::BreakUp::Outcome::StayOpen: break;
    }
}

void RunBreakUp(QWidget* owner, ViewerState& state) {
    BreakUpDialog dialog(owner, state);
    if (dialog.Prepare()) dialog.exec();
}

}  // namespace app
