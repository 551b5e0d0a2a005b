// Message boxes and the progress window `frmProgress` as native windows: a
// label `lblProgress` above a common-controls progress bar `prbProgress`.
#pragma once

#include "platform/user_interface.h"

namespace quillon::platform::win32 {

class Win32UserInterface : public UserInterface {
 public:
  // Seen when the process is outside session 0 (where services, start-up
  // scripts and unattended tasks run) and on the interactive window station
  // WinSta0; when the station cannot be asked, when it is in the console's
  // session.
  bool DesktopIsSeen(std::string& why) override;
  // Task-modal: every window of the engine waits until the box is answered.
  // While a progress window is open the box belongs to it and is shown by its
  // thread, so that the window goes on answering and is disabled meanwhile.
  // A box that cannot be shown (no desktop, or one nobody sees) counts as
  // declined.
  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                               MessageIcon icon, MessageButtons buttons) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(const std::string& caption,
                                                       const std::string& label) override;
};

// MessageBoxA's style bits for an icon and buttons, and its result as an
// answer (a box that could not be shown counts as declined); shared by every
// message box on Windows.
unsigned MessageBoxStyle(MessageIcon icon, MessageButtons buttons);
MessageAnswer MessageBoxAnswer(int result, MessageButtons buttons);

// The window handle (HWND) of a progress window made here; null for any other
// or for one that is closed. The window lives on a thread of its own, which
// runs only its message loop, and refuses to close or to let the session end
// until the engine closes it. The spooler passes it as the owner of AddPort's
// dialogs.
void* NativeWindowOf(ProgressWindow* window);

// The registered window class of the progress window.
inline constexpr const char* kProgressWindowClass = "frmProgress";
inline constexpr int kProgressLabelId = 101;
inline constexpr int kProgressBarId = 102;

}  // namespace quillon::platform::win32
