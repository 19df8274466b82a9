// The main window's key table: which key press becomes which command or scroll step.
#pragma once

#include <Qt>

namespace app {

struct KeyAction {
    enum Kind { PassThrough, Consume, Command, ScrollStep };
    enum Scroll { LineUp, LineDown, PageUp, PageDown, LineLeft, LineRight, PageLeft, PageRight };
    Kind kind = PassThrough;
    int command = 0;         // for Command
    Scroll scroll = LineUp;  // for ScrollStep
};

KeyAction MapKey(int key, Qt::KeyboardModifiers modifiers);

}  // namespace app
