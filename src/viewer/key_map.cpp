#include "viewer/key_map.h"

#include "app/commands.h"

namespace app {

KeyAction MapKey(int key, Qt::KeyboardModifiers modifiers) {
    // Alt and Meta keys belong to the menus and the desktop; with Ctrl only the page keys
    // below mean something here (Ctrl+O, Ctrl+P, Ctrl+Q are the menu items' shortcuts).
    if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return {};
    const bool ctrl = modifiers & Qt::ControlModifier;
    auto command = [](int id) { return KeyAction{KeyAction::Command, id}; };
    auto scroll = [](KeyAction::Scroll s) {
        KeyAction a{KeyAction::ScrollStep};
        a.scroll = s;
        return a;
    };
    switch (key) {
        case Qt::Key_PageUp: return ctrl ? command(cmd::PreviousFaxFile) : scroll(KeyAction::PageUp);
        case Qt::Key_PageDown: return ctrl ? command(cmd::NextFaxFile) : scroll(KeyAction::PageDown);
        case Qt::Key_Home: return scroll(ctrl ? KeyAction::Top : KeyAction::PageLeft);
        case Qt::Key_End: return scroll(ctrl ? KeyAction::Bottom : KeyAction::PageRight);
        default: break;
    }
    if (ctrl) return {};
    if (key == Qt::Key_F3) return command(modifiers & Qt::ShiftModifier ? cmd::FindPrevious : cmd::FindNext);
    switch (key) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_F1:
        case Qt::Key_F4:
            return {KeyAction::Consume};
        case Qt::Key_Left: return scroll(KeyAction::LineLeft);
        case Qt::Key_Right: return scroll(KeyAction::LineRight);
        case Qt::Key_Up: return scroll(KeyAction::LineUp);
        case Qt::Key_Down: return scroll(KeyAction::LineDown);
        case Qt::Key_1: return command(cmd::Zoom100);
        case Qt::Key_2: return command(cmd::Zoom25);
        case Qt::Key_3: return command(cmd::Zoom37);
        case Qt::Key_4: return command(cmd::Zoom46);
        case Qt::Key_5: return command(cmd::Zoom50);
        case Qt::Key_6: return command(cmd::Zoom60);
        case Qt::Key_7: return command(cmd::Zoom75);
        case Qt::Key_8: return command(cmd::Zoom80);
        case Qt::Key_9: return command(cmd::Zoom90);
        case Qt::Key_D: return command(cmd::ZoomDefault);
        case Qt::Key_P: return command(cmd::PageSelector);
        case Qt::Key_Comma: return command(cmd::PreviousPage);
        case Qt::Key_Period: return command(cmd::NextPage);
        default: return {};
    }
}

}  // namespace app
