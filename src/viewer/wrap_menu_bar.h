// A menu bar that wraps its items onto more rows when they do not fit the window's width,
// so every item stays visible on a narrow window (a plain QMenuBar hides the rest behind an
// extension button). Items are the widget's actions: a menu's menuAction() opens its QMenu
// below the item; any other action is a command triggered by its item. Access keys
// (Alt+letter), Alt alone for keyboard work, the arrow keys across rows and between open
// menus, Enter, Down and Esc behave as on a menu bar.
#pragma once

#include <QKeySequence>
#include <QMenu>
#include <QList>
#include <QPointer>
#include <QWidget>

class QShortcut;
class QStyleOptionMenuItem;

namespace app {

class WrapMenuBar : public QWidget {
    Q_OBJECT
public:
    explicit WrapMenuBar(QWidget* parent = nullptr);
    ~WrapMenuBar() override;

    // A new menu with `title`, owned by the bar, as the next item.
    QMenu* addMenu(const QString& title);

    // Where `action`'s item lies (empty when it has none), how many rows the items take,
    // the highlighted item and the open menu.
    QRect itemRect(const QAction* action) const;
    int rowCount() const { return rows_; }
    QAction* activeAction() const;
    bool keyboardMode() const { return keyboardMode_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void actionEvent(QActionEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Layout {
        QList<QRect> rects;  // one per item, in order
        int rows = 0;
        int height = 0;
    };
    Layout layoutFor(int width) const;
    void relayout();
    int lastRowBottom() const;
    void initStyleOption(QStyleOptionMenuItem* option, int index) const;
    bool usable(int index) const;
    int indexAt(QPoint pos) const;
    int step(int from, int direction) const;  // the next usable item, wrapping
    int mnemonicIndex(const QKeyEvent* event) const;

    void highlight(int index);
    // Opens the item's menu (first entry active when `byKeyboard`) or triggers its command.
    void activate(int index, bool byKeyboard);
    void moveTo(int index, bool byKeyboard);  // the highlight moves, menus follow while one is open
    void closeMenu();
    void menuHidden();
    void enterKeyboardMode();
    void leaveKeyboardMode();
    void updateShortcuts();
    bool popupEvent(QMenu* menu, QEvent* event);  // events of an open menu

    Layout layout_;
    int rows_ = 0;
    int current_ = -1;
    int pressed_ = -1;
    bool keyboardMode_ = false;
    bool followMenus_ = false;  // a menu was open: moving the highlight opens the next one
    bool switching_ = false;
    bool altAlone_ = false;
    QPointer<QMenu> openMenu_;
    QPointer<QWidget> focusBefore_;
    QList<QShortcut*> shortcuts_;
    QList<QKeySequence> mnemonics_;
};


}  // namespace app
