// The real dialogs on Windows: MessageBoxW owned by the window, the common
// file dialogs (GetSaveFileNameW, GetOpenFileNameW) and the shell's folder
// browser. Texts and paths are UTF-8 on this side.
#pragma once

#include <string>

#include "gui/dialogs.h"
#include "platform/host/windows_api.h"

// The shell's item list, PCIDLIST_ABSOLUTE of <shtypes.h>, which the lean
// <windows.h> leaves out.
struct _ITEMIDLIST;

namespace quillon::gui {

// The network browser's flags: only file-system folders, the new dialog style.
inline constexpr unsigned kBrowseForFolderFlags = 0x41;
// The folder picker's: also a box to type the folder's path into
// (BIF_EDITBOX); the new dialog style gives it its New Folder button.
inline constexpr unsigned kFolderPickerFlags = kBrowseForFolderFlags | 0x10;
// The special folder the network browser is rooted at: the network neighbourhood.
inline constexpr int kNetworkNeighbourhood = 18;  // CSIDL_NETWORK

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
  // Opens at `startFolder`, or at its nearest existing parent.
  std::string BrowseForFolderAt(const std::string& startFolder) override;
  // Rooted at the network neighbourhood with kBrowseForFolderFlags; a chosen
  // computer, which has no file-system path, gives "\\" + its name.
  std::string BrowseForNetworkFolder() override;
  bool ShowHelp(const std::string& helpFile, int context) override;
  bool OpenWebPage(const std::string& url) override;
  bool OpenGuide(const std::string& page) override;

 private:
  std::string RunFileDialog(const SaveFileOptions& options, bool save);
  // The window the user works in: a modal window over the owner while one
  // runs (a dialog owned by the disabled owner would leave the modal one
  // usable beneath it), else the owner.
  HWND Owner() const;
  HWND owner_;
};

// The folder a picker opens at for the text typed in a box: the typed folder,
// or its nearest existing parent; empty when none exists. `exists` says
// whether a folder is there.
std::string StartingFolder(std::string typed, bool (*exists)(const std::string&));

// What a choice in the network browser gives: the item's file-system path (a
// share), or for an item without one (a computer) "\\" + its display name, its
// UNC name; empty when it has neither.
std::string NetworkChoice(const _ITEMIDLIST* item, const std::string& displayName);

// The common dialog's filter: "|" becomes NUL, and a second NUL ends it.
std::string CommonDialogFilter(const std::string& filter);

}  // namespace quillon::gui
