// The real dialogs on Windows: MessageBoxA owned by the window, the common
// file dialogs (GetSaveFileNameA, GetOpenFileNameA) and the shell's folder browser.
#pragma once

#include <string>

#include "gui/dialogs.h"
#include "platform/host/windows_api.h"

namespace quillon::gui {

// The folder dialog's flags: only file-system folders, the new dialog style.
inline constexpr unsigned kBrowseForFolderFlags = 0x41;

class Win32Dialogs : public Dialogs {
 public:
  explicit Win32Dialogs(HWND owner = nullptr) : owner_(owner) {}
  // The window made after the dialogs (it needs them first) becomes their owner.
  void SetOwner(HWND owner) { owner_ = owner; }

  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text, MessageIcon icon,
                               MessageButtons buttons) override;
  std::string ShowSaveDialog(const SaveFileOptions& options) override;
  std::string ShowOpenDialog(const SaveFileOptions& options) override;
  std::string BrowseForFolder() override;
  bool ShowHelp(const std::string& helpFile, int context) override;
  bool OpenWebPage(const std::string& url) override;

 private:
  std::string RunFileDialog(const SaveFileOptions& options, bool save);
  // The window the user works in: a modal window over the owner while one
  // runs (a dialog owned by the disabled owner would leave the modal one
  // usable beneath it), else the owner.
  HWND Owner() const;
  HWND owner_;
};

// The common dialog's filter: "|" becomes NUL, and a second NUL ends it.
std::string CommonDialogFilter(const std::string& filter);

}  // namespace quillon::gui
