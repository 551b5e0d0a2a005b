#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>
#include <iterator>
#include <random>
#include <sstream>

#include "platform/host/host_file_system.h"

namespace quillon::platform::sim {
namespace {

namespace fs = std::filesystem;


// Collects what is written to std::cerr while it lives.
class CapturedStandardError {
 public:
  CapturedStandardError() : previous_(std::cerr.rdbuf(captured_.rdbuf())) {}
  ~CapturedStandardError() { std::cerr.rdbuf(previous_); }
  std::string Text() const { return captured_.str(); }

 private:
  std::ostringstream captured_;
  std::streambuf* previous_;
};

class SimPlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-simplatform-" + std::to_string(seed()));
    fs::create_directories(folder_);
    host_.clientPath = (folder_ / "client.json").string();
    host_.programFolder = "/opt/quillon";
    host_.hostComputerName = "HOSTPC";
    host_.hostLoginName = "hostuser";
    host_.echoMessageBoxes = false;
  }
  void TearDown() override { fs::remove_all(folder_); }

  SimPlatform Client() { return SimPlatform(state_, host_, files_, clock_); }

  fs::path folder_;
  SimClientState state_;
  SimHost host_;
  HostFileSystem files_;
  NoClock clock_;
};

TEST_F(SimPlatformTest, SystemInformationDefaultsAndOverrides) {
  {
    SimPlatform client = Client();
    OsVersion version = client.GetVersion();
    EXPECT_EQ(version.platformId, 2);
    EXPECT_EQ(version.majorVersion, 10);
    EXPECT_EQ(version.error, 0u);
    EXPECT_EQ(client.GetComputerName(), std::optional<std::string>("HOSTPC"));
    // A client file without the key: no DNS name, whatever the host's.
    EXPECT_EQ(client.GetDnsFullName(), std::nullopt);
    EXPECT_EQ(client.GetUserName(), "hostuser");
    EXPECT_EQ(client.GetProgramFolder(), "/opt/quillon");
    const std::string profile = client.GetProfileFolder();
    EXPECT_EQ(profile, JoinPath(folder_.string(), "profile"));
    EXPECT_TRUE(fs::is_directory(profile));
    const std::string system = client.GetSystemFolder();
    EXPECT_EQ(system, JoinPath(folder_.string(), "system32"));
    EXPECT_TRUE(fs::is_directory(system));
  }

  const std::string absolute = (folder_ / "elsewhere" / "sys").string();
  state_.os = SimOs{1, 4, 0, Json::object()};
  state_.computerName = std::optional<std::string>();
  state_.userName = "jdoe";
  state_.profileFolder = "users/jdoe";
  state_.systemFolder = absolute;
  SimPlatform client = Client();
  EXPECT_EQ(client.GetVersion().platformId, 1);
  EXPECT_EQ(client.GetVersion().majorVersion, 4);
  EXPECT_EQ(client.GetComputerName(), std::nullopt);
  EXPECT_EQ(client.GetUserName(), "jdoe");
  EXPECT_EQ(client.GetProfileFolder(), JoinPath(folder_.string(), "users/jdoe"));
  EXPECT_TRUE(fs::is_directory(folder_ / "users" / "jdoe"));
  EXPECT_EQ(client.GetSystemFolder(), absolute);
  EXPECT_TRUE(fs::is_directory(absolute));

  state_.os->error = 87;
  state_.computerName = std::optional<std::string>("CLIENT7");
  EXPECT_EQ(client.GetVersion().error, 87u);
  EXPECT_EQ(client.GetComputerName(), std::optional<std::string>("CLIENT7"));
  state_.dnsFullName = std::optional<std::string>("client7.corp.example");
  EXPECT_EQ(client.GetDnsFullName(), std::optional<std::string>("client7.corp.example"));
  state_.dnsFullName = std::optional<std::string>();
  EXPECT_EQ(client.GetDnsFullName(), std::nullopt);
}

TEST_F(SimPlatformTest, RegistryIgnoresLetterCase) {
  state_.registry.push_back(
      {"HKEY_CURRENT_USER\\Software\\Quillon\\doc.ini", {{"Status", "True"}}});
  SimPlatform client = Client();
  Registry& registry = client;
  EXPECT_EQ(registry.GetValue("hkey_current_user\\SOFTWARE\\quillon\\DOC.INI", "status"),
            std::optional<std::string>("True"));
  EXPECT_EQ(registry.GetValue("HKEY_CURRENT_USER\\Software\\Quillon\\doc.ini", "Other"),
            std::nullopt);
  EXPECT_EQ(registry.GetValue("HKEY_CURRENT_USER\\Software\\Quillon\\other.ini", "Status"),
            std::nullopt);

  ASSERT_TRUE(registry.SetValue("HKEY_CURRENT_USER\\software\\quillon\\Doc.ini", "STATUS",
                                "False").ok);
  ASSERT_TRUE(registry.SetValue("HKEY_LOCAL_MACHINE\\System\\Q", "EventMessageFile", "x").ok);
  EXPECT_EQ(registry.GetValue("HKEY_CURRENT_USER\\Software\\Quillon\\doc.ini", "Status"),
            std::optional<std::string>("False"));
  // One entry per key and value, under the spelling it was first given.
  ASSERT_EQ(state_.registry.size(), 2u);
  EXPECT_EQ(state_.registry[0].first, "HKEY_CURRENT_USER\\Software\\Quillon\\doc.ini");
  EXPECT_EQ(state_.registry[0].second,
            (OrderedMap<std::string>{{std::string("Status"), std::string("False")}}));
  EXPECT_EQ(state_.registry[1].first, "HKEY_LOCAL_MACHINE\\System\\Q");
}

TEST_F(SimPlatformTest, ProfileStringsWithInjectedFailures) {
  state_.winIni.push_back({"Windows", {{"device", "\\\\OLD\\P,winspool,Ne00:"}}});
  SimPlatform client = Client();
  ProfileStrings& strings = client;
  EXPECT_EQ(ProfileValue(strings, "WINDOWS", "Device"),
            std::optional<std::string>("\\\\OLD\\P,winspool,Ne00:"));
  EXPECT_EQ(ProfileValue(strings, "Windows", "missing"), std::nullopt);
  EXPECT_EQ(ProfileValue(strings, "PrinterPorts", "device"), std::nullopt);
  ASSERT_TRUE(strings.WriteProfileString("printerports", "\\\\NEW\\P", "winspool,Ne01:,15,45").ok);
  ASSERT_TRUE(strings.WriteProfileString("windows", "DEVICE", "\\\\NEW\\P,winspool,Ne01:").ok);
  EXPECT_EQ(ProfileValue(strings, "PrinterPorts", "\\\\new\\p"),
            std::optional<std::string>("winspool,Ne01:,15,45"));
  ASSERT_EQ(state_.winIni.size(), 2u);
  EXPECT_EQ(state_.winIni[0].second[0],
            (std::pair<std::string, std::string>("device", "\\\\NEW\\P,winspool,Ne01:")));

  state_.failures.push_back({"getprofilestring", std::string("DEVICE"), 1015, Json::object()});
  state_.failures.push_back({"WriteProfileString", std::nullopt, 1344, Json::object()});
  EXPECT_EQ(ProfileValue(strings, "Windows", "device"), std::nullopt);
  EXPECT_EQ(ProfileValue(strings, "PrinterPorts", "\\\\NEW\\P"),
            std::optional<std::string>("winspool,Ne01:,15,45"));
  Status failed = strings.WriteProfileString("Windows", "device", "x");
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.errorNumber, 1344u);
  EXPECT_EQ(state_.winIni[0].second[0].second, "\\\\NEW\\P,winspool,Ne01:");
}

TEST_F(SimPlatformTest, InjectedFailureTakesTheFirstMatch) {
  state_.failures = {
      {"OpenPrinter", std::string("\\\\S\\A"), 1801, Json::object()},
      {"OPENPRINTER", std::nullopt, 5, Json::object()},
      {"OpenPrinter", std::string("\\\\S\\B"), 1722, Json::object()},
      {"AddPort", std::string("LPT9:"), 87, Json::object()},
  };
  SimPlatform client = Client();
  struct Case {
    const char *call, *name;
    std::optional<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"OpenPrinter", "\\\\s\\a", 1801u}, {"openprinter", "\\\\S\\B", 5u},
      {"OpenPrinter", "", 5u},            {"AddPort", "lpt9:", 87u},
      {"AddPort", "LPT1:", std::nullopt}, {"OpenPrinterX", "\\\\S\\A", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(client.InjectedFailure(c.call, c.name), c.expected) << c.call << " " << c.name;
  }
}

TEST_F(SimPlatformTest, MessageBoxesAreRecordedAndAnsweredAtOnce) {
  struct Case {
    MessageIcon icon;
    MessageButtons buttons;
    const char *iconText, *buttonsText;
    MessageAnswer answer;
  };
  const Case cases[] = {
      {MessageIcon::Critical, MessageButtons::Ok, "Critical", "OK", MessageAnswer::Ok},
      {MessageIcon::Information, MessageButtons::OkCancel, "Information", "OKCancel",
       MessageAnswer::Ok},
      {MessageIcon::Question, MessageButtons::YesNo, "Question", "YesNo", MessageAnswer::Yes},
      {MessageIcon::Exclamation, MessageButtons::YesNoCancel, "Exclamation", "YesNoCancel",
       MessageAnswer::Yes},
      {MessageIcon::None, MessageButtons::Ok, "None", "OK", MessageAnswer::Ok},
  };
  host_.echoMessageBoxes = true;
  SimPlatform client = Client();
  Platform platform = client.AsPlatform();
  EXPECT_EQ(&platform.clock, &clock_);
  EXPECT_EQ(&platform.spooler, static_cast<Spooler*>(&client));
  UserInterface& ui = platform.ui;
  std::string expectedEcho;
  CapturedStandardError captured;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string title = "Title " + std::to_string(i);
    EXPECT_EQ(ui.ShowMessageBox(title, "Text", cases[i].icon, cases[i].buttons), cases[i].answer);
    expectedEcho += "[" + title + "] Text\n";
  }
  EXPECT_EQ(captured.Text(), expectedEcho);
  ASSERT_EQ(state_.messageBoxes.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(state_.messageBoxes[i].title, "Title " + std::to_string(i));
    EXPECT_EQ(state_.messageBoxes[i].text, "Text");
    EXPECT_EQ(state_.messageBoxes[i].icon, cases[i].iconText);
    EXPECT_EQ(state_.messageBoxes[i].buttons, cases[i].buttonsText);
  }
}

TEST_F(SimPlatformTest, ProgressWindowEchoesLabelChangesWhenAsked) {
  for (bool echo : {true, false}) {
    host_.echoProgress = echo;
    host_.echoMessageBoxes = false;
    SimPlatform client = Client();
    CapturedStandardError captured;
    auto window = client.CreateProgressWindow("Quillon", "first");
    window->SetBarMaximum(10);
    window->Show();
    window->SetLabel("first");
    window->SetLabel("second");
    window->SetBarValue(3);
    window->Repaint();
    window->ProcessMessages();
    window->SetLabel("second");
    window->SetLabel("third");
    window->Close();
    client.ShowMessageBox("quiet", "x", MessageIcon::None, MessageButtons::Ok);
    EXPECT_EQ(captured.Text(), echo ? "progress: first\nprogress: second\nprogress: third\n" : "");
  }
}

// Every call reaches the host's files, listings and streamed reads too; only a
// copy can be made to fail, by the client file.
TEST_F(SimPlatformTest, TheClientsFilesAreTheHostsSaveForInjectedCopyFailures) {
  fs::create_directories(folder_ / "share" / "drivers");
  const std::string source = (folder_ / "share" / "a.inf").string();
  ASSERT_TRUE(files_.WriteFileAtomic(source, "[Version]").ok);
  state_.failures.push_back({"CopyFile", std::string("b.inf"), 5});
  SimFileSystem files(files_, state_);

  EXPECT_EQ(files.ListFolders((folder_ / "share").string()),
            std::vector<std::string>{"drivers"});
  const auto listed = files.ListFolder((folder_ / "share").string());
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(listed->size(), 2u);
  auto reader = files.OpenForReading(source);
  ASSERT_NE(reader, nullptr);
  char buffer[32];
  EXPECT_EQ(reader->Read(buffer, sizeof buffer), std::optional<std::size_t>(9));
  EXPECT_TRUE(files.CopyFileAnew(source, (folder_ / "c.inf").string(), 1024).ok);
  EXPECT_EQ(files_.ReadFile((folder_ / "c.inf").string()), std::optional<std::string>("[Version]"));

  EXPECT_TRUE(files.CopyFile(source, (folder_ / "a-copy.inf").string()).ok);
  const std::string blocked = (folder_ / "share" / "B.INF").string();
  ASSERT_TRUE(files_.WriteFileAtomic(blocked, "x").ok);
  const Status refused = files.CopyFile(blocked, (folder_ / "b-copy.inf").string());
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.errorNumber, 5u);
  EXPECT_FALSE(files_.FileExists((folder_ / "b-copy.inf").string()));
}

TEST(SimProfileStringsTest, CallsReturnTheirErrorAndCutToTheBuffer) {
  SimClientState state;
  state.winIni = {{"Windows", {{"device", "Office,winspool,LPT1:"}}}};
  state.failures.push_back({"GetProfileString", std::string("broken"), 1450, {}});
  HostFileSystem files;
  NoClock clock;
  SimHost host;
  host.clientPath = (std::filesystem::temp_directory_path() / "quillon-ps" / "c.json").string();
  SimPlatform sim(state, host, files, clock);
  ProfileStringResult found = sim.GetProfileString("windows", "DEVICE", 7);
  EXPECT_TRUE(found.ok);
  EXPECT_EQ(found.value, "Office");
  ProfileStringResult missing = sim.GetProfileString("Windows", "absent", 1024);
  EXPECT_FALSE(missing.ok);
  EXPECT_EQ(missing.error, 2u);
  ProfileStringResult injected = sim.GetProfileString("Windows", "Broken", 1024);
  EXPECT_FALSE(injected.ok);
  EXPECT_EQ(injected.error, 1450u);
}

TEST_F(SimPlatformTest, PerMachineConnectionsAndTheDefaultPrinterModeAsWindowsKeepsThem) {
  auto connection = [](const std::string& server, const std::string& share) {
    SimPrinter printer;
    printer.name = "\\\\" + server + "\\" + share;
    printer.serverName = "\\\\" + server;
    printer.shareName = share;
    return printer;
  };
  state_.printers = {connection("OLDSRV", "HP4"), connection("OLDSRV", "HP5"),
                     connection("NEWSRV", "HP6")};
  state_.printers[0].perMachine = true;
  state_.printers[2].perMachine = false;
  state_.registry = {{"HKEY_CURRENT_USER\\Software\\Quillon\\a.ini", {{"alice", "True"}}},
                     {"HKEY_CURRENT_USER\\Software\\Quillon\\b.ini", {}},
                     {"HKEY_CURRENT_USER\\Software\\Quillon\\A.ini\\deeper", {}}};
  SimPlatform client = Client();
  const std::string windows =
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

  // No key in the client file: no value, as on a Windows that never wrote one.
  EXPECT_EQ(client.GetNumber(windows, "LegacyDefaultPrinterMode"), std::nullopt);
  state_.legacyDefaultPrinterMode = true;
  EXPECT_EQ(client.GetNumber(windows, "legacydefaultprintermode"), std::optional<std::uint32_t>(1));
  state_.legacyDefaultPrinterMode = false;
  EXPECT_EQ(client.GetNumber(windows, "LegacyDefaultPrinterMode"), std::optional<std::uint32_t>(0));
  EXPECT_EQ(client.GetNumber(windows, "Device"), std::nullopt);

  EXPECT_EQ(client.ListSubkeys(
                "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Connections"),
            std::vector<std::string>{",,OLDSRV,HP4"});
  EXPECT_EQ(client.ListSubkeys("HKEY_CURRENT_USER\\Software\\Quillon"),
            (std::vector<std::string>{"a.ini", "b.ini"}));
  EXPECT_TRUE(client.ListSubkeys("HKEY_CURRENT_USER\\Software\\Other").empty());

  // The user cannot remove the computer's connection: refused, still listed.
  const SpoolerResult refused = client.DeletePrinterConnection("\\\\oldsrv\\hp4");
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.error, 5u);
  EXPECT_TRUE(client.DeletePrinterConnection("\\\\OLDSRV\\HP5").ok);
  EXPECT_TRUE(client.DeletePrinterConnection("\\\\NEWSRV\\HP6").ok);
  EXPECT_EQ(client.EnumPrinterNames().names, std::vector<std::string>{"\\\\OLDSRV\\HP4"});
}

}  // namespace
}  // namespace quillon::platform::sim
