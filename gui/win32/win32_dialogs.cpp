// Win32Dialogs: the dialogs' settings as the Windows calls take them.
#include "gui/win32/win32_dialogs.h"

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <versionhelpers.h>

#include <iterator>
#include <string_view>
#include <utility>

#include "gui/win32/win32_form_view.h"
#include "platform/win32/user_interface_win32.h"

namespace quillon::gui {

using platform::win32::Utf8;
using platform::win32::Wide;

std::string CommonDialogFilter(const std::string& filter) {
  std::string converted = filter;
  for (char& c : converted) {
    if (c == '|') c = '\0';
  }
  converted.push_back('\0');
  converted.push_back('\0');
  return converted;
}

HWND Win32Dialogs::Owner() const {
  if (!owner_) return nullptr;
  HWND popup = GetLastActivePopup(owner_);
  if (popup && popup != owner_ && IsWindowVisible(popup) && IsWindowEnabled(popup)) return popup;
  return owner_;
}

namespace {
// The window a message box about to open is centred over; the box is the
// first window this thread activates while the hook is set.
thread_local HWND centreOver = nullptr;
thread_local HHOOK centring = nullptr;

LRESULT CALLBACK CentreMessageBox(int code, WPARAM wParam, LPARAM lParam) {
  const HHOOK hook = centring;
  if (code == HCBT_ACTIVATE && hook) {
    centring = nullptr;
    UnhookWindowsHookEx(hook);
    CenterWindow(reinterpret_cast<HWND>(wParam), centreOver);
    return 0;
  }
  return CallNextHookEx(hook, code, wParam, lParam);
}

bool FolderExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct BrowseStart {
  HWND owner;
  const wchar_t* folder;  // null: the dialog's own start
};

// The folder browser, once it is shown: centred over its owner and opened at
// the start folder.
int CALLBACK StartBrowsing(HWND dialog, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  const auto& start = *reinterpret_cast<const BrowseStart*>(data);
  if (start.owner) CenterWindow(dialog, start.owner);
  if (start.folder)
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start.folder));
  return 0;
}
}  // namespace

MessageAnswer Win32Dialogs::ShowMessageBox(const std::string& title, const std::string& text,
                                           MessageIcon icon, MessageButtons buttons) {
  // Owned by the window, which waits (application-modal, not task-modal), and
  // opened over it, not in the middle of the screen.
  const UINT style = platform::win32::MessageBoxStyle(icon, buttons);
  HWND owner = Owner();
  if (owner) {
    centreOver = owner;
    centring = SetWindowsHookExW(WH_CBT, CentreMessageBox, nullptr, GetCurrentThreadId());
  }
  const int answer = MessageBoxW(owner, Wide(text).c_str(), Wide(title).c_str(), style);
  if (centring) UnhookWindowsHookEx(centring);
  centring = nullptr;
  return platform::win32::MessageBoxAnswer(answer, buttons);
}

std::string StartingFolder(std::string typed, bool (*exists)(const std::string&)) {
  while (!typed.empty()) {
    if (exists(typed)) return typed;
    const std::size_t cut = typed.find_last_of("\\/");
    if (cut == std::string::npos) return {};
    // A drive's root keeps its separator ("C:" alone is the drive's current
    // folder); the "\\" before a server's name is no folder.
    const bool root = cut > 0 && typed[cut - 1] == ':';
    std::string parent = typed.substr(0, root ? cut + 1 : cut);
    if (parent == typed || parent.find_first_not_of("\\/") == std::string::npos) return {};
    typed = std::move(parent);
  }
  return {};
}

std::string Win32Dialogs::ShowSaveDialog(const SaveFileOptions& options) {
  return RunFileDialog(options, true);
}

std::string Win32Dialogs::ShowOpenDialog(const SaveFileOptions& options) {
  return RunFileDialog(options, false);
}

std::string Win32Dialogs::RunFileDialog(const SaveFileOptions& options, bool save) {
  // The filter's NULs convert as they are.
  const std::wstring filter = Wide(CommonDialogFilter(options.filter));
  const std::wstring title = Wide(options.title);
  const std::wstring extension = Wide(options.defaultExtension);
  wchar_t file[MAX_PATH] = {};
  Wide(options.fileName).copy(file, std::size(file) - 1);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = Owner();
  dialog.lpstrFilter = options.filter.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = static_cast<DWORD>(std::size(file));  // in characters
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_EXPLORER | OFN_LONGNAMES | OFN_HIDEREADONLY;
  if (save) {
    dialog.Flags |= options.promptOverwrite ? OFN_OVERWRITEPROMPT : 0;
  } else {
    dialog.Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_NOREADONLYRETURN;
  }
  // Cancelled, or failed: nothing chosen either way.
  if (!(save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog))) return {};
  return Utf8(file);
}

std::string Win32Dialogs::BrowseForFolder() { return BrowseForFolderAt({}); }

std::string Win32Dialogs::BrowseForFolderAt(const std::string& startFolder) {
  // The new dialog style needs COM on this thread; a thread that has it keeps it.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  wchar_t path[MAX_PATH] = {};
  const std::wstring title = Wide(kBrowseForFolderTitle);
  const std::wstring start = Wide(StartingFolder(startFolder, FolderExists));
  BrowseStart opening{Owner(), start.empty() ? nullptr : start.c_str()};
  BROWSEINFOW browse{};
  browse.hwndOwner = Owner();
  browse.pidlRoot = nullptr;  // the desktop
  browse.pszDisplayName = path;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = kFolderPickerFlags;
  browse.lpfn = StartBrowsing;
  browse.lParam = reinterpret_cast<LPARAM>(&opening);
  std::string chosen;
  if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse)) {
    wchar_t folder[MAX_PATH] = {};
    if (SHGetPathFromIDListW(item, folder)) chosen = Utf8(folder);  // cut at the first NUL
    CoTaskMemFree(item);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

std::string NetworkChoice(const _ITEMIDLIST* item, const std::string& displayName) {
  wchar_t path[MAX_PATH] = {};  // cut at the first NUL
  // Wine answers a virtual folder with its "::{CLSID}" parsing name, which is
  // no path; Windows fails the call for one.
  if (SHGetPathFromIDListW(item, path) && path[0] &&
      std::wstring_view(path).substr(0, 2) != L"::") {
    return Utf8(path);
  }
  return displayName.empty() ? std::string() : "\\\\" + displayName;
}

std::string Win32Dialogs::BrowseForNetworkFolder() {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::string chosen;
  PIDLIST_ABSOLUTE network = nullptr;
  if (SUCCEEDED(SHGetSpecialFolderLocation(Owner(), kNetworkNeighbourhood, &network)) && network) {
    wchar_t name[MAX_PATH] = {};  // the chosen item's display name
    const std::wstring title = Wide(kBrowseForNetworkFolderTitle);
    BROWSEINFOW browse{};
    browse.hwndOwner = Owner();
    browse.pidlRoot = network;
    browse.pszDisplayName = name;
    browse.lpszTitle = title.c_str();
    browse.ulFlags = kBrowseForFolderFlags;
    BrowseStart opening{Owner(), nullptr};  // at the network, its root
    browse.lpfn = StartBrowsing;
    browse.lParam = reinterpret_cast<LPARAM>(&opening);
    if (PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&browse)) {
      chosen = NetworkChoice(item, Utf8(name));
      CoTaskMemFree(item);
    }
    CoTaskMemFree(network);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return chosen;
}

bool Win32Dialogs::ShowHelp(const std::string& helpFile, int context) {
  // Vista and later start a viewer that only says WinHelp is gone, and still
  // report success: the HTML guide is shown instead.
  if (IsWindowsVistaOrGreater()) return false;
  const std::wstring file = Wide(helpFile);
  if (context == kHelpContents) return WinHelpW(Owner(), file.c_str(), HELP_CONTENTS, 0) != FALSE;
  return WinHelpW(Owner(), file.c_str(), HELP_CONTEXT, static_cast<ULONG_PTR>(context)) != FALSE;
}

bool Win32Dialogs::OpenWebPage(const std::string& url) {
  // ShellExecute's result is above 32 when something was started.
  const auto started = reinterpret_cast<INT_PTR>(
      ShellExecuteW(Owner(), L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return started > 32;
}

// The file's own handler, the default browser for .html files.
bool Win32Dialogs::OpenGuide(const std::string& page) { return OpenWebPage(page); }

}  // namespace quillon::gui
