// The tool dialogs' bridge to the core: paths in the file system's encoding, and the
// core's messages shown through the prompts seam.
#pragma once

#include <QString>
#include <string>

#include "platform/prompts.h"
#include "tools/tool_message.h"

class QWidget;

namespace app {

std::string ToCorePath(const QString& path);
QString FromCore(const std::string& text);

void ShowToolMessage(QWidget* owner, const fax::ToolMessage& message);
void ShowToolMessages(QWidget* owner, const fax::ToolMessages& messages);
// Yes/No with No as the default button, as every overwrite question; true for Yes.
bool AskOverwrite(QWidget* owner, const fax::ToolMessage& question);

// The wait cursor for the lifetime of the object.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace app
