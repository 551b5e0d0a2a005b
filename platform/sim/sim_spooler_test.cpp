#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_test_support.h"

namespace quillon::platform::sim {
namespace {

namespace fs = std::filesystem;


// A client with a stale connection (its server lists the queue no more), a
// working one that is the default, a cached one to an unlisted server and a
// local printer.
const char* const kClient = R"({
  "printers": [
    { "name": "\\\\OLDSRV\\HP4", "serverName": "\\\\OLDSRV", "shareName": "HP4",
      "portName": "IP_10.0.0.4", "driverName": "HP LaserJet 4", "comment": "2nd floor",
      "location": "B2", "attributes": 16 },
    { "name": "\\\\OLDSRV\\Laser", "serverName": "\\\\OLDSRV", "shareName": "Laser",
      "portName": "IP_10.0.0.5", "driverName": "Generic", "comment": "", "location": "",
      "attributes": 16 },
    { "name": "\\\\GONE\\Plotter", "serverName": "\\\\GONE", "shareName": "Plotter",
      "portName": "P:", "driverName": "Plot", "comment": "", "location": "", "attributes": 16 },
    { "name": "Local", "serverName": "", "shareName": "", "portName": "LPT1:",
      "driverName": "Generic", "comment": "", "location": "", "attributes": 64 }
  ],
  "defaultPrinter": "\\\\OLDSRV\\Laser",
  "printServers": {
    "NEWSRV": [
      { "shareName": "HP4", "driverName": "HP LaserJet 4", "portName": "NE01:",
        "comment": "new", "location": "B3" },
      { "shareName": "Color", "driverName": "Color Drv", "portName": "NE02:",
        "comment": "", "location": "" }
    ],
    "OldSrv": [
      { "shareName": "laser", "driverName": "Generic", "portName": "NE03:",
        "comment": "", "location": "" }
    ]
  },
  "drivers": [ "Generic",
               { "name": "HP LaserJet 4", "driverPath": "C:\\d\\hp4.dll", "dataFile": "hp4.dll",
                 "configFile": "hp4.dll", "environment": "Windows 4.0", "version": 1024 } ],
  "ports": [ "LPT1:", "IP_10.0.0.4" ]
})";

const std::string kStale = R"(\\OLDSRV\HP4)";
const std::string kLaser = R"(\\OLDSRV\Laser)";
const std::string kCached = R"(\\GONE\Plotter)";

PrinterInfo2 LocalPrinterInfo(std::string name, std::string port, std::string driver) {
  PrinterInfo2 info;
  info.printerName = std::move(name);
  info.portName = std::move(port);
  info.driverName = std::move(driver);
  info.comment = "Adding using Quillon";
  info.printProcessor = "WinPrint";
  info.datatype = "RAW";
  info.attributes = kPrinterAttributeLocal;
  return info;
}

std::vector<std::string> Names(const SimClientState& state) {
  std::vector<std::string> names;
  for (const auto& printer : state.printers) names.push_back(printer.name);
  return names;
}

// The state without the call record, for "nothing changed" comparisons.
std::string WorldOf(SimClientState state) {
  state.spoolerCalls.clear();
  return SerializeClient(state);
}

class SimSpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadResult loaded = ParseClient(kClient, "client.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    state_ = std::move(loaded.state);
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-simspooler-" + std::to_string(seed()));
    fs::create_directories(folder_);
    host_.clientPath = (folder_ / "client.json").string();
    host_.echoMessageBoxes = false;
    client_.emplace(state_, host_, files_, clock_);
  }
  void TearDown() override {
    client_.reset();
    fs::remove_all(folder_);
  }

  Spooler& spooler() { return *client_; }

  PrinterHandle Open(const std::string& name) {
    HandleResult opened = spooler().OpenPrinter(name, PrinterAccess::Default);
    EXPECT_NE(opened.handle, 0u) << name << " error " << opened.error;
    return opened.handle;
  }

  PrinterInfo2 Info(PrinterHandle handle) {
    SizedResult<PrinterInfo2> got = spooler().GetPrinter(handle, 4096);
    EXPECT_TRUE(got.ok) << "error " << got.error;
    return got.value;
  }

  fs::path folder_;
  SimClientState state_;
  SimHost host_;
  HostFileSystem files_;
  NoClock clock_;
  std::optional<SimPlatform> client_;
};

TEST_F(SimSpoolerTest, OpenPrinterFindsPrintersCachedConnectionsAndListedQueues) {
  EXPECT_EQ(spooler().EnumPrinterNames().names,
            (std::vector<std::string>{kStale, kLaser, kCached, "Local"}));
  struct Case {
    std::string name;
    std::uint32_t error;  // 0: a handle results
  };
  const Case cases[] = {
      {R"(\\oldsrv\LASER)", 0},        // a printer, any letter case
      {"local", 0},                    //
      {R"(\\gone\plotter)", 0},        // server not listed: the cached record
      {R"(\\newsrv\color)", 0},        // not a printer, but a listed queue
      {kStale, 1801},                  // server listed, queue gone
      {R"(\\NEWSRV\Nothing)", 1801},   //
      {R"(\\UNLISTED\X)", 1801},       // neither a printer nor a queue
      {"Nothing", 1801},
      {R"(\\NEWSRV)", 1801},
      {"", 1801},
  };
  std::vector<PrinterHandle> handles;
  for (const Case& c : cases) {
    HandleResult opened = spooler().OpenPrinter(c.name, PrinterAccess::AllAccess);
    EXPECT_EQ(opened.error, c.error) << c.name;
    EXPECT_EQ(opened.handle != 0, c.error == 0) << c.name;
    if (opened.handle) handles.push_back(opened.handle);
  }
  ASSERT_EQ(handles.size(), 4u);
  // A closed handle is dead and its number never comes back.
  spooler().ClosePrinter(handles[0]);
  EXPECT_EQ(spooler().GetPrinter(handles[0], 4096).error, 6u);
  EXPECT_TRUE(spooler().GetPrinter(handles[1], 4096).ok);
  for (int i = 0; i < 3; ++i) handles.push_back(Open(kLaser));
  for (std::size_t i = 0; i < handles.size(); ++i) {
    for (std::size_t j = i + 1; j < handles.size(); ++j) EXPECT_NE(handles[i], handles[j]);
  }
}

TEST_F(SimSpoolerTest, GetPrinterSizesTheRecordAndDescribesIt) {
  PrinterInfo2 laser;
  laser.serverName = R"(\\OLDSRV)";
  laser.printerName = kLaser;
  laser.shareName = "Laser";
  laser.portName = "IP_10.0.0.5";
  laser.driverName = "Generic";
  laser.attributes = 0x10;
  PrinterInfo2 color;  // a queue view: spelt as the server lists it
  color.serverName = R"(\\NEWSRV)";
  color.printerName = R"(\\NEWSRV\Color)";
  color.shareName = "Color";
  color.portName = "NE02:";
  color.driverName = "Color Drv";
  color.attributes = 0x10;
  PrinterInfo2 local;
  local.printerName = "Local";
  local.portName = "LPT1:";
  local.driverName = "Generic";
  local.attributes = 0x40;
  struct Case {
    std::string open;
    std::size_t needed;  // 136 and each non-empty text with its NUL
    PrinterInfo2 expected;
  };
  const Case cases[] = {
      {R"(\\OLDSRV\laser)", 136 + 9 + 15 + 6 + 12 + 8, laser},
      {R"(\\newsrv\COLOR)", 136 + 9 + 15 + 6 + 6 + 10, color},
      {"LOCAL", 136 + 6 + 6 + 8, local},
  };
  for (const Case& c : cases) {
    PrinterHandle handle = Open(c.open);
    for (std::size_t buffer : {std::size_t{0}, c.needed - 1}) {
      SizedResult<PrinterInfo2> small = spooler().GetPrinter(handle, buffer);
      EXPECT_FALSE(small.ok) << c.open;
      EXPECT_EQ(small.error, 122u) << c.open;
      EXPECT_EQ(small.needed, c.needed) << c.open;
      EXPECT_EQ(small.value, PrinterInfo2{}) << c.open;
    }
    SizedResult<PrinterInfo2> got = spooler().GetPrinter(handle, c.needed);
    EXPECT_TRUE(got.ok) << c.open;
    EXPECT_EQ(got.error, 0u) << c.open;
    EXPECT_EQ(got.value, c.expected) << c.open;
  }
  for (PrinterHandle bad : {PrinterHandle{0}, PrinterHandle{987654}}) {
    SizedResult<PrinterInfo2> got = spooler().GetPrinter(bad, 4096);
    EXPECT_FALSE(got.ok);
    EXPECT_EQ(got.error, 6u);
  }
}

TEST_F(SimSpoolerTest, SetPrinterUpdatesTheRecordAndTheDefaultBitMakesTheDefault) {
  PrinterHandle local = Open("Local");
  PrinterInfo2 info = Info(local);
  info.comment = "by the door";
  info.location = "Hall";
  info.attributes |= kPrinterAttributeDefault | 0x200;
  SpoolerResult set = spooler().SetPrinter(local, info);
  EXPECT_TRUE(set.ok);
  EXPECT_EQ(set.error, 0u);
  EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>("Local"));
  const SimPrinter& stored = state_.printers[3];
  EXPECT_EQ(stored.comment, "by the door");
  EXPECT_EQ(stored.location, "Hall");
  EXPECT_EQ(stored.attributes, 0x240u);
  // Without the bit the default stays where it is.
  PrinterHandle laser = Open(kLaser);
  info = Info(laser);
  info.comment = "x";
  EXPECT_TRUE(spooler().SetPrinter(laser, info).ok);
  EXPECT_EQ(state_.printers[1].comment, "x");
  EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>("Local"));

  const std::string before = WorldOf(state_);
  struct Case {
    PrinterHandle handle;
    std::uint32_t error;
  };
  const Case cases[] = {{0, 6}, {424242, 6}, {Open(R"(\\NEWSRV\HP4)"), 5}};
  for (const Case& c : cases) {
    SpoolerResult refused = spooler().SetPrinter(c.handle, info);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, c.error) << c.handle;
  }
  EXPECT_EQ(WorldOf(state_), before);
}

TEST_F(SimSpoolerTest, AddPrinterConnectionTakesTheQueueDetails) {
  struct Case {
    std::string name;
    std::uint32_t error;
  };
  const Case refused[] = {
      {R"(\\NOSUCH\HP4)", 1722}, {R"(\\NEWSRV\Missing)", 1801}, {kStale, 1801},
      {"HP4", 1801},             {R"(\\NEWSRV)", 1801},         {R"(\\NEWSRV\)", 1801},
      {R"(\\\HP4)", 1801},
  };
  const std::string before = WorldOf(state_);
  for (const Case& c : refused) {
    SpoolerResult added = spooler().AddPrinterConnection(c.name, ConnectionPrompts::Never);
    EXPECT_FALSE(added.ok) << c.name;
    EXPECT_EQ(added.error, c.error) << c.name;
  }
  EXPECT_EQ(WorldOf(state_), before);

  SpoolerResult added = spooler().AddPrinterConnection(R"(\\newsrv\hp4)", ConnectionPrompts::Never);
  EXPECT_TRUE(added.ok);
  EXPECT_EQ(added.error, 0u);
  ASSERT_EQ(state_.printers.size(), 5u);
  const SimPrinter& connection = state_.printers.back();
  EXPECT_EQ(connection.name, R"(\\NEWSRV\HP4)");
  EXPECT_EQ(connection.serverName, R"(\\NEWSRV)");
  EXPECT_EQ(connection.shareName, "HP4");
  EXPECT_EQ(connection.portName, "NE01:");
  EXPECT_EQ(connection.driverName, "HP LaserJet 4");
  EXPECT_EQ(connection.comment, "new");
  EXPECT_EQ(connection.location, "B3");
  EXPECT_EQ(connection.attributes, 0x10u);
  // Existing connections, in any spelling, succeed and add nothing.
  for (const std::string name : {R"(\\NEWSRV\HP4)", R"(\\OLDSRV\LASER)"}) {
    EXPECT_TRUE(spooler().AddPrinterConnection(name, ConnectionPrompts::Never).ok) << name;
  }
  EXPECT_EQ(state_.printers.size(), 5u);
  EXPECT_EQ(Info(Open(R"(\\NEWSRV\hp4)")).printerName, R"(\\NEWSRV\HP4)");
}

TEST_F(SimSpoolerTest, AQueueThatNeedsAPromptIsRefusedWithoutOne) {
  state_.printServers[0].second[1].needsPrompt = true;  // Color on NEWSRV
  state_.printServers[1].second[0].needsPrompt = true;  // laser on OldSrv, already connected
  const std::string before = WorldOf(state_);
  const SpoolerResult never =
      spooler().AddPrinterConnection(R"(\\NEWSRV\Color)", ConnectionPrompts::Never);
  EXPECT_FALSE(never.ok);
  EXPECT_EQ(never.error, 3019u) << "fails at once rather than waiting on a prompt";
  // With prompts allowed nobody at a logon answers one: it ends cancelled.
  const SpoolerResult allowed =
      spooler().AddPrinterConnection(R"(\\NEWSRV\Color)", ConnectionPrompts::Allowed);
  EXPECT_FALSE(allowed.ok);
  EXPECT_EQ(allowed.error, 1223u);
  // An existing connection needs no driver download; other queues connect as before.
  EXPECT_TRUE(spooler().AddPrinterConnection(kLaser, ConnectionPrompts::Never).ok);
  EXPECT_EQ(WorldOf(state_), before);
  EXPECT_TRUE(spooler().AddPrinterConnection(R"(\\NEWSRV\HP4)", ConnectionPrompts::Never).ok);
  EXPECT_EQ(state_.printers.back().name, R"(\\NEWSRV\HP4)");
}

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

TEST_F(SimSpoolerTest, DeletingTheDefaultLeavesNoDefault) {
  PrinterHandle laser = Open(kLaser);
  struct Case {
    std::string name;
    std::uint32_t error;
    std::string defaultAfter;
  };
  const Case cases[] = {
      {R"(\\gone\PLOTTER)", 0, kLaser},  // not the default: the default stays
      {"Local", 1801, kLaser},           // a local printer is no connection
      {R"(\\NEWSRV\HP4)", 1801, kLaser},  // a queue, not a connection of this user
      {R"(\\oldsrv\laser)", 0, ""},
      {kLaser, 1801, ""},                // already gone
  };
  for (const Case& c : cases) {
    SpoolerResult deleted = spooler().DeletePrinterConnection(c.name);
    EXPECT_EQ(deleted.ok, c.error == 0) << c.name;
    EXPECT_EQ(deleted.error, c.error) << c.name;
    EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>(c.defaultAfter)) << c.name;
  }
  EXPECT_EQ(Names(state_), (std::vector<std::string>{kStale, "Local"}));
  EXPECT_EQ(spooler().GetPrinter(laser, 4096).error, 6u);
  SizedResult<std::string> none = spooler().GetDefaultPrinter(1024);
  EXPECT_FALSE(none.ok);
  EXPECT_EQ(none.error, 2u);
}

TEST_F(SimSpoolerTest, AddPrinterChecksNameDriverAndPort) {
  struct Case {
    PrinterInfo2 info;
    std::uint32_t error;
  };
  const Case refused[] = {
      {LocalPrinterInfo("local", "LPT1:", "Generic"), 1802},
      {LocalPrinterInfo(kLaser, "LPT1:", "Generic"), 1802},
      {LocalPrinterInfo("New", "LPT1:", "No Such Driver"), 1797},
      {LocalPrinterInfo("New", "COM9:", "Generic"), 1796},
      {LocalPrinterInfo("", "LPT1:", "Generic"), 1801},
  };
  const std::string before = WorldOf(state_);
  for (const Case& c : refused) {
    HandleResult added = spooler().AddPrinter(c.info);
    EXPECT_EQ(added.handle, 0u) << c.info.printerName;
    EXPECT_EQ(added.error, c.error) << c.info.printerName;
  }
  EXPECT_EQ(WorldOf(state_), before);

  // Driver and port names match in any letter case, bare driver names too.
  PrinterInfo2 info = LocalPrinterInfo("HP4", "ip_10.0.0.4", "GENERIC");
  info.shareName = "ignored";
  info.location = "Desk";
  info.attributes = 0x200;
  HandleResult added = spooler().AddPrinter(info);
  ASSERT_NE(added.handle, 0u);
  EXPECT_EQ(added.error, 0u);
  ASSERT_EQ(state_.printers.size(), 5u);
  const SimPrinter& printer = state_.printers.back();
  EXPECT_EQ(printer.name, "HP4");
  EXPECT_EQ(printer.serverName, "");
  EXPECT_EQ(printer.shareName, "");
  EXPECT_EQ(printer.portName, "ip_10.0.0.4");
  EXPECT_EQ(printer.driverName, "GENERIC");
  EXPECT_EQ(printer.comment, "Adding using Quillon");
  EXPECT_EQ(printer.location, "Desk");
  EXPECT_EQ(printer.attributes, 0x240u);
  EXPECT_EQ(Info(added.handle).printerName, "HP4");
  EXPECT_EQ(spooler().AddPrinter(LocalPrinterInfo("hp4", "LPT1:", "Generic")).error, 1802u);
}

TEST_F(SimSpoolerTest, DeletePrinterRemovesThroughItsHandle) {
  ASSERT_TRUE(spooler().SetDefaultPrinter("LOCAL").ok);
  PrinterHandle local = Open("local");
  PrinterHandle queue = Open(R"(\\NEWSRV\Color)");
  struct Case {
    PrinterHandle handle;
    std::uint32_t error;
  };
  const Case refused[] = {{0, 6}, {31337, 6}, {queue, 5}};
  const std::string before = WorldOf(state_);
  for (const Case& c : refused) {
    SpoolerResult deleted = spooler().DeletePrinter(c.handle);
    EXPECT_FALSE(deleted.ok);
    EXPECT_EQ(deleted.error, c.error) << c.handle;
  }
  EXPECT_EQ(WorldOf(state_), before);

  SpoolerResult deleted = spooler().DeletePrinter(local);
  EXPECT_TRUE(deleted.ok);
  EXPECT_EQ(deleted.error, 0u);
  EXPECT_EQ(Names(state_), (std::vector<std::string>{kStale, kLaser, kCached}));
  EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>(""));
  // The handle stays open but its printer is gone.
  EXPECT_EQ(spooler().DeletePrinter(local).error, 6u);
  // A connection can be deleted through a handle as well; the default stays.
  ASSERT_TRUE(spooler().SetDefaultPrinter(kLaser).ok);
  EXPECT_TRUE(spooler().DeletePrinter(Open(kCached)).ok);
  EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>(kLaser));
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

TEST_F(SimSpoolerTest, DefaultPrinterQueriesAndChanges) {
  struct QueryCase {
    std::optional<std::string> stored;
    std::size_t buffer;
    std::uint32_t error;
    std::size_t needed;
  };
  const QueryCase queries[] = {
      {std::nullopt, 1024, 2, 0}, {"", 1024, 2, 0},       {kLaser, 1024, 0, 15},
      {kLaser, 15, 0, 15},        {kLaser, 14, 122, 15},  {kLaser, 0, 122, 15},
  };
  for (const QueryCase& q : queries) {
    state_.defaultPrinter = q.stored;
    SizedResult<std::string> got = spooler().GetDefaultPrinter(q.buffer);
    EXPECT_EQ(got.ok, q.error == 0) << q.buffer;
    EXPECT_EQ(got.error, q.error) << q.buffer;
    EXPECT_EQ(got.needed, q.needed) << q.buffer;
    EXPECT_EQ(got.value, q.error == 0 ? kLaser : "") << q.buffer;
  }

  struct SetCase {
    std::string name;
    std::uint32_t error;
    std::string defaultAfter;  // stored under the printer's own spelling
  };
  const SetCase sets[] = {
      {"LOCAL", 0, "Local"},
      {R"(\\newsrv\color)", 1801, "Local"},  // a queue, not one of the user's printers
      {"Nowhere", 1801, "Local"},
      {R"(\\gone\plotter)", 0, kCached},
  };
  for (const SetCase& s : sets) {
    SpoolerResult set = spooler().SetDefaultPrinter(s.name);
    EXPECT_EQ(set.ok, s.error == 0) << s.name;
    EXPECT_EQ(set.error, s.error) << s.name;
    EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>(s.defaultAfter)) << s.name;
  }
}

TEST_F(SimSpoolerTest, EnumDefaultPrinterGivesTheDefaultsRecord) {
  for (const std::optional<std::string>& none :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("Removed meanwhile")}) {
    state_.defaultPrinter = none;
    SizedResult<std::vector<PrinterInfo2>> got = spooler().EnumDefaultPrinter(0);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.error, 0u);
    EXPECT_EQ(got.needed, 0u);
    EXPECT_TRUE(got.value.empty());
  }
  state_.defaultPrinter = R"(\\oldsrv\laser)";
  const std::size_t needed = spooler().GetPrinter(Open(kLaser), 0).needed;
  ASSERT_GT(needed, 136u);
  for (std::size_t buffer : {std::size_t{0}, needed - 1}) {
    SizedResult<std::vector<PrinterInfo2>> small = spooler().EnumDefaultPrinter(buffer);
    EXPECT_FALSE(small.ok);
    EXPECT_EQ(small.error, 122u);
    EXPECT_EQ(small.needed, needed);
    EXPECT_TRUE(small.value.empty());
  }
  SizedResult<std::vector<PrinterInfo2>> got = spooler().EnumDefaultPrinter(needed);
  EXPECT_TRUE(got.ok);
  ASSERT_EQ(got.value.size(), 1u);
  EXPECT_EQ(got.value[0], Info(Open(kLaser)));
}

TEST_F(SimSpoolerTest, NtFourProfileStringsFollowTheSpooler) {
  ProfileStrings& strings = *client_;
  struct Case {
    std::string section, key;
    std::optional<std::string> expected;
  };
  const Case answers[] = {
      {"Windows", "device", kLaser + ",winspool,IP_10.0.0.5"},
      {"WINDOWS", "DEVICE", kLaser + ",winspool,IP_10.0.0.5"},
      {"PrinterPorts", R"(\\oldsrv\hp4)", "winspool,IP_10.0.0.4,15,45"},
      {"printerports", "Local", "winspool,LPT1:,15,45"},
      {"PrinterPorts", "Nowhere", std::nullopt},
      {"PrinterPorts", R"(\\NEWSRV\HP4)", std::nullopt},  // a queue, not a printer
      {"Windows", "other", std::nullopt},
      {"Other", "device", std::nullopt},
  };
  for (const Case& c : answers) {
    EXPECT_EQ(ProfileValue(strings, c.section, c.key), c.expected) << c.section << " " << c.key;
  }
  // Entries the file has win over the spooler's view.
  state_.winIni.push_back({"PrinterPorts", {{"Local", "winspool,LPT2:,15,45"}}});
  EXPECT_EQ(ProfileValue(strings, "PrinterPorts", "LOCAL"),
            std::optional<std::string>("winspool,LPT2:,15,45"));
  state_.defaultPrinter = "";
  EXPECT_EQ(ProfileValue(strings, "Windows", "device"), std::nullopt);

  // Writing "device" is how NT 4.0 sets the default.
  struct WriteCase {
    std::string value, defaultAfter;
  };
  const WriteCase writes[] = {
      {"Local,winspool,LPT1:", "Local"},
      {R"(\\NEWSRV\HP4,winspool,NE01:)", R"(\\NEWSRV\HP4)"},
      {"NoCommas", "NoCommas"},
  };
  for (const WriteCase& w : writes) {
    ASSERT_TRUE(strings.WriteProfileString("windows", "Device", w.value).ok);
    EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>(w.defaultAfter)) << w.value;
    EXPECT_EQ(ProfileValue(strings, "Windows", "device"), std::optional<std::string>(w.value));
  }
  ASSERT_TRUE(strings.WriteProfileString("PrinterPorts", "device", "x,y").ok);
  EXPECT_EQ(state_.defaultPrinter, std::optional<std::string>("NoCommas"));
}

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
