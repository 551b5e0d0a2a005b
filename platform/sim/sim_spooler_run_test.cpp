// The simulated spooler over a whole run: injected failures, the record of
// every call, changes kept across a save and a load, the printer and queue
// indexes against plain scans, and servers that are slow or do not answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_spooler_test_fixture.h"

namespace quillon::platform::sim {
namespace {

TEST_F(SimSpoolerTest, InjectedFailuresFailTheCallAndChangeNothing) {
  auto fail = [&](const char* call, std::optional<std::string> name, std::uint32_t error) {
    state_.failures.push_back({call, std::move(name), error, Json::object()});
  };
  fail("OpenPrinter", "local", 1001);
  fail("GetPrinter", kLaser, 1002);
  fail("SetPrinter", std::nullopt, 1003);
  fail("AddPrinterConnection", R"(\\NEWSRV\HP4)", 1004);
  fail("DeletePrinterConnection", kLaser, 1005);
  fail("AddPrinter", "New", 1006);
  fail("DeletePrinter", kCached, 1007);
  fail("AddPrinterDriver", "HP LaserJet 5", 1008);
  fail("AddPort", "LPT2:", 1009);
  fail("SetDefaultPrinter", "Local", 1011);
  fail("EnumPrinters", std::nullopt, 1012);
  // Named failures of name-less calls never apply.
  fail("GetDefaultPrinter", kLaser, 1010);

  const PrinterHandle laser = Open(kLaser);
  const PrinterHandle cached = Open(kCached);
  const std::string before = WorldOf(state_);
  struct Case {
    const char* what;
    std::function<std::pair<bool, std::uint32_t>()> call;
    std::uint32_t error;
  };
  const Case cases[] = {
      {"open", [&] { auto r = spooler().OpenPrinter("LOCAL", PrinterAccess::Default);
                     return std::pair(r.handle != 0, r.error); }, 1001},
      {"get", [&] { auto r = spooler().GetPrinter(laser, 4096);
                    return std::pair(r.ok, r.error); }, 1002},
      {"set", [&] { PrinterInfo2 info;
                    info.attributes = kPrinterAttributeDefault;
                    auto r = spooler().SetPrinter(cached, info);
                    return std::pair(r.ok, r.error); }, 1003},
      {"connect", [&] { auto r = spooler().AddPrinterConnection(R"(\\newsrv\hp4)", ConnectionPrompts::Never);
                        return std::pair(r.ok, r.error); }, 1004},
      {"disconnect", [&] { auto r = spooler().DeletePrinterConnection(kLaser);
                           return std::pair(r.ok, r.error); }, 1005},
      {"add", [&] { auto r = spooler().AddPrinter(LocalPrinterInfo("new", "LPT1:", "Generic"));
                    return std::pair(r.handle != 0, r.error); }, 1006},
      {"delete", [&] { auto r = spooler().DeletePrinter(cached);
                       return std::pair(r.ok, r.error); }, 1007},
      {"driver", [&] { DriverInfo2 info;
                       info.name = "hp laserjet 5";
                       auto r = spooler().AddPrinterDriver(info);
                       return std::pair(r.ok, r.error); }, 1008},
      {"port", [&] { auto r = spooler().AddPort("lpt2:", nullptr);
                     return std::pair(r.ok, r.error); }, 1009},
      {"set default", [&] { auto r = spooler().SetDefaultPrinter("Local");
                            return std::pair(r.ok, r.error); }, 1011},
      {"enum default", [&] { auto r = spooler().EnumDefaultPrinter(4096);
                             return std::pair(r.ok, r.error); }, 1012},
      {"list", [&] { auto r = spooler().EnumPrinterNames();
                     EXPECT_TRUE(r.names.empty());
                     return std::pair(r.ok, r.error); }, 1012},
  };
  for (const Case& c : cases) {
    auto [ok, error] = c.call();
    EXPECT_FALSE(ok) << c.what;
    EXPECT_EQ(error, c.error) << c.what;
  }
  EXPECT_EQ(WorldOf(state_), before);
  EXPECT_EQ(spooler().GetDefaultPrinter(1024).value, kLaser);
  // The same calls on names no failure names go through.
  EXPECT_TRUE(spooler().AddPrinterConnection(R"(\\NEWSRV\Color)", ConnectionPrompts::Never).ok);
  EXPECT_TRUE(spooler().GetPrinter(Open(kCached), 4096).ok);
  EXPECT_TRUE(spooler().AddPort("LPT3:", nullptr).ok);

  fail("GetDefaultPrinter", std::nullopt, 1013);
  SizedResult<std::string> failed = spooler().GetDefaultPrinter(1024);
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.error, 1013u);
  EXPECT_EQ(failed.value, "");
}

TEST_F(SimSpoolerTest, EveryCallIsRecordedInOrder) {
  spooler().EnumPrinterNames();
  PrinterHandle laser = Open(R"(\\oldsrv\laser)");
  spooler().GetPrinter(laser, 0);
  spooler().GetPrinter(laser, 4096);
  spooler().ClosePrinter(laser);
  spooler().OpenPrinter(kStale, PrinterAccess::Default);
  spooler().AddPrinterConnection(R"(\\NEWSRV\HP4)", ConnectionPrompts::Never);
  spooler().DeletePrinterConnection(kLaser);
  spooler().AddPort("LPT2:", nullptr);
  DriverInfo2 driver;
  driver.name = "Generic";
  spooler().AddPrinterDriver(driver);
  HandleResult added = spooler().AddPrinter(LocalPrinterInfo("New", "LPT2:", "Generic"));
  spooler().SetDefaultPrinter("new");
  spooler().GetDefaultPrinter(1024);
  spooler().EnumDefaultPrinter(0);
  spooler().DeletePrinter(added.handle);
  spooler().GetPrinter(added.handle, 4096);
  spooler().ClosePrinter(added.handle);

  struct Expected {
    const char *call, *name;
    bool result;
    std::uint32_t error;
  };
  const Expected expected[] = {
      {"EnumPrinters", "", true, 0},
      {"OpenPrinter", R"(\\oldsrv\laser)", true, 0},
      {"GetPrinter", R"(\\OLDSRV\Laser)", false, 122},
      {"GetPrinter", R"(\\OLDSRV\Laser)", true, 0},
      {"OpenPrinter", R"(\\OLDSRV\HP4)", false, 1801},
      {"AddPrinterConnection", R"(\\NEWSRV\HP4)", true, 0},
      {"DeletePrinterConnection", R"(\\OLDSRV\Laser)", true, 0},
      {"AddPort", "LPT2:", true, 0},
      {"AddPrinterDriver", "Generic", false, 1795},
      {"AddPrinter", "New", true, 0},
      {"SetDefaultPrinter", "new", true, 0},
      {"GetDefaultPrinter", "New", true, 0},
      {"EnumPrinters", "New", false, 122},
      {"DeletePrinter", "New", true, 0},
      {"GetPrinter", "New", false, 6},
  };
  ASSERT_EQ(state_.spoolerCalls.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const SimSpoolerCall& call = state_.spoolerCalls[i];
    EXPECT_EQ(call.call, expected[i].call) << i;
    EXPECT_EQ(call.name, expected[i].name) << i;
    EXPECT_EQ(call.result, Json(expected[i].result)) << i;
    EXPECT_EQ(call.error, expected[i].error) << i;
  }
}

TEST_F(SimSpoolerTest, ChangesSurviveASaveAndALoad) {
  ASSERT_TRUE(spooler().AddPrinterConnection(R"(\\NEWSRV\Color)", ConnectionPrompts::Never).ok);
  ASSERT_TRUE(spooler().DeletePrinterConnection(kStale).ok);
  ASSERT_TRUE(spooler().AddPort("IP_10.0.0.7", nullptr).ok);
  DriverInfo2 driver{3, "Color Drv", "Windows x64", "c.dll", "c.ppd", "cui.dll"};
  ASSERT_TRUE(spooler().AddPrinterDriver(driver).ok);
  HandleResult added = spooler().AddPrinter(LocalPrinterInfo("Desk", "IP_10.0.0.7", "Color Drv"));
  ASSERT_NE(added.handle, 0u);
  spooler().ClosePrinter(added.handle);
  ASSERT_TRUE(spooler().SetDefaultPrinter("desk").ok);

  const std::string path = (folder_ / "saved.json").string();
  std::string error;
  ASSERT_TRUE(SaveClient(path, state_, &error)) << error;
  LoadResult loaded = LoadClient(path);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const SimClientState& again = loaded.state;
  EXPECT_EQ(Names(again),
            (std::vector<std::string>{kLaser, kCached, "Local", R"(\\NEWSRV\Color)", "Desk"}));
  EXPECT_EQ(again.printers[3].driverName, "Color Drv");
  EXPECT_EQ(again.printers[3].attributes, 0x10u);
  EXPECT_EQ(again.printers[4].attributes, 0x40u);
  EXPECT_EQ(again.defaultPrinter, std::optional<std::string>("Desk"));
  EXPECT_EQ(again.ports, (std::vector<std::string>{"LPT1:", "IP_10.0.0.4", "IP_10.0.0.7"}));
  ASSERT_EQ(again.drivers.size(), 3u);
  EXPECT_TRUE(again.drivers[0].bareName);
  EXPECT_EQ(again.drivers[2].name, "Color Drv");
  EXPECT_EQ(again.drivers[2].configFile, "cui.dll");
  EXPECT_EQ(again.drivers[2].version, 3u);
  ASSERT_EQ(again.spoolerCalls.size(), state_.spoolerCalls.size());
  EXPECT_EQ(SerializeClient(again), SerializeClient(state_));

  // A second run on the loaded client appends to the record.
  SimClientState second = loaded.state;
  SimPlatform next(second, host_, files_, clock_);
  EXPECT_EQ(next.OpenPrinter("Desk", PrinterAccess::Default).error, 0u);
  ASSERT_EQ(second.spoolerCalls.size(), state_.spoolerCalls.size() + 1);
  EXPECT_EQ(second.spoolerCalls.front().call, "AddPrinterConnection");
  EXPECT_EQ(second.spoolerCalls.back().call, "OpenPrinter");
}

TEST_F(SimSpoolerTest, ManyConnectionsAgainstManyQueues) {
  auto& queues = state_.printServers[0].second;
  for (int i = 0; i < 2000; ++i) {
    queues.push_back({"Q" + std::to_string(i), "Generic", "NE" + std::to_string(i) + ":", "", "",
                      Json::object()});
  }
  for (int i = 0; i < 500; ++i) {
    ASSERT_TRUE(spooler().AddPrinterConnection(R"(\\newsrv\q)" + std::to_string(i * 4), ConnectionPrompts::Never).ok) << i;
  }
  ASSERT_EQ(state_.printers.size(), 504u);
  EXPECT_EQ(state_.printers.back().name, R"(\\NEWSRV\Q1996)");
  EXPECT_EQ(state_.printers.back().portName, "NE1996:");
  for (int i = 499; i >= 0; --i) {
    const std::string name = R"(\\NEWSRV\Q)" + std::to_string(i * 4);
    PrinterHandle handle = Open(name);
    EXPECT_TRUE(spooler().GetPrinter(handle, 4096).ok) << name;
    spooler().ClosePrinter(handle);
    ASSERT_TRUE(spooler().DeletePrinterConnection(name).ok) << name;
  }
  EXPECT_EQ(Names(state_), (std::vector<std::string>{kStale, kLaser, kCached, "Local"}));
  EXPECT_EQ(state_.spoolerCalls.size(), 500u + 3 * 500u);
}

TEST_F(SimSpoolerTest, QueueLookupsFollowAStateChangedBehindTheSpooler) {
  ASSERT_NE(Open(R"(\\NEWSRV\Color)"), 0u);  // the lookups are now indexed
  auto& servers = state_.printServers;
  servers.insert(servers.begin(), {"FIRST", {{"A", "Generic", "F1:", "", "", Json::object()}}});
  auto& newsrv = servers[1].second;
  newsrv.erase(newsrv.begin());  // HP4 goes, Color moves up
  newsrv.push_back({"Added", "Generic", "N9:", "", "", Json::object()});
  servers[2].second[0].shareName = "Renamed";  // OldSrv's "laser"
  servers.push_back({"newsrv", {{"Hidden", "Generic", "H:", "", "", Json::object()}}});
  struct Case {
    std::string name;
    std::uint32_t openError, connectError;
    const char* port;  // of the queue a connection takes
  };
  const Case cases[] = {
      {R"(\\NEWSRV\Color)", 0, 0, "NE02:"},
      {R"(\\first\a)", 0, 0, "F1:"},
      {R"(\\NEWSRV\added)", 0, 0, "N9:"},
      {R"(\\OLDSRV\Renamed)", 0, 0, "NE03:"},
      {R"(\\NEWSRV\HP4)", 1801, 1801, ""},
      {R"(\\NEWSRV\Hidden)", 1801, 1801, ""},  // only the first listing of a server counts
      {kLaser, 1801, 1801, ""},                 // its queue is renamed away
  };
  for (const Case& c : cases) {
    EXPECT_EQ(spooler().OpenPrinter(c.name, PrinterAccess::Default).error, c.openError) << c.name;
    const std::size_t count = state_.printers.size();
    EXPECT_EQ(spooler().AddPrinterConnection(c.name, ConnectionPrompts::Never).error, c.connectError) << c.name;
    if (c.connectError == 0) {
      ASSERT_EQ(state_.printers.size(), count + 1) << c.name;
      EXPECT_EQ(state_.printers.back().portName, c.port) << c.name;
    }
  }
  EXPECT_EQ(Names(state_), (std::vector<std::string>{kStale, kLaser, kCached, "Local",
                                                     R"(\\NEWSRV\Color)", R"(\\FIRST\A)",
                                                     R"(\\NEWSRV\Added)",
                                                     R"(\\OldSrv\Renamed)"}));
}

// The printer index against a plain list scan, over a long random run of adds
// and deletes with names in any letter case, duplicates in the list, and the
// list changed behind the spooler's back now and then: the same printers in
// the same order, the first of a name winning, at every step.
TEST(SimPrinterIndexTest, AnswersAsAScanOfTheListDoes) {
  SimClientState state;
  state.printServers.push_back({"SRV", {}});
  for (int i = 0; i < 40; ++i) {
    SimQueue queue;
    queue.shareName = "Q" + std::to_string(i);
    state.printServers[0].second.push_back(queue);
  }
  auto connection = [](int i, bool upper) {
    SimPrinter printer;
    printer.serverName = upper ? "\\\\SRV" : "\\\\srv";
    printer.shareName = (upper ? "Q" : "q") + std::to_string(i);
    printer.name = printer.serverName + "\\" + printer.shareName;
    return printer;
  };
  // Duplicates of one name in two spellings; the spelling tells them apart.
  state.printers = {connection(1, true), connection(2, true), connection(1, false)};
  state.defaultPrinter = connection(2, true).name;
  HostFileSystem files;
  NoClock clock;
  SimHost host;
  host.echoMessageBoxes = false;
  SimPlatform client(state, host, files, clock);
  Spooler& spooler = client;

  std::vector<std::string> model = Names(state);
  auto first = [&model](const std::string& name) {
    return std::find_if(model.begin(), model.end(),
                        [&name](const std::string& n) { return EqualsIgnoringCase(n, name); });
  };
  std::mt19937 random(7);
  for (int step = 0; step < 4000; ++step) {
    const int i = static_cast<int>(random() % 48);  // Q40 to Q47 are not listed
    const std::string name = connection(i, random() % 2 == 0).name;
    switch (random() % 9) {
      case 0:
        // Behind the spooler's back: an append, or a removal.
        if (random() % 2 == 0 || model.empty()) {
          state.printers.push_back(connection(i, random() % 2 == 0));
          model.push_back(state.printers.back().name);
        } else {
          const std::size_t at = random() % model.size();
          state.printers.erase(state.printers.begin() + static_cast<std::ptrdiff_t>(at));
          model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        break;
      case 1: case 2: case 3: {
        const bool had = first(name) != model.end();
        const SpoolerResult added = spooler.AddPrinterConnection(name, ConnectionPrompts::Never);
        EXPECT_EQ(added.ok, i < 40) << name;
        if (added.ok && !had) model.push_back("\\\\SRV\\Q" + std::to_string(i));
        break;
      }
      default: {
        const auto found = first(name);
        EXPECT_EQ(spooler.DeletePrinterConnection(name).ok, found != model.end()) << name;
        if (found != model.end()) model.erase(found);
        break;
      }
    }
    ASSERT_EQ(Names(state), model) << "step " << step;
    const auto found = first(name);
    const HandleResult opened = spooler.OpenPrinter(name, PrinterAccess::Default);
    if (found != model.end() && i < 40) {
      ASSERT_NE(opened.handle, 0u) << name;
      // The first printer of the name, in its own spelling.
      EXPECT_EQ(spooler.GetPrinter(opened.handle, 4096).value.printerName, *found);
      spooler.ClosePrinter(opened.handle);
    }
  }
  // Removing the default leaves none, as Windows does.
  spooler.AddPrinterConnection(connection(2, true).name, ConnectionPrompts::Never);
  ASSERT_TRUE(spooler.SetDefaultPrinter(connection(2, true).name).ok);
  ASSERT_TRUE(spooler.DeletePrinterConnection(connection(2, false).name).ok);
  EXPECT_EQ(state.defaultPrinter, std::optional<std::string>(""));
}

}  // namespace
}  // namespace quillon::platform::sim

namespace quillon::platform::sim {
namespace {

class CountingClock : public NoClock {
 public:
  void Sleep(int milliseconds) override { sleeps.push_back(milliseconds); }
  std::vector<int> sleeps;
};

TEST(SimServerConditionTest, ASlowServerIsWaitedForAndADeadOneFailsWhereItIsNeeded) {
  LoadResult loaded = ParseClient(R"({
    "printers": [
      { "name": "\\\\OLDSRV\\HP4", "serverName": "\\\\OLDSRV", "shareName": "HP4", "attributes": 16 },
      { "name": "\\\\FARSRV\\HP4", "serverName": "\\\\FARSRV", "shareName": "HP4", "attributes": 16 }
    ],
    "printServers": { "OLDSRV": [ { "shareName": "HP4" } ], "FARSRV": [ { "shareName": "HP4" } ],
                      "NEWSRV": [ { "shareName": "HP4" } ] },
    "serverConditions": { "oldsrv": { "reachable": false, "latencyMs": 150000 },
                          "FARSRV": { "latencyMs": 1500 } }
  })", "client.json");
  ASSERT_TRUE(loaded.ok) << loaded.error;
  SimClientState state = std::move(loaded.state);
  HostFileSystem files;
  CountingClock clock;
  SimHost host;
  host.echoMessageBoxes = false;
  SimPlatform client(state, host, files, clock);

  const std::vector<ServerProbe> probed = client.ProbeServers({"OLDSRV", "FarSrv", "NEWSRV"});
  ASSERT_EQ(probed.size(), 3u);
  EXPECT_EQ(probed[0].server, "OLDSRV");
  EXPECT_FALSE(probed[0].answers);
  EXPECT_TRUE(probed[1].answers);
  EXPECT_TRUE(probed[2].answers);
  EXPECT_TRUE(clock.sleeps.empty()) << "a probe waits for nothing";
  EXPECT_TRUE(state.spoolerCalls.empty()) << "nor is it a spooler call";

  // The slow server: every call on it waits, and still works.
  const HandleResult far = client.OpenPrinter("\\\\FARSRV\\HP4", PrinterAccess::Default);
  EXPECT_NE(far.handle, 0u);
  EXPECT_TRUE(client.GetPrinter(far.handle, 4096).ok);
  client.ClosePrinter(far.handle);
  EXPECT_EQ(clock.sleeps, (std::vector<int>{1500, 1500}));

  // The dead one: what needs it waits out the time and fails with 1722;
  // removing a connection is done on the client alone, at once.
  clock.sleeps.clear();
  EXPECT_EQ(client.OpenPrinter("\\\\OLDSRV\\HP4", PrinterAccess::Default).error,
            kErrorRpcServerUnavailable);
  EXPECT_EQ(client.AddPrinterConnection("\\\\OLDSRV\\HP4", ConnectionPrompts::Never).error,
            kErrorRpcServerUnavailable);
  EXPECT_EQ(client.SetDefaultPrinter("\\\\OLDSRV\\HP4").error, kErrorRpcServerUnavailable);
  EXPECT_EQ(client.ListServerQueues("OLDSRV").error, kErrorRpcServerUnavailable);
  EXPECT_EQ(clock.sleeps, (std::vector<int>{150000, 150000, 150000, 150000}));
  clock.sleeps.clear();
  EXPECT_TRUE(client.DeletePrinterConnection("\\\\OLDSRV\\HP4").ok);
  EXPECT_TRUE(clock.sleeps.empty());
  ASSERT_EQ(state.printers.size(), 1u);
  EXPECT_EQ(state.printers[0].name, "\\\\FARSRV\\HP4");
  // A server without conditions answers at once.
  EXPECT_TRUE(client.AddPrinterConnection("\\\\NEWSRV\\HP4", ConnectionPrompts::Never).ok);
  EXPECT_TRUE(clock.sleeps.empty());
}

}  // namespace
}  // namespace quillon::platform::sim
