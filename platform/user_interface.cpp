// Names of message box icons and buttons as the simulated client records them.
#include "platform/user_interface.h"

namespace quillon::platform {

const char* ToString(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return "None";
    case MessageIcon::Critical: return "Critical";
    case MessageIcon::Question: return "Question";
    case MessageIcon::Exclamation: return "Exclamation";
    case MessageIcon::Information: return "Information";
  }
  return "None";
}

const char* ToString(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return "OK";
    case MessageButtons::OkCancel: return "OKCancel";
    case MessageButtons::YesNo: return "YesNo";
    case MessageButtons::YesNoCancel: return "YesNoCancel";
  }
  return "OK";
}

}  // namespace quillon::platform
