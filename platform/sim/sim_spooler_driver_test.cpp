// The simulated spooler's driver and port calls: the driver rule a
// connection follows, a staging run's calls, who may install a driver or add
// a port, and copies of driver files that fail where a failure is injected.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/sim_spooler_test_fixture.h"

namespace quillon::platform::sim {
namespace {

// The 2021 rule: a standard user may not fetch a missing or older driver.
TEST_F(SimSpoolerTest, ADriverMissingOrOlderIsFetchedOnlyWhereTheRuleAllows) {
  const SimClientState fresh = state_;
  const std::string color = R"(\\NEWSRV\Color)";
  enum class Installed { None, Same, Older, Newer, OtherEnvironmentOnly };
  struct Case {
    Installed installed;
    bool restricted, elevated, offeredHere;
    std::uint32_t error;  // 0: connected
    bool updated;         // the driver is at the server's version afterwards, installed by the call
  };
  const Case cases[] = {
      {Installed::None, true, false, true, 3019, false},
      {Installed::Older, true, false, true, 3019, false},
      {Installed::OtherEnvironmentOnly, true, false, true, 3019, false},
      {Installed::Same, true, false, true, 0, false},
      {Installed::Newer, true, false, true, 0, false},
      {Installed::None, false, false, true, 0, true},
      {Installed::Older, false, false, true, 0, true},
      {Installed::None, true, true, true, 0, true},
      {Installed::Older, true, true, true, 0, true},
      {Installed::OtherEnvironmentOnly, true, true, true, 0, true},
      {Installed::None, false, true, false, 1797, false},
      {Installed::Same, false, true, false, 1797, false},
  };
  for (const Case& c : cases) {
    const std::string label = "case " + std::to_string(&c - cases);
    state_ = fresh;
    SimQueue& queue = state_.printServers[0].second[1];
    queue.driverVersion = "7.1.0.0";
    if (!c.offeredHere) queue.environments = std::vector<std::string>{"Windows NT x86"};
    state_.pointAndPrint = SimPointAndPrint{c.restricted};
    state_.elevated = c.elevated;
    SimDriver driver{"Color Drv", "", "", "", "Windows x64", 3};
    switch (c.installed) {
      case Installed::None: break;
      case Installed::Same: driver.driverVersion = "7.1.0.0"; break;
      case Installed::Older: driver.driverVersion = "6.0.0.0"; break;
      case Installed::Newer: driver.driverVersion = "7.10.0.0"; break;
      case Installed::OtherEnvironmentOnly:
        driver.environment = "Windows NT x86";
        driver.driverVersion = "7.1.0.0";
        break;
    }
    if (c.installed != Installed::None) state_.drivers.push_back(driver);
    client_.emplace(state_, host_, files_, clock_);
    const std::string before = WorldOf(state_);

    const SpoolerResult added = spooler().AddPrinterConnection(color, ConnectionPrompts::Never);
    EXPECT_EQ(added.error, c.error) << label;
    if (c.error != 0) {
      EXPECT_EQ(WorldOf(state_), before) << label << ": a refused connection changes nothing";
      continue;
    }
    EXPECT_EQ(state_.printers.back().name, color) << label;
    std::vector<std::string> here;
    for (const SimDriver& d : state_.drivers) {
      if (d.name == "Color Drv" && d.environment == "Windows x64") {
        here.push_back(d.driverVersion.value_or("0.0.0.0"));
      }
    }
    if (c.updated) {
      EXPECT_EQ(here, std::vector<std::string>{"7.1.0.0"}) << label;
    } else {
      EXPECT_EQ(state_.drivers.size(), fresh.drivers.size() + 1) << label << ": left alone";
    }
  }

  // A queue without a version connects as it always did, without any driver.
  state_ = fresh;
  state_.pointAndPrint = SimPointAndPrint{true};
  state_.elevated = false;
  client_.emplace(state_, host_, files_, clock_);
  EXPECT_TRUE(spooler().AddPrinterConnection(color, ConnectionPrompts::Never).ok);
  EXPECT_EQ(state_.drivers.size(), fresh.drivers.size());
}

// What a staging run asks: the server's queues, the drivers here, an install
// without a connection, and every profile's connections.
TEST_F(SimSpoolerTest, StagingCallsListInstallAndLeaveNoConnection) {
  SimQueue& color = state_.printServers[0].second[1];
  color.driverVersion = "7.1.0.0";
  color.packageAware = true;
  state_.drivers[0] = SimDriver{"Generic", "", "", "", "", 3, false, {}, "2.0.0.0"};

  ServerQueueList listed = spooler().ListServerQueues("newsrv");
  ASSERT_TRUE(listed.ok);
  ASSERT_EQ(listed.queues.size(), 2u);
  EXPECT_EQ(listed.queues[1].driverName, "Color Drv");
  EXPECT_EQ(listed.queues[1].driverVersion, ParseDriverVersion("7.1.0.0"));
  EXPECT_TRUE(listed.queues[1].packageAware);
  EXPECT_FALSE(listed.queues[0].driverVersion.has_value());
  EXPECT_EQ(spooler().ListServerQueues("NOSUCH").error, 1722u);

  // "Windows 4.0" is not this client's environment; a bare name is any.
  InstalledDriverList drivers = spooler().ListInstalledDrivers("Windows x64");
  ASSERT_TRUE(drivers.ok);
  ASSERT_EQ(drivers.drivers.size(), 1u);
  EXPECT_EQ(drivers.drivers[0].version, ParseDriverVersion("2.0.0.0"));

  const std::vector<std::string> namesBefore = Names(state_);
  state_.elevated = false;
  EXPECT_EQ(spooler().InstallDriverFromServer(R"(\\NEWSRV\Color)").error, 5u);
  state_.elevated = true;
  EXPECT_TRUE(spooler().InstallDriverFromServer(R"(\\NEWSRV\Color)").ok);
  EXPECT_EQ(Names(state_), namesBefore) << "no connection is left behind";
  EXPECT_EQ(state_.drivers.back().name, "Color Drv");
  EXPECT_EQ(state_.drivers.back().driverVersion, std::optional<std::string>("7.1.0.0"));
  EXPECT_EQ(spooler().InstallDriverFromServer(R"(\\NEWSRV\Nope)").error, 1801u);

  // Without `profiles`: the user's own connections.
  ProfileConnectionList own = spooler().ListProfileConnections();
  ASSERT_EQ(own.profiles.size(), 1u);
  EXPECT_EQ(own.profiles[0].connections, (std::vector<std::string>{kStale, kLaser, kCached}));
  state_.profiles = std::vector<SimProfile>{{"ann", {kLaser}, {}}, {"bob", {}, {}}};
  ProfileConnectionList all = spooler().ListProfileConnections();
  ASSERT_EQ(all.profiles.size(), 2u);
  EXPECT_EQ(all.profiles[1].userName, "bob");

  // The new keys survive a save and load; a malformed version is named.
  state_.pointAndPrint = SimPointAndPrint{true, {{"NoWarningNoElevationOnInstall", 0}}};
  LoadResult again = ParseClient(SerializeClient(state_), "client.json");
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(SerializeClient(again.state), SerializeClient(state_));
  LoadResult bad = ParseClient(R"({"drivers": [{"name": "X", "driverVersion": "7.1"}]})", "c.json");
  EXPECT_FALSE(bad.ok);
  EXPECT_NE(bad.error.find("driverVersion"), std::string::npos) << bad.error;
}

TEST_F(SimSpoolerTest, DriversAndPortsAreAddedOnce) {
  DriverInfo2 driver{3, "HP LaserJet 5", "Windows x64", "C:\\sys\\hp5.dll", "C:\\sys\\hp5.dat",
                     "C:\\sys\\hp5ui.dll"};
  SpoolerResult added = spooler().AddPrinterDriver(driver);
  EXPECT_TRUE(added.ok);
  EXPECT_EQ(added.error, 0u);
  ASSERT_EQ(state_.drivers.size(), 3u);
  const SimDriver& stored = state_.drivers.back();
  EXPECT_EQ(stored.name, "HP LaserJet 5");
  EXPECT_EQ(stored.environment, "Windows x64");
  EXPECT_EQ(stored.driverPath, "C:\\sys\\hp5.dll");
  EXPECT_EQ(stored.dataFile, "C:\\sys\\hp5.dat");
  EXPECT_EQ(stored.configFile, "C:\\sys\\hp5ui.dll");
  EXPECT_EQ(stored.version, 3u);
  EXPECT_FALSE(stored.bareName);

  EXPECT_TRUE(spooler().AddPort("IP_10.0.0.9", nullptr).ok);
  EXPECT_EQ(state_.ports.back(), "IP_10.0.0.9");

  struct Case {
    std::function<SpoolerResult()> call;
    std::uint32_t error;
    const char* what;
  };
  auto driverNamed = [&](const char* name) {
    DriverInfo2 info = driver;
    info.name = name;
    return info;
  };
  const Case refused[] = {
      {[&] { return spooler().AddPrinterDriver(driverNamed("hp laserjet 5")); }, 1795, "added"},
      {[&] { return spooler().AddPrinterDriver(driverNamed("GENERIC")); }, 1795, "bare name"},
      {[&] { return spooler().AddPrinterDriver(driverNamed("HP LASERJET 4")); }, 1795, "object"},
      {[&] { return spooler().AddPrinterDriver(driverNamed("")); }, 87, "no name"},
      {[&] { return spooler().AddPort("lpt1:", nullptr); }, 183, "listed port"},
      {[&] { return spooler().AddPort("ip_10.0.0.9", nullptr); }, 183, "added port"},
      {[&] { return spooler().AddPort("", nullptr); }, 87, "no port name"},
  };
  const std::string before = WorldOf(state_);
  for (const Case& c : refused) {
    SpoolerResult result = c.call();
    EXPECT_FALSE(result.ok) << c.what;
    EXPECT_EQ(result.error, c.error) << c.what;
  }
  EXPECT_EQ(WorldOf(state_), before);
}

// Who may install a driver or add a port, and which driver NT takes: the
// Windows 95/98/ME client lets anyone do anything the old way; NT refuses a
// standard user (5) and a "Windows 4.0" driver (1805), and copies the driver
// files from where the record names them.
TEST_F(SimSpoolerTest, DriversAndPortsByOsAndElevation) {
  const std::string share = (folder_ / "share").string();
  ASSERT_TRUE(files_.CreateFolders(share).ok);
  const std::string file = JoinPath(share, "qd.dll");
  ASSERT_TRUE(files_.WriteFileAtomic(file, "driver").ok);
  const DriverInfo2 old{0x400, "Q Old", "Windows 4.0", file, file, file};
  const DriverInfo2 nt{3, "Q NT", "Windows x64", file, file, file};
  DriverInfo2 missing = nt;
  missing.name = "Q Missing";
  missing.configFile = JoinPath(share, "absent.dll");
  struct Case {
    const char* what;
    int platformId;
    std::optional<bool> elevated;
    std::uint32_t oldDriver, driverFromFolder, missingFile, port, localPort;
  };
  const Case cases[] = {
      {"95", 1, std::nullopt, 0, 120, 120, 0, 120},
      {"95, elevated false means nothing", 1, false, 0, 120, 120, 0, 120},
      {"NT, key absent", 2, std::nullopt, 1805, 0, 2, 0, 0},
      {"NT administrator", 2, true, 1805, 0, 2, 0, 0},
      {"NT standard user", 2, false, 5, 5, 5, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state_.os = SimOs{c.platformId, c.platformId == 1 ? 4 : 10, 0, Json::object()};
    state_.elevated = c.elevated;
    state_.drivers.resize(2);
    state_.ports = {"LPT1:", "IP_10.0.0.4"};
    state_.spoolerCalls.clear();
    SimPlatform client(state_, host_, files_, clock_);
    EXPECT_EQ(client.IsElevated(), c.elevated.value_or(true) || c.platformId == 1);
    EXPECT_EQ(client.GetNativeDriverEnvironment(), c.platformId == 1 ? "" : "Windows x64");
    EXPECT_EQ(client.AddPrinterDriver(old).error, c.oldDriver);
    EXPECT_EQ(client.AddPrinterDriverFromFolder(nt).error, c.driverFromFolder);
    EXPECT_EQ(client.AddPrinterDriverFromFolder(missing).error, c.missingFile);
    EXPECT_EQ(client.AddPort("Q1:", nullptr).error, c.port);
    EXPECT_EQ(client.AddLocalPort("\\\\SRV\\Q").error, c.localPort);
    const std::size_t drivers = 2 + (c.oldDriver == 0) + (c.driverFromFolder == 0);
    EXPECT_EQ(state_.drivers.size(), drivers) << "a refused install adds nothing";
    const std::size_t ports = 2 + (c.port == 0) + (c.localPort == 0);
    EXPECT_EQ(state_.ports.size(), ports);
    ASSERT_EQ(state_.spoolerCalls.size(), 5u);
    EXPECT_EQ(state_.spoolerCalls[1].call, "AddPrinterDriverEx");
    EXPECT_EQ(state_.spoolerCalls[4].call, "XcvData");
    EXPECT_EQ(state_.spoolerCalls[4].name, "\\\\SRV\\Q");
    if (c.localPort == 0) {
      EXPECT_EQ(client.AddLocalPort("\\\\srv\\q").error, 183u) << "the port is there";
    }
  }
  // The environment follows the client file's, and both keys survive a save.
  state_.os->environment = "Windows NT x86";
  state_.elevated = false;
  LoadResult again = ParseClient(SerializeClient(state_), "client.json");
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(again.state.elevated, std::optional<bool>(false));
  SimPlatform x86(again.state, host_, files_, clock_);
  EXPECT_EQ(x86.GetNativeDriverEnvironment(), "Windows NT x86");
  EXPECT_FALSE(x86.IsElevated());
  LoadResult wrong = ParseClient(R"({"elevated": "yes"})", "client.json");
  EXPECT_FALSE(wrong.ok);
  EXPECT_NE(wrong.error.find("elevated"), std::string::npos) << wrong.error;
}

TEST_F(SimSpoolerTest, CopyFileFailsWhereAFailureIsInjected) {
  FileSystem& files = client_->AsPlatform().files;
  const std::string share = (folder_ / "share").string();
  const std::string system = (folder_ / "system32").string();
  ASSERT_TRUE(files.CreateFolders(share).ok);
  ASSERT_TRUE(files.CreateFolders(system).ok);
  for (const char* name : {"hp4.dll", "color.dll", "plain.dll"}) {
    ASSERT_TRUE(files.WriteFileAtomic(JoinPath(share, name), name).ok);
  }
  state_.failures.push_back({"copyfile", std::string("HP4.DLL"), 32, Json::object()});
  state_.failures.push_back({"CopyFile", JoinPath(share, "COLOR.dll"), 5, Json::object()});
  state_.failures.push_back({"OpenPrinter", std::string("plain.dll"), 9, Json::object()});
  struct Case {
    const char* name;
    std::uint32_t error;  // 0: copied
  };
  const Case cases[] = {{"hp4.dll", 32}, {"color.dll", 5}, {"plain.dll", 0}};
  for (const Case& c : cases) {
    Status copied = files.CopyFile(JoinPath(share, c.name), JoinPath(system, c.name));
    EXPECT_EQ(copied.ok, c.error == 0) << c.name;
    EXPECT_EQ(copied.errorNumber, c.error) << c.name;
    EXPECT_EQ(copied.description, c.error ? "Injected failure" : "") << c.name;
    EXPECT_EQ(files.FileExists(JoinPath(system, c.name)), c.error == 0) << c.name;
  }
  EXPECT_EQ(files_.ReadFile(JoinPath(system, "plain.dll")), std::optional<std::string>("plain.dll"));
  // Failures of the host still come through.
  EXPECT_FALSE(files.CopyFile(JoinPath(share, "absent.dll"), JoinPath(system, "x.dll")).ok);
}

}  // namespace
}  // namespace quillon::platform::sim
