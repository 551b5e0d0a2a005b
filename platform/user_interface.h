// Modal message boxes and the engine's progress window.
#pragma once

#include <memory>
#include <string>

namespace quillon::platform {

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// What a box answers when it is closed without a choice (Escape, the close
// box, or a box that cannot be shown): the only button, No, or Cancel.
MessageAnswer DeclinedAnswer(MessageButtons buttons);

const char* ToString(MessageIcon icon);
const char* ToString(MessageButtons buttons);

// What a progress window refused since it was last asked: the user's attempts
// to close it and the system's requests to end the session, both of which
// would stop a run half-way.
struct RefusedRequests {
  int close = 0;
  int endSession = 0;
};

// A small window with a label above a bar; nothing in it can be operated.
class ProgressWindow {
 public:
  virtual ~ProgressWindow() = default;
  virtual void SetLabel(const std::string& text) = 0;
  virtual void SetBarMaximum(int maximum) = 0;
  virtual void SetBarValue(int value) = 0;
  virtual void Show() = 0;
  virtual void Repaint() = 0;
  // Lets the calling thread's pending window messages be processed.
  virtual void ProcessMessages() = 0;
  virtual void Close() = 0;
  // Counts since the last call; a window nobody can close refuses nothing.
  virtual RefusedRequests TakeRefusedRequests() { return {}; }
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // Whether a window shown now reaches anyone: a start-up script, a scheduled
  // task or a service runs on a desktop nobody sees, where a modal box would
  // wait for ever. When it does not, `why` says so for the debug log. Seen
  // unless an implementation knows better.
  virtual bool DesktopIsSeen(std::string& why) {
    why.clear();
    return true;
  }
  // Modal: returns when the user has answered.
  virtual MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                       MessageIcon icon, MessageButtons buttons) = 0;
  // Created hidden.
  virtual std::unique_ptr<ProgressWindow> CreateProgressWindow(const std::string& caption,
                                                               const std::string& label) = 0;
};

}  // namespace quillon::platform
