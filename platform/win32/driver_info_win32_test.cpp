// Win32DriverInfoSource on Windows (or Wine): the spooler's list and its codes,
// and the decoding of DRIVER_INFO_2W from the spooler's buffer.
#include "platform/win32/driver_info_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "platform/host/windows_api.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {
namespace {

// DRIVER_INFO_2W's layout, without its declaration: a DWORD, then five pointers.
struct RawDriverInfo2 {
  std::uint32_t version;
  const wchar_t* strings[5];  // name, environment, driver path, data file, config file
};

// A buffer as the spooler fills it: the record, then its strings.
struct SpoolerBuffer {
  std::vector<std::uint64_t> words = std::vector<std::uint64_t>(64);
  char* bytes() { return reinterpret_cast<char*>(words.data()); }
  std::size_t size() const { return words.size() * sizeof(std::uint64_t); }
  RawDriverInfo2& record() { return *reinterpret_cast<RawDriverInfo2*>(words.data()); }
  // Puts the strings after the record and points the record at them.
  void Fill(std::uint32_t version, const std::vector<const wchar_t*>& texts) {
    record().version = version;
    auto* next = reinterpret_cast<wchar_t*>(bytes() + sizeof(RawDriverInfo2));
    for (std::size_t i = 0; i < 5; ++i) {
      const std::size_t units = std::wcslen(texts[i]) + 1;
      std::memcpy(next, texts[i], units * sizeof(wchar_t));
      record().strings[i] = next;
      next += units;
    }
  }
};

TEST(DecodeDriverInfo2Test, ReadsOnlyStringsThatLieWholeInTheBuffer) {
  const std::vector<const wchar_t*> texts{L"HP \u0141\u00f3d\u017a", L"Windows x64",
                                          L"C:\\d\\UNIDRV.DLL", L"hp.gpd", L"UNIDRVUI.DLL"};
  SpoolerBuffer buffer;
  buffer.Fill(3, texts);
  EXPECT_EQ(DecodeDriverInfo2(buffer.bytes(), buffer.size()),
            (DriverInfo2{3, "HP \xC5\x81\xC3\xB3" "d\xC5\xBA", "Windows x64",
                         "C:\\d\\UNIDRV.DLL", "hp.gpd", "UNIDRVUI.DLL"}));

  buffer.record().strings[0] = nullptr;
  static const wchar_t outside[] = L"elsewhere";
  buffer.record().strings[2] = outside;
  DriverInfo2 odd = DecodeDriverInfo2(buffer.bytes(), buffer.size());
  EXPECT_EQ(odd.name, "");
  EXPECT_EQ(odd.environment, "Windows x64");
  EXPECT_EQ(odd.driverPath, "");
  EXPECT_EQ(odd.configFile, "UNIDRVUI.DLL");

  // A string that runs into the buffer's end has no NUL inside it.
  std::memset(buffer.bytes() + buffer.size() - 4, 'x', 4);
  buffer.record().strings[4] =
      reinterpret_cast<const wchar_t*>(buffer.bytes() + buffer.size() - 4);
  EXPECT_EQ(DecodeDriverInfo2(buffer.bytes(), buffer.size()).configFile, "");

  EXPECT_EQ(DecodeDriverInfo2(buffer.bytes(), sizeof(RawDriverInfo2) - 1), DriverInfo2{});
  EXPECT_EQ(DecodeDriverInfo2(nullptr, 0), DriverInfo2{});
}

TEST(Win32DriverInfoSourceTest, ListsPrintersAndRefusesAnUnknownOne) {
  Win32DriverInfoSource source;
  const PrinterNames listed = source.EnumPrinterNames();
  EXPECT_TRUE(listed.status.ok) << listed.status.description;
  const HandleResult unknown = source.OpenPrinter("Quillon No Such Printer 7f3a");
  EXPECT_EQ(unknown.handle, 0u);
  EXPECT_EQ(unknown.error, kErrorInvalidPrinterName);
}

// A local printer on FILE: with a driver of the test's own, added through the
// backend's spooler (Wine registers a driver without looking at its files),
// so that there is always a driver to read; removed again at the end. The
// driver is read as installed for the system's own environment, which
// printers print through: a 32-bit program must find it there too. Wine makes
// a printer only with a driver of the program's own environment, so a 32-bit
// run on 64-bit installs both, told apart by their files.
class Win32DriverInfoPrinterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(NativeDriverEnvironment(), nullptr);
    environments_ = {{NativeDriverEnvironment(), "qinv.drv"}};
    if (sizeof(void*) == 4 && std::string(NativeDriverEnvironment()) != "Windows NT x86") {
      environments_.emplace_back("Windows NT x86", "qinv86.drv");
    }
    for (const auto& [environment, file] : environments_) {
      DriverInfo2 driver;
      driver.version = 3;
      driver.name = kDriver;
      driver.environment = environment;
      driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\" + file;
      ASSERT_TRUE(spooler_.AddPrinterDriver(driver).ok) << environment;
    }
    PrinterInfo2 printer;
    printer.printerName = kPrinter;
    printer.portName = "FILE:";
    printer.driverName = kDriver;
    printer.printProcessor = "WinPrint";
    printer.datatype = "RAW";
    printer.attributes = kPrinterAttributeLocal;
    const HandleResult added = spooler_.AddPrinter(printer);
    ASSERT_NE(added.handle, 0u) << "error " << added.error;
    spooler_.ClosePrinter(added.handle);
  }
  void TearDown() override {
    const HandleResult opened = spooler_.OpenPrinter(kPrinter, PrinterAccess::AllAccess);
    if (opened.handle != 0) {
      spooler_.DeletePrinter(opened.handle);
      spooler_.ClosePrinter(opened.handle);
    }
    for (const auto& [environment, file] : environments_) {
      std::wstring wideEnvironment = Wide(environment), driver = Wide(kDriver);
      DeletePrinterDriverW(nullptr, wideEnvironment.data(), driver.data());
    }
  }

  std::vector<std::pair<std::string, std::string>> environments_;  // and the driver's file
  static constexpr const char* kDriver = "Quillon Inventory Test Driver";
  static constexpr const char* kPrinter = "Quillon Inventory Test Printer";
  Win32Spooler spooler_;
};

TEST_F(Win32DriverInfoPrinterTest, ReadsTheDriverOfEveryListedPrinter) {
  Win32DriverInfoSource source;
  const PrinterNames listed = source.EnumPrinterNames();
  ASSERT_TRUE(listed.status.ok) << listed.status.description;
  ASSERT_NE(std::find(listed.names.begin(), listed.names.end(), kPrinter), listed.names.end());
  for (const std::string& name : listed.names) {
    SCOPED_TRACE(name);
    const HandleResult opened = source.OpenPrinter(name);
    ASSERT_NE(opened.handle, 0u) << "error " << opened.error;
    // The sizing call tells what the record and its strings need.
    const SizedResult<DriverInfo2> size = source.GetPrinterDriver(opened.handle, 0);
    EXPECT_FALSE(size.ok);
    EXPECT_EQ(size.error, kErrorInsufficientBuffer);
    EXPECT_GT(size.needed, 48u);
    const SizedResult<DriverInfo2> read = source.GetPrinterDriver(opened.handle, size.needed);
    ASSERT_TRUE(read.ok) << "error " << read.error;
    EXPECT_FALSE(read.value.environment.empty());
    if (name == kPrinter) {
      EXPECT_EQ(read.value.name, kDriver);
      EXPECT_EQ(read.value.environment, NativeDriverEnvironment());
      EXPECT_EQ(read.value.version, 3u);
      const std::string& path = read.value.driverPath;
      EXPECT_TRUE(path.size() >= 8 && path.compare(path.size() - 8, 8, "qinv.drv") == 0) << path;
    } else {
      EXPECT_FALSE(read.value.name.empty());
    }
    source.ClosePrinter(opened.handle);
  }
}

}  // namespace
}  // namespace quillon::platform::win32
