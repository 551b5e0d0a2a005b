// QtDialogs: the settings of the Windows common dialogs carried over to Qt's.
// Paths come back in the host's own separators.
#include "gui/qt/qt_dialogs.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace quillon::gui {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

std::string PathOf(const QString& path) {
  return path.isEmpty() ? std::string() : QDir::toNativeSeparators(path).toStdString();
}

// Runs the dialog: the chosen path, or empty when cancelled.
std::string ChosenPath(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return {};
  return PathOf(dialog.selectedFiles().value(0));
}

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::None: return QMessageBox::NoIcon;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Information: return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return QMessageBox::Ok;
    case MessageButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

}  // namespace

void PrepareMessageBox(QMessageBox& box, const std::string& title, const std::string& text,
                       MessageIcon icon, MessageButtons buttons) {
  box.setWindowTitle(Text(title));
  box.setText(Text(text));
  box.setIcon(ToQt(icon));
  box.setStandardButtons(ToQt(buttons));
}

namespace {
// What save and open dialogs share: title, filters, default extension.
void PrepareFileDialog(QFileDialog& dialog, const SaveFileOptions& options,
                       QFileDialog::AcceptMode mode) {
  dialog.setWindowTitle(Text(options.title));
  dialog.setAcceptMode(mode);
  dialog.setNameFilters(NameFilters(options.filter));
  dialog.setDefaultSuffix(Text(options.defaultExtension));
}
}  // namespace

void PrepareSaveDialog(QFileDialog& dialog, const SaveFileOptions& options) {
  PrepareFileDialog(dialog, options, QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.selectFile(Text(options.fileName));
  dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.promptOverwrite);
}

void PrepareOpenDialog(QFileDialog& dialog, const SaveFileOptions& options) {
  PrepareFileDialog(dialog, options, QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!options.fileName.empty()) dialog.selectFile(Text(options.fileName));
}

namespace {
void PrepareFolderDialogTitled(QFileDialog& dialog, const char* title) {
  dialog.setWindowTitle(title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  // Windows roots the folder tree at the desktop; here the user's home is the top.
  dialog.setDirectory(QDir::home());
}
}  // namespace

void PrepareFolderDialog(QFileDialog& dialog) {
  PrepareFolderDialogTitled(dialog, kBrowseForFolderTitle);
}

void PrepareNetworkFolderDialog(QFileDialog& dialog) {
  PrepareFolderDialogTitled(dialog, kBrowseForNetworkFolderTitle);
}

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = Text(filter).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (description.endsWith("(" + patterns + ")")) {
      filters << description;
    } else {
      filters << description + " (" + patterns + ")";
    }
  }
  return filters;
}

MessageAnswer QtDialogs::ShowMessageBox(const std::string& title, const std::string& text,
                                        MessageIcon icon, MessageButtons buttons) {
  QMessageBox box(owner_);
  PrepareMessageBox(box, title, text, icon, buttons);
  switch (box.exec()) {
    case QMessageBox::Ok: return MessageAnswer::Ok;
    case QMessageBox::Yes: return MessageAnswer::Yes;
    case QMessageBox::No: return MessageAnswer::No;
    default: break;
  }
  // Closed by Escape or the close box: what Windows answers for these buttons.
  return platform::DeclinedAnswer(buttons);
}

std::string QtDialogs::ShowSaveDialog(const SaveFileOptions& options) {
  QFileDialog dialog(owner_);
  PrepareSaveDialog(dialog, options);
  return ChosenPath(dialog);
}

std::string QtDialogs::ShowOpenDialog(const SaveFileOptions& options) {
  QFileDialog dialog(owner_);
  PrepareOpenDialog(dialog, options);
  return ChosenPath(dialog);
}

std::string QtDialogs::BrowseForFolder() {
  QFileDialog dialog(owner_);
  PrepareFolderDialog(dialog);
  return ChosenPath(dialog);
}

std::string QtDialogs::BrowseForNetworkFolder() {
  QFileDialog dialog(owner_);
  PrepareNetworkFolderDialog(dialog);
  return ChosenPath(dialog);
}

// Linux has nothing that shows a WinHelp file: the HTML guide is shown instead.
bool QtDialogs::ShowHelp(const std::string& /*helpFile*/, int /*context*/) { return false; }

bool QtDialogs::OpenGuide(const std::string& page) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(page)));
}

bool QtDialogs::OpenWebPage(const std::string& url) {
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

}  // namespace quillon::gui
