// The real dialogs over Qt Widgets: QMessageBox and QFileDialog, modal to the
// owner window.
#pragma once

#include <QStringList>

#include "gui/dialogs.h"

class QFileDialog;
class QMessageBox;
class QWidget;

namespace quillon::gui {

class QtDialogs : public Dialogs {
 public:
  explicit QtDialogs(QWidget* owner) : owner_(owner) {}

  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                               MessageIcon icon, MessageButtons buttons) override;
  std::string ShowSaveDialog(const SaveFileOptions& options) override;
  std::string ShowOpenDialog(const SaveFileOptions& options) override;
  std::string BrowseForFolder() override;
  // Linux has no network neighbourhood: shares are folders mounted somewhere
  // on this computer, so this is the folder dialog under its own title.
  std::string BrowseForNetworkFolder() override;
  bool ShowHelp(const std::string& helpFile, int context) override;
  bool OpenWebPage(const std::string& url) override;
  bool OpenGuide(const std::string& page) override;

 private:
  QWidget* owner_;
};

// The preparation each dialog gets before it is shown, apart so that tests can
// check the settings on a dialog that is never run.
void PrepareMessageBox(QMessageBox& box, const std::string& title, const std::string& text,
                       MessageIcon icon, MessageButtons buttons);
void PrepareSaveDialog(QFileDialog& dialog, const SaveFileOptions& options);
void PrepareOpenDialog(QFileDialog& dialog, const SaveFileOptions& options);
void PrepareFolderDialog(QFileDialog& dialog);
void PrepareNetworkFolderDialog(QFileDialog& dialog);

// Qt's name filters for "description|patterns|...": "Text (*.txt)" for
// "Text|*.txt"; a description that already ends in its patterns stays as it is.
QStringList NameFilters(const std::string& filter);

}  // namespace quillon::gui
