// The viewer's only way to wait: keeps the window alive while time passes.
#pragma once

namespace app {

// Set once when the viewer begins to close; ends every pumped wait early.
bool ShuttingDown();
void SetShuttingDown(bool value);

// Processes waiting events, sleeps 1 ms (100 ms when the wait is longer than a second)
// and repeats until `milliseconds` have passed; returns early when ShuttingDown() is
// set, unless `evenWhenClosing`.
void PumpWait(int milliseconds, bool evenWhenClosing = false);

}  // namespace app
