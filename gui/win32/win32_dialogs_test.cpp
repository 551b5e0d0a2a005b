// The Windows dialogs as real windows, each answered by a watcher thread that
// plays the user: owned by the window, with their settings; the folder they
// start in; the network browser; and help where no viewer is.
#include "gui/win32/win32_form_view_test_support.h"
#include "gui/win32/win32_dialogs.h"

namespace quillon::gui {
namespace {

using testing::ClassOf;
using testing::Pump;
using testing::Text;
using testing::Watch;
using testing::Win32FormViewTest;
using testing::kLodz;

// The folder a browse dialog of this thread was last asked to select.
std::string selectionAsked;

LRESULT CALLBACK NoteSelectionAsked(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == BFFM_SETSELECTIONW && call->wParam)
    selectionAsked = platform::win32::Utf8(reinterpret_cast<const wchar_t*>(call->lParam));
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

BOOL CALLBACK NoteFolderTitle(HWND child, LPARAM data) {
  if (Text(child) == "Please select a folder.") *reinterpret_cast<bool*>(data) = true;
  return TRUE;
}

struct ChildSearch {
  const char* className;
  HWND hit;
};

BOOL CALLBACK FindChildOfClass(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ChildSearch*>(data);
  if (ClassOf(child) != search->className) return TRUE;
  search->hit = child;
  return FALSE;
}

bool Titled(HWND window, const std::string& title) {
  return ClassOf(window) == "#32770" && Text(window) == title;
}

TEST_F(Win32FormViewTest, DialogsAreOwnedByTheWindowAndTakeTheirSettings) {
  view_.Show();
  Pump();
  Win32Dialogs dialogs(window_);

  std::atomic<bool> found{false};
  std::string text;
  bool owned = false;
  std::thread user = Watch([](HWND box) { return Titled(box, "Copy Error"); },
                           [&](HWND box) {
                             owned =
                                 GetWindow(box, GW_OWNER) == window_ && !IsWindowEnabled(window_);
                             text = Text(GetDlgItem(box, 0xFFFF));
                             PostMessageA(box, WM_COMMAND, IDNO, 0);
                           },
                           found);
  const std::string message = std::string("Error copying driver files to ") + kLodz + ".";
  EXPECT_EQ(dialogs.ShowMessageBox("Copy Error", message, MessageIcon::Critical,
                                   MessageButtons::YesNo),
            MessageAnswer::No);
  user.join();
  EXPECT_TRUE(found);
  EXPECT_TRUE(owned) << "owned by the window, which waits";
  EXPECT_EQ(text, message);

  // A name typed without its extension gets the default one; the file is
  // there already, so the user is asked before it is overwritten; the file
  // types offered are the filter's. The name, outside the code page, comes
  // back in UTF-8.
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::string typed = platform::win32::Utf8(temp) + "quillon-drivers " + kLodz;
  const std::wstring typedFile = platform::win32::Wide(typed + ".csv");
  if (FILE* existing = _wfopen(typedFile.c_str(), L"w")) std::fclose(existing);
  found = false;
  std::atomic<bool> prompted{false};
  std::string types;
  HWND saveDialog = nullptr;
  user = Watch([](HWND dialog) { return Titled(dialog, "Save Print Driver Info file As ..."); },
               [&](HWND dialog) {
                 saveDialog = dialog;
                 char shown[128] = {};
                 GetDlgItemTextA(dialog, 0x470, shown, sizeof shown);  // the file types
                 types = shown;
                 // The name box: a combo box in the explorer style, an edit otherwise.
                 HWND name = GetDlgItem(dialog, 0x47c);
                 if (!name) name = GetDlgItem(dialog, 0x480);
                 SetWindowTextW(name, platform::win32::Wide(typed).c_str());
                 PostMessageA(dialog, WM_COMMAND, IDOK, 0);
               },
               found);
  std::thread prompt = Watch(
      [&](HWND box) {
        return found && ClassOf(box) == "#32770" && GetWindow(box, GW_OWNER) == saveDialog &&
               saveDialog != nullptr;
      },
      [](HWND box) { PostMessageA(box, WM_COMMAND, IDYES, 0); }, prompted);
  EXPECT_EQ(dialogs.ShowSaveDialog({"Save Print Driver Info file As ...", "csv", "Default.csv",
                                    "Comma Seperated Values(*.csv)|*.csv", true}),
            typed + ".csv");
  user.join();
  prompt.join();
  EXPECT_EQ(DeleteFileW(typedFile.c_str()), TRUE) << "the file chosen is the one there";
  EXPECT_TRUE(found);
  EXPECT_TRUE(prompted) << "no question before overwriting the file";
  EXPECT_EQ(types, "Comma Seperated Values(*.csv)");

  found = false;
  user = Watch([](HWND dialog) { return Titled(dialog, "Open INI File ..."); },
               [](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0); }, found);
  EXPECT_EQ(
      dialogs.ShowOpenDialog({"Open INI File ...", "ini", "", "Quillon (*.ini)|*.ini", false}), "");
  user.join();
  EXPECT_TRUE(found);

  // The folder dialog shows its title as the text above the tree, in the new
  // style (resizable, with a button for a new folder).
  found = false;
  LONG folderStyle = 0;
  user = Watch(
      [](HWND dialog) {
        if (ClassOf(dialog) != "#32770") return false;
        bool title = false;
        EnumChildWindows(dialog, NoteFolderTitle, reinterpret_cast<LPARAM>(&title));
        return title;
      },
      [&](HWND dialog) {
        folderStyle = GetWindowLongA(dialog, GWL_STYLE);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      found);
  EXPECT_EQ(dialogs.BrowseForFolder(), "");
  user.join();
  EXPECT_TRUE(found) << "no folder dialog titled \"Please select a folder.\"";
  EXPECT_EQ(kBrowseForFolderFlags, 0x41u);
  EXPECT_TRUE(folderStyle & WS_THICKFRAME) << "not the new dialog style";

  // Opened at the folder typed (here below a folder that does not exist yet:
  // at its parent), with a box to type into. What the dialog is asked to show
  // is watched on its way in; OK at once then chooses that folder or, where
  // Wine's tree stopped its walk early on a loaded machine, one on the way.
  wchar_t temporary[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temporary);
  const std::string startAt = platform::win32::Utf8(temporary) + "quillon-start-folder";
  ASSERT_TRUE(CreateDirectoryW(platform::win32::Wide(startAt).c_str(), nullptr) ||
              GetLastError() == ERROR_ALREADY_EXISTS);
  found = false;
  bool typingBox = false;
  user = Watch(
      [](HWND dialog) {
        bool title = false;
        if (ClassOf(dialog) == "#32770")
          EnumChildWindows(dialog, NoteFolderTitle, reinterpret_cast<LPARAM>(&title));
        return title;
      },
      [&](HWND dialog) {
        ChildSearch edit{"Edit", nullptr};
        EnumChildWindows(dialog, FindChildOfClass, reinterpret_cast<LPARAM>(&edit));
        typingBox = edit.hit != nullptr;
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
      },
      found);
  selectionAsked.clear();
  HHOOK watching = SetWindowsHookExW(WH_CALLWNDPROC, NoteSelectionAsked, nullptr,
                                     GetCurrentThreadId());
  const std::string chosen = dialogs.BrowseForFolderAt(startAt + "\\not-yet\\");
  UnhookWindowsHookEx(watching);
  user.join();
  RemoveDirectoryW(platform::win32::Wide(startAt).c_str());
  EXPECT_TRUE(found);
  EXPECT_EQ(selectionAsked, startAt);
  EXPECT_FALSE(chosen.empty());
  EXPECT_EQ(startAt.rfind(chosen, 0), 0u) << chosen << " is not on the way to " << startAt;
  EXPECT_TRUE(typingBox) << "no box to type the folder into";

  // Over a modal window, the dialogs are owned by it, not by the disabled main window.
  Form dialog(testing::ModalSampleForm());
  Win32FormView modal(dialog, window_);
  EnableWindow(window_, FALSE);
  modal.Show();
  SetActiveWindow(modal.window());
  Pump();
  found = false;
  HWND boxOwner = nullptr;
  RECT boxPlace{};
  user = Watch([](HWND box) { return Titled(box, "Save Error"); },
               [&](HWND box) {
                 boxOwner = GetWindow(box, GW_OWNER);
                 GetWindowRect(box, &boxPlace);
                 PostMessageA(box, WM_COMMAND, IDOK, 0);
               },
               found);
  dialogs.ShowMessageBox("Save Error", "Error saving.", MessageIcon::Critical, MessageButtons::Ok);
  user.join();
  EXPECT_TRUE(found);
  EXPECT_EQ(boxOwner, modal.window());
  // Opened over that window, not in the middle of the screen.
  RECT over{}, box = boxPlace;
  GetWindowRect(modal.window(), &over);
  EXPECT_LE(std::abs((box.left + box.right) - (over.left + over.right)), 4);
  EXPECT_LE(std::abs((box.top + box.bottom) - (over.top + over.bottom)), 4);
  EnableWindow(window_, TRUE);
}

TEST(StartingFolderTest, TheTypedFolderOrItsNearestExistingParent) {
  const auto exists = [](const std::string& path) {
    return path == "C:\\" || path == "C:\\Deploy" || path == "\\\\server\\share";
  };
  EXPECT_EQ(StartingFolder("C:\\Deploy", exists), "C:\\Deploy");
  EXPECT_EQ(StartingFolder("C:\\Deploy\\New\\Deeper\\", exists), "C:\\Deploy");
  EXPECT_EQ(StartingFolder("C:\\Missing", exists), "C:\\");
  EXPECT_EQ(StartingFolder("\\\\server\\share\\sub", exists), "\\\\server\\share");
  EXPECT_EQ(StartingFolder("\\\\other\\share", exists), "");
  EXPECT_EQ(StartingFolder("D:\\Missing", exists), "");
  EXPECT_EQ(StartingFolder("", exists), "");
  EXPECT_EQ(StartingFolder("relative", exists), "");
}

BOOL CALLBACK NoteNetworkTitle(HWND child, LPARAM data) {
  if (Text(child) == "Select a network computer or share.") *reinterpret_cast<bool*>(data) = true;
  return TRUE;
}

std::string TreeItemText(HWND tree, HTREEITEM item) {
  char text[260] = {};
  TVITEMA read{};
  read.mask = TVIF_TEXT;
  read.hItem = item;
  read.pszText = text;
  read.cchTextMax = sizeof text;
  SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
  return text;
}

HTREEITEM TreeItem(HWND tree, WPARAM which, HTREEITEM from = nullptr) {
  return reinterpret_cast<HTREEITEM>(
      SendMessageA(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(from)));
}

// The shell's own name for a special folder, as its folder tree shows it.
std::string SpecialFolderName(int folder) {
  PIDLIST_ABSOLUTE item = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, folder, &item)) || !item) return {};
  SHFILEINFOA info{};
  SHGetFileInfoA(reinterpret_cast<LPCSTR>(item), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_DISPLAYNAME);
  CoTaskMemFree(item);
  return info.szDisplayName;
}

TEST_F(Win32FormViewTest, TheNetworkBrowserStartsAtTheNetworkAndGivesAComputerItsUncName) {
  view_.Show();
  Pump();
  Win32Dialogs dialogs(window_);
  const std::string network = SpecialFolderName(kNetworkNeighbourhood);
  ASSERT_FALSE(network.empty());

  // The dialog over the window, its title above a tree whose top is the
  // network itself, which is no folder of the file system and cannot be chosen.
  std::atomic<bool> found{false};
  bool owned = false, okEnabled = true;
  LONG style = 0;
  std::string root, aboveRoot = "none";
  std::thread user = Watch(
      [](HWND dialog) {
        if (ClassOf(dialog) != "#32770") return false;
        bool title = false;
        EnumChildWindows(dialog, NoteNetworkTitle, reinterpret_cast<LPARAM>(&title));
        return title;
      },
      [&](HWND dialog) {
        owned = GetWindow(dialog, GW_OWNER) == window_ && !IsWindowEnabled(window_);
        style = GetWindowLongA(dialog, GWL_STYLE);
        ChildSearch search{"SysTreeView32", nullptr};
        for (int i = 0; i < 100 && !(search.hit && TreeItem(search.hit, TVGN_CARET)); ++i) {
          EnumChildWindows(dialog, FindChildOfClass, reinterpret_cast<LPARAM>(&search));
          Sleep(20);
        }
        if (search.hit) {
          const HTREEITEM top = TreeItem(search.hit, TVGN_ROOT);
          root = TreeItemText(search.hit, top);
          aboveRoot = TreeItem(search.hit, TVGN_PARENT, top) ? "a parent" : "none";
        }
        HWND ok = GetDlgItem(dialog, IDOK);
        okEnabled = ok && IsWindowEnabled(ok);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
      },
      found);
  EXPECT_EQ(dialogs.BrowseForNetworkFolder(), "") << "cancelled";
  user.join();
  ASSERT_TRUE(found) << "no dialog titled \"Select a network computer or share.\"";
  EXPECT_TRUE(owned) << "owned by the window, which waits";
  EXPECT_TRUE(style & WS_THICKFRAME) << "not the new dialog style";
  EXPECT_EQ(root, network);
  EXPECT_EQ(aboveRoot, "none") << "rooted at the network, not the desktop";
  EXPECT_FALSE(okEnabled) << "the network itself is no file-system folder";

  // What a choice gives, on the shell's own item lists: a folder with a path
  // gives the path; an item without one (the network folder stands in for a
  // computer, which Wine's network lists none of) gives "\\" and its name.
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  std::string folder = temp;
  if (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
  PIDLIST_ABSOLUTE share = ILCreateFromPathA(folder.c_str());
  ASSERT_TRUE(share);
  EXPECT_EQ(NetworkChoice(share, "Temp"), folder);
  ILFree(share);
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_TRUE(SUCCEEDED(SHGetSpecialFolderLocation(nullptr, kNetworkNeighbourhood, &computer)));
  EXPECT_EQ(NetworkChoice(computer, "PRTSRV1"), "\\\\PRTSRV1");
  EXPECT_EQ(NetworkChoice(computer, ""), "") << "neither a path nor a name";
  CoTaskMemFree(computer);
  EXPECT_EQ(kNetworkNeighbourhood, 18);
}

// Wine, as Windows since Vista, starts a WinHelp viewer that shows nothing of
// the file: help must not count as shown there, so the guide opens instead.
TEST(Win32DialogsHelpTest, WinHelpIsNotTakenForShownWhereTheSystemHasNoViewer) {
  ASSERT_TRUE(IsWindowsVistaOrGreater());
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string file = std::string(temp) + "Quillon.hlp";
  std::FILE* help = std::fopen(file.c_str(), "wb");
  ASSERT_TRUE(help);
  std::fputs("?_\x03", help);
  std::fclose(help);
  Win32Dialogs dialogs;
  EXPECT_FALSE(dialogs.ShowHelp(file, 1013));
  EXPECT_FALSE(dialogs.ShowHelp(file, kHelpContents));
  std::remove(file.c_str());
}

}  // namespace
}  // namespace quillon::gui
