// Moving through a fax and through the faxes of a folder; no window involved.
#pragma once

#include <QString>

namespace app {

// Previous page: one back, from page 1 to the last page.
unsigned PreviousPage(unsigned current, unsigned count);
// Next page: one on, from the last page to page 1.
unsigned NextPage(unsigned current, unsigned count);
// The page selector's preselected index (0-based): the page after the current one,
// or the first page when the current page is the last.
int SelectorIndex(unsigned current, unsigned count);

// The previous or next fax of the same kind (".pcx" when the current fax ends in
// ".pcx", else ".dcx") in the current fax's folder, by name; an empty string when there
// is none. When the current fax does not exist, the first such file of `workingDir`.
QString NeighbourFax(const QString& currentFax, const QString& workingDir, bool next);

}  // namespace app
