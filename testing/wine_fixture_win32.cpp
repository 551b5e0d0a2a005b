// A helper of the engine's end-to-end tests under Wine: sets up and clears
// what a test needs on the Windows side, where the test itself (Python on the
// host) cannot reach. Commands run in order; the exit status is the number of
// commands that failed.
//   install-driver NAME     registers a printer driver for this environment
//   remove-driver NAME      removes it
//   remove-printer NAME     deletes a local printer, if it is there
//   printers                prints "printer: NAME" for each printer listed, in order
//   default                 prints "default: NAME" (empty without a default printer)
//   registry KEY\VALUE      prints a string value of the registry (full key path)
//   answer-box TITLE        waits up to 90 s for a message box so titled, prints
//                           its text, and presses its first button once a line
//                           arrives on standard input
#include "platform/host/windows_api.h"

#include <cstdio>
#include <string>

#include <vector>

#include "platform/host/process.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/spooler_win32.h"

namespace {

using quillon::platform::PrinterAccess;
using quillon::platform::win32::Win32Spooler;

bool InstallDriver(Win32Spooler& spooler, const std::string& name) {
  quillon::platform::DriverInfo2 driver;
  driver.version = 3;
  driver.name = name;
  // Wine's spooler registers a driver without looking at its files.
  driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qtest.drv";
  const auto added = spooler.AddPrinterDriver(driver);
  if (!added.ok) std::printf("install-driver %s: error %u\n", name.c_str(), added.error);
  return added.ok;
}

bool RemovePrinter(Win32Spooler& spooler, const std::string& name) {
  const auto opened = spooler.OpenPrinter(name, PrinterAccess::AllAccess);
  if (opened.handle == 0) return true;
  const auto deleted = spooler.DeletePrinter(opened.handle);
  spooler.ClosePrinter(opened.handle);
  return deleted.ok;
}

bool AnswerBox(const std::string& title) {
  // A loaded machine takes long to start a program under a fresh desktop.
  for (int i = 0; i < 3600; ++i) {
    HWND box = FindWindowW(L"#32770", quillon::platform::win32::Wide(title).c_str());
    if (box && IsWindowVisible(box)) {
      wchar_t text[1024] = {};
      GetDlgItemTextW(box, 0xFFFF, text, 1024);
      std::printf("%s\n", quillon::platform::win32::Utf8(text).c_str());
      std::fflush(stdout);
      // The test says when it has seen that the engine waits meanwhile.
      char go[16];
      if (!std::fgets(go, sizeof go, stdin)) return false;
      PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
      return true;
    }
    Sleep(25);
  }
  std::printf("answer-box %s: no box appeared\n", title.c_str());
  return false;
}

}  // namespace

// Names in and out are UTF-8.
int main(int argc, char** argv) {
  const std::vector<std::string> args = quillon::platform::CommandLineArguments(argc, argv);
  Win32Spooler spooler;
  int failed = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& command = args[i];
    if (command == "printers") {
      for (const std::string& printer : spooler.EnumPrinterNames().names) {
        std::printf("printer: %s\n", printer.c_str());
      }
      continue;
    }
    if (command == "default") {
      const auto found = spooler.GetDefaultPrinter(1024);
      std::printf("default: %s\n", found.ok ? found.value.c_str() : "");
      continue;
    }
    if (i + 1 >= args.size()) {
      std::printf("%s: a name must follow\n", command.c_str());
      return failed + 1;
    }
    const std::string name = args[++i];
    bool ok = false;
    if (command == "install-driver") {
      ok = InstallDriver(spooler, name);
    } else if (command == "remove-driver") {
      std::wstring driver = quillon::platform::win32::Wide(name);
      ok = DeletePrinterDriverW(nullptr, nullptr, driver.data()) != FALSE;
    } else if (command == "remove-printer") {
      ok = RemovePrinter(spooler, name);
    } else if (command == "registry") {
      const std::size_t cut = name.rfind('\\');
      const auto value = quillon::platform::win32::Win32Registry().GetValue(
          name.substr(0, cut), cut == std::string::npos ? "" : name.substr(cut + 1));
      std::printf("%s\n", value ? value->c_str() : "(none)");
      ok = value.has_value();
    } else if (command == "answer-box") {
      ok = AnswerBox(name);
    } else {
      std::printf("unknown command %s\n", command.c_str());
    }
    if (!ok) ++failed;
  }
  std::fflush(stdout);
  return failed;
}
