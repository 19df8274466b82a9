#include "platform/window_stack.h"

#include <QPointer>
#include <QScreen>
#include <QVector>
#include <QWidget>
#include <algorithm>

namespace app {

namespace {
QPointer<QWidget> g_main;
QVector<QPointer<QWidget>> g_tools;
}  // namespace

void ResetWindowStack(QWidget* mainWindow) {
    g_main = mainWindow;
    g_tools.clear();
}

void PushToolWindow(QWidget* window) { g_tools.push_back(window); }

void PopToolWindow(QWidget* window) {
    auto it = std::find(g_tools.begin(), g_tools.end(), window);
    if (it != g_tools.end()) g_tools.erase(it);
}

QWidget* CurrentToolWindow() {
    while (!g_tools.isEmpty() && g_tools.back().isNull()) g_tools.pop_back();
    return g_tools.isEmpty() ? nullptr : g_tools.back().data();
}

QWidget* TopWindow() {
    QWidget* tool = CurrentToolWindow();
    return tool ? tool : g_main.data();
}

void CentreOnScreen(QWidget* window) {
    if (QScreen* s = window->screen()) window->move(s->availableGeometry().center() - window->rect().center());
}

}  // namespace app
