// The Fax-Accumulator's menu items: Save, Convert and Clear, and their texts.
#include <QFileInfo>

#include "app/viewer_state.h"
#include "formats/file_io.h"
#include "platform/shell.h"
#include "tools/fax_accumulator.h"
#include "tools/tool_commands.h"
#include "tools/tool_prompt.h"

namespace app {

namespace {
QString CountText(const char* start, unsigned count) {
    return QString::fromLatin1(start) + QString::number(count) + QLatin1String(count == 1 ? " page)" : " pages)");
}
}  // namespace

AccumulatorMenu ComputeAccumulatorMenu(const ViewerState& state, unsigned pageCountOnScreen, bool afterSave) {
    unsigned count = fax::AccumulatorCount(ToCorePath(state.accumDir));
    AccumulatorMenu menu;
    menu.saveText = CountText("&Save this fax to Fax-Accumulator(", pageCountOnScreen);
    menu.convertText = CountText("&Convert Fax-Accumulator to Fax(", count);
    menu.clearText = CountText("C&lear Fax-Accumulator(", count);
    menu.saveEnabled = pageCountOnScreen != 0 && !afterSave;
    menu.convertEnabled = menu.clearEnabled = count != 0;
    return menu;
}

void AccumulatorSave(QWidget* owner, ViewerState& state, const QString& openFaxPath) {
    if (openFaxPath.isEmpty()) {
        prompts().show(owner, kProductName, QStringLiteral("Please open a Fax first."), Icon::Information);
        return;
    }
    fax::AccumulatorSaveResult result;
    {
        WaitCursor wait;
        result = fax::AccumulatorSave(ToCorePath(state.accumDir), ToCorePath(openFaxPath));
    }
    ShowToolMessages(owner, result.messages);
}

bool AccumulatorConvert(QWidget* owner, ViewerState& state) {
    std::string dir = ToCorePath(state.accumDir);
    if (!fax::FileExists(fax::AccumulatorPagePath(dir, 1))) return false;
    QString newPath = NewFaxName(state.faxDir, state.settings);
    fax::AccumulatorConvertResult result;
    {
        WaitCursor wait;
        result = fax::AccumulatorBuild(dir, ToCorePath(newPath));
    }
    ShowToolMessages(owner, result.build.messages);
    if (result.build.outcome != fax::BuildFaxResult::Outcome::Built) return false;
    state.currentFax = newPath;
    // The pages go only once the new fax can be opened; until then they are its only copy.
    if (fax::File::OpenRead(ToCorePath(newPath))) fax::AccumulatorRemoveConverted(dir, result.taken);
    return true;
}

void AccumulatorClear(ViewerState& state) {
    WaitCursor wait;
    for (const std::string& page : fax::AccumulatorPageFiles(ToCorePath(state.accumDir)))
        DiscardFile(FromCore(page));
}

}  // namespace app
