// frmNewINI, the dialog that starts the toolkit (a new document of either
// kind, or an existing one found through its drive, folder and file lists)
// and that New asks the kind from. Logic on the dialog's control models and
// the file system; the front end shows it modally.
#pragma once

#include <functional>
#include <string>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/file_system.h"
#include "toolkit/file_commands.h"

namespace quillon::toolkit {

class StartDialog {
 public:
  enum Tab { kNewTab = 0, kExistingTab = 1, kRecentTab = 2 };

  // `offerExisting`: the start of the program (New and Existing) rather than
  // the New command (New only). The folder lists start at `folder`.
  StartDialog(platform::FileSystem& files, gui::Dialogs& dialogs, bool offerExisting,
              const std::string& folder, std::function<void(int context)> showHelp);

  gui::Form& form() { return form_; }

  // What the caller reads once the dialog has closed. A close by the close
  // box or Escape is a cancel.
  bool Cancelled() const { return cancelled_; }
  int CurrentTab() const { return form_["sstNewINI"].value(); }
  DocumentType ChosenType() const;
  // The folder shown and the file chosen in it (empty: none).
  const std::string& Folder() const { return folder_; }
  std::string ChosenFile() const;
  std::string ChosenPath() const;

  // Shows a folder's subfolders and "*.ini" files.
  void ChangeFolder(std::string folder);

 private:
  void Choose();
  void FolderLineChosen(int line);
  void DriveChosen();

  gui::Form form_;
  platform::FileSystem& files_;
  gui::Dialogs& dialogs_;
  bool offerExisting_;
  std::function<void(int)> showHelp_;
  std::string folder_;
  std::vector<std::string> folderPaths_;  // the folder list's lines as paths
  bool cancelled_ = true;
  bool changing_ = false;  // the lists being refilled, not the user's choice
};

// The folder part of a path and its way up: "C:\Users\ann" gives "C:\",
// "C:\Users", "C:\Users\ann"; "/home/ann" gives "/", "/home", "/home/ann".
std::vector<std::string> FolderAncestry(const std::string& folder);

}  // namespace quillon::toolkit
