// The Windows spooler as the backend reaches it, against the system it runs
// on (Wine in the tests): a local printer of the test's own added, listed,
// read, changed, made the default and deleted, names outside the code page,
// the wide connection call, Wine's stubs pinned, and the NT way of the
// driver and port steps. Each answer is checked against a second source (the
// spooler's profile entries) or against what Windows documents.
#include "platform/host/windows_api.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/backend_test_support_win32.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/spooler_win32.h"

namespace quillon::platform::win32 {
namespace {

using namespace backend_tests;

// A local printer on FILE: with a driver of this test's own; Wine's spooler
// takes any files for a driver, so none are copied. Removed again, and the
// default printer put back, at the end.
class Win32SpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SizedResult<std::string> before = spooler_.GetDefaultPrinter(1024);
    if (before.ok) previousDefault_ = before.value;
    DriverInfo2 driver;
    driver.version = 3;
    driver.name = driverName_;
    driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qtest.drv";
    ASSERT_TRUE(spooler_.AddPrinterDriver(driver).ok);
  }
  void TearDown() override {
    for (const std::string& name : {printerName_, lodzPrinterName_}) {
      PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
      HANDLE printer = nullptr;
      std::wstring wide = Wide(name);
      if (OpenPrinterW(wide.data(), &printer, &all)) {
        ::DeletePrinter(printer);
        ::ClosePrinter(printer);
      }
    }
    DeletePrinterDriverA(nullptr, nullptr, const_cast<char*>(driverName_.c_str()));
    if (!previousDefault_.empty()) SetDefaultPrinterW(Wide(previousDefault_).c_str());
  }

  PrinterInfo2 Record() const {
    PrinterInfo2 info;
    info.printerName = printerName_;
    info.portName = "FILE:";
    info.driverName = driverName_;
    info.comment = "Adding using Quillon";
    info.printProcessor = "WinPrint";
    info.datatype = "RAW";
    info.attributes = kPrinterAttributeLocal;
    return info;
  }

  Win32Spooler spooler_;
  const std::string driverName_ = Unique("Quillon Test Driver");
  const std::string printerName_ = Unique("Quillon Test Printer");
  // "Łódź", which no Western code page holds.
  const std::string lodzPrinterName_ = Unique("Quillon \xC5\x81\xC3\xB3""d\xC5\xBA");
  std::string previousDefault_;
};

TEST_F(Win32SpoolerTest, LocalPrinterIsAddedListedReadChangedAndDeleted) {
  HandleResult added = spooler_.AddPrinter(Record());
  ASSERT_NE(added.handle, 0u) << "error " << added.error;
  EXPECT_EQ(added.error, 0u) << "a success reports no code, whatever the spooler left";
  spooler_.ClosePrinter(added.handle);
  EXPECT_TRUE(Contains(spooler_.EnumPrinterNames().names, printerName_));

  HandleResult opened = spooler_.OpenPrinter(printerName_, PrinterAccess::Default);
  ASSERT_NE(opened.handle, 0u) << opened.error;
  SizedResult<PrinterInfo2> sizing = spooler_.GetPrinter(opened.handle, 0);
  EXPECT_FALSE(sizing.ok);
  EXPECT_EQ(sizing.error, kErrorInsufficientBuffer);
  EXPECT_GT(sizing.needed, sizeof(PRINTER_INFO_2W));
  SizedResult<PrinterInfo2> tooSmall = spooler_.GetPrinter(opened.handle, sizing.needed - 1);
  EXPECT_EQ(tooSmall.error, kErrorInsufficientBuffer);
  EXPECT_EQ(tooSmall.needed, sizing.needed);
  SizedResult<PrinterInfo2> read = spooler_.GetPrinter(opened.handle, sizing.needed);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.error, 0u);
  EXPECT_EQ(read.value.serverName, "") << "a local printer has no server";
  EXPECT_EQ(read.value.printerName, printerName_);
  EXPECT_EQ(read.value.portName, "FILE:");
  EXPECT_EQ(read.value.driverName, driverName_);
  EXPECT_EQ(read.value.comment, "Adding using Quillon");
  EXPECT_EQ(read.value.printProcessor, "WinPrint");
  EXPECT_EQ(read.value.datatype, "RAW");

  // Written back as read, with the default bit and a new comment.
  PrinterInfo2 changed = read.value;
  changed.comment = "Moved by Quillon";
  changed.attributes |= kPrinterAttributeDefault;
  SpoolerResult set = spooler_.SetPrinter(opened.handle, changed);
  EXPECT_TRUE(set.ok) << set.error;
  spooler_.ClosePrinter(opened.handle);
  opened = spooler_.OpenPrinter(printerName_, PrinterAccess::Default);
  ASSERT_NE(opened.handle, 0u);
  sizing = spooler_.GetPrinter(opened.handle, 0);
  read = spooler_.GetPrinter(opened.handle, sizing.needed);
  ASSERT_TRUE(read.ok);
  EXPECT_EQ(read.value.comment, "Moved by Quillon");
  EXPECT_EQ(read.value.portName, "FILE:");
  spooler_.ClosePrinter(opened.handle);

  HandleResult owned = spooler_.OpenPrinter(printerName_, PrinterAccess::AllAccess);
  ASSERT_NE(owned.handle, 0u) << owned.error;
  SpoolerResult deleted = spooler_.DeletePrinter(owned.handle);
  EXPECT_TRUE(deleted.ok);
  EXPECT_EQ(deleted.error, 0u);
  spooler_.ClosePrinter(owned.handle);
  EXPECT_FALSE(Contains(spooler_.EnumPrinterNames().names, printerName_));
  HandleResult gone = spooler_.OpenPrinter(printerName_, PrinterAccess::Default);
  EXPECT_EQ(gone.handle, 0u);
  EXPECT_EQ(gone.error, kErrorInvalidPrinterName);
}

TEST_F(Win32SpoolerTest, DefaultPrinterIsSetAndReadThroughSpoolerAndProfile) {
  HandleResult added = spooler_.AddPrinter(Record());
  ASSERT_NE(added.handle, 0u) << added.error;
  spooler_.ClosePrinter(added.handle);

  SpoolerResult set = spooler_.SetDefaultPrinter(printerName_);
  ASSERT_TRUE(set.ok) << set.error;
  SizedResult<std::string> found = spooler_.GetDefaultPrinter(1024);
  ASSERT_TRUE(found.ok) << found.error;
  EXPECT_EQ(found.value, printerName_);
  EXPECT_EQ(found.needed, printerName_.size() + 1) << "characters with the NUL";
  SizedResult<std::string> small = spooler_.GetDefaultPrinter(3);
  EXPECT_FALSE(small.ok);
  EXPECT_EQ(small.error, kErrorInsufficientBuffer);
  EXPECT_EQ(small.needed, printerName_.size() + 1);

  // NT 4.0 read the default from here: "name,driver,port", and each printer's
  // "driver,port,timeout,timeout".
  Win32ProfileStrings profile;
  ProfileStringResult device = profile.GetProfileString("Windows", "device", 1024);
  ASSERT_TRUE(device.ok) << device.error;
  EXPECT_EQ(device.value.substr(0, printerName_.size() + 1), printerName_ + ",");
  EXPECT_EQ(device.value.substr(device.value.size() - 6), ",FILE:");
  ProfileStringResult ports = profile.GetProfileString("PrinterPorts", printerName_, 1024);
  ASSERT_TRUE(ports.ok) << ports.error;
  EXPECT_NE(ports.value.find(",FILE:,"), std::string::npos) << ports.value;

  SpoolerResult unknown = spooler_.SetDefaultPrinter("No Such Printer " + printerName_);
  EXPECT_FALSE(unknown.ok);
  EXPECT_EQ(unknown.error, kErrorInvalidPrinterName);
  EXPECT_EQ(spooler_.GetDefaultPrinter(1024).value, printerName_);
}

// What a stand-in for AddPrinterConnection2W was given.
struct WideConnectionCall {
  int calls = 0;
  void* window = nullptr;
  std::wstring name;
  unsigned long level = 0;
  DWORD flags = 0;
  const void* driverName = nullptr;
};
WideConnectionCall wideConnection;

int __stdcall RecordWideConnection(void* window, const wchar_t* name, unsigned long level,
                                   void* info) {
  ++wideConnection.calls;
  wideConnection.window = window;
  wideConnection.name = name;
  wideConnection.level = level;
  const auto* record = static_cast<const PRINTER_CONNECTION_INFO_1*>(info);
  wideConnection.flags = record->dwFlags;
  wideConnection.driverName = record->pszDriverName;
  SetLastError(3019);  // what Windows gives when only a prompt could fetch the driver
  return FALSE;
}

// A name outside the ANSI code page is added, listed, opened, read, renamed
// and deleted whole through the wide entry points.
TEST_F(Win32SpoolerTest, NameOutsideTheCodePageIsListedOpenedAndMoved) {
  PrinterInfo2 record = Record();
  record.printerName = lodzPrinterName_;
  record.comment = "Pi\xC4\x99tro \xC5\x82\xC3\xB3""d\xC5\xBA";  // "Piętro łódź"
  HandleResult added = spooler_.AddPrinter(record);
  ASSERT_NE(added.handle, 0u) << "error " << added.error;
  spooler_.ClosePrinter(added.handle);
  EXPECT_TRUE(Contains(spooler_.EnumPrinterNames().names, lodzPrinterName_));

  HandleResult opened = spooler_.OpenPrinter(lodzPrinterName_, PrinterAccess::AllAccess);
  ASSERT_NE(opened.handle, 0u) << opened.error;
  SizedResult<PrinterInfo2> sizing = spooler_.GetPrinter(opened.handle, 0);
  SizedResult<PrinterInfo2> read = spooler_.GetPrinter(opened.handle, sizing.needed);
  ASSERT_TRUE(read.ok) << read.error;
  EXPECT_EQ(read.value.printerName, lodzPrinterName_);
  EXPECT_EQ(read.value.comment, record.comment);
  PrinterInfo2 renamed = read.value;
  renamed.printerName = printerName_;
  EXPECT_TRUE(spooler_.SetPrinter(opened.handle, renamed).ok);
  spooler_.ClosePrinter(opened.handle);
  const std::vector<std::string> names = spooler_.EnumPrinterNames().names;
  EXPECT_TRUE(Contains(names, printerName_));
  EXPECT_FALSE(Contains(names, lodzPrinterName_));
}

TEST(Win32Connection, WithoutPromptsTheWideCallIsAskedForNoUi) {
  // Looked up in winspool.drv by name: Windows since Vista has it, Wine 8 not.
  const bool exported =
      GetProcAddress(GetModuleHandleA("winspool.drv"), "AddPrinterConnection2W") != nullptr;
  EXPECT_EQ(FindAddConnectionWithoutPrompts() != nullptr, exported);

  wideConnection = {};
  const std::string name = "\\\\SRV\\B\xC3\xBCro";  // "Büro"
  const SpoolerResult refused =
      AddConnection(name, ConnectionPrompts::Never, &RecordWideConnection);
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, 3019u);
  ASSERT_EQ(wideConnection.calls, 1);
  EXPECT_EQ(wideConnection.window, nullptr);
  EXPECT_EQ(wideConnection.level, 1u);
  EXPECT_EQ(wideConnection.flags, static_cast<DWORD>(PRINTER_CONNECTION_NO_UI));
  EXPECT_EQ(wideConnection.driverName, nullptr);
  EXPECT_EQ(wideConnection.name, L"\\\\SRV\\B\u00FCro");

  // Prompts allowed, or no wide call: AddPrinterConnectionW (Wine refuses it).
  const SpoolerResult allowed =
      AddConnection("\\\\NOSRV\\Queue", ConnectionPrompts::Allowed, &RecordWideConnection);
  const SpoolerResult missing =
      AddConnection("\\\\NOSRV\\Queue", ConnectionPrompts::Never, nullptr);
  EXPECT_EQ(wideConnection.calls, 1);
  EXPECT_FALSE(allowed.ok);
  EXPECT_FALSE(missing.ok);
}

// What Wine has only as stubs, pinned so that a change shows here. The
// engine's handling of the Windows answers is tested on the simulated client.
TEST_F(Win32SpoolerTest, WineStubsAnswerAsTheyDo) {
  // Windows 95/98/ME's default enumeration: Wine lists nothing.
  SizedResult<std::vector<PrinterInfo2>> byEnumeration = spooler_.EnumDefaultPrinter(0);
  EXPECT_TRUE(byEnumeration.ok);
  EXPECT_TRUE(byEnumeration.value.empty());
  EXPECT_EQ(byEnumeration.needed, 0u);

  // Printer connections: Wine refuses every one without a code, and removes
  // any, existing or not, successfully.
  // Wine has no AddPrinterConnection2W, so AddPrinterConnectionA answers.
  SpoolerResult connection =
      spooler_.AddPrinterConnection("\\\\NOSRV\\Queue", ConnectionPrompts::Never);
  EXPECT_FALSE(connection.ok);
  EXPECT_EQ(connection.error, 0u);
  const PrinterNameList listed = spooler_.EnumPrinterNames();
  EXPECT_TRUE(listed.ok);
  EXPECT_EQ(listed.error, 0u);
  EXPECT_TRUE(spooler_.DeletePrinterConnection("\\\\NOSRV\\Queue").ok);

  // A port of a monitor that does not exist.
  SpoolerResult port = spooler_.AddPort("No Such Monitor", nullptr);
  EXPECT_FALSE(port.ok);
  EXPECT_NE(port.error, 0u);
}

// XcvData on the Local Port monitor, as the backend reaches it: the test's
// own removal of the port it added.
DWORD DeleteLocalPort(const std::wstring& port) {
  wchar_t monitor[] = L",XcvMonitor Local Port";
  PRINTER_DEFAULTSW administer{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  if (!OpenPrinterW(monitor, &xcv, &administer)) return GetLastError();
  DWORD needed = 0, status = 0;
  std::vector<wchar_t> name(port.begin(), port.end());
  name.push_back(L'\0');
  XcvDataW(xcv, L"DeletePort", reinterpret_cast<BYTE*>(name.data()),
           static_cast<DWORD>(name.size() * sizeof(wchar_t)), nullptr, 0, &needed, &status);
  ::ClosePrinter(xcv);
  return status;
}

bool PortListed(const std::string& port) {
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 1, nullptr, 0, &needed, &returned);
  std::vector<unsigned char> buffer(needed + 1);
  if (!EnumPortsA(nullptr, 1, buffer.data(), needed, &needed, &returned)) return false;
  const auto* ports = reinterpret_cast<const PORT_INFO_1A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) {
    if (ports[i].pName && lstrcmpiA(ports[i].pName, port.c_str()) == 0) return true;
  }
  return false;
}

// The NT way of the engine's driver and port steps: the spooler copies the
// driver's files itself from the folder that names them (its own
// environment's, whatever this program's), and the Local Port monitor adds a
// port with no dialog and says when it has one already.
TEST(Win32SpoolerNt, DriverFromItsFolderAndASilentPort) {
  Win32SystemInfo system;
  EXPECT_TRUE(system.IsElevated()) << "Wine's user is an administrator";
  const std::string environment = system.GetNativeDriverEnvironment();
  ASSERT_FALSE(environment.empty());

  const std::string folder = JoinPath(Environment("TEMP"), "quillon-driver-folder");
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string file = JoinPath(folder, "qfolder.drv");
  Win32Spooler spooler;
  {
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(out, "driver bytes", 12, &written, nullptr);
    CloseHandle(out);
  }
  const char* kDriver = "Quillon Folder Test Driver";
  DriverInfo2 driver{3, kDriver, environment, file, file, file};
  SpoolerResult added = spooler.AddPrinterDriverFromFolder(driver);
  EXPECT_TRUE(added.ok) << added.error;
  EXPECT_EQ(added.error, 0u);
  // Installed for the native environment, its file now in the spooler's folder.
  DWORD needed = 0;
  std::string installed;
  std::vector<unsigned char> buffer(1);
  EnumPrinterDriversA(nullptr, const_cast<char*>(environment.c_str()), 2, nullptr, 0, &needed,
                      &needed);
  buffer.assign(needed + 1, 0);
  DWORD returned = 0;
  if (EnumPrinterDriversA(nullptr, const_cast<char*>(environment.c_str()), 2, buffer.data(),
                          static_cast<DWORD>(buffer.size()), &needed, &returned)) {
    const auto* drivers = reinterpret_cast<const DRIVER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) {
      if (drivers[i].pName && std::string(drivers[i].pName) == kDriver) {
        installed = drivers[i].pDriverPath ? drivers[i].pDriverPath : "";
      }
    }
  }
  EXPECT_NE(installed, "") << "not listed for " << environment;
  EXPECT_EQ(Lower(installed).find(Lower(folder)), std::string::npos) << installed;
  EXPECT_NE(Lower(installed).find("qfolder.drv"), std::string::npos) << installed;
  EXPECT_NE(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES) << installed;

  // (A file missing from the folder: Windows refuses with 2, Wine installs
  // all the same; the simulated client shows the refusal.)
  DeletePrinterDriverA(nullptr, const_cast<char*>(environment.c_str()),
                       const_cast<char*>(kDriver));
  DeleteFileA(installed.c_str());
  DeleteFileA(file.c_str());
  RemoveDirectoryA(folder.c_str());

  const std::string port = "C:\\quillon-test\\silent-port.prn";
  DeleteLocalPort(L"C:\\quillon-test\\silent-port.prn");
  SpoolerResult port1 = spooler.AddLocalPort(port);
  EXPECT_TRUE(port1.ok) << port1.error;
  EXPECT_TRUE(PortListed(port));
  SpoolerResult again = spooler.AddLocalPort(port);
  EXPECT_FALSE(again.ok);
  EXPECT_EQ(again.error, static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
  EXPECT_EQ(DeleteLocalPort(L"C:\\quillon-test\\silent-port.prn"), 0u);
  EXPECT_FALSE(PortListed(port));
}

}  // namespace
}  // namespace quillon::platform::win32
