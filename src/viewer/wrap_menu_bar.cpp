#include "viewer/wrap_menu_bar.h"

#include <QActionEvent>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionMenuItem>

namespace app {

namespace {
// The key of an access key, without the Alt that goes with it on the menu bar.
int MnemonicKey(const QKeySequence& mnemonic) {
    return mnemonic.isEmpty() ? 0 : mnemonic[0].key();
}

QAction* FirstUsable(QMenu* menu) {
    for (QAction* a : menu->actions())
        if (a->isVisible() && a->isEnabled() && !a->isSeparator()) return a;
    return nullptr;
}
}  // namespace

WrapMenuBar::WrapMenuBar(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);  // focus only while worked with the keyboard
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    qApp->installEventFilter(this);  // Alt alone, and the keys and clicks of open menus
}

WrapMenuBar::~WrapMenuBar() { qApp->removeEventFilter(this); }

QMenu* WrapMenuBar::addMenu(const QString& title) {
    auto* menu = new QMenu(title, this);
    addAction(menu->menuAction());
    return menu;
}

// ---- layout -----------------------------------------------------------------------

void WrapMenuBar::initStyleOption(QStyleOptionMenuItem* option, int index) const {
    QAction* action = actions().at(index);
    option->initFrom(this);
    option->palette = palette();
    option->state = QStyle::State_None;
    option->menuItemType = QStyleOptionMenuItem::Normal;
    option->checkType = QStyleOptionMenuItem::NotCheckable;
    option->text = action->text();
    option->icon = action->icon();
    if (isEnabled() && action->isEnabled())
        option->state |= QStyle::State_Enabled;
    else
        option->palette.setCurrentColorGroup(QPalette::Disabled);
    if (index == current_) option->state |= QStyle::State_Selected | QStyle::State_Sunken;
    if (keyboardMode_ || current_ >= 0) option->state |= QStyle::State_HasFocus;
    option->menuRect = rect();
    if (index < layout_.rects.size()) {
        option->rect = layout_.rects.at(index);
        // Styles draw the bar's bottom edge along an item's bottom; above the last row that
        // line falls just outside the item (painting is clipped to it).
        if (option->rect.bottom() < lastRowBottom()) option->rect.adjust(0, 0, 0, 1);
    }
}

WrapMenuBar::Layout WrapMenuBar::layoutFor(int width) const {
    const QStyle* s = style();
    const int spacing = s->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, this);
    const int frame = s->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, this);
    const int hmargin = s->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, this);
    const int vmargin = s->pixelMetric(QStyle::PM_MenuBarVMargin, nullptr, this);
    const QList<QAction*> items = actions();

    QList<QSize> sizes;
    int itemHeight = fontMetrics().height();
    for (int i = 0; i < items.size(); ++i) {
        QSize sz;
        if (items[i]->isVisible()) {
            QStyleOptionMenuItem opt;
            initStyleOption(&opt, i);
            sz = s->sizeFromContents(QStyle::CT_MenuBarItem, &opt,
                                     fontMetrics().size(Qt::TextShowMnemonic, items[i]->text()), this);
            itemHeight = std::max(itemHeight, sz.height());
        }
        sizes << sz;
    }

    Layout out;
    const int left = frame + hmargin + spacing;
    const int right = width - frame - hmargin;
    int x = left, y = frame + vmargin;
    bool rowEmpty = true;
    for (const QSize& sz : sizes) {
        if (sz.isEmpty()) {
            out.rects << QRect();
            continue;
        }
        // An item that does not fit goes to the next row, unless it is alone on its row.
        if (!rowEmpty && x + sz.width() > right) {
            x = left;
            y += itemHeight;
            rowEmpty = true;
        }
        out.rects << QRect(x, y, sz.width(), itemHeight);
        x += sz.width() + spacing;
        if (rowEmpty) ++out.rows;
        rowEmpty = false;
    }
    out.rows = std::max(out.rows, 1);
    out.height = 2 * (frame + vmargin) + out.rows * itemHeight;
    return out;
}

void WrapMenuBar::relayout() {
    layout_ = layoutFor(width());
    if (layout_.rows != rows_) {
        rows_ = layout_.rows;
        updateGeometry();
    }
    update();
}

int WrapMenuBar::heightForWidth(int width) const { return layoutFor(width).height; }

QSize WrapMenuBar::sizeHint() const {
    // Everything on one row.
    Layout one = layoutFor(QWIDGETSIZE_MAX);
    int right = 0;
    for (const QRect& r : one.rects) right = std::max(right, r.right());
    const int margins = style()->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, this) +
                        style()->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, this);
    return {right + 1 + margins, one.height};
}

QSize WrapMenuBar::minimumSizeHint() const {
    // The height follows the width (heightForWidth); at least one row is always there.
    const Layout one = layoutFor(QWIDGETSIZE_MAX);
    int widest = 0;
    for (const QRect& r : one.rects) widest = std::max(widest, r.width());
    return {widest, one.height};
}

int WrapMenuBar::lastRowBottom() const {
    int bottom = 0;
    for (const QRect& r : layout_.rects) bottom = std::max(bottom, r.bottom());
    return bottom;
}

QRect WrapMenuBar::itemRect(const QAction* action) const {
    const qsizetype i = actions().indexOf(const_cast<QAction*>(action));
    return i >= 0 && i < layout_.rects.size() ? layout_.rects.at(i) : QRect();
}

QAction* WrapMenuBar::activeAction() const { return current_ >= 0 ? actions().value(current_) : nullptr; }

void WrapMenuBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void WrapMenuBar::actionEvent(QActionEvent* event) {
    QWidget::actionEvent(event);
    if (event->type() == QEvent::ActionRemoved) {
        if (event->action()->menu() == openMenu_) closeMenu();
        current_ = -1;
    }
    // A new text (the accumulator items' counts) may need another row, or one fewer.
    relayout();
    updateShortcuts();
}

void WrapMenuBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        rows_ = 0;  // heights may change with the same row count
        relayout();
    }
}

void WrapMenuBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QRegion empty(rect());
    for (int i = 0; i < actions().size() && i < layout_.rects.size(); ++i) {
        const QRect r = layout_.rects.at(i);
        if (r.isEmpty()) continue;
        empty -= r;
        QStyleOptionMenuItem opt;
        initStyleOption(&opt, i);
        p.setClipRect(r);
        style()->drawControl(QStyle::CE_MenuBarItem, &opt, &p, this);
    }
    p.setClipRegion(empty);
    QStyleOptionMenuItem area;
    area.palette = palette();
    area.state = QStyle::State_None;
    area.menuItemType = QStyleOptionMenuItem::EmptyArea;
    area.checkType = QStyleOptionMenuItem::NotCheckable;
    area.rect = area.menuRect = rect();
    style()->drawControl(QStyle::CE_MenuBarEmptyArea, &area, &p, this);
}

// ---- items --------------------------------------------------------------------------

bool WrapMenuBar::usable(int index) const {
    QAction* a = actions().value(index);
    return a && a->isVisible() && a->isEnabled() && index < layout_.rects.size() && !layout_.rects[index].isEmpty();
}

int WrapMenuBar::indexAt(QPoint pos) const {
    for (int i = 0; i < layout_.rects.size(); ++i)
        if (layout_.rects[i].contains(pos)) return i;
    return -1;
}

int WrapMenuBar::step(int from, int direction) const {
    const int n = static_cast<int>(actions().size());
    for (int k = 1; k <= n; ++k) {
        int i = ((from + direction * k) % n + n) % n;
        if (usable(i)) return i;
    }
    return from;
}

int WrapMenuBar::mnemonicIndex(const QKeyEvent* event) const {
    const int key = event->key();
    if (key == 0 || key >= Qt::Key_Escape) return -1;
    for (int i = 0; i < mnemonics_.size(); ++i) {
        const int m = MnemonicKey(mnemonics_[i]);
        if (m != 0 && (m == key || QChar(m).toUpper() == QChar(key).toUpper()) && usable(i)) return i;
    }
    return -1;
}

void WrapMenuBar::updateShortcuts() {
    QList<QKeySequence> keys;
    for (QAction* a : actions()) keys << QKeySequence::mnemonic(a->text());
    if (keys == mnemonics_) return;
    mnemonics_ = keys;
    qDeleteAll(shortcuts_);
    shortcuts_.clear();
    for (int i = 0; i < keys.size(); ++i) {
        if (keys[i].isEmpty()) continue;
        auto* sc = new QShortcut(keys[i], this, nullptr, nullptr, Qt::WindowShortcut);
        connect(sc, &QShortcut::activated, this, [this, i] {
            if (!usable(i)) return;
            if (!keyboardMode_) enterKeyboardMode();
            activate(i, true);
        });
        shortcuts_ << sc;
    }
}

void WrapMenuBar::highlight(int index) {
    if (current_ == index) return;
    current_ = index;
    update();
}

void WrapMenuBar::activate(int index, bool byKeyboard) {
    if (!usable(index)) return;
    QAction* action = actions().at(index);
    QMenu* menu = action->menu();
    if (!menu) {
        closeMenu();
        if (keyboardMode_) leaveKeyboardMode();
        highlight(-1);
        action->trigger();
        return;
    }
    if (openMenu_ == menu) return;
    switching_ = true;
    closeMenu();
    switching_ = false;
    highlight(index);
    followMenus_ = true;
    openMenu_ = menu;
    connect(menu, &QMenu::aboutToHide, this, &WrapMenuBar::menuHidden, Qt::UniqueConnection);
    connect(menu, &QMenu::triggered, this, &WrapMenuBar::leaveKeyboardMode, Qt::UniqueConnection);
    menu->popup(mapToGlobal(layout_.rects[index].bottomLeft() + QPoint(0, 1)));
    if (byKeyboard)
        if (QAction* first = FirstUsable(menu)) menu->setActiveAction(first);
}

void WrapMenuBar::moveTo(int index, bool byKeyboard) {
    if (followMenus_ && actions().at(index)->menu()) {
        activate(index, byKeyboard);
        return;
    }
    switching_ = true;
    closeMenu();
    switching_ = false;
    if (byKeyboard && !keyboardMode_) enterKeyboardMode();
    highlight(index);
}

void WrapMenuBar::closeMenu() {
    if (QMenu* m = openMenu_) {
        openMenu_ = nullptr;
        m->hide();
    }
}

void WrapMenuBar::menuHidden() {
    if (sender() != openMenu_ && openMenu_) return;  // an earlier menu, already replaced
    openMenu_ = nullptr;
    if (switching_) return;
    followMenus_ = false;
    if (!keyboardMode_) highlight(-1);
    update();
}

void WrapMenuBar::enterKeyboardMode() {
    keyboardMode_ = true;
    QWidget* focus = QApplication::focusWidget();
    if (focus != this) focusBefore_ = focus;
    setFocusPolicy(Qt::StrongFocus);
    setFocus(Qt::MenuBarFocusReason);
    if (current_ < 0) highlight(step(-1, 1));
    update();
}

void WrapMenuBar::leaveKeyboardMode() {
    if (!keyboardMode_) return;
    keyboardMode_ = false;
    followMenus_ = false;
    setFocusPolicy(Qt::NoFocus);
    if (!openMenu_) highlight(-1);
    if (focusBefore_) focusBefore_->setFocus(Qt::MenuBarFocusReason);
    focusBefore_ = nullptr;
    update();
}

// ---- mouse --------------------------------------------------------------------------

void WrapMenuBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int i = indexAt(event->position().toPoint());
    pressed_ = usable(i) ? i : -1;
    if (pressed_ < 0) {
        leaveKeyboardMode();
        return;
    }
    if (actions().at(i)->menu())
        activate(i, false);
    else
        highlight(i);
}

void WrapMenuBar::mouseReleaseEvent(QMouseEvent* event) {
    const int i = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && i == pressed_ && i >= 0 && !actions().at(i)->menu()) activate(i, false);
    pressed_ = -1;
}

void WrapMenuBar::mouseMoveEvent(QMouseEvent* event) {
    if (openMenu_ || keyboardMode_) return;
    const int i = indexAt(event->position().toPoint());
    if (followMenus_ && usable(i) && i != current_)
        moveTo(i, false);
    else
        highlight(usable(i) ? i : -1);
}

void WrapMenuBar::leaveEvent(QEvent*) {
    if (openMenu_ || keyboardMode_) return;
    followMenus_ = false;
    highlight(-1);
}

// ---- keys ---------------------------------------------------------------------------

void WrapMenuBar::keyPressEvent(QKeyEvent* event) {
    if (!keyboardMode_) return QWidget::keyPressEvent(event);
    switch (event->key()) {
        case Qt::Key_Left: moveTo(step(current_, -1), true); return;
        case Qt::Key_Right: moveTo(step(current_, 1), true); return;
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space: activate(current_, true); return;
        case Qt::Key_Escape: leaveKeyboardMode(); return;
        default: break;
    }
    const int i = mnemonicIndex(event);
    if (i >= 0) activate(i, true);
    // Every other key is swallowed while the bar has the keyboard, as on any menu bar.
}

void WrapMenuBar::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason && !openMenu_) leaveKeyboardMode();
}

bool WrapMenuBar::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::MouseMove &&
        type != QEvent::MouseButtonPress)
        return false;
    if (openMenu_ && type != QEvent::KeyRelease)
        if (auto* menu = qobject_cast<QMenu*>(watched)) return popupEvent(menu, event);

    // Alt pressed and released on its own, in this window, hands the keyboard to the bar.
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window() ||
        (!widget->isWindow() && widget != QApplication::focusWidget()))
        return false;
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        altAlone_ = key->key() == Qt::Key_Alt && !key->isAutoRepeat() &&
                    (key->modifiers() & ~Qt::AltModifier) == Qt::NoModifier;
    } else if (type == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt && altAlone_ && !openMenu_) {
            altAlone_ = false;
            if (keyboardMode_)
                leaveKeyboardMode();
            else
                enterKeyboardMode();
            return true;
        }
    } else if (type == QEvent::MouseButtonPress) {
        altAlone_ = false;
    }
    return false;
}

bool WrapMenuBar::popupEvent(QMenu* menu, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool sub = menu != openMenu_;
        switch (key->key()) {
            case Qt::Key_Left:
                if (sub) return false;  // closes the sub-menu
                moveTo(step(current_, -1), true);
                return true;
            case Qt::Key_Right:
                if (menu->activeAction() && menu->activeAction()->menu()) return false;  // opens the sub-menu
                moveTo(step(current_, 1), true);
                return true;
            default: break;
        }
        if (key->modifiers() & Qt::AltModifier) {
            const int i = mnemonicIndex(key);
            if (i >= 0) {
                if (!keyboardMode_) enterKeyboardMode();
                activate(i, true);
                return true;
            }
        }
        return false;
    }
    // The pointer over the bar while a menu is open: another item's menu follows it, and a
    // click on the open menu's own item closes it (the click goes no further).
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint pos = mapFromGlobal(mouse->globalPosition().toPoint());
    if (!rect().contains(pos)) return false;
    const int i = indexAt(pos);
    if (event->type() == QEvent::MouseMove) {
        if (usable(i) && i != current_) moveTo(i, false);
        return false;
    }
    if (mouse->button() != Qt::LeftButton) return false;
    if (i == current_ || !usable(i)) {
        followMenus_ = false;
        closeMenu();
        leaveKeyboardMode();
        highlight(-1);
    } else {
        activate(i, false);
    }
    return true;
}

}  // namespace app
