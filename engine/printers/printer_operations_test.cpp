#include "engine/printers/printer_operations.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/engine_test_support.h"
#include "engine/printers/printer_failure.h"

namespace quillon::engine {
namespace {

TEST(PrinterOperationsTest, ConnectionsAreAddedAndRemovedWithTheirReports) {
  testing::EngineWorld world;
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("OLDSRV", "HP4");
  auto context = world.NewContext();

  EXPECT_TRUE(AddNetworkedPrinter(*context, "\\\\newsrv\\hp4"));
  DeleteNetworkedPrinter(*context, "\\\\OLDSRV\\HP4");
  EXPECT_TRUE(context->OperationsSucceeded);
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\HP4"});

  // Unknown queue, unreachable server, a connection that is not there.
  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\NEWSRV\\NOPE"));
  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\DOWN\\HP4"));
  DeleteNetworkedPrinter(*context, "\\\\OLDSRV\\HP4");
  EXPECT_FALSE(context->OperationsSucceeded);
  EXPECT_FALSE(context->AbortStatus) << "a failed printer operation never stops the run";

  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nPopulated networked printer: \\\\newsrv\\hp4"
            "\r\nDeleted networked printer: \\\\OLDSRV\\HP4"
            "\r\nError (1801) populating network printer: \\\\NEWSRV\\NOPE"
            "\r\nError (1722) populating network printer: \\\\DOWN\\HP4"
            "\r\nError (1801) deleting network printer: \\\\OLDSRV\\HP4");
  EXPECT_EQ(testing::WithoutExplanations(context->debugLog.text()),
            ">> Print server \\\\newsrv answers (probe took 0 ms)\r\n"
            ">> Added networked printer: \\\\newsrv\\hp4\r\n"
            ">> Removed networked printer: \\\\OLDSRV\\HP4\r\n"
            "ERROR: Adding client networked printer: \\\\NEWSRV\\NOPE\r\nSYSTEM ERROR: 1801\r\n"
            ">> Print server \\\\DOWN answers (probe took 0 ms)\r\n"
            "ERROR: Adding client networked printer: \\\\DOWN\\HP4\r\nSYSTEM ERROR: 1722\r\n"
            "ERROR: Removing client networked printer: \\\\OLDSRV\\HP4\r\nSYSTEM ERROR: 1801\r\n");
}

// Every failed operation is followed by what its code means: the spooler
// hardening's codes in plain words, their HRESULT form alike, and the system's
// own text for codes without an explanation of ours.
TEST(PrinterOperationsTest, AConnectionThatWouldPromptFailsAtOnceWithPlainWords) {
  testing::EngineWorld world;
  world.AddQueue("NEWSRV", "HP4");
  world.state.printServers[0].second[0].needsPrompt = true;
  auto context = world.NewContext();

  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\NEWSRV\\HP4"));
  EXPECT_TRUE(world.PrinterNames().empty());
  EXPECT_EQ(world.Calls({"AddPrinterConnection"}),
            std::vector<std::string>{"AddPrinterConnection \\\\NEWSRV\\HP4"});
  EXPECT_TRUE(world.clock.sleeps.empty());
  EXPECT_EQ(context->RunMessage,
            "\r\nError (3019) populating network printer: \\\\NEWSRV\\HP4\r\nWhat error 3019 means: "
            "the client does not have this printer's driver and the user may not download it "
            "(print spooler hardening since 2021). Install the driver before the user logs on: "
            "run QuillonEngine /StageDrivers as a computer start-up script (or deploy the driver "
            "by policy), or have the print server offer a package-aware driver; a connection "
            "being moved stays on its old server."
            "\r\nDriver needed: HP Universal from \\\\NEWSRV");

  // The codes a hardened spooler gives otherwise are explained too, in both forms.
  struct Case {
    std::uint32_t code;
    const char* words;
  };
  const Case cases[] = {
      {1223, "nobody gave them"},          {0x800704C7u, "Point and Print"},
      {283, "RpcAuthnLevelPrivacyEnabled"}, {0x8007011Bu, "disagree on RPC authentication"},
      {1805, "\"Windows 4.0\" drivers"},
  };
  for (const Case& c : cases) {
    EXPECT_NE(ExplainError(*context, c.code).find(c.words), std::string::npos) << c.code;
  }
}

TEST(PrinterOperationsTest, FailuresAreExplainedAfterTheirOwnLines) {
  testing::EngineWorld world;
  world.AddQueue("NEWSRV", "HP4");
  world.AddQueue("NEWSRV", "A");
  world.AddQueue("NEWSRV", "B");
  world.AddConnection("OLDSRV", "HP4");
  world.state.failures.push_back({"AddPrinterConnection", std::string("\\\\NEWSRV\\HP4"), 3019, {}});
  world.state.failures.push_back({"DeletePrinterConnection", std::nullopt, 0x80070709u, {}});
  world.state.failures.push_back({"AddPrinterConnection", std::string("\\\\NEWSRV\\A"), 87, {}});
  world.state.failures.push_back({"AddPrinterConnection", std::string("\\\\NEWSRV\\B"), 4242, {}});
  auto context = world.NewContext();

  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\NEWSRV\\HP4"));
  DeleteNetworkedPrinter(*context, "\\\\OLDSRV\\HP4");
  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\NEWSRV\\A"));
  EXPECT_FALSE(AddNetworkedPrinter(*context, "\\\\NEWSRV\\B"));
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\OLDSRV\\HP4"});

  const std::string driverNeeded =
      "What error 3019 means: the client does not have this printer's driver and the user may "
      "not download it (print spooler hardening since 2021). Install the driver before the user "
      "logs on: run QuillonEngine /StageDrivers as a computer start-up script (or deploy the "
      "driver by policy), or have the print server offer a package-aware driver; a connection "
      "being moved stays on its old server.\r\nDriver needed: HP Universal from \\\\NEWSRV";
  const std::string driverNeededDebug =
      driverNeeded.substr(0, driverNeeded.find("\r\n")) + "\r\n>> Driver needed: HP Universal from \\\\NEWSRV";
  const std::string noShare =
      "What error 2147944201 means: the print server has no shared printer of that name; check "
      "the share name in the document against the server's shares, or the printer was already "
      "removed.";
  EXPECT_EQ(context->RunMessage,
            "\r\nError (3019) populating network printer: \\\\NEWSRV\\HP4\r\n" + driverNeeded +
                "\r\nError (2147944201) deleting network printer: \\\\OLDSRV\\HP4\r\n" + noShare +
                "\r\nError (87) populating network printer: \\\\NEWSRV\\A"
                "\r\nWhat error 87 means: The parameter is incorrect."
                "\r\nError (4242) populating network printer: \\\\NEWSRV\\B"
                "\r\nWhat error 4242 means: Windows has no description of this code.");
  EXPECT_EQ(context->debugLog.text(),
            ">> Print server \\\\NEWSRV answers (probe took 0 ms)\r\n"
            "ERROR: Adding client networked printer: \\\\NEWSRV\\HP4\r\nSYSTEM ERROR: 3019\r\n>> " +
                driverNeededDebug +
                "\r\nERROR: Removing client networked printer: \\\\OLDSRV\\HP4\r\n"
                "SYSTEM ERROR: 2147944201\r\n>> " + noShare +
                "\r\nERROR: Adding client networked printer: \\\\NEWSRV\\A\r\nSYSTEM ERROR: 87\r\n"
                ">> What error 87 means: The parameter is incorrect.\r\n"
                "ERROR: Adding client networked printer: \\\\NEWSRV\\B\r\n"
                "SYSTEM ERROR: 4242\r\n>> What error 4242 means: Windows has no description of "
                "this code.\r\n");
}

// A spooler whose successful calls leave a stale last-error code behind, as
// Windows calls may.
class StaleErrorSpooler : public platform::Spooler {
 public:
  explicit StaleErrorSpooler(platform::Spooler& inner) : inner_(inner) {}
  platform::PrinterNameList EnumPrinterNames() override { return inner_.EnumPrinterNames(); }
  platform::SizedResult<std::vector<platform::PrinterInfo2>> EnumDefaultPrinter(std::size_t size) override {
    return inner_.EnumDefaultPrinter(size);
  }
  platform::HandleResult OpenPrinter(const std::string& name, platform::PrinterAccess access) override {
    return Stale(inner_.OpenPrinter(name, access));
  }
  platform::SizedResult<platform::PrinterInfo2> GetPrinter(platform::PrinterHandle h, std::size_t size) override {
    return inner_.GetPrinter(h, size);
  }
  platform::SpoolerResult SetPrinter(platform::PrinterHandle h, const platform::PrinterInfo2& info) override {
    return Stale(inner_.SetPrinter(h, info));
  }
  void ClosePrinter(platform::PrinterHandle h) override { inner_.ClosePrinter(h); }
  platform::SpoolerResult AddPrinterConnection(const std::string& name,
                                               platform::ConnectionPrompts prompts) override {
    return Stale(inner_.AddPrinterConnection(name, prompts));
  }
  platform::SpoolerResult DeletePrinterConnection(const std::string& name) override {
    return Stale(inner_.DeletePrinterConnection(name));
  }
  platform::HandleResult AddPrinter(const platform::PrinterInfo2& info) override {
    return Stale(inner_.AddPrinter(info));
  }
  platform::SpoolerResult DeletePrinter(platform::PrinterHandle h) override {
    return Stale(inner_.DeletePrinter(h));
  }
  platform::SpoolerResult AddPrinterDriver(const platform::DriverInfo2& info) override {
    return Stale(inner_.AddPrinterDriver(info));
  }
  platform::SpoolerResult AddPort(const std::string& name, platform::ProgressWindow* owner) override {
    return Stale(inner_.AddPort(name, owner));
  }
  platform::SpoolerResult AddPrinterDriverFromFolder(const platform::DriverInfo2& info) override {
    return Stale(inner_.AddPrinterDriverFromFolder(info));
  }
  platform::SpoolerResult AddLocalPort(const std::string& name) override {
    return Stale(inner_.AddLocalPort(name));
  }
  platform::SizedResult<std::string> GetDefaultPrinter(std::size_t chars) override {
    return inner_.GetDefaultPrinter(chars);
  }
  platform::SpoolerResult SetDefaultPrinter(const std::string& name) override {
    return Stale(inner_.SetDefaultPrinter(name));
  }

 private:
  template <typename Result>
  static Result Stale(Result result) {
    if (result.error == 0) result.error = 183;
    return result;
  }
  platform::Spooler& inner_;
};

TEST(PrinterOperationsTest, ACallThatSucceededIsASuccessWhateverCodeItLeft) {
  testing::EngineWorld world;
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("OLDSRV", "HP4");
  world.AddLocal("Old Local");
  world.state.drivers.push_back({"Generic / Text Only", "", "", "", "", 0, true, {}});
  world.state.ports.push_back("LPT1:");
  auto base = world.NewContext();
  StaleErrorSpooler stale(base->platform.spooler);
  platform::Platform services = base->platform;
  platform::Platform staleServices{services.system, services.registry, services.profileStrings,
                                   services.files,  services.ui,       services.clock,
                                   stale,           services.directory, services.eventLog,
                                   services.network};
  RunContext context(staleServices);
  context.document.DebugOn = true;

  EXPECT_TRUE(AddNetworkedPrinter(context, "\\\\NEWSRV\\HP4"));
  DeleteNetworkedPrinter(context, "\\\\OLDSRV\\HP4");
  DeleteLocalPrinter(context, "Old Local");
  AddLocalPrinter(context, "LPT1:", "", "", "Generic / Text Only", "New Local");
  EXPECT_TRUE(context.OperationsSucceeded) << context.RunMessage;
  EXPECT_EQ(world.PrinterNames(), (std::vector<std::string>{"\\\\NEWSRV\\HP4", "New Local"}));
}

// Windows 95/98/ME: the driver file is copied into the system folder and
// registered there as a "Windows 4.0" driver, the port added through AddPort.
TEST(PrinterOperationsTest, LocalPrintersPortsAndDrivers) {
  testing::EngineWorld world;
  world.state.os = platform::sim::SimOs{1, 4, 0, {}};
  world.AddLocal("Old Local");
  world.state.ports.push_back("LPT1:");
  world.state.drivers.push_back({"Generic / Text Only", "", "", "", "", 0, true, {}});
  // The driver share holds the file; the system folder receives it.
  const std::string share = world.Path("drivers");
  world.WriteFile(platform::JoinPath(share, "hpdrv.dll"), "driver bytes");
  auto context = world.NewContext();

  AddLocalPrinter(*context, "LPT1:", share, "hpdrv.dll", "HP Driver", "Office");
  EXPECT_TRUE(context->OperationsSucceeded);
  const std::string system = context->platform.system.GetSystemFolder();
  EXPECT_EQ(world.files.ReadFile(platform::JoinPath(system, "hpdrv.dll")),
            std::optional<std::string>("driver bytes"));
  ASSERT_EQ(world.state.drivers.size(), 2u);
  EXPECT_EQ(world.state.drivers[1].name, "HP Driver");
  EXPECT_EQ(world.state.drivers[1].environment, "Windows 4.0");
  EXPECT_EQ(world.state.drivers[1].version, 0x400u);
  EXPECT_EQ(world.state.drivers[1].driverPath, platform::JoinPath(system, "hpdrv.dll"));
  ASSERT_EQ(world.state.printers.size(), 2u);
  EXPECT_EQ(world.state.printers[1].comment, "Adding using Quillon");
  EXPECT_EQ(world.state.printers[1].attributes & platform::kPrinterAttributeLocal,
            platform::kPrinterAttributeLocal);

  // The same again: the driver is already there (no warning), the printer
  // exists (a warning only).
  AddLocalPrinter(*context, "LPT1:", share, "hpdrv.dll", "HP Driver", "Office");
  EXPECT_TRUE(context->OperationsSucceeded);
  // A driver file missing from the share and an unknown port.
  AddLocalPrinter(*context, "LPT9:", share, "missing.dll", "Other Driver", "Second");
  EXPECT_FALSE(context->OperationsSucceeded);
  // Without a driver file nothing is copied or registered; the add still runs.
  AddLocalPrinter(*context, "LPT1:", share, "", "Generic / Text Only", "Third");
  // A printer on a new port, the Windows 95/98/ME form of a network printer.
  AddNetworkedPrinterAsLocal(*context, "\\\\PRTSRV1\\HP4", "", "", "Generic / Text Only", "HP4");
  AddNetworkedPrinterAsLocal(*context, "\\\\PRTSRV1\\HP4", "", "", "Generic / Text Only", "HP4");
  DeleteLocalPrinter(*context, "Old Local");
  DeleteLocalPrinter(*context, "Old Local");

  // The copy warning carries the error's description, which names the file.
  std::string report = context->RunMessage;
  const std::size_t warning = report.find("\r\nWarning (");
  const std::size_t warningEnd = report.find(") unable to install provided driver: Second");
  ASSERT_NE(warning, std::string::npos);
  ASSERT_NE(warningEnd, std::string::npos);
  EXPECT_NE(report.substr(warning, warningEnd - warning).find("missing.dll"), std::string::npos);
  report.replace(warning + 2, warningEnd - warning - 2, "Warning (...");
  EXPECT_EQ(testing::WithoutExplanations(report),
            "\r\nPopulated local printer: Office"
            "\r\nPopulating local printer, printer already exists: Office"
            "\r\nWarning (...) unable to install provided driver: Second"
            "\r\nError (1796) populating local printer: Second"
            "\r\nPopulated local printer: Third"
            "\r\nPopulated networked printer: HP4"
            "\r\nPopulating networked printer, printer already exists: HP4"
            "\r\nDeleted local printer: Old Local"
            "\r\nError (1801) opening local printer: Old Local");
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Adding local printer, printer already existed : Office\r\n"
                     "SYSTEM ERROR: 1802\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR: Copying printer driver to windows folder.\r\nERROR: "),
            std::string::npos);
  EXPECT_NE(log.find("\r\nERROR DESCRIPTION: "), std::string::npos);
  EXPECT_NE(log.find("ERROR: Adding local printer : Second\r\nSYSTEM ERROR: 1796\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR: Adding network port to client local printer: HP4 : \\\\PRTSRV1\\HP4\r\n"
                     "SYSTEM ERROR: 183\r\n"),
            std::string::npos)
      << "the second port add fails but only warns";
  EXPECT_EQ(log.find("ERROR: Adding printer driver: HP Driver"), std::string::npos)
      << "1795 (already installed) is no warning";
  EXPECT_EQ(world.Calls({"AddPrinterDriver"}),
            (std::vector<std::string>{"AddPrinterDriver HP Driver", "AddPrinterDriver HP Driver",
                                      "AddPrinterDriver Other Driver"}));
}

TEST(PrinterOperationsTest, DriverRegistrationFailureWarnsWithItsCode) {
  testing::EngineWorld world;
  world.state.os = platform::sim::SimOs{1, 4, 0, {}};
  world.state.ports.push_back("LPT1:");
  world.state.drivers.push_back({"HP Driver", "", "", "", "", 0, true, {}});
  world.state.failures.push_back({"AddPrinterDriver", std::nullopt, 5, {}});
  world.state.failures.push_back({"CopyFile", std::nullopt, 32, {}});
  auto context = world.NewContext();
  AddLocalPrinter(*context, "LPT1:", world.Path("share"), "hp.dll", "HP Driver", "P");
  EXPECT_TRUE(context->OperationsSucceeded) << "driver warnings do not count as failures";
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nWarning (Injected failure) unable to install provided driver: P"
            "\r\nWarning (5) unable to add provided driver information: P"
            "\r\nPopulated local printer: P");
  EXPECT_NE(context->debugLog.text().find("ERROR: Copying printer driver to windows folder.\r\n"
                                          "ERROR: 32\r\nERROR DESCRIPTION: Injected failure\r\n"),
            std::string::npos);
}

// Windows NT: a version-3 driver of the system's own environment, copied by
// the spooler from the share (nothing into the system folder); ports added
// without a dialog. A standard user is told what it takes instead of being
// sent to be refused.
TEST(PrinterOperationsTest, DriversAndPortsOnNtByElevation) {
  testing::EngineWorld world;
  world.state.os = platform::sim::SimOs{2, 10, 0, {}};
  world.state.os->environment = "Windows NT x86";
  world.state.ports.push_back("LPT1:");
  world.state.drivers.push_back({"Generic / Text Only", "", "", "", "", 0, true, {}});
  const std::string share = world.Path("drivers");
  world.WriteFile(platform::JoinPath(share, "hpdrv.dll"), "driver bytes");
  {
    auto context = world.NewContext();
    AddLocalPrinter(*context, "LPT1:", share, "hpdrv.dll", "HP Driver", "Office");
    AddLocalPrinter(*context, "LPT1:", share, "missing.dll", "Other Driver", "Second");
    AddNetworkedPrinterAsLocal(*context, "\\\\PRTSRV1\\HP4", "", "", "Generic / Text Only",
                               "HP4");
    EXPECT_FALSE(context->OperationsSucceeded) << "Second has no driver";
    ASSERT_EQ(world.state.drivers.size(), 2u);
    const platform::sim::SimDriver& added = world.state.drivers[1];
    EXPECT_EQ(added.name, "HP Driver");
    EXPECT_EQ(added.version, 3u);
    EXPECT_EQ(added.environment, "Windows NT x86");
    EXPECT_EQ(added.driverPath, platform::JoinPath(share, "hpdrv.dll"));
    EXPECT_EQ(added.configFile, added.driverPath);
    const std::string system = context->platform.system.GetSystemFolder();
    EXPECT_FALSE(world.files.FileExists(platform::JoinPath(system, "hpdrv.dll")));
    EXPECT_EQ(world.state.ports.back(), "\\\\PRTSRV1\\HP4");
    EXPECT_EQ(world.Calls({"AddPrinterDriver", "AddPrinterDriverEx", "AddPort", "XcvData"}),
              (std::vector<std::string>{"AddPrinterDriverEx HP Driver",
                                        "AddPrinterDriverEx Other Driver",
                                        "XcvData \\\\PRTSRV1\\HP4"}));
    EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
              "\r\nPopulated local printer: Office"
              "\r\nWarning (2) unable to add provided driver information: Second"
              "\r\nError (1797) populating local printer: Second"
              "\r\nPopulated networked printer: HP4");
  }
  world.state.elevated = false;
  world.state.spoolerCalls.clear();
  auto context = world.NewContext();
  AddLocalPrinter(*context, "LPT1:", share, "hpdrv.dll", "New Driver", "Third");
  AddNetworkedPrinterAsLocal(*context, "\\\\PRTSRV1\\Q2", "", "", "Generic / Text Only", "Q2");
  EXPECT_EQ(world.Calls({"AddPrinterDriver", "AddPrinterDriverEx", "AddPort", "XcvData"}),
            std::vector<std::string>{"XcvData \\\\PRTSRV1\\Q2"})
      << "no driver install is tried for a standard user";
  const std::string driverNeeded =
      "What error 5 means: installing a printer driver needs an administrator since the 2021 "
      "print spooler hardening; stage the driver on the client beforehand (as an "
      "administrator, or by policy), or install it as an administrator.";
  const std::string portNeeded =
      "What error 5 means: adding a printer port needs an administrator; add the port on the "
      "client beforehand (as an administrator, or by policy), or run the migration as an "
      "administrator.";
  const std::string& report = context->RunMessage;
  EXPECT_EQ(report.substr(0, report.find("\r\nError (1797)")),
            "\r\nWarning (5) unable to add provided driver information: Third\r\n" +
                driverNeeded)
      << report;
  EXPECT_NE(report.find("\r\n" + portNeeded + "\r\nError (1796) populating networked printer: Q2"),
            std::string::npos)
      << report;
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Adding printer driver, the user is not an administrator: New "
                     "Driver\r\n>> " + driverNeeded + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("ERROR: Adding network port to client local printer: Q2 : "
                     "\\\\PRTSRV1\\Q2\r\nSYSTEM ERROR: 5\r\n>> " + portNeeded + "\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("SYSTEM ERROR: 5\r\n>> What error 5 means: installing"), std::string::npos)
      << "no code is claimed from a call that was not made";
}

}  // namespace
}  // namespace quillon::engine
