// The main window's key table: which key press becomes which command or scroll step.
#pragma once

#include <Qt>

namespace app {

struct KeyAction {
    enum Kind { PassThrough, Consume, Command, ScrollStep };
    enum Scroll { LineUp, LineDown, PageUp, PageDown, LineLeft, LineRight, PageLeft, PageRight, Top, Bottom };
    Kind kind = PassThrough;
    int command = 0;         // for Command
    Scroll scroll = LineUp;  // for ScrollStep
};

// Keys outside the table, and table keys held with Alt or Meta (or with Ctrl, except Ctrl with
// Page Up/Down, Home and End), pass through to the window.
KeyAction MapKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace app
