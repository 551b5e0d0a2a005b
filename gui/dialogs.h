// Every message box and file or folder dialog of the programs with a window
// goes through this interface, so that logic and widget tests can script the
// answers (ScriptedDialogs) while the programs show the real ones (QtDialogs).
#pragma once

#include <string>

#include "platform/user_interface.h"

namespace quillon::gui {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

inline constexpr const char* kBrowseForFolderTitle = "Please select a folder.";
inline constexpr const char* kBrowseForNetworkFolderTitle = "Select a network computer or share.";
inline constexpr int kHelpContents = -1;

// A save or open dialog as the common dialog control is prepared for one.
struct SaveFileOptions {
  std::string title;
  std::string defaultExtension;  // added to a name typed without one
  std::string fileName;          // offered at first
  // Pairs of description and patterns, all separated by "|":
  // "Text files (*.txt)|*.txt|All files|*.*".
  std::string filter;
  bool promptOverwrite = false;  // ask before an existing file is replaced
  bool operator==(const SaveFileOptions&) const = default;
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Modal; text lines are separated by "\n".
  virtual MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                       MessageIcon icon, MessageButtons buttons) = 0;
  // The chosen file's path; empty when cancelled.
  virtual std::string ShowSaveDialog(const SaveFileOptions& options) = 0;
  // The open dialog: an existing file in an existing folder, the read-only
  // box hidden and read-only files refused, long names (`promptOverwrite` has
  // no meaning here). The chosen file's path; empty when cancelled.
  virtual std::string ShowOpenDialog(const SaveFileOptions& options) = 0;
  // The folder dialog titled kBrowseForFolderTitle, for existing folders only;
  // the chosen folder's path, or empty when cancelled.
  virtual std::string BrowseForFolder() = 0;
  // The same, opened at `startFolder` (what the box it fills holds) where the
  // system's dialog can be.
  virtual std::string BrowseForFolderAt(const std::string& startFolder) {
    (void)startFolder;
    return BrowseForFolder();
  }
  // The folder dialog titled kBrowseForNetworkFolderTitle, for a computer or
  // share of the network: a share's path, "\\" + the name of a computer
  // chosen, or empty when cancelled or when there is no network to browse.
  virtual std::string BrowseForNetworkFolder() = 0;
  // A help file at a topic (kHelpContents: its contents page), through the
  // system's help handler. False when no handler could show it.
  virtual bool ShowHelp(const std::string& helpFile, int context) = 0;
  // A page of the offline HTML guide, a local file, in the default browser;
  // false when none could be started.
  virtual bool OpenGuide(const std::string& page) = 0;
  // A web page in the default browser; false when none could be started.
  virtual bool OpenWebPage(const std::string& url) = 0;
};

}  // namespace quillon::gui
