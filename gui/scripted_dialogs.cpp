// ScriptedDialogs: queued answers per kind of dialog, and a record of each.
#include "gui/scripted_dialogs.h"

namespace quillon::gui {

namespace {

template <typename Answer>
Answer Take(std::deque<Answer>& queue, Answer cancelled, int& unscripted) {
  if (queue.empty()) {
    ++unscripted;
    return cancelled;
  }
  Answer answer = std::move(queue.front());
  queue.pop_front();
  return answer;
}

}  // namespace

MessageAnswer ScriptedDialogs::ShowMessageBox(const std::string& title, const std::string& text,
                                              MessageIcon icon, MessageButtons buttons) {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::MessageBox;
  dialog.title = title;
  dialog.text = text;
  dialog.icon = icon;
  dialog.buttons = buttons;
  asked.push_back(std::move(dialog));
  return Take(answers_, platform::DeclinedAnswer(buttons), unscripted);
}

std::string ScriptedDialogs::ShowSaveDialog(const SaveFileOptions& options) {
  return AskFile(AskedDialog::Kind::SaveFile, options);
}

std::string ScriptedDialogs::ShowOpenDialog(const SaveFileOptions& options) {
  return AskFile(AskedDialog::Kind::OpenFile, options);
}

std::string ScriptedDialogs::AskFile(AskedDialog::Kind kind, const SaveFileOptions& options) {
  AskedDialog dialog;
  dialog.kind = kind;
  dialog.title = options.title;
  dialog.save = options;
  asked.push_back(std::move(dialog));
  return Take(fileNames_, std::string(), unscripted);
}

std::string ScriptedDialogs::BrowseForFolder() {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::Folder;
  dialog.title = kBrowseForFolderTitle;
  asked.push_back(std::move(dialog));
  return Take(folders_, std::string(), unscripted);
}

std::string ScriptedDialogs::BrowseForFolderAt(const std::string& startFolder) {
  std::string chosen = BrowseForFolder();
  asked.back().text = startFolder;
  return chosen;
}

std::string ScriptedDialogs::BrowseForNetworkFolder() {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::NetworkFolder;
  dialog.title = kBrowseForNetworkFolderTitle;
  asked.push_back(std::move(dialog));
  return Take(networkFolders_, std::string(), unscripted);
}

bool ScriptedDialogs::ShowHelp(const std::string& helpFile, int context) {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::Help;
  dialog.text = helpFile;
  dialog.context = context;
  asked.push_back(std::move(dialog));
  return handlersAvailable;
}

bool ScriptedDialogs::OpenWebPage(const std::string& url) {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::WebPage;
  dialog.text = url;
  asked.push_back(std::move(dialog));
  return handlersAvailable;
}

bool ScriptedDialogs::OpenGuide(const std::string& page) {
  AskedDialog dialog;
  dialog.kind = AskedDialog::Kind::Guide;
  dialog.text = page;
  asked.push_back(std::move(dialog));
  return handlersAvailable;
}

std::string Transcript(const std::vector<AskedDialog>& asked) {
  std::string text;
  for (const AskedDialog& dialog : asked) {
    switch (dialog.kind) {
      case AskedDialog::Kind::MessageBox: {
        std::string body = dialog.text;
        for (char& c : body) {
          if (c == '\n') c = '|';
        }
        text += "message [" + dialog.title + "] " + platform::ToString(dialog.icon) + " " +
                platform::ToString(dialog.buttons) + ": " + body + "\n";
        break;
      }
      case AskedDialog::Kind::SaveFile:
      case AskedDialog::Kind::OpenFile:
        text += (dialog.kind == AskedDialog::Kind::SaveFile ? "save [" : "open [") +
                dialog.title + "] extension=" + dialog.save.defaultExtension +
                " file=" + dialog.save.fileName + " filter=" + dialog.save.filter +
                (dialog.save.promptOverwrite ? " prompt-overwrite" : "") + "\n";
        break;
      case AskedDialog::Kind::Folder:
        text += "folder [" + dialog.title + "]\n";
        break;
      case AskedDialog::Kind::NetworkFolder:
        text += "network folder [" + dialog.title + "]\n";
        break;
      case AskedDialog::Kind::Help:
        text += "help " + dialog.text + " context=" + std::to_string(dialog.context) + "\n";
        break;
      case AskedDialog::Kind::WebPage:
        text += "web " + dialog.text + "\n";
        break;
      case AskedDialog::Kind::Guide:
        text += "guide " + dialog.text + "\n";
        break;
    }
  }
  return text;
}

}  // namespace quillon::gui
