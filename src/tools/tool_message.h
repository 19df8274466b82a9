// What a tool operation hands back for its caller to show: the core never shows
// anything itself, the dialogs turn these into message boxes.
#pragma once

#include <string>
#include <vector>

#include "formats/product.h"

namespace fax {

enum class MessageIcon { Information, Question, Error };

struct ToolMessage {
    std::string title;
    std::string text;
    MessageIcon icon = MessageIcon::Error;
};

using ToolMessages = std::vector<ToolMessage>;

// The system's words for the last failed call (errno), for messages that name a cause.
std::string SystemErrorText(int error);

}  // namespace fax
