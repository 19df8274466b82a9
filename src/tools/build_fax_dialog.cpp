#include "tools/build_fax_dialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/viewer_state.h"
#include "help/help.h"
#include "tools/build_fax.h"
#include "tools/tool_commands.h"
#include "tools/tool_prompt.h"

namespace app {

namespace {
int g_open = 0;
const QString kTitle = QStringLiteral("Vantorel");
}  // namespace

BuildFaxDialog::BuildFaxDialog(QWidget* owner, ViewerState& state) : QDialog(owner), state_(state), scope_(this) {
    ++g_open;
    setWindowTitle(tr("Build Fax from pcx file(s)"));

    auto* fromLabel = new QLabel(tr("&From pcx list box:"), this);
    from_ = new QListWidget(this);
    fromLabel->setBuddy(from_);
    auto* toLabel = new QLabel(tr("&To pcx list box:"), this);
    to_ = new QListWidget(this);
    toLabel->setBuddy(to_);

    auto* add = new QPushButton(tr("&Add pcx >>"), this);
    add->setDefault(true);
    auto* addAll = new QPushButton(tr("A&dd All >>"), this);
    auto* remove = new QPushButton(tr("&Remove PCX"), this);
    auto* removeAll = new QPushButton(tr("Remove A&ll"), this);
    auto* middle = new QVBoxLayout;
    middle->addStretch();
    for (auto* b : {add, addAll, remove, removeAll}) middle->addWidget(b);
    middle->addStretch();

    auto* nameLabel = new QLabel(tr("Build Fax (dcx) file &name:"), this);
    name_ = new QLineEdit(this);
    nameLabel->setBuddy(name_);
    build_ = new QPushButton(tr("&Build"), this);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    help_ = new QPushButton(tr("&Help"), this);

    auto* grid = new QGridLayout(this);
    grid->addWidget(fromLabel, 0, 0);
    grid->addWidget(toLabel, 0, 2);
    grid->addWidget(from_, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(to_, 1, 2);
    grid->addWidget(nameLabel, 2, 0, 1, 3);
    grid->addWidget(name_, 3, 0, 1, 3);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    for (auto* b : {build_, cancel, help_}) buttons->addWidget(b);
    grid->addLayout(buttons, 4, 0, 1, 3);

    connect(from_, &QListWidget::currentRowChanged, this, [this](int row) {
        // A mouse press adds through itemPressed below, once.
        bool mouse = QGuiApplication::mouseButtons() & Qt::LeftButton;
        bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
        FromSelectionChanged(row, shift && !mouse);
    });
    connect(from_, &QListWidget::itemPressed, this, [this](QListWidgetItem* item) {
        if (QGuiApplication::mouseButtons() & Qt::LeftButton) FromSelectionChanged(from_->row(item), true);
    });
    connect(from_, &QListWidget::itemDoubleClicked, this, [this] { AddPcx(); });
    connect(to_, &QListWidget::currentRowChanged, this, [this](int row) { remembered_ = row; });
    connect(to_, &QListWidget::itemDoubleClicked, this, [this] { RemovePcx(); });
    connect(add, &QPushButton::clicked, this, &BuildFaxDialog::AddPcx);
    connect(addAll, &QPushButton::clicked, this, &BuildFaxDialog::AddAll);
    connect(remove, &QPushButton::clicked, this, &BuildFaxDialog::RemovePcx);
    connect(removeAll, &QPushButton::clicked, this, &BuildFaxDialog::RemoveAll);
    connect(build_, &QPushButton::clicked, this, &BuildFaxDialog::Build);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(this, state_, QStringLiteral("#Build_Fax")); });
}

BuildFaxDialog::~BuildFaxDialog() { --g_open; }

bool BuildFaxDialog::IsOpen() { return g_open > 0; }

bool BuildFaxDialog::Prepare() {
    QStringList names = QDir(state_.dataDir)
                            .entryList({QStringLiteral("*.pcx")}, QDir::Files,
                                       QDir::Name | QDir::IgnoreCase);
    if (names.size() > kMaxListed) names = names.mid(0, kMaxListed);
    {
        QSignalBlocker block(from_);
        from_->addItems(names);
        from_->setCurrentRow(-1);
    }
    if (names.isEmpty()) {
        prompts().show(this, kTitle, tr("No pcx file(s) in the Vantorel directory."), Icon::Error);
        return false;
    }
    name_->setText(NewFaxName(state_.faxDir, state_.settings));
    selected_.clear();
    adjustSize();
    CentreOnScreen(this);
    build_->setFocus();
    return true;
}

QStringList BuildFaxDialog::pages() const {
    QStringList list;
    for (int i = 0; i < to_->count(); ++i) list << to_->item(i)->text();
    return list;
}

void BuildFaxDialog::Append(const QString& name) {
    QSignalBlocker block(to_);  // only the user's own selections move the remembered index
    to_->addItem(name);
}

void BuildFaxDialog::FromSelectionChanged(int row, bool addAtOnce) {
    remembered_ = row;
    QListWidgetItem* item = from_->item(row);
    selected_ = item ? item->text() : QString();
    if (addAtOnce) AddPcx();
}

void BuildFaxDialog::AddPcx() {
    if (selected_.isEmpty()) {
        prompts().show(this, kTitle, tr("Please select a pcx file first."), Icon::Information);
        return;
    }
    Append(selected_);
}

void BuildFaxDialog::AddAll() {
    for (int i = 0; i < from_->count(); ++i) {
        QString name = from_->item(i)->text();
        if (name.isEmpty()) break;
        Append(name);
    }
    remembered_ = from_->count();
}

void BuildFaxDialog::RemovePcx() {
    if (remembered_ >= 0 && remembered_ < to_->count()) {
        QSignalBlocker block(to_);
        delete to_->takeItem(remembered_);
    }
    remembered_ = 0;
}

void BuildFaxDialog::RemoveAll() {
    QSignalBlocker block(to_);
    to_->clear();
}

void BuildFaxDialog::Build() {
    if (to_->count() == 0) {
        prompts().show(this, kTitle, tr("Please select at least one pcx file."), Icon::Information);
        return;
    }
    QString target = name_->text();
    if (QFileInfo::exists(target) &&
        !AskOverwrite(this, fax::FaxExistsQuestion(ToCorePath(target))))
        return;

    std::vector<std::string> files;
    for (const QString& page : pages()) files.push_back(ToCorePath(state_.dataDir + QLatin1Char('/') + page));
    fax::BuildFaxResult result;
    {
        WaitCursor wait;
        result = fax::BuildFax(ToCorePath(target), files);
    }
    ShowToolMessages(this, result.messages);
    switch (result.outcome) {
        case fax::BuildFaxResult::Outcome::NotCreated: return;  // the user may correct the name
        case fax::BuildFaxResult::Outcome::Failed: break;       // the default fax stays as it was
        case fax::BuildFaxResult::Outcome::Built:
            state_.currentFax = target;
            built_ = true;
            break;
    }
    accept();
}

bool RunBuildFax(QWidget* owner, ViewerState& state) {
    BuildFaxDialog dialog(owner, state);
    if (!dialog.Prepare()) return false;
    dialog.exec();
    return dialog.built();
}

}  // namespace app
