// Dialogs for tests: each dialog takes the next answer queued for its kind and
// is recorded with everything it was asked to show. A dialog with no answer
// queued counts as unscripted and is answered as cancelled, so a test that did
// not expect it sees it in `unscripted` and in `asked`.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "gui/dialogs.h"

namespace quillon::gui {

struct AskedDialog {
  enum class Kind { MessageBox, SaveFile, OpenFile, Folder, NetworkFolder, Help, WebPage, Guide };
  Kind kind = Kind::MessageBox;
  // text: message boxes; the file or address of help, guide and web pages
  std::string title, text;
  int context = 0;          // help only
  MessageIcon icon = MessageIcon::None;
  MessageButtons buttons = MessageButtons::Ok;
  SaveFileOptions save;  // save and open dialogs only
};

class ScriptedDialogs : public Dialogs {
 public:
  void SetNextAnswer(MessageAnswer answer) { answers_.push_back(answer); }
  // An empty name or folder answers as the user's Cancel does. File names
  // answer save and open dialogs alike, in the order they come.
  void SetNextFileName(std::string path) { fileNames_.push_back(std::move(path)); }
  void SetNextFolder(std::string path) { folders_.push_back(std::move(path)); }
  // The network browser has a queue of its own: a test that expects one kind
  // of folder dialog is not answered by the other.
  void SetNextNetworkFolder(std::string path) { networkFolders_.push_back(std::move(path)); }
  // Answers queued but never asked for: a dialog the test expected did not come.
  std::size_t UnusedAnswers() const {
    return answers_.size() + fileNames_.size() + folders_.size() + networkFolders_.size();
  }

  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                               MessageIcon icon, MessageButtons buttons) override;
  std::string ShowSaveDialog(const SaveFileOptions& options) override;
  std::string ShowOpenDialog(const SaveFileOptions& options) override;
  std::string BrowseForFolder() override;
  // Asked as BrowseForFolder, the start folder kept as the dialog's text.
  std::string BrowseForFolderAt(const std::string& startFolder) override;
  std::string BrowseForNetworkFolder() override;
  bool ShowHelp(const std::string& helpFile, int context) override;
  bool OpenWebPage(const std::string& url) override;
  bool OpenGuide(const std::string& page) override;

  // Whether the help, guide and web page calls find a handler.
  bool handlersAvailable = true;

  std::vector<AskedDialog> asked;
  int unscripted = 0;

 private:
  std::string AskFile(AskedDialog::Kind kind, const SaveFileOptions& options);

  std::deque<MessageAnswer> answers_;
  std::deque<std::string> fileNames_, folders_, networkFolders_;
};

// One line per dialog for golden comparisons: kind, title, and the message
// text (line breaks as "|") or the save dialog's settings.
std::string Transcript(const std::vector<AskedDialog>& asked);

}  // namespace quillon::gui
