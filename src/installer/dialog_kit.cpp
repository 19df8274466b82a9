#include "installer/dialog_kit.h"

#include <QCursor>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QTimer>

// The pictures live in this library; a static library has to register them itself.
static void InitInstallerResources() { Q_INIT_RESOURCE(installer); }

namespace inst {

void EnsureInstallerResources() {
    static const bool done = (InitInstallerResources(), true);
    (void)done;
}

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics fm(font);
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    baseX_ = (fm.horizontalAdvance(kLetters) / 26 + 1) / 2;
    baseY_ = fm.height();
}

QRect DialogUnits::rect(int x, int y, int w, int h) const {
    return QRect(x * baseX_ / 4, y * baseY_ / 8, w * baseX_ / 4, h * baseY_ / 8);
}

DialogUnits StyleDialog(QDialog* dialog, int widthUnits, int heightUnits) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    dialog->setFont(font);
    QPalette pal = dialog->palette();
    pal.setColor(QPalette::Window, QColor(192, 192, 192));
    pal.setColor(QPalette::WindowText, Qt::black);
    dialog->setPalette(pal);
    dialog->setAutoFillBackground(true);
    DialogUnits units(dialog->font());
    dialog->setFixedSize(units.rect(0, 0, widthUnits, heightUnits).size());
    dialog->setWindowIcon(ProgramIcon());
    return units;
}

void Place(QWidget* widget, const DialogUnits& units, int x, int y, int w, int h) {
    widget->setGeometry(units.rect(x, y, w, h));
}

QIcon ProgramIcon() {
    EnsureInstallerResources();
    return QIcon(QStringLiteral(":/installer/program.png")); }

QLabel* IconLabel(QWidget* parent, const DialogUnits& units, int x, int y) {
    auto* label = new QLabel(parent);
    Place(label, units, x, y, 20, 20);
    label->setPixmap(ProgramIcon().pixmap(label->size().boundedTo(QSize(32, 32))));
    return label;
}

void CentreOnDesktop(QWidget* window) {
    if (QScreen* s = QGuiApplication::primaryScreen()) window->move(s->availableGeometry().center() - window->rect().center());
}

DelayedTips::DelayedTips(int maxWidth, int initialDelay, int visibleFor, QObject* parent)
    : QObject(parent),
      label_(new QLabel(nullptr, Qt::ToolTip)),
      wake_(new QTimer(this)),
      sleep_(new QTimer(this)),
      maxWidth_(maxWidth),
      initialDelay_(initialDelay),
      visibleFor_(visibleFor) {
    label_->setWordWrap(true);
    label_->setMaximumWidth(maxWidth);
    label_->setMargin(3);
    label_->setForegroundRole(QPalette::ToolTipText);
    label_->setBackgroundRole(QPalette::ToolTipBase);
    label_->setAutoFillBackground(true);
    label_->setFrameStyle(QFrame::Box | QFrame::Plain);
    wake_->setSingleShot(true);
    wake_->setInterval(initialDelay);
    sleep_->setSingleShot(true);
    sleep_->setInterval(visibleFor);
    connect(wake_, &QTimer::timeout, this, &DelayedTips::showTip);
    connect(sleep_, &QTimer::timeout, label_, &QWidget::hide);
}

DelayedTips::~DelayedTips() { delete label_; }  // a tip window has no parent to take it

void DelayedTips::setTip(QWidget* widget, const QString& text) {
    if (!tips_.contains(widget)) {
        widget->installEventFilter(this);
        widget->setMouseTracking(true);
        connect(widget, &QObject::destroyed, this, [this, widget] { tips_.remove(widget); });
    }
    tips_.insert(widget, text);
    if (label_->isVisible() && pending_ == widget) showTip();
}

bool DelayedTips::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
        case QEvent::Enter:
        case QEvent::MouseMove:
            if (pending_ != widget || (!label_->isVisible() && !wake_->isActive())) {
                // Moving to another tool: the reshow delay is the same as the first one.
                pending_ = widget;
                label_->hide();
                wake_->start();
            }
            break;
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::Hide:
            if (pending_ == widget) {
                wake_->stop();
                sleep_->stop();
                label_->hide();
                pending_ = nullptr;
            }
            break;
        case QEvent::ToolTip: return true;  // these widgets have their own tips
        default: break;
    }
    return false;
}

void DelayedTips::showTip() {
    if (!pending_ || !tips_.contains(pending_)) return;
    const QString text = tips_.value(pending_);
    label_->setText(text);
    // One line when it fits, else wrapped at the widest the tip may be.
    const int chrome = 2 * (label_->margin() + label_->frameWidth()) + 2;
    const int natural = label_->fontMetrics().horizontalAdvance(text) + chrome;
    const int width = std::min(natural, maxWidth_);
    label_->setFixedSize(width, label_->heightForWidth(width));
    label_->move(QCursor::pos() + QPoint(2, 20));
    label_->show();
    label_->raise();
    sleep_->start();
}

}  // namespace inst
