// The staging run's Windows calls under Wine: what Wine's spooler and registry
// can show of them.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/host/windows_api.h"

#include <sddl.h>

#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {
namespace {

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"";
  unsigned char buffer[256];
  DWORD size = 0;
  std::wstring text;
  if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) {
    wchar_t* sid = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      text = sid;
      LocalFree(sid);
    }
  }
  CloseHandle(token);
  return text;
}

const wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

void SetProfile(const std::wstring& sid, const std::wstring& folder) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + sid).c_str(),
                            0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, L"ProfileImagePath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                 static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

TEST(Win32Staging, ProfilesDriversAndQueuesAsWineShowsThem) {
  Win32Spooler spooler;
  const std::wstring sid = CurrentUserSid();
  ASSERT_FALSE(sid.empty());
  // The logged-on user's saved connection, and a profile whose hive is not loaded.
  HKEY saved = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Printers\\Connections\\,,OLDSRV,Color", 0,
                            nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(saved);
  SetProfile(sid, L"C:\\users\\quillon-own");
  const std::wstring absent = L"S-1-5-21-1-2-3-4242";
  SetProfile(absent, L"C:\\users\\quillon-absent");

  const ProfileConnectionList profiles = spooler.ListProfileConnections();
  ASSERT_TRUE(profiles.ok) << profiles.error;
  wchar_t user[256];
  DWORD length = 256;
  ASSERT_TRUE(GetUserNameW(user, &length));
  auto own = std::find_if(profiles.profiles.begin(), profiles.profiles.end(),
                          [&](const ProfileConnections& p) { return p.userName == Utf8(user); });
  ASSERT_NE(own, profiles.profiles.end());
  EXPECT_EQ(own->error, 0u);
  EXPECT_NE(std::find(own->connections.begin(), own->connections.end(), "\\\\OLDSRV\\Color"),
            own->connections.end());
  auto other = std::find_if(profiles.profiles.begin(), profiles.profiles.end(),
                            [](const ProfileConnections& p) { return p.userName == "quillon-absent"; });
  ASSERT_NE(other, profiles.profiles.end()) << "named by its folder when the account is unknown";
  EXPECT_NE(other->error, 0u) << "a hive that cannot be read is said, not taken as empty";

  RegDeleteKeyW(HKEY_CURRENT_USER, L"Printers\\Connections\\,,OLDSRV,Color");
  RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kProfileList) + L"\\" + absent).c_str(),
                  KEY_WOW64_64KEY, 0);

  // A driver installed from a folder for this computer's environment is
  // listed with that environment's drivers (a 32-bit program names it: its
  // own environment would be "Windows NT x86").
  const std::string environment = NativeDriverEnvironment();
  DriverInfo2 driver;
  driver.version = 3;
  driver.name = "Quillon Staging Test";
  driver.environment = environment;
  driver.driverPath = driver.dataFile = driver.configFile = "C:\\quillon-test\\qtest.drv";
  ASSERT_TRUE(spooler.AddPrinterDriver(driver).ok);
  // And for the program's own environment, where its AddPrinter looks.
  DriverInfo2 programs = driver;
  programs.environment.clear();
  spooler.AddPrinterDriver(programs);
  const InstalledDriverList installed = spooler.ListInstalledDrivers(environment);
  ASSERT_TRUE(installed.ok) << installed.error;
  EXPECT_TRUE(std::any_of(installed.drivers.begin(), installed.drivers.end(),
                          [&](const InstalledDriver& d) { return d.name == driver.name; }));

  // This computer as a print server: Wine's spooler answers for its own name.
  wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD computerLength = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(GetComputerNameW(computer, &computerLength));
  PrinterInfo2 shared;
  shared.printerName = "Quillon Staging Queue";
  shared.shareName = "StageQ";
  shared.portName = "FILE:";
  shared.driverName = driver.name;
  shared.printProcessor = "winprint";
  shared.datatype = "RAW";
  shared.attributes = PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_LOCAL;
  const HandleResult made = spooler.AddPrinter(shared);
  ASSERT_NE(made.handle, 0u) << made.error;
  const ServerQueueList queues = spooler.ListServerQueues(Utf8(computer));
  ASSERT_TRUE(queues.ok) << queues.error;
  auto queue = std::find_if(queues.queues.begin(), queues.queues.end(),
                            [](const ServerQueue& q) { return q.shareName == "StageQ"; });
  ASSERT_NE(queue, queues.queues.end());
  EXPECT_EQ(queue->driverName, driver.name);
  // Wine lists no server's drivers by environment: the version is only "known" as 0.
  EXPECT_TRUE(queue->driverVersion.has_value());

  // Wine connects to no print server: the install fails and leaves nothing behind.
  const std::vector<std::string> before = spooler.EnumPrinterNames().names;
  EXPECT_FALSE(spooler.InstallDriverFromServer("\\\\NOSUCHSRV\\Color").ok);
  EXPECT_EQ(spooler.EnumPrinterNames().names, before);
  if (made.handle) {
    spooler.DeletePrinter(made.handle);
    spooler.ClosePrinter(made.handle);
  }
  DeletePrinterDriverW(nullptr, nullptr, const_cast<wchar_t*>(L"Quillon Staging Test"));
  DeletePrinterDriverW(nullptr, const_cast<wchar_t*>(Wide(environment).c_str()),
                       const_cast<wchar_t*>(L"Quillon Staging Test"));
}

}  // namespace
}  // namespace quillon::platform::win32
