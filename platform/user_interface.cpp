// Names of message box icons and buttons as the simulated client records them,
// and the answer of a box closed without a choice.
#include "platform/user_interface.h"

namespace quillon::platform {

MessageAnswer DeclinedAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return MessageAnswer::Ok;
    case MessageButtons::YesNo: return MessageAnswer::No;
    case MessageButtons::OkCancel:
    case MessageButtons::YesNoCancel: return MessageAnswer::Cancel;
  }
  return MessageAnswer::Cancel;
}

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
