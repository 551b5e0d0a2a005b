#include "toolkit/start_dialog.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cctype>

#include "toolkit/wizard_window.h"

namespace quillon::toolkit {
namespace {

constexpr const char* kTabs = "sstNewINI";
constexpr const char* kDrives = "drvExistingINI";
constexpr const char* kFolders = "dirExistingINI";
constexpr const char* kFiles = "filExistingINI";
constexpr const char* kIndent = "   ";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// A path written the Windows way (a drive letter or a UNC name) keeps its
// backslashes on any host.
bool WindowsStyle(const std::string& path) {
  return path.find('\\') != std::string::npos ||
         (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])));
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSeparator(folder.back())) return folder + name;
  const char separator = WindowsStyle(folder) ? '\\' : platform::PathSeparator();
  return folder + separator + name;
}

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end(), LessIgnoringCase);
  return names;
}

std::string LastName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && IsSeparator(trimmed.back())) trimmed.pop_back();
  const auto slash = trimmed.find_last_of("\\/");
  return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

}  // namespace

std::vector<std::string> FolderAncestry(const std::string& folder) {
  if (folder.empty()) return {};
  const bool windows = WindowsStyle(folder);
  const char separator = windows ? '\\' : '/';
  std::string root;
  std::size_t at = 0;
  if (windows && folder.size() >= 2 && IsSeparator(folder[0]) && IsSeparator(folder[1])) {
    // \\server\share is where a UNC path starts: neither part is a folder alone.
    at = 2;
    for (int part = 0; part < 2 && at < folder.size(); ++part) {
      const auto end = folder.find_first_of("\\/", at);
      at = end == std::string::npos ? folder.size() : end + 1;
    }
    root = folder.substr(0, at);
    while (root.size() > 2 && IsSeparator(root.back())) root.pop_back();
  } else if (windows && folder.size() >= 2 && folder[1] == ':') {
    root = folder.substr(0, 2) + "\\";
    at = 2;
  } else if (IsSeparator(folder[0])) {
    root = std::string(1, separator);
  }
  std::vector<std::string> ancestry;
  if (!root.empty()) ancestry.push_back(root);
  std::string path = root;
  while (at < folder.size()) {
    while (at < folder.size() && IsSeparator(folder[at])) ++at;
    const auto end = folder.find_first_of("\\/", at);
    const std::string name = folder.substr(at, end == std::string::npos ? end : end - at);
    if (!name.empty()) {
      path = path.empty() ? name
             : IsSeparator(path.back()) ? path + name
                                        : path + separator + name;
      ancestry.push_back(path);
    }
    at = end == std::string::npos ? folder.size() : end;
  }
  return ancestry;
}

StartDialog::StartDialog(platform::FileSystem& files, gui::Dialogs& dialogs, bool offerExisting,
                         const std::string& folder, std::function<void(int context)> showHelp)
    : form_(NewIniDescription()),
      files_(files),
      dialogs_(dialogs),
      offerExisting_(offerExisting),
      showHelp_(std::move(showHelp)) {
  gui::ControlModel& tabs = form_[kTabs];
  tabs.SetPageEnabled(kRecentTab, false);
  tabs.SetPageEnabled(kExistingTab, offerExisting);
  form_["optUseActiveDirectory"].SetChecked(true);

  // Two option buttons of their own names: one group all the same.
  form_.OnClick("optUseActiveDirectory",
                [this] { form_["optUseManualConfiguration"].SetChecked(false); });
  form_.OnClick("optUseManualConfiguration",
                [this] { form_["optUseActiveDirectory"].SetChecked(false); });
  form_.OnClick("cmdSelect", [this] { Choose(); });
  form_.OnClick("cmdCancel", [this] {
    cancelled_ = true;
    form_.Close();
  });
  form_.OnClick("cmdHelp", [this] {
    int context = 1081;
    if (CurrentTab() == kNewTab && !offerExisting_) context = 1036;
    if (CurrentTab() == kRecentTab) context = 1042;
    if (showHelp_) showHelp_(context);
  });
  form_.OnDoubleClick(kFiles, [this] {
    if (form_[kFiles].value() >= 0) Choose();
  });
  form_.OnDoubleClick(kFolders, [this] { FolderLineChosen(form_[kFolders].value()); });
  form_[kDrives].Subscribe([this](gui::ControlModel&, gui::Change change, int) {
    if (change == gui::Change::Value && !changing_) DriveChosen();
  });

  if (offerExisting) {
    changing_ = true;
    form_[kDrives].SetLines(files_.ListDrives());
    changing_ = false;
    ChangeFolder(folder);
  }
}

DocumentType StartDialog::ChosenType() const {
  return form_["optUseManualConfiguration"].checked() ? DocumentType::Manual
                                                      : DocumentType::ActiveDirectory;
}

std::string StartDialog::ChosenFile() const {
  const gui::ControlModel& list = form_[kFiles];
  const int line = list.value();
  if (line < 0 || line >= static_cast<int>(list.lines().size())) return {};
  return list.lines()[static_cast<std::size_t>(line)];
}

std::string StartDialog::ChosenPath() const { return Join(folder_, ChosenFile()); }

// By value: the folder may be one of the lines about to be replaced.
void StartDialog::ChangeFolder(std::string folder) {
  folder_ = folder;
  changing_ = true;
  const std::vector<std::string> ancestry = FolderAncestry(folder);
  std::vector<std::string> lines;
  folderPaths_.clear();
  std::string indent;
  for (const std::string& path : ancestry) {
    lines.push_back(indent + (folderPaths_.empty() ? path : LastName(path)));
    folderPaths_.push_back(path);
    indent += kIndent;
  }
  for (const std::string& name : Sorted(files_.ListFolders(folder))) {
    lines.push_back(indent + name);
    folderPaths_.push_back(Join(folder, name));
  }
  form_[kFolders].SetLines(lines);
  form_[kFolders].SetValue(static_cast<int>(ancestry.size()) - 1);
  form_[kFiles].SetLines(Sorted(files_.ListFiles(folder, ".ini")));

  // The drive of the folder shown, when the list has it.
  gui::ControlModel& drives = form_[kDrives];
  const std::string root = ancestry.empty() ? std::string() : ancestry.front();
  for (std::size_t i = 0; i < drives.lines().size(); ++i) {
    const std::string& drive = drives.lines()[i];
    if (EqualsIgnoringCase(drive, root) || EqualsIgnoringCase(drive + "\\", root)) {
      drives.SetValue(static_cast<int>(i));
    }
  }
  changing_ = false;
}

void StartDialog::FolderLineChosen(int line) {
  if (line < 0 || line >= static_cast<int>(folderPaths_.size())) return;
  ChangeFolder(folderPaths_[static_cast<std::size_t>(line)]);
}

void StartDialog::DriveChosen() {
  const gui::ControlModel& drives = form_[kDrives];
  const int line = drives.value();
  if (line < 0 || line >= static_cast<int>(drives.lines().size())) return;
  const std::string& drive = drives.lines()[static_cast<std::size_t>(line)];
  ChangeFolder(IsSeparator(drive.back()) ? drive : drive + "\\");
}

void StartDialog::Choose() {
  if (CurrentTab() == kExistingTab && ChosenFile().empty()) {
    // Reading the folder as a document would only give a read error.
    dialogs_.ShowMessageBox("New INI", "Please select an INI file from the list, or choose Cancel.",
                            gui::MessageIcon::Exclamation, gui::MessageButtons::Ok);
    return;
  }
  cancelled_ = false;
  form_.Close();
}

}  // namespace quillon::toolkit
