// The open-window stack: each tool dialog pushes itself while it is open. The top tool
// window owns help pages opened from it, and a tool window that is open makes the main
// window refuse to start another tool.
#pragma once

class QWidget;

namespace app {

void ResetWindowStack(QWidget* mainWindow);
void PushToolWindow(QWidget* window);
void PopToolWindow(QWidget* window);
// The current tool window, or nullptr when only the main window is open.
QWidget* CurrentToolWindow();
// The window that owns new prompts: the current tool window, else the main window.
QWidget* TopWindow();
// Centres a tool window on the free area of its screen, where it opens.
void CentreOnScreen(QWidget* window);

// Pushes for its lifetime; a tool dialog holds one as a member.
class ToolWindowScope {
public:
    explicit ToolWindowScope(QWidget* window) : window_(window) { PushToolWindow(window_); }
    ~ToolWindowScope() { PopToolWindow(window_); }
    ToolWindowScope(const ToolWindowScope&) = delete;
    ToolWindowScope& operator=(const ToolWindowScope&) = delete;

private:
    QWidget* window_;
};

}  // namespace app
