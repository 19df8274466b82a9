// What the main window calls to run the fax assembly tools. Each returns after the
// tool is done; the main window reopens or shows the fax as its commands require.
#pragma once

#include <QString>

class QWidget;

namespace app {

struct ViewerState;

// BreakUp of state.currentFax into the Data folder, modal. The caller closes its open
// fax before and reopens it after, whatever happened.
void RunBreakUp(QWidget* owner, ViewerState& state);

// Build Fax from the PCX files of the Data folder, modal. True when a new fax was built
// and state.currentFax names it.
bool RunBuildFax(QWidget* owner, ViewerState& state);

// Asks, then joins every page of state.currentFax into one long page. True when built
// and state.currentFax names the new fax.
bool RunBuildLongFax(QWidget* owner, ViewerState& state);

// The three Fax-Accumulator items of the menu bar: their texts and enabled states.
struct AccumulatorMenu {
    QString saveText, convertText, clearText;
    bool saveEnabled = false, convertEnabled = false, clearEnabled = false;
};
// `afterSave` is set for the refresh that follows a Save, so the same fax cannot be
// saved twice in a row.
AccumulatorMenu ComputeAccumulatorMenu(const ViewerState& state, unsigned pageCountOnScreen, bool afterSave);

// Saves every page of the open fax into the accumulator; `openFaxPath` is empty when
// no fax is open. The caller then refreshes the menu with `afterSave` set.
void AccumulatorSave(QWidget* owner, ViewerState& state, const QString& openFaxPath);
// Turns the accumulator into a new fax. True when the new fax became state.currentFax
// (the caller then closes its fax and shows page 1 of the new one).
bool AccumulatorConvert(QWidget* owner, ViewerState& state);
// Moves the accumulator's page files to the trash (other files of the folder stay); the
// caller refreshes the menu afterwards.
void AccumulatorClear(ViewerState& state);

}  // namespace app
