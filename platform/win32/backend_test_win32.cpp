// The Windows backend against the system it runs on (Wine in the tests):
// system facts, registry, profile strings, clock, text, files, message boxes,
// the event log and the directory. Each case checks the backend's answer
// against a second source (the environment, the registry read directly) or
// against what Windows documents. Where Wine only has a stub, the comment says
// so and the case pins the stub's answer, so that a change in Wine shows up
// here.
#include "platform/host/windows_api.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/backend_test_support_win32.h"
#include "platform/win32/platform_win32.h"

namespace quillon::platform::win32 {
namespace {

using namespace backend_tests;

TEST(Win32SystemInfo, FactsAgreeWithTheSystemsOtherSources) {
  Win32SystemInfo system;
  const OsVersion version = system.GetVersion();
  EXPECT_EQ(version.error, 0u);
  EXPECT_EQ(version.platformId, 2);  // the NT family
  EXPECT_GE(version.majorVersion, 5);
  // The real build, also without a manifest: the one the system keeps.
  char build[32] = {};
  DWORD buildSize = sizeof build;
  ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                         "CurrentBuildNumber", RRF_RT_REG_SZ, nullptr, build, &buildSize),
            ERROR_SUCCESS);
  EXPECT_EQ(std::to_string(version.buildNumber), std::string(build));

  char netbios[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof netbios;
  ASSERT_TRUE(GetComputerNameExA(ComputerNameNetBIOS, netbios, &size));
  EXPECT_EQ(system.GetComputerName(), std::optional<std::string>(netbios));
  char dns[256] = {};
  size = sizeof dns;
  ASSERT_TRUE(GetComputerNameExA(ComputerNameDnsFullyQualified, dns, &size));
  EXPECT_EQ(system.GetDnsFullName(), std::optional<std::string>(dns));

  EXPECT_EQ(system.GetUserName(), Environment("USERNAME"));
  EXPECT_FALSE(system.GetUserName().empty());

  const std::string profile = system.GetProfileFolder();
  EXPECT_EQ(Lower(profile), Lower(Environment("USERPROFILE")));
  EXPECT_NE(GetFileAttributesA(profile.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

  EXPECT_EQ(Lower(system.GetSystemFolder()), Lower(Environment("SystemRoot") + "\\system32"));

  char program[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, program, MAX_PATH);
  const std::string folder = system.GetProgramFolder();
  EXPECT_EQ(JoinPath(folder, std::string(program).substr(folder.size() + 1)), program);
  EXPECT_NE(GetFileAttributesA(folder.c_str()), INVALID_FILE_ATTRIBUTES);
}

class Win32RegistryTest : public ::testing::Test {
 protected:
  void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, subkey_.c_str()); }

  // The value as the registry holds it, read without the backend.
  std::optional<std::string> ReadDirectly(const std::string& subkey, const char* name,
                                          DWORD* type = nullptr) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_QUERY_VALUE, &key)) return {};
    char data[256] = {};
    DWORD size = sizeof data - 1;
    DWORD kind = 0;
    const LONG read = RegQueryValueExA(key, name, nullptr, &kind, reinterpret_cast<BYTE*>(data),
                                       &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) return {};
    if (type) *type = kind;
    return std::string(data);
  }

  const std::string subkey_ = "Software\\" + Unique("Quillon backend test");
  const std::string root_ = "HKEY_CURRENT_USER\\" + subkey_;
  Win32Registry registry_;
};

TEST_F(Win32RegistryTest, ValuesRoundTripUnderTheCurrentUser) {
  // A run status key: the document path's "\\server" gives empty key names,
  // which are dropped, so both spellings reach the same key.
  const std::string section = root_ + "\\\\\\PRTSRV1\\deploy\\Office Move.ini\\jdoe";
  const std::string flat = root_ + "\\PRTSRV1\\deploy\\Office Move.ini\\jdoe";
  EXPECT_EQ(registry_.GetValue(section, "SUCCESS"), std::nullopt) << "nothing written yet";

  ASSERT_TRUE(registry_.SetValue(section, "SUCCESS", "False").ok);
  ASSERT_TRUE(registry_.SetValue(section, "SUCCESS", "True").ok);
  EXPECT_EQ(registry_.GetValue(section, "SUCCESS"), std::optional<std::string>("True"));
  EXPECT_EQ(registry_.GetValue(flat, "success"), std::optional<std::string>("True"))
      << "value names are found without regard to case";
  DWORD type = 0;
  EXPECT_EQ(ReadDirectly(subkey_ + "\\PRTSRV1\\deploy\\Office Move.ini\\jdoe", "SUCCESS", &type),
            std::optional<std::string>("True"))
      << "the shorter second value leaves nothing of the first";
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));

  // Abbreviated roots, an empty value, and text beyond any code page.
  ASSERT_TRUE(registry_.SetValue("HKCU\\" + subkey_, "Empty", "").ok);
  EXPECT_EQ(registry_.GetValue(root_, "Empty"), std::optional<std::string>(""));
  const std::string lodz = "\xC5\x81\xC3\xB3""d\xC5\xBA";
  ASSERT_TRUE(registry_.SetValue(root_ + "\\" + lodz, "Name", "Dr\xC3\xBC" "cker " + lodz).ok);
  EXPECT_EQ(registry_.GetValue("hkey_current_user\\" + subkey_ + "\\" + lodz, "Name"),
            std::optional<std::string>("Dr\xC3\xBC" "cker " + lodz));
  // A run status an earlier version kept under a document path in the ANSI
  // code page is found by the same path in UTF-8.
  if (GetACP() == 1252) {
    HKEY old = nullptr;
    const std::string oldKey = subkey_ + "\\deploy\\B\xFCro.ini\\jdoe";
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, oldKey.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &old, nullptr), 0);
    RegSetValueExA(old, "SUCCESS", 0, REG_SZ, reinterpret_cast<const BYTE*>("True"), 4);
    RegCloseKey(old);
    EXPECT_EQ(registry_.GetValue(root_ + "\\deploy\\B\xC3\xBCro.ini\\jdoe", "SUCCESS"),
              std::optional<std::string>("True"));
  }

  // Not there, or not a string: no value.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_SET_VALUE, &key), 0);
  const DWORD number = 1;
  RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
  RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%TEMP%"), 7);
  RegCloseKey(key);
  EXPECT_EQ(registry_.GetValue(root_, "Number"), std::nullopt);
  EXPECT_EQ(registry_.GetValue(root_, "Expand"), std::nullopt);
  EXPECT_EQ(registry_.GetValue(root_, "Missing"), std::nullopt);
  EXPECT_EQ(registry_.GetValue(root_ + "\\No such key", "SUCCESS"), std::nullopt);
  EXPECT_EQ(registry_.GetValue("HKEY_NOWHERE\\Software", "SUCCESS"), std::nullopt);
}

TEST_F(Win32RegistryTest, NumbersAndSubkeys) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD legacy = 1, large = 0xFFFFFFFF;
  RegSetValueExA(key, "LegacyDefaultPrinterMode", 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&legacy), 4);
  RegSetValueExA(key, "Large", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&large), 4);
  RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>("1"), 2);
  const unsigned long long wide = 1;
  RegSetValueExA(key, "Wide", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&wide), 8);
  for (const char* name : {",,OLDSRV,HP4", ",,NEWSRV,Plotter 2"}) {
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(sub, "Server", 0, REG_SZ, reinterpret_cast<const BYTE*>("\\\\OLDSRV"), 9);
    RegCloseKey(sub);
  }
  RegCloseKey(key);

  EXPECT_EQ(registry_.GetNumber(root_, "legacydefaultprintermode"),
            std::optional<std::uint32_t>(1));
  EXPECT_EQ(registry_.GetNumber("HKCU\\" + subkey_, "Large"),
            std::optional<std::uint32_t>(0xFFFFFFFFu));
  for (const char* other : {"Text", "Wide", "Missing"}) {
    EXPECT_EQ(registry_.GetNumber(root_, other), std::nullopt) << other;
  }
  EXPECT_EQ(registry_.GetNumber(root_ + "\\No such key", "Large"), std::nullopt);

  std::vector<std::string> subkeys = registry_.ListSubkeys(root_);
  std::sort(subkeys.begin(), subkeys.end());
  EXPECT_EQ(subkeys, (std::vector<std::string>{",,NEWSRV,Plotter 2", ",,OLDSRV,HP4"}));
  EXPECT_TRUE(registry_.ListSubkeys(root_ + "\\,,OLDSRV,HP4").empty());
  EXPECT_TRUE(registry_.ListSubkeys(root_ + "\\No such key").empty());
  EXPECT_TRUE(registry_.ListSubkeys("HKEY_NOWHERE\\Software").empty());
}

TEST_F(Win32RegistryTest, FailuresCarryTheSystemsNumberAndText) {
  Status unknownRoot = registry_.SetValue("HKEY_NOWHERE\\Software\\Quillon", "SUCCESS", "True");
  EXPECT_FALSE(unknownRoot.ok);
  EXPECT_EQ(unknownRoot.errorNumber, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(unknownRoot.description.empty());

  // A lasting key cannot live under a volatile one.
  HKEY volatileKey = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (subkey_ + "\\Volatile").c_str(), 0, nullptr,
                            REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr),
            0);
  RegCloseKey(volatileKey);
  Status refused = registry_.SetValue(root_ + "\\Volatile\\Lasting", "SUCCESS", "True");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.errorNumber, static_cast<std::uint32_t>(ERROR_CHILD_MUST_BE_VOLATILE));
  EXPECT_NE(refused.description.find("volatile"), std::string::npos) << refused.description;
}

TEST(Win32ProfileStrings, WrittenEntriesReadBackCutToTheBuffer) {
  Win32ProfileStrings profile;
  const std::string section = Unique("Quillon test");
  ASSERT_TRUE(profile.WriteProfileString(section, "device", "Printer,winspool,Ne01:").ok);

  ProfileStringResult whole = profile.GetProfileString(section, "DEVICE", 1024);
  EXPECT_TRUE(whole.ok);
  EXPECT_EQ(whole.value, "Printer,winspool,Ne01:");
  ProfileStringResult cut = profile.GetProfileString(section, "device", 8);
  EXPECT_TRUE(cut.ok);
  EXPECT_EQ(cut.value, "Printer") << "the buffer less one character";

  // Windows leaves 2 (file not found) after an absent entry; Wine leaves 0.
  // The engine reports whichever code the system gives.
  ProfileStringResult absent = profile.GetProfileString(section, "missing", 1024);
  EXPECT_FALSE(absent.ok);
  EXPECT_EQ(absent.value, "");
  EXPECT_TRUE(absent.error == 0 || absent.error == ERROR_FILE_NOT_FOUND) << absent.error;

  WriteProfileStringA(section.c_str(), nullptr, nullptr);
  EXPECT_FALSE(profile.GetProfileString(section, "device", 1024).ok);
}

TEST(Win32Clock, GeneralDateIsTheUsersShortDateAndTime) {
  Win32Clock clock;
  if (GetUserDefaultLCID() != 0x409) GTEST_SKIP() << "the expected texts are United States ones";
  EXPECT_EQ(clock.FormatGeneralDate({2005, 3, 15, 14, 5, 9}), "3/15/2005 2:05:09 PM");
  EXPECT_EQ(clock.FormatGeneralDate({2024, 12, 1, 0, 30, 0}), "12/1/2024 12:30:00 AM");
  // A date the locale refuses still gives a text rather than nothing.
  EXPECT_EQ(clock.FormatGeneralDate({2005, 13, 40, 9, 0, 0}), "13/40/2005 9:00:00 AM");
  const LocalTime now = clock.Now();
  SYSTEMTIME system{};
  GetLocalTime(&system);
  EXPECT_EQ(now.year, system.wYear);
}

TEST(Win32Clock, TheUtcOffsetIsTheZonesBiasAtThatMoment) {
  Win32Clock clock;
  const ZonedTime zoned = clock.NowWithOffset();
  TIME_ZONE_INFORMATION zone{};
  const DWORD which = GetTimeZoneInformation(&zone);
  const LONG bias = zone.Bias + (which == TIME_ZONE_ID_DAYLIGHT   ? zone.DaylightBias
                                 : which == TIME_ZONE_ID_STANDARD ? zone.StandardBias
                                                                  : 0);
  EXPECT_EQ(zoned.utcOffsetMinutes, -bias);
  SYSTEMTIME local{};
  GetLocalTime(&local);
  EXPECT_EQ(zoned.local.year, local.wYear);
  EXPECT_EQ(zoned.local.day, local.wDay);
}

TEST(Win32Text, TheCharsetIsUtf8AndCodePagesHaveTheirMimeNames) {
  EXPECT_EQ(CodePageCharsetName(1252), "windows-1252");
  EXPECT_EQ(CodePageCharsetName(1250), "windows-1250");
  EXPECT_EQ(CodePageCharsetName(932), "Shift_JIS");
  EXPECT_EQ(CodePageCharsetName(850), "IBM850");
  EXPECT_EQ(CodePageCharsetName(65001), "UTF-8");
  EXPECT_EQ(NarrowCharsetName(), "UTF-8");
}

// Text is UTF-8 inside: the directory's UTF-8 is only checked, and UTF-16
// comes and goes whole. The ANSI code page is for files other programs
// read: "Büro" has its own byte there; what the code page lacks is "?" and
// inexact, never a look-alike (best fit would make "Ł" an "L" and the name
// another printer's).
TEST(Win32Text, Utf8InsideAndTheCodePageWithoutLookAlikes) {
  const std::string buero = "B\xC3\xBCro";
  const std::string lodz = "\xC5\x81\xC3\xB3""d\xC5\xBA";
  EXPECT_EQ(Utf8ToNarrow(lodz), (NarrowText{lodz, true}));
  NarrowText latin1 = Utf8ToNarrow("B\xFCro");  // not UTF-8 at all
  EXPECT_FALSE(latin1.exact);
  EXPECT_EQ(latin1.text, "B\xEF\xBF\xBDro");
  EXPECT_EQ(Utf16ToNarrow(u"\u0141\u00F3d\u017A"), lodz);
  EXPECT_EQ(NarrowToUtf16(lodz), u"\u0141\u00F3d\u017A");

  if (GetACP() != 1252) GTEST_SKIP() << "the expected bytes are code page 1252's";
  EXPECT_EQ(NarrowToCodePage(buero), (NarrowText{"B\xFCro", true}));
  EXPECT_EQ(NarrowToCodePage(lodz), (NarrowText{"?\xF3""d?", false}));
  EXPECT_FALSE(NarrowToCodePage("B\xFCro").exact);
  EXPECT_EQ(CodePageToNarrow("B\xFCro"), buero);
  EXPECT_EQ(NarrowToCodePage("HP4"), (NarrowText{"HP4", true}));
}

TEST(Win32Platform, FilesAreTheHostsRealFiles) {
  Win32Platform client;
  Platform services = client.AsPlatform();
  const std::string folder = JoinPath(Environment("TEMP"), Unique("quillon-copy"));
  ASSERT_TRUE(services.files.CreateFolders(folder).ok);
  const std::string driver = JoinPath(folder, "hp4.dll");
  const std::string target = JoinPath(folder, "copy.dll");
  ASSERT_TRUE(services.files.WriteFileAtomic(driver, "driver bytes").ok);
  ASSERT_TRUE(services.files.WriteFileAtomic(target, "an older, longer driver").ok);
  ASSERT_TRUE(services.files.CopyFile(driver, target).ok);
  EXPECT_EQ(services.files.ReadFile(target), std::optional<std::string>("driver bytes"));

  Status missing = services.files.CopyFile(JoinPath(folder, "absent.dll"), target);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.errorNumber, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(services.files.ReadFile(target), std::optional<std::string>("driver bytes"));
  DeleteFileA(driver.c_str());
  DeleteFileA(target.c_str());
  RemoveDirectoryA(folder.c_str());
}

// A start-up script or an unattended task runs on a window station nobody
// sees, where a message box would wait for ever: there a box is neither shown
// nor waited on, and the reason names the station.
TEST(Win32UserInterface, BoxesOnlyWhereSomeoneSeesThem) {
  Win32UserInterface ui;
  std::string why = "stale";
  EXPECT_TRUE(ui.DesktopIsSeen(why)) << why;
  EXPECT_EQ(why, "");

  HWINSTA own = GetProcessWindowStation();
  const std::wstring name = L"QuillonUnseen" + std::to_wstring(GetCurrentProcessId());
  HWINSTA unseen = CreateWindowStationW(name.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
  ASSERT_NE(unseen, nullptr) << GetLastError();
  ASSERT_TRUE(SetProcessWindowStation(unseen)) << GetLastError();
  const bool seen = ui.DesktopIsSeen(why);
  std::future<MessageAnswer> answer = std::async(std::launch::async, [&ui] {
    return ui.ShowMessageBox("Quillon", "Nobody reads this", MessageIcon::Question,
                             MessageButtons::YesNo);
  });
  if (answer.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
    std::fprintf(stderr, "the message box on the unseen station is waiting\n");
    std::fflush(stderr);
    ExitProcess(1);  // the box's thread would keep the test from ending
  }
  SetProcessWindowStation(own);
  CloseWindowStation(unseen);
  EXPECT_FALSE(seen);
  EXPECT_NE(why.find("QuillonUnseen"), std::string::npos) << why;
  EXPECT_EQ(answer.get(), MessageAnswer::No);

  EXPECT_TRUE(ui.DesktopIsSeen(why)) << "back on the interactive station: " << why;
}

// The program carries the message table (linked in as into the engine) and
// names itself as the message file; read as the event viewer reads it, each
// event's text is its insertion string.
TEST(Win32EventLog, TheProgramIsAMessageFileThatGivesEachEventItsText) {
  Win32EventLog log;
  char own[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, own, MAX_PATH);
  const std::string file = log.MessageFile();
  EXPECT_EQ(Lower(file), Lower(std::string(own, length)));

  HMODULE data = LoadLibraryExA(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr) << GetLastError();
  const std::wstring inserted = L"\r\n\r\nReport At: 12/8/2026\r\nComputer: PC042 100%";
  for (DWORD eventId : {20001u, 20002u}) {
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(inserted.c_str())};
    wchar_t text[256] = {};
    const DWORD written =
        FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, data, eventId,
                       MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 256,
                       reinterpret_cast<va_list*>(arguments));
    EXPECT_EQ(std::wstring(text, written), inserted) << eventId << " " << GetLastError();
  }
  FreeLibrary(data);
}

TEST(Win32EventLog, SourceIsRegisteredReportedToAndDeregistered) {
  Win32EventLog log;
  EventSourceResult source = log.RegisterEventSource("Quillon");
  ASSERT_NE(source.handle, 0u) << source.error << " " << source.description;
  EXPECT_EQ(source.error, 0u);
  const std::string message = "\r\n* ----- Computer: PC17 Username: jdoe Printers ----- *";
  EventLogResult reported = log.ReportEvent(source.handle, kEventTypeInformation, 0, 20001,
                                            message, std::string_view(message.c_str(),
                                                                      message.size() + 1));
  EXPECT_TRUE(reported.ok) << reported.error << " " << reported.description;
  EXPECT_TRUE(log.ReportEvent(source.handle, kEventTypeWarning, 0, 20002, "", {"", 1}).ok);
  EventLogResult deregistered = log.DeregisterEventSource(source.handle);
  EXPECT_TRUE(deregistered.ok);
  // Windows refuses an unknown handle with 6; Wine's event log is a stub that
  // takes any. Either way a refusal must carry its code and text.
  EventLogResult unknown = log.ReportEvent(0, kEventTypeInformation, 0, 20001, "x", {});
  if (!unknown.ok) {
    EXPECT_EQ(unknown.error, 6u);
    EXPECT_FALSE(unknown.description.empty());
  }
}

// A loopback port that takes connections and never answers.
class SilentListener {
 public:
  SilentListener() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        listen(socket_, 4) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentListener() {
    closesocket(socket_);
    WSACleanup();
  }
  int port() const { return port_; }
  void Stop() {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }

 private:
  SOCKET socket_ = INVALID_SOCKET;
  int port_ = 0;
};

TEST(Win32Directory, UnreachableAndSilentServersFailWithTheDirectoryNumbers) {
  constexpr std::int64_t kServerNotOperational = static_cast<std::int32_t>(0x8007203Au);
  constexpr std::int64_t kTimedOut = static_cast<std::int32_t>(0x800705B4u);

  SilentListener silent;
  ASSERT_NE(silent.port(), 0);
  LdapDirectory directory(LdapDirectory::Options{.timeoutSeconds = 1, .pageSize = 500});
  const auto start = std::chrono::steady_clock::now();
  DirectoryBinding hung =
      directory.Bind("LDAP://127.0.0.1:" + std::to_string(silent.port()) + "/dc=corp,dc=example");
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_FALSE(hung.ok);
  EXPECT_EQ(hung.errorNumber, kTimedOut) << hung.errorDescription;
  EXPECT_GE(seconds, 0.9);
  EXPECT_LT(seconds, 5.0);

  // The same port once nobody listens there any more.
  silent.Stop();
  DirectoryBinding down =
      directory.Bind("LDAP://127.0.0.1:" + std::to_string(silent.port()) + "/dc=corp,dc=example");
  EXPECT_FALSE(down.ok);
  EXPECT_EQ(down.errorNumber, kServerNotOperational) << down.errorDescription;
  EXPECT_FALSE(down.errorDescription.empty());
  DirectoryQuery query = directory.QueryPrintQueues(down, "");
  EXPECT_FALSE(query.ok);
}

}  // namespace
}  // namespace quillon::platform::win32
