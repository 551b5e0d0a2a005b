// quillon.exe snapshot on the spooler it runs on (Wine's in the tests): a
// shared local printer on FILE: with a driver of the test's own, made the
// default, comes back whole in a client file that the simulated client loads,
// with the system's version, names and profile folder, each checked against
// a second source. Wine lists no printer connections and answers for any
// server name; those cases are tested on the simulated side.
#include "platform/host/windows_api.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_client.h"
#include "platform/text.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::tools {
namespace {

using platform::sim::SimClientState;

std::string Environment(const char* name) {
  char value[1024] = {};
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

std::string ComputerName(COMPUTER_NAME_FORMAT format) {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetComputerNameExA(format, name, &size) ? std::string(name, size) : std::string();
}

std::string OwnFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string full(path, length);
  return full.substr(0, full.find_last_of('\\'));
}

// Runs a program with its output going nowhere; its exit code, or -1.
int RunProgram(const std::string& commandLine) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                           nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process{};
  std::string line = commandLine;
  const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(nul);
  if (!started) return -1;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(process.hProcess, &code);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

class QuillonSnapshotWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto before = spooler_.GetDefaultPrinter(1024);
    if (before.ok) previousDefault_ = before.value;
    platform::DriverInfo2 driver;
    driver.version = 3;
    driver.name = driverName_;
    driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qtest.drv";
    ASSERT_TRUE(spooler_.AddPrinterDriver(driver).ok);
    platform::PrinterInfo2 printer;
    printer.printerName = printerName_;
    printer.shareName = shareName_;
    printer.portName = "FILE:";
    printer.driverName = driverName_;
    printer.comment = comment_;
    printer.location = "Room 214";
    printer.printProcessor = "WinPrint";
    printer.datatype = "RAW";
    printer.attributes = platform::kPrinterAttributeLocal | platform::kPrinterAttributeShared;
    const platform::HandleResult added = spooler_.AddPrinter(printer);
    ASSERT_NE(added.handle, 0u) << "error " << added.error;
    spooler_.ClosePrinter(added.handle);
    ASSERT_TRUE(spooler_.SetDefaultPrinter(printerName_).ok);
    folder_ = Environment("TEMP") + "\\quillon-snapshot-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  void TearDown() override {
    PRINTER_DEFAULTSA all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE printer = nullptr;
    if (OpenPrinterA(const_cast<char*>(printerName_.c_str()), &printer, &all)) {
      ::DeletePrinter(printer);
      ::ClosePrinter(printer);
    }
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driverName_.c_str()));
    if (!previousDefault_.empty()) SetDefaultPrinterA(previousDefault_.c_str());
    DeleteFileA((folder_ + "\\client.json").c_str());
    RemoveDirectoryA(folder_.c_str());
  }

  platform::win32::Win32Spooler spooler_;
  const std::string suffix_ = std::to_string(GetCurrentProcessId());
  const std::string driverName_ = "Quillon Snapshot Driver " + suffix_;
  const std::string printerName_ = "Quillon Snapshot Printer " + suffix_;
  const std::string shareName_ = "QSNAP" + suffix_;
  // Text in the ANSI code page, which the file holds as UTF-8.
  const std::string comment_ = platform::Utf16ToNarrow(u"Zweiter Stock, B\u00fcro");
  std::string previousDefault_;
  std::string folder_;
};

TEST_F(QuillonSnapshotWineTest, QuillonExeWritesWhatTheSpoolerAndTheSystemSay) {
  const std::string computer = ComputerName(ComputerNameNetBIOS);
  const std::string output = folder_ + "\\client.json";
  const int code =
      RunProgram("\"" + OwnFolder() + "\\quillon.exe\" snapshot --server NOSUCH" + suffix_ +
                 " --server " + computer + " -o \"" + output + "\"");
  ASSERT_EQ(code, 0);
  const platform::sim::LoadResult loaded = platform::sim::LoadClient(output);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const SimClientState& state = loaded.state;

  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto rtlGetVersion = reinterpret_cast<RtlGetVersionCall>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetVersion")));
  ASSERT_NE(rtlGetVersion, nullptr);
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  ASSERT_EQ(rtlGetVersion(&version), 0);
  ASSERT_TRUE(state.os.has_value());
  EXPECT_EQ(state.os->platformId, 2);
  EXPECT_EQ(state.os->majorVersion, static_cast<int>(version.dwMajorVersion));
  EXPECT_GE(state.os->majorVersion, 5);
  EXPECT_EQ(state.computerName, std::make_optional(std::make_optional(computer)));
  EXPECT_EQ(state.dnsFullName,
            std::make_optional(std::make_optional(ComputerName(ComputerNameDnsFullyQualified))));
  EXPECT_EQ(state.userName, std::make_optional(Environment("USERNAME")));
  EXPECT_EQ(state.profileFolder, std::make_optional(Environment("USERPROFILE")));
  // Targeting's facts as the system gives them to this test: the values of
  // a known one, null for one that cannot be found.
  platform::win32::Win32SystemInfo system;
  const auto written = [](const platform::TargetingFact& fact) {
    using Key = std::optional<std::optional<std::vector<std::string>>>;
    if (fact.known) return Key(std::optional<std::vector<std::string>>(fact.values));
    return fact.fromDirectory ? Key() : Key(std::optional<std::vector<std::string>>());
  };
  EXPECT_EQ(state.userGroups, written(system.GetUserGroups()));
  EXPECT_EQ(state.addresses, written(system.GetAddresses()));

  const auto printer = std::find_if(state.printers.begin(), state.printers.end(),
                                    [&](const auto& p) { return p.name == printerName_; });
  ASSERT_NE(printer, state.printers.end());
  EXPECT_EQ(printer->serverName, "");
  EXPECT_EQ(printer->shareName, shareName_);
  EXPECT_EQ(printer->portName, "FILE:");
  EXPECT_EQ(printer->driverName, driverName_);
  EXPECT_EQ(printer->comment, "Zweiter Stock, B\xc3\xbc" "ro");
  EXPECT_EQ(printer->location, "Room 214");
  EXPECT_EQ(printer->attributes & platform::kPrinterAttributeShared,
            platform::kPrinterAttributeShared);
  EXPECT_EQ(state.defaultPrinter, std::make_optional(printerName_));
  EXPECT_TRUE(state.failures.empty());

  const auto driver = std::find_if(state.drivers.begin(), state.drivers.end(),
                                   [&](const auto& d) { return d.name == driverName_; });
  ASSERT_NE(driver, state.drivers.end());
  EXPECT_EQ(driver->version, 3u);
  EXPECT_EQ(driver->environment, sizeof(void*) == 8 ? "Windows x64" : "Windows NT x86");
  EXPECT_GT(driver->driverPath.size(), 9u);
  EXPECT_EQ(driver->driverPath.substr(driver->driverPath.size() - 9), "qtest.drv");
  EXPECT_NE(std::find(state.ports.begin(), state.ports.end(), "FILE:"), state.ports.end());

  // This computer asked as a print server: its shared printer is a queue.
  ASSERT_EQ(state.printServers.size(), 2u);
  EXPECT_EQ(state.printServers[1].first, computer);
  const auto& queues = state.printServers[1].second;
  const auto queue = std::find_if(queues.begin(), queues.end(),
                                  [&](const auto& q) { return q.shareName == shareName_; });
  ASSERT_NE(queue, queues.end());
  EXPECT_EQ(queue->driverName, driverName_);
  EXPECT_EQ(queue->portName, "FILE:");
  EXPECT_EQ(queue->location, "Room 214");
  // Windows fails to enumerate a server that does not exist; Wine 8 lists its
  // own printers for any server name. Pinned, so that a change in Wine shows here.
  EXPECT_EQ(state.printServers[0].first, "NOSUCH" + suffix_);
  const auto& unknown = state.printServers[0].second;
  EXPECT_NE(std::find_if(unknown.begin(), unknown.end(),
                         [&](const auto& q) { return q.shareName == shareName_; }),
            unknown.end());
}

// The drivers of every environment are listed, each with its own: a 32-bit
// quillon.exe on 64-bit Windows sees the 64-bit drivers that printers there
// print through, and a 64-bit one the 32-bit drivers kept for clients.
TEST(QuillonSnapshotDriversWineTest, DriversOfEveryEnvironmentAreListed) {
  const std::string suffix = std::to_string(GetCurrentProcessId());
  const std::vector<std::pair<std::string, std::string>> added = {
      {"Quillon Snapshot x64 Driver " + suffix, "Windows x64"},
      {"Quillon Snapshot x86 Driver " + suffix, "Windows NT x86"}};
  platform::win32::Win32Spooler spooler;
  for (const auto& [name, environment] : added) {
    platform::DriverInfo2 driver;
    driver.version = 3;
    driver.name = name;
    driver.environment = environment;
    driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qtest.drv";
    const platform::SpoolerResult installed = spooler.AddPrinterDriver(driver);
    ASSERT_TRUE(installed.ok) << environment << ": error " << installed.error;
  }
  const std::string folder =
      Environment("TEMP") + "\\quillon-snapshot-drivers-" + suffix;
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string output = folder + "\\client.json";
  const int code = RunProgram("\"" + OwnFolder() + "\\quillon.exe\" snapshot -o \"" + output + "\"");
  const platform::sim::LoadResult loaded = platform::sim::LoadClient(output);
  for (const auto& [name, environment] : added) {
    DeletePrinterDriverA(nullptr, const_cast<char*>(environment.c_str()),
                         const_cast<char*>(name.c_str()));
  }
  DeleteFileA(output.c_str());
  RemoveDirectoryA(folder.c_str());

  ASSERT_EQ(code, 0);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  for (const auto& [name, environment] : added) {
    const auto& drivers = loaded.state.drivers;
    const auto found = std::find_if(drivers.begin(), drivers.end(),
                                    [&](const auto& d) { return d.name == name; });
    ASSERT_NE(found, drivers.end()) << name;
    EXPECT_EQ(found->environment, environment);
    EXPECT_EQ(std::count_if(drivers.begin(), drivers.end(),
                            [&](const auto& d) { return d.name == name; }),
              1);
  }
}

}  // namespace
}  // namespace quillon::tools
