// tarvex-cli commands of this subsystem.
#include "cli/commands.h"

namespace cli {

std::vector<Command> ExportCommands() { return {}; }

}  // namespace cli
