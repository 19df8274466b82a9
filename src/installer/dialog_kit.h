// What the installer's dialogs share: their look (8-point font, light grey), positions
// given in dialog units, the program icon, and tooltips with their own delays.
#pragma once

#include <QHash>
#include <QObject>
#include <QRect>
#include <QString>

class QDialog;
class QFont;
class QIcon;
class QLabel;
class QTimer;
class QWidget;

namespace inst {

// Dialog units of a font: x in quarters of its average character width, y in eighths of
// its height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    QRect rect(int x, int y, int w, int h) const;

private:
    int baseX_, baseY_;
};

// Gives `dialog` the installer's font and colours; returns its dialog units.
DialogUnits StyleDialog(QDialog* dialog, int widthUnits, int heightUnits);
// Places `widget` at a position in dialog units.
void Place(QWidget* widget, const DialogUnits& units, int x, int y, int w, int h);
QIcon ProgramIcon();
// Registers the installer's pictures (icon, backdrop) once.
void EnsureInstallerResources();
QLabel* IconLabel(QWidget* parent, const DialogUnits& units, int x, int y);
void CentreOnDesktop(QWidget* window);

// Tooltips that appear `initialDelay` ms after the mouse rests on a widget, stay for
// `visibleFor` ms, and wrap at `maxWidth` pixels.
class DelayedTips : public QObject {
    Q_OBJECT
public:
    DelayedTips(int maxWidth, int initialDelay, int visibleFor, QObject* parent);
    ~DelayedTips() override;
    void setTip(QWidget* widget, const QString& text);
    QString tip(QWidget* widget) const { return tips_.value(widget); }
    QLabel* label() const { return label_; }  // the tip window
    int maxWidth() const { return maxWidth_; }
    int initialDelay() const { return initialDelay_; }
    int visibleFor() const { return visibleFor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTip();
    QHash<QWidget*, QString> tips_;
    QWidget* pending_ = nullptr;
    QLabel* label_;
    QTimer* wake_;
    QTimer* sleep_;
    int maxWidth_, initialDelay_, visibleFor_;
};

}  // namespace inst
