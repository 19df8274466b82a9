// The File menu's Open, Copy, MoveAs and Delete commands. A plain class over the main
// window's FaxHost: every dialog and message goes through app::prompts(), so tests drive
// it without a screen.
#pragma once

#include <QString>

#include "platform/prompts.h"

namespace app {

class FaxHost;

class FileCommands {
public:
    explicit FileCommands(FaxHost& host);

    void open();    // 32771
    void copy();    // 32772
    void moveAs();  // 32774
    void remove();  // 32773 Delete

    // The file dialog set-up shared by the four commands: fax filters, "dcx" suffix and,
    // as starting folder, the folder of CurrentFax (cleared first when it does not exist)
    // or else FaxDir. `presetCurrentFax` puts CurrentFax into the file name box.
    FileDialogSpec dialogSpec(const QString& title, bool presetCurrentFax);

private:
    enum class Operation { Copy, Move };
    void transfer(Operation op);
    void error(const QString& text);

    FaxHost& host_;
};

}  // namespace app
