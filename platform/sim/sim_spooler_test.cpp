// The simulated spooler's printer and connection calls: opening and
// describing printers, connecting and disconnecting, local printers, the
// default printer and the NT 4.0 profile strings that follow the spooler.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_spooler_test_fixture.h"

namespace quillon::platform::sim {
namespace {

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

}  // namespace
}  // namespace quillon::platform::sim
