#include "installer/folder_dialog.h"

#include <QButtonGroup>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/viewer_state.h"
#include "installer/dialog_kit.h"
#include "installer/installer_env.h"

namespace inst {

namespace {
QLabel* Text(QWidget* parent, const DialogUnits& u, const QString& text, int x, int y, int w, int h) {
    auto* label = new QLabel(text, parent);
    Place(label, u, x, y, w, h);
    return label;
}
}  // namespace

FolderDialog::FolderDialog(const QString& self, QWidget* parent) : QDialog(parent), self_(self) {
    const QString product = app::kProductName;
    setWindowTitle(InstallTitle());
    const DialogUnits u = StyleDialog(this, 306, 166);

    auto* frame = new QGroupBox(QStringLiteral("Expanding Files and Installing Program"), this);
    Place(frame, u, 4, 4, 298, 77);
    QLabel* instructions = Text(this, u,
                                QStringLiteral("Select a Path to the Folder where you want %1 to be "
                                               "Installed. If you a not an Admin and/or you are not sure what to "
                                               "select, just click the [Next] button...")
                                    .arg(product),
                                9, 17, 185, 59);
    instructions->setWordWrap(true);
    instructions->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    struct OptionSpec {
        int id;
        const char* text;
        int y, w;
    };
    static const OptionSpec kOptions[] = {
        {kOptionShort, "Short path for easy use", 17, 100}, {kOptionLocal, "Local user", 27, 100},
        {kOptionProgramFiles, "Program Files", 37, 100},    {kOptionRoaming, "Roaming user", 47, 59},
        {kOptionMultiUser, "Multi user", 57, 46},           {kOptionUpgrade, "Upgrading", 67, 49},
    };
    auto* group = new QButtonGroup(this);
    for (const OptionSpec& o : kOptions) {
        auto* radio = new QRadioButton(QString::fromLatin1(o.text), this);
        Place(radio, u, 197, o.y, o.w, 10);
        group->addButton(radio, o.id);
        options_.insert(o.id, radio);
    }
    connect(group, &QButtonGroup::idClicked, this, &FolderDialog::optionClicked);
    IconLabel(this, u, 274, 55);

    Text(this, u, QStringLiteral("Installing %1 to the following Folder . . . ").arg(product), 4, 86, 298, 9);
    field_ = new QLineEdit(this);
    Place(field_, u, 4, 96, 298, 12);
    field_->setReadOnly(true);
    // No length limit here: a field would cut a long folder silently, and [Next >] refuses it.
    source_ = Text(this, u, {}, 4, 115, 298, 11);
    destination_ = Text(this, u, {}, 4, 127, 298, 11);
    bar_ = Text(this, u, {}, 4, 143, 183, 10);
    bar_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Text(this, u, QStringLiteral("0 %"), 4, 154, 20, 8);
    Text(this, u, QStringLiteral("100 %"), 167, 154, 20, 8);
    exit_ = new QPushButton(QStringLiteral("&Exit"), this);
    Place(exit_, u, 199, 147, 50, 14);
    next_ = new QPushButton(QStringLiteral("   &Next >"), this);
    Place(next_, u, 252, 147, 50, 14);
    next_->setDefault(true);
    connect(exit_, &QPushButton::clicked, this, &QDialog::reject);
    connect(next_, &QPushButton::clicked, this, &FolderDialog::nextClicked);

    // Mouse events of the tool widgets reach the tips through their event filters.
    optionTips_ = new DelayedTips(300, 100, 30000, this);
    fieldTips_ = new DelayedTips(1500, 100, 30000, this);
}

FolderDialog::~FolderDialog() = default;

int FolderDialog::run() {
    if (!prepare()) return Rejected;
    return exec();
}

bool FolderDialog::prepare() {
    CentreOnDesktop(this);
    start_ = QDir::currentPath();
    source_->setText(start_);
    FolderPick pick;
    if (!DefaultFolder(this, pick)) return false;
    showPick(pick);

    const QString product = app::kProductName;
    optionTips_->setTip(option(kOptionShort),
                        QStringLiteral("Because the path is short and global it is easier to maintain your data such as "
                                       "message files and email address list files. This is good if you only plan to "
                                       "run one instance of %1 on this computer.")
                            .arg(product));
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = QDir(places().home).dirName();
    optionTips_->setTip(option(kOptionLocal), QStringLiteral("%1 will be available for this Username(%2) only.").arg(product, user));
    optionTips_->setTip(option(kOptionProgramFiles),
                        QStringLiteral("%1 will be installed here[%2%3%4%5%6]")
                            .arg(product, places().special(kProgramFiles), QStringLiteral("/"), QStringLiteral("Quorvane"),
                                 QStringLiteral("/"), QStringLiteral("Tarvex")));
    optionTips_->setTip(option(kOptionUpgrade), QStringLiteral("Upgrade using the same paths as before."));
    return true;
}

void FolderDialog::showPick(const FolderPick& pick) {
    field_->setText(pick.folder);
    field_->end(false);
    fieldTips_->setTip(field_, pick.folder);
    if (QRadioButton* r = option(pick.choice)) r->setChecked(true);
    next_->setFocus();
}

void FolderDialog::optionClicked(int id) {
    if (!option(id)->isChecked()) return;
    FolderPick pick;
    if (!RunChain(id, this, pick)) {
        reject();
        return;
    }
    showPick(pick);
}

void FolderDialog::nextClicked() {
    const QString folder = field_->text();
    QString made;
    if (!CheckTargetFolder(folder, start_, this, &made)) return;
    accepted_ = folder;
    if (InstallInto(*this, accepted_, self_, made)) accept();
    else reject();
}

void FolderDialog::showProgress(const QString& bar) {
    bar_->setText(bar);
    repaint();
}

void FolderDialog::showSource(const QString& text) {
    source_->setText(text);
    source_->repaint();
}

void FolderDialog::showDestination(const QString& text) {
    destination_->setText(text);
    destination_->repaint();
}

}  // namespace inst
