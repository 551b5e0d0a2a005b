// The wizard's directory pickers against a real directory server: 120 print
// queues read through LDAP (libldap here, wldap32 under Wine) into the
// populate picker on the wizard's own form, with the progress bar, the count
// box and every failure box; and the simulated client's directory.
#include "toolkit/directory_picker.h"

#ifdef _WIN32
#include <winsock2.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "platform/ldap/ldap_directory.h"
#include "testing/require_server.h"
#include "toolkit/toolkit_host.h"
#include "toolkit/wizard_window.h"
#ifndef _WIN32
#include "testing/slapd_fixture.h"
#endif

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using gui::AskedDialog;
using gui::ControlModel;

constexpr int kQueueCount = 120;
constexpr std::int64_t kServerNotOperational = -2147016646;  // 0x8007203A

// The published queues, in the order they were loaded (which the server keeps):
// a name with two "-", one with none, then PRTSRV<n>-Q<nnn>. Each share name
// differs from its queue's printer part, since the picker shows names only.
// toolkit/with_test_slapd.py publishes the same list for the tests under Wine.
#ifndef _WIN32
struct Queue {
  std::string name, share;
};
std::vector<Queue> PublishedQueues() {
  std::vector<Queue> queues{{"PRT-SRV-HP4", "HP4share"}, {"LASER", "LASERshare"}};
  for (int i = 2; i < kQueueCount; ++i) {
    char name[32], share[32];
    std::snprintf(name, sizeof name, "PRTSRV%d-Q%03d", i % 4 + 1, i);
    std::snprintf(share, sizeof share, "S%03d", i);
    queues.push_back({name, share});
  }
  return queues;
}
#endif

// What the picker must show for them, written out apart from the code's split.
std::vector<std::string> ExpectedEntries() {
  std::vector<std::string> entries{"PRT >> SRV-HP4", " >> LASER"};
  for (int i = 2; i < kQueueCount; ++i) {
    char entry[32];
    std::snprintf(entry, sizeof entry, "PRTSRV%d >> Q%03d", i % 4 + 1, i);
    entries.push_back(entry);
  }
  return entries;
}

// The directory server: a slapd of the test's own on Linux; under Wine the
// one that toolkit/with_test_slapd.py started, named by QUILLON_TEST_SLAPD.
class TestDirectoryServer {
 public:
  TestDirectoryServer() {
#ifdef _WIN32
    const char* server = std::getenv("QUILLON_TEST_SLAPD");
    if (server && *server) {
      hostPort_ = server;
    } else {
      failure_ = "QUILLON_TEST_SLAPD is not set: run the tests through toolkit/with_test_slapd.py";
    }
#else
    namespace ldap_test = platform::ldap_test;
    ldap_test::SlapdOptions options;
    options.entries = {ldap_test::OrganizationalUnitEntry("dc=corp,dc=example", "Printers")};
    for (const Queue& queue : PublishedQueues()) {
      options.entries.push_back(
          ldap_test::PrintQueueEntry("ou=Printers,dc=corp,dc=example", queue.name, {queue.share}));
    }
    // Both kinds of group the picker reads; toolkit/with_test_slapd.py has
    // groupOfNames alone.
    const std::string groups = "ou=Groups,dc=corp,dc=example";
    options.entries.push_back(ldap_test::OrganizationalUnitEntry("dc=corp,dc=example", "Groups"));
    options.entries.push_back(ldap_test::GroupEntry(groups, "Pilot Computers"));
    options.entries.push_back({"cn=floor2-pilot," + groups,
                               {{"objectClass", "groupOfNames"},
                                {"cn", "floor2-pilot"},
                                {"member", "ou=Printers,dc=corp,dc=example"}}});
    options.entries.push_back(ldap_test::GroupEntry(groups, "IT"));
    slapd_ = std::make_unique<ldap_test::SlapdFixture>(options);
    if (slapd_->running()) {
      hostPort_ = slapd_->HostPort();
    } else {
      failure_ = slapd_->failure();
    }
#endif
  }
  bool running() const { return !hostPort_.empty(); }
  const std::string& failure() const { return failure_; }
  // What the administrator types into the domain box for this server.
  std::string Domain() const { return hostPort_ + "/dc=corp,dc=example"; }

 private:
  std::string hostPort_, failure_;
#ifndef _WIN32
  std::unique_ptr<platform::ldap_test::SlapdFixture> slapd_;
#endif
};

// A loopback port on which nothing listens: a domain controller that is down.
int UnusedPort() {
#ifdef _WIN32
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  int port = 0;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  closesocket(probe);
  WSACleanup();
  return port;
#else
  return platform::test_process::UnusedLoopbackPort();
#endif
}

// Passes every call on to the real directory and counts them; a query can be
// sent to another binding, as when the server goes away after the bind.
class WatchedDirectory : public platform::Directory {
 public:
  explicit WatchedDirectory(platform::Directory& real) : real_(real) {}
  platform::DirectoryBinding Bind(const std::string& path) override {
    ++binds;
    paths.push_back(path);
    return real_.Bind(path);
  }
  platform::DirectoryQuery QueryPrintQueues(const platform::DirectoryBinding& binding,
                                            const std::string& commandText) override {
    ++queries;
    commands.push_back(commandText);
    if (queryElsewhere.empty()) return real_.QueryPrintQueues(binding, commandText);
    platform::DirectoryBinding moved = binding;
    moved.adsPath = queryElsewhere;
    return real_.QueryPrintQueues(moved, commandText);
  }

  int binds = 0, queries = 0;
  std::vector<std::string> paths, commands;
  std::string queryElsewhere;

 private:
  platform::Directory& real_;
};

// Notes what the picker and bar held when each box came up.
class WatchingDialogs : public gui::ScriptedDialogs {
 public:
  WatchingDialogs(const ControlModel& picker, const ControlModel& bar)
      : picker_(picker), bar_(bar) {}
  gui::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                    gui::MessageIcon icon, gui::MessageButtons buttons) override {
    linesAtBox.push_back(picker_.lines().size());
    barShownAtBox.push_back(bar_.visible());
    return ScriptedDialogs::ShowMessageBox(title, text, icon, buttons);
  }
  std::vector<std::size_t> linesAtBox;
  std::vector<bool> barShownAtBox;

 private:
  const ControlModel& picker_;
  const ControlModel& bar_;
};

// The bar's positions as they were set, and whether it was shown at each.
struct BarHistory {
  std::vector<int> values;
  std::vector<bool> shown;
  explicit BarHistory(ControlModel& bar) : bar_(bar) {
    bar.Subscribe(
        [this](ControlModel& model, gui::Change change, int) {
          if (change != gui::Change::Value) return;
          values.push_back(model.value());
          shown.push_back(model.visible());
        },
        this);
  }
  ~BarHistory() { bar_.Unsubscribe(this); }
  BarHistory(const BarHistory&) = delete;
  BarHistory& operator=(const BarHistory&) = delete;

 private:
  ControlModel& bar_;
};

std::vector<int> Positions(std::initializer_list<std::pair<int, int>> runs) {
  std::vector<int> positions;
  for (const auto& [from, to] : runs) {
    for (int value = from; value <= to; ++value) positions.push_back(value);
  }
  return positions;
}

class DirectoryPickerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new TestDirectoryServer(); }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  gui::Form form_{WizardWindowDescription()};
  ControlModel& picker_ = form_["cboAdPopulate"];
  ControlModel& bar_ = form_["prbAdPopulateProgress"];
  WatchingDialogs dialogs_{picker_, bar_};
  static TestDirectoryServer* server_;
};

TestDirectoryServer* DirectoryPickerTest::server_ = nullptr;

TEST_F(DirectoryPickerTest, FillsWithEveryQueueAfterTheCountWhileTheBarWrapsAt50) {
  REQUIRE_SERVER(*server_);
  std::string error;
  std::unique_ptr<ToolkitHost> host = ToolkitHost::Open("", &error);
  ASSERT_TRUE(host) << error;
  ASSERT_FALSE(host->simulated());
  WatchedDirectory directory(host->directory());
  DirectoryPicker picker(directory, dialogs_, form_);

  picker_.SetLines({"OLD >> stale"});
  picker_.SetText("OLD >> stale");
  bar_.SetVisible(false);
  BarHistory history(bar_);
  // The window's events while the bar moves; the user clicks the prune page's
  // Refresh halfway, which must not start a second fill inside this one.
  int events = 0, eventsWhileHidden = 0;
  form_.SetEventProcessor([&] {
    ++events;
    if (!bar_.visible()) ++eventsWhileHidden;
    if (events == 60) {
      EXPECT_TRUE(picker.busy());
      picker.LoadDirectoryPrinterList(form_["cboADPrune"], form_["prbADPrune"], server_->Domain());
    }
  });
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  picker.LoadDirectoryPrinterList(picker_, bar_, server_->Domain());

  EXPECT_EQ(picker_.lines(), ExpectedEntries());
  EXPECT_EQ(picker_.text(), "") << "nothing chosen yet";
  EXPECT_EQ(picker_.value(), -1);

  ASSERT_EQ(dialogs_.asked.size(), 1u) << gui::Transcript(dialogs_.asked);
  const AskedDialog& count = dialogs_.asked[0];
  EXPECT_EQ(count.title, "Quillon Deployment Toolkit");
  EXPECT_EQ(count.text, "120");
  EXPECT_EQ(count.icon, gui::MessageIcon::None);
  EXPECT_EQ(count.buttons, gui::MessageButtons::Ok);
  EXPECT_EQ(dialogs_.linesAtBox, std::vector<std::size_t>{0}) << "the count comes first";
  EXPECT_EQ(dialogs_.barShownAtBox, std::vector<bool>{true});

  // 1, four steps to the query, one per queue (6..50, 1..50, 1..25), then 50.
  EXPECT_EQ(history.values, Positions({{1, 50}, {1, 50}, {1, 25}, {50, 50}}));
  int wraps = 0;
  for (std::size_t i = 1; i < history.values.size(); ++i) {
    if (history.values[i - 1] == 50 && history.values[i] == 1) ++wraps;
  }
  EXPECT_EQ(wraps, 2);
  EXPECT_EQ(bar_.maximum(), 50);
  EXPECT_EQ(bar_.value(), 50);
  EXPECT_FALSE(bar_.visible()) << "hidden at the end";
  // Put at 1 before it is shown, at 50 before it is hidden: shown for every
  // other position.
  ASSERT_FALSE(history.shown.empty());
  EXPECT_EQ(std::count(history.shown.begin() + 1, history.shown.end(), false), 0);
  EXPECT_GE(events, kQueueCount) << "the window is served while the bar moves";
  EXPECT_EQ(eventsWhileHidden, 0);
  EXPECT_FALSE(picker.busy());

  // The click during the fill did nothing: one bind, one query, the other
  // picker and bar untouched.
  EXPECT_EQ(directory.binds, 1);
  EXPECT_EQ(directory.queries, 1);
  EXPECT_TRUE(form_["cboADPrune"].lines().empty());
  EXPECT_EQ(form_["prbADPrune"].maximum(), 100);
  EXPECT_EQ(directory.paths, std::vector<std::string>{"LDAP://" + server_->Domain()});
  EXPECT_EQ(directory.commands,
            std::vector<std::string>{"Select name, printShareName FROM 'LDAP://" +
                                     server_->Domain() + "' WHERE objectCategory='printQueue'"});

  // A refresh replaces the lines; it does not add to them.
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  form_.SetEventProcessor(nullptr);
  picker.LoadDirectoryPrinterList(picker_, bar_, server_->Domain());
  EXPECT_EQ(picker_.lines(), ExpectedEntries());
  EXPECT_EQ(dialogs_.unscripted, 0);
}

// The targeting page's picker: the groups in letter order whatever their
// case, without the count, the bar run and hidden as for the printers.
TEST_F(DirectoryPickerTest, GroupsFillInLetterOrderWithoutTheCount) {
  REQUIRE_SERVER(*server_);
  std::string error;
  std::unique_ptr<ToolkitHost> host = ToolkitHost::Open("", &error);
  ASSERT_TRUE(host) << error;
  DirectoryPicker picker(host->directory(), dialogs_, form_);
  picker_.SetLines({"stale"});
  picker.LoadDirectoryGroupList(picker_, bar_, server_->Domain());
  EXPECT_EQ(picker_.lines(), (std::vector<std::string>{"floor2-pilot", "IT", "Pilot Computers"}));
  EXPECT_EQ(gui::Transcript(dialogs_.asked), "");
  EXPECT_FALSE(bar_.visible());
  EXPECT_EQ(bar_.value(), 50);

  picker.LoadDirectoryGroupList(picker_, bar_, "127.0.0.1:" + std::to_string(UnusedPort()));
  EXPECT_TRUE(picker_.lines().empty());
  EXPECT_NE(gui::Transcript(dialogs_.asked).find("[Active Directory Error] Critical OK: Error "
                                                 "accessing Active Directory."),
            std::string::npos);
}

TEST_F(DirectoryPickerTest, FailuresShowTheDirectoryErrorAndLeaveThePickerEmpty) {
  REQUIRE_SERVER(*server_);
  std::unique_ptr<ToolkitHost> host = ToolkitHost::Open("", nullptr);
  ASSERT_TRUE(host);
  WatchedDirectory directory(host->directory());
  DirectoryPicker picker(directory, dialogs_, form_);

  const int port = UnusedPort();
  ASSERT_NE(port, 0);
  const std::string down = "127.0.0.1:" + std::to_string(port) + "/dc=corp,dc=example";
  // What the directory itself says about that server, for the box's last line.
  platform::LdapDirectory plain;
  const platform::DirectoryBinding unreachable = plain.Bind("LDAP://" + down);
  ASSERT_FALSE(unreachable.ok);
  ASSERT_EQ(unreachable.errorNumber, kServerNotOperational) << unreachable.errorDescription;
  ASSERT_FALSE(unreachable.errorDescription.empty());

  struct Case {
    std::string what, domain, queryElsewhere, text;
  };
  const Case cases[] = {
      {"a server that is down", down, "",
       "Error accessing Active Directory. Please check your domain name and network "
       "connection.\n\nError Number: -2147016646\nError Descritpion: " +
           unreachable.errorDescription},
      {"no domain name", "", "",
       "Error accessing Active Directory. Please check your domain name and network "
       "connection.\n\nError Number: -2147463168\nError Descritpion: An invalid directory "
       "pathname was passed"},
      {"a server gone between bind and query", server_->Domain(), "LDAP://" + down,
       "Error querying Active Directory. Please check your domain name and network "
       "connection.\n\nError Number: -2147016646\nError Descritpion: " +
           unreachable.errorDescription},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    picker_.SetLines({"OLD >> stale"});
    picker_.SetText("OLD >> stale");
    bar_.SetValue(0);
    bar_.SetVisible(false);
    dialogs_.asked.clear();
    directory.queryElsewhere = c.queryElsewhere;
    BarHistory history(bar_);

    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    picker.LoadDirectoryPrinterList(picker_, bar_, c.domain);

    ASSERT_EQ(dialogs_.asked.size(), 1u) << gui::Transcript(dialogs_.asked);
    EXPECT_EQ(dialogs_.asked[0].title, "Active Directory Error");
    EXPECT_EQ(dialogs_.asked[0].text, c.text);
    EXPECT_EQ(dialogs_.asked[0].icon, gui::MessageIcon::Critical);
    EXPECT_EQ(dialogs_.asked[0].buttons, gui::MessageButtons::Ok);
    EXPECT_TRUE(picker_.lines().empty());
    EXPECT_EQ(picker_.text(), "");
    EXPECT_EQ(bar_.value(), 50);
    EXPECT_FALSE(bar_.visible());
    const std::vector<int> expected =
        c.queryElsewhere.empty() ? Positions({{1, 4}, {50, 50}}) : Positions({{1, 6}, {50, 50}});
    EXPECT_EQ(history.values, expected);
  }
  EXPECT_EQ(directory.paths,
            (std::vector<std::string>{"LDAP://" + down, "LDAP://", "LDAP://" + server_->Domain()}));
  EXPECT_EQ(directory.queries, 1) << "only a bound directory is queried";
  EXPECT_EQ(dialogs_.unscripted, 0);
}

// Sets an environment variable (null: removes it) while the object lives.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    Set(value);
  }
  ~ScopedVariable() { Set(previous_ ? previous_->c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  void Set(const char* value) {
#ifdef _WIN32
    _putenv_s(name_.c_str(), value ? value : "");
#else
    if (value) {
      setenv(name_.c_str(), value, 1);
    } else {
      unsetenv(name_.c_str());
    }
#endif
  }
  std::string name_;
  std::optional<std::string> previous_;
};

TEST_F(DirectoryPickerTest, SimulatedClientAnswersFromItsDirectoryAndHandsOverWithoutOne) {
  std::random_device seed;
  const fs::path folder = fs::temp_directory_path() / ("quillon-picker-" + std::to_string(seed()));
  fs::create_directories(folder);
  const auto write = [&folder](const char* name, const std::string& content) {
    std::ofstream(folder / name, std::ios::binary) << content;
    return (folder / name).string();
  };
  const std::string withDirectory = write("with.json", R"({
    "computerName": "ADMIN01",
    "directory": {
      "corp.example.com": [
        {"name": "PRTSRV1-HP 4050", "printShareName": ["HP4050", "Floor2"]},
        {"name": "PRTSRV2-Color-A3", "printShareName": []}
      ],
      "branch.example.com": []
    }
  })");
  const std::string withoutDirectory = write("without.json", R"({"computerName": "ADMIN01"})");
  const std::string broken = write("broken.json", "{\"directory\": 5}");

  {
    ScopedVariable client(kClientVariable, withDirectory.c_str());
    std::string error;
    std::unique_ptr<ToolkitHost> host = ToolkitHost::FromEnvironment(&error);
    ASSERT_TRUE(host) << error;
    EXPECT_TRUE(host->simulated());
    DirectoryPicker picker(host->directory(), dialogs_, form_);

    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    picker.LoadDirectoryPrinterList(picker_, bar_, "CORP.example.com");
    EXPECT_EQ(picker_.lines(),
              (std::vector<std::string>{"PRTSRV1 >> HP 4050", "PRTSRV2 >> Color-A3"}));
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    picker.LoadDirectoryPrinterList(picker_, bar_, "branch.example.com");
    EXPECT_TRUE(picker_.lines().empty());
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    picker.LoadDirectoryPrinterList(picker_, bar_, "other.example.com");
    EXPECT_EQ(gui::Transcript(dialogs_.asked),
              "message [Quillon Deployment Toolkit] None OK: 2\n"
              "message [Quillon Deployment Toolkit] None OK: 0\n"
              "message [Active Directory Error] Critical OK: Error accessing Active Directory. "
              "Please check your domain name and network connection.||Error Number: "
              "-2147016646|Error Descritpion: The server is not operational.\n");
    EXPECT_FALSE(bar_.visible());
  }
  {
    // Without a "directory" key the real directory answers: an empty domain
    // is refused as a path, not as an unknown simulated domain.
    dialogs_.asked.clear();
    std::unique_ptr<ToolkitHost> host = ToolkitHost::Open(withoutDirectory, nullptr);
    ASSERT_TRUE(host);
    EXPECT_TRUE(host->simulated());
    DirectoryPicker picker(host->directory(), dialogs_, form_);
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    picker.LoadDirectoryPrinterList(picker_, bar_, "");
    ASSERT_EQ(dialogs_.asked.size(), 1u);
    EXPECT_NE(dialogs_.asked[0].text.find("Error Number: -2147463168\n"), std::string::npos)
        << dialogs_.asked[0].text;
  }
  {
    std::string error;
    EXPECT_FALSE(ToolkitHost::Open(broken, &error));
    EXPECT_NE(error.find("broken.json"), std::string::npos) << error;
    EXPECT_NE(error.find("directory"), std::string::npos) << error;
    ScopedVariable none(kClientVariable, nullptr);
    std::unique_ptr<ToolkitHost> host = ToolkitHost::FromEnvironment(&error);
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->simulated());
  }
  // The toolkit only reads a client file.
  std::ifstream reread(withoutDirectory, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reread), {}),
            R"({"computerName": "ADMIN01"})");
  reread.close();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  EXPECT_EQ(dialogs_.unscripted, 0);
}

}  // namespace
}  // namespace quillon::toolkit
