// tarvex-cli commands of this subsystem.
#include "cli/commands.h"

namespace cli {

std::vector<Command> ViewerCommands() { return {}; }

}  // namespace cli
