#include "help/configure_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/viewer_state.h"
#include "help/help.h"
#include "ocr/recognizer.h"
#include "platform/settings_store.h"

namespace app {

QString PaintProgramStartFolder(const QString& paintProgram, const QString& programDir) {
    if (!paintProgram.startsWith(QLatin1Char('/'))) return programDir;
    const qsizetype slash = paintProgram.lastIndexOf(QLatin1Char('/'));
    return slash == 0 ? QStringLiteral("/") : paintProgram.left(slash);
}

FileDialogSpec PaintProgramDialogSpec(const QString& paintProgram, const QString& programDir) {
    FileDialogSpec spec;
    spec.title = QStringLiteral("Select a Program to View/Edit Bitmap Files");
    spec.startFolder = PaintProgramStartFolder(paintProgram, programDir);
    spec.fileName = paintProgram;
    // Programs here carry no extension; the first filter shows folders and programs only.
    spec.filters = {QStringLiteral("Bitmap Viewer/Editor (*)"), QStringLiteral("All Files (*)")};
    spec.programsFirst = true;
    return spec;
}

// ---- Vantorel Configure ----------------------------------------------------------------

void CentredToolDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    CentreOnScreen(this);
    if (initialFocus_) initialFocus_->setFocus();
}

ConfigureDialog::ConfigureDialog(QWidget* owner, ViewerState& state) : CentredToolDialog(owner), state_(state) {
    setWindowTitle(QStringLiteral("Vantorel Configure"));
    select_ = new QPushButton(QStringLiteral("Select Program to &View/Edit Bitmap Files..."), this);
    openMax_ = new QCheckBox(QStringLiteral("Always Open Viewer Maximized"), this);
    openMax_->setChecked(state_.settings.openMax == 1);
    recognise_ = new QCheckBox(QStringLiteral("Recognise text in PDF exports"), this);
    recognise_->setChecked(state_.settings.recognisePdfText == 1);
    // The installed language data; names may also be joined by "+" (eng+deu).
    language_ = new QComboBox(this);
    language_->setEditable(true);
    language_->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& name : ocr::InstalledLanguages(ocr::DefaultDataPath()))
        language_->addItem(QString::fromStdString(name));
    const int stored = language_->findText(state_.settings.recogniseLanguage);
    if (stored >= 0) language_->setCurrentIndex(stored);
    else language_->setCurrentText(state_.settings.recogniseLanguage);
    language_->setEnabled(recognise_->isChecked());
    auto* languageLabel = new QLabel(QStringLiteral("&Language:"), this);
    languageLabel->setBuddy(language_);
    help_ = new QPushButton(QStringLiteral("&Help"), this);
    cancel_ = new QPushButton(QStringLiteral("&Cancel"), this);
    apply_ = new QPushButton(QStringLiteral("&Apply"), this);
    cancel_->setDefault(true);
    initialFocus_ = cancel_;

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(help_);
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(select_);
    layout->addWidget(openMax_);
    layout->addWidget(recognise_);
    auto* languageRow = new QHBoxLayout;
    languageRow->addSpacing(20);
    languageRow->addWidget(languageLabel);
    languageRow->addWidget(language_, 1);
    layout->addLayout(languageRow);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(select_, &QPushButton::clicked, this, [this] {
        SelectPaintProgramDialog dialog(this, state_);
        dialog.exec();
    });
    // Stored at once: Cancel closes the dialog but does not take the choice back.
    connect(openMax_, &QCheckBox::toggled, this, [this](bool on) {
        state_.settings.openMax = on ? 1 : 0;
        WriteUnsigned(kConfigure, QStringLiteral("OpenMax"), state_.settings.openMax);
    });
    connect(recognise_, &QCheckBox::toggled, this, [this](bool on) {
        state_.settings.recognisePdfText = on ? 1 : 0;
        WriteUnsigned(kConfigure, QStringLiteral("RecognisePdfText"), state_.settings.recognisePdfText);
        language_->setEnabled(on);
    });
    connect(language_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        state_.settings.recogniseLanguage = text.trimmed();
        WriteText(kConfigure, QStringLiteral("RecogniseLanguage"), state_.settings.recogniseLanguage);
    });
    connect(help_, &QPushButton::clicked, this, [this] { ShowHelp(this, state_, QStringLiteral("#ToolsCfg")); });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply_, &QPushButton::clicked, this, &QDialog::accept);
}

// ---- Select Paint Program ------------------------------------------------------------

SelectPaintProgramDialog::SelectPaintProgramDialog(QWidget* owner, ViewerState& state)
    : CentredToolDialog(owner), state_(state) {
    setWindowTitle(QStringLiteral("Select Paint Program"));
    auto* text = new QLabel(
        QStringLiteral("The bitmap (*.bmp) editor program that you select here will be used by the [Zoom/Edit] and "
                       "[Edit Cover Page Logo] functions. If you leave this blank, then the first of kolourpaint, "
                       "pinta, mtpaint or gimp found on your PATH will be used."),
        this);
    text->setWordWrap(true);
    auto* box = new QGroupBox(QStringLiteral("Program to replace the default paint program"), this);
    path_ = new QLineEdit(state_.settings.paintProgram, box);
    path_->setMinimumWidth(360);
    (new QVBoxLayout(box))->addWidget(path_);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_DesktopIcon).pixmap(32, 32));
    browse_ = new QPushButton(QStringLiteral("&Browse"), this);
    apply_ = new QPushButton(QStringLiteral("&Apply"), this);
    browse_->setDefault(true);
    initialFocus_ = browse_;

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(browse_);
    buttons->addWidget(apply_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(box);
    layout->addLayout(buttons);

    connect(browse_, &QPushButton::clicked, this, &SelectPaintProgramDialog::browse);
    connect(apply_, &QPushButton::clicked, this, &SelectPaintProgramDialog::store);
}

void SelectPaintProgramDialog::browse() {
    const QString chosen = prompts().openFile(this, PaintProgramDialogSpec(path_->text(), state_.programDir));
    if (chosen.isEmpty()) return;
    path_->setText(chosen);
    apply_->setFocus();
}

void SelectPaintProgramDialog::store() {
    state_.settings.paintProgram = path_->text();
    WriteText(kConfigure, QStringLiteral("PaintProgram"), state_.settings.paintProgram);
    accept();
}

void RunConfigure(QWidget* owner, ViewerState& state) {
    ConfigureDialog dialog(owner, state);
    dialog.exec();
}

}  // namespace app
