// Build Long Fax from Multi-Page Fax: name the new fax, ask, build.
#include "app/viewer_state.h"
#include "tools/long_fax.h"
#include "tools/tool_commands.h"
#include "tools/tool_prompt.h"

namespace app {

bool RunBuildLongFax(QWidget* owner, ViewerState& state) {
    // The number is taken before asking, so a No still uses it up.
    QString newPath = NewFaxName(state.faxDir, state.settings);
    fax::ToolMessage question = fax::LongFaxQuestion(ToCorePath(state.currentFax), ToCorePath(newPath));
    if (!prompts().yesNo(owner, FromCore(question.title), FromCore(question.text))) return false;
    fax::LongFaxResult result;
    {
        WaitCursor wait;
        result = fax::BuildLongFax(ToCorePath(state.currentFax), ToCorePath(newPath));
    }
    ShowToolMessages(owner, result.messages);
    if (!result.ok) return false;
    state.currentFax = newPath;
    return true;
}

}  // namespace app
