// frmMain as a real Win32 window under a display: the window made by the Win32
// front end over the Windows spooler, driven by window messages as the user's
// keys and clicks arrive, with scripted dialogs; and QuillonInventory.exe
// itself, looked at from this process by its controls' names.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <random>

#include "gui/scripted_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "gui/win32/win32_test_support.h"
#include "inventory/inventory_window.h"
#include "platform/host/host_file_system.h"
#include "platform/win32/driver_info_win32.h"
#include "platform/win32/spooler_win32.h"

namespace quillon::inventory {
namespace {

using platform::JoinPath;

constexpr const char* kDriver = "Quillon Inventory Window Driver";
constexpr const char* kPrinter = "Quillon Inventory Window Printer";

using gui::testing::ClassOf;
using gui::testing::PumpUntil;
using gui::testing::WindowText;

// As UTF-8, read in UTF-16 as the window holds it.
std::string ItemText(HWND list, int row, int column) {
  wchar_t text[260] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = static_cast<int>(std::size(text));  // in characters
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return platform::win32::Utf8(text);
}

// A local printer on FILE: with a driver of the test's own, so that the list
// always has a row whose driver the test knows; removed again at the end.
class InventoryWindowWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::DriverInfo2 driver;
    driver.version = 3;
    driver.name = kDriver;
    driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qwin.drv";
    ASSERT_TRUE(spooler_.AddPrinterDriver(driver).ok);
    platform::PrinterInfo2 printer;
    printer.printerName = kPrinter;
    printer.portName = "FILE:";
    printer.driverName = kDriver;
    printer.printProcessor = "WinPrint";
    printer.datatype = "RAW";
    printer.attributes = platform::kPrinterAttributeLocal;
    const platform::HandleResult added = spooler_.AddPrinter(printer);
    ASSERT_NE(added.handle, 0u) << "error " << added.error;
    spooler_.ClosePrinter(added.handle);
    std::random_device seed;
    folder_ = JoinPath(std::filesystem::temp_directory_path().string(),
                       "quillon-invwin-" + std::to_string(seed()));
    ASSERT_TRUE(files_.CreateFolders(JoinPath(folder_, "share")).ok);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
    const platform::HandleResult opened =
        spooler_.OpenPrinter(kPrinter, platform::PrinterAccess::AllAccess);
    if (opened.handle == 0) return;
    spooler_.DeletePrinter(opened.handle);
    spooler_.ClosePrinter(opened.handle);
  }

  platform::win32::Win32Spooler spooler_;
  platform::HostFileSystem files_;
  std::string folder_;
};

TEST_F(InventoryWindowWin32Test, TheUserTicksCopiesSavesAndLeavesWithTheKeyboard) {
  platform::win32::Win32DriverInfoSource source;
  gui::ScriptedDialogs dialogs;
  InventoryWindow inventory(source, files_, dialogs);
  gui::Win32FormView view(inventory.form());
  HWND window = view.window();
  view.Show();

  // Every control is there by its name, of its class, with its caption.
  EXPECT_EQ(gui::ControlKeyOf(window), "frmMain");
  EXPECT_EQ(WindowText(window), "Quillon Inventory");
  for (const gui::ControlDescription& control : InventoryWindowDescription().controls) {
    HWND found = gui::FindControl(window, control.name);
    ASSERT_TRUE(found) << control.name;
    EXPECT_EQ(found, view.Control(control.name));
    if (control.kind == gui::ControlKind::Button) {
      EXPECT_EQ(ClassOf(found), "Button");
      EXPECT_EQ(WindowText(found), control.caption);
    }
  }
  HWND list = view.Control("lvwPrintDrivers");
  HWND bar = view.Control("prbMain");
  EXPECT_EQ(ClassOf(list), "SysListView32");
  EXPECT_EQ(ClassOf(bar), "msctls_progress32");
  EXPECT_FALSE(IsWindowVisible(bar)) << "shown by the first operation";
  // The controls lie in the window, the list above the bar above the buttons.
  RECT listPlace{}, barPlace{}, exitPlace{};
  GetWindowRect(list, &listPlace);
  GetWindowRect(bar, &barPlace);
  GetWindowRect(view.Control("cmdExit"), &exitPlace);
  EXPECT_LT(listPlace.bottom, barPlace.top);
  EXPECT_LT(barPlace.bottom, exitPlace.top);
  EXPECT_GT(exitPlace.right - exitPlace.left, 40);

  // The first activation fills the list with the spooler's printers.
  const platform::PrinterNames printers = source.EnumPrinterNames();
  ASSERT_TRUE(PumpUntil(
      [&] { return IsWindowVisible(bar) && SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) > 0; }));
  ASSERT_EQ(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0),
            static_cast<LRESULT>(printers.names.size()));
  int row = -1;
  for (int i = 0; i < static_cast<int>(printers.names.size()); ++i) {
    if (ItemText(list, i, 0) == kPrinter) row = i;
  }
  ASSERT_GE(row, 0);
  EXPECT_EQ(GetFocus(), list) << "the first control in the tab order has the focus";
  EXPECT_EQ(ItemText(list, row, 1), kDriver);
  EXPECT_EQ(ItemText(list, row, 2), "qwin.drv");
  const std::string driverPath = inventory.list().Row(row).driverPath;
  ASSERT_TRUE(files_.CreateFolders(platform::ParentFolder(driverPath)).ok);
  ASSERT_TRUE(files_.WriteFileAtomic(driverPath, "driver bytes").ok);

  // The user's tick: the row made current, then the space bar on the list.
  SetForegroundWindow(window);
  SetFocus(list);
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  PostMessageA(list, WM_KEYDOWN, VK_SPACE, 0x00390001);
  PostMessageA(list, WM_KEYUP, VK_SPACE, 0xC0390001);
  ASSERT_TRUE(PumpUntil([&] { return inventory.list().Row(row).checked; }))
      << "the tick did not reach the model";
  EXPECT_TRUE(inventory.form()["lvwPrintDrivers"].focused());

  // Alt+C: Copy Drivers, into the folder the scripted folder dialog gives.
  const std::string share = JoinPath(folder_, "share");
  dialogs.SetNextFolder(share);
  PostMessageA(list, WM_SYSCHAR, 'c', 0x20000001);
  const std::string copied = JoinPath(share, "qwin.drv");
  ASSERT_TRUE(PumpUntil([&] { return files_.FileExists(copied); }));
  EXPECT_EQ(files_.ReadFile(copied).value_or(""), "driver bytes");

  // Save Info by its button, into the file the scripted save dialog gives.
  const std::string csv = JoinPath(folder_, "drivers.csv");
  dialogs.SetNextFileName(csv);
  SendMessageA(view.Control("cmdSaveText"), BM_CLICK, 0, 0);
  PumpUntil([&] { return files_.FileExists(csv); });
  EXPECT_EQ(files_.ReadFile(csv).value_or("<none>"),
            std::string("Printer Name,Driver Name,Driver Path\r\n") + kPrinter + "," + kDriver +
                ",qwin.drv\r\n");
  EXPECT_EQ(gui::Transcript(dialogs.asked),
            "folder [Please select a folder.]\n"
            "save [Save Print Driver Info file As ...] extension=csv file=Default.csv "
            "filter=Comma Seperated Values(*.csv)|*.csv prompt-overwrite\n");
  EXPECT_EQ(dialogs.unscripted, 0);

  // A stray Escape does not drop the user's ticks: the window stays.
  SetFocus(list);
  PostMessageA(list, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
  PostMessageA(list, WM_KEYUP, VK_ESCAPE, 0xC0010001);
  EXPECT_FALSE(PumpUntil([&] { return !IsWindow(window); }, 300)) << "Escape closed the window";
  // The close box closes it.
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindow(window); })) << "the close box did not close it";
}

// The path of a file of this host as Wine sees it (its Z: drive).
std::string WindowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

struct Search {
  DWORD process;
  HWND found;
};

// The visible frmMain of the process searched for. A named function: 32-bit
// callbacks are stdcall, which a lambda cannot be.
BOOL CALLBACK MatchFrmMain(HWND window, LPARAM data) {
  auto* wanted = reinterpret_cast<Search*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != wanted->process || gui::ControlKeyOf(window) != "frmMain" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  wanted->found = window;
  return FALSE;
}

TEST_F(InventoryWindowWin32Test, TheProgramShowsItsControlsByNameToOtherProcesses) {
  const char* program = std::getenv("QUILLON_INVENTORY_EXE");
  ASSERT_TRUE(program) << "QUILLON_INVENTORY_EXE names the program";
  std::string command = "\"" + WindowsPath(program) + "\"";
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process))
      << command << ": error " << GetLastError();
  // Whatever fails below, the program does not outlive the test.
  struct Ending {
    PROCESS_INFORMATION& process;
    ~Ending() {
      if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  } ending{process};

  Search search{process.dwProcessId, nullptr};
  const auto findWindow = [&search] {
    EnumWindows(MatchFrmMain, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
  };
  ASSERT_TRUE(PumpUntil(findWindow, 15000)) << "no window frmMain";
  HWND window = search.found;
  EXPECT_EQ(WindowText(window), "Quillon Inventory");
  for (const gui::ControlDescription& control : InventoryWindowDescription().controls) {
    HWND found = gui::FindControl(window, gui::ControlKey(control));
    ASSERT_TRUE(found) << control.name;
    if (control.kind == gui::ControlKind::Button) {
      EXPECT_EQ(WindowText(found), control.caption);
    }
  }
  HWND list = gui::FindControl(window, "lvwPrintDrivers");
  platform::win32::Win32DriverInfoSource source;
  const auto printers = static_cast<LRESULT>(source.EnumPrinterNames().names.size());
  EXPECT_TRUE(PumpUntil([&] { return SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == printers; }))
      << SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) << " rows, " << printers << " printers";

  // Exit's click ends the program.
  HWND exit = gui::FindControl(window, "cmdExit");
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(exit), BN_CLICKED),
               reinterpret_cast<LPARAM>(exit));
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 10000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
}

}  // namespace
}  // namespace quillon::inventory
