// CupsClientReader against a real cupsd of the test's own: queues added with
// lpadmin come back as local printers or as connections to the server their
// device URI names, with the default destination, drivers and ports; another
// server's shared queues; and a server that nobody runs is an error naming it.
#include "platform/cups/client_reader_cups.h"

#include <gtest/gtest.h>

#include "testing/cupsd_fixture.h"
#include "testing/require_server.h"
#include "testing/test_process.h"

namespace quillon::platform::cups {
namespace {

using cups_test::CupsdFixture;
using test_process::ScopedEnvironment;

constexpr const char* kTestPpd = R"ppd(*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "QTEST.PPD"
*Manufacturer: "Quillon"
*Product: "(Quillon Test Laser)"
*ModelName: "Quillon Test Laser"
*ShortNickName: "Quillon Test Laser"
*NickName: "Quillon Test Laser, 1.0"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: False
*DefaultColorSpace: Gray
*FileSystem: False
*Throughput: "1"
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: A4
*PageSize A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageSize
*OpenUI *PageRegion: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: A4
*PageRegion A4/A4: "<</PageSize[595 842]/ImagingBBox null>>setpagedevice"
*CloseUI: *PageRegion
*DefaultImageableArea: A4
*ImageableArea A4/A4: "18 36 577 806"
*DefaultPaperDimension: A4
*PaperDimension A4/A4: "595 842"
)ppd";

PrinterInfo2 Printer(const std::string& server, const std::string& name, const std::string& share,
                     const std::string& port, const std::string& driver,
                     const std::string& comment, const std::string& location,
                     std::uint32_t attributes) {
  PrinterInfo2 info;
  info.serverName = server;
  info.printerName = name;
  info.shareName = share;
  info.portName = port;
  info.driverName = driver;
  info.comment = comment;
  info.location = location;
  info.attributes = attributes;
  return info;
}

std::string Describe(const PrinterInfo2& p) {
  return "[" + p.serverName + "|" + p.printerName + "|" + p.shareName + "|" + p.portName + "|" +
         p.driverName + "|" + p.comment + "|" + p.location + "|" + std::to_string(p.attributes) +
         "]";
}

TEST(CupsClientReaderTest, DeviceUrisOfAnotherServersQueuesAreConnections) {
  auto connection = [](const std::string& uri) -> std::string {
    const auto found = ConnectionOfDeviceUri(uri);
    return found ? found->server + "|" + found->queue : "none";
  };
  EXPECT_EQ(connection("ipp://printsrv/printers/HP4"), "printsrv|HP4");
  EXPECT_EQ(connection("ipps://printsrv.corp.example:631/classes/Floor2"),
            "printsrv.corp.example|Floor2");
  EXPECT_EQ(connection("http://printsrv:8631/printers/HP%204?waitjob=false"), "printsrv:8631|HP 4");
  EXPECT_EQ(connection("ipp://[2001:db8::7]:8000/printers/Q"), "[2001:db8::7]:8000|Q");
  // A printer's own IPP endpoint, a device, a nested resource: no print server's queue.
  EXPECT_EQ(connection("ipp://printer.example/ipp/print"), "none");
  EXPECT_EQ(connection("socket://printer.example:9100"), "none");
  EXPECT_EQ(connection("ipp://printsrv/printers/a/b"), "none");
  EXPECT_EQ(connection("ipp://printsrv/printers/"), "none");
  EXPECT_EQ(connection("file:///dev/null"), "none");
  EXPECT_EQ(connection("not a uri"), "none");
}

TEST(CupsClientReaderTest, QueuesDefaultDriversPortsAndServers) {
  CupsdFixture server;
  REQUIRE_SERVER(server);
  ScopedEnvironment noLpdest("LPDEST", nullptr);
  ScopedEnvironment noPrinter("PRINTER", nullptr);
  const std::string ppd = server.WriteFile("test.ppd", kTestPpd);
  std::string output;
  const std::vector<std::vector<std::string>> queues = {
      {"-p", "Office-Laser", "-E", "-v", "file:///dev/null", "-P", ppd, "-D", "Second floor",
       "-L", "Room 214", "-o", "printer-is-shared=true"},
      {"-p", "Label-Raw", "-E", "-v", "file:///dev/null", "-m", "raw", "-o",
       "printer-is-shared=false"},
      {"-p", "Remote-HP", "-E", "-v", "ipp://printsrv.example/printers/HP%204", "-m", "raw", "-D",
       "Through printsrv", "-L", "Hall", "-o", "printer-is-shared=false"},
      {"-p", "Alt-Port", "-E", "-v", "ipps://printsrv.example:8631/classes/Floor2", "-m", "raw",
       "-o", "printer-is-shared=false"},
      {"-p", "Direct-IPP", "-E", "-v", "ipp://printer.example/ipp/print", "-m", "raw", "-o",
       "printer-is-shared=true"},
  };
  for (const auto& arguments : queues) ASSERT_TRUE(server.Lpadmin(arguments, &output)) << output;
  ASSERT_TRUE(server.Lpadmin({"-d", "Office-Laser"}, &output)) << output;

  CupsClientReader reader(server.Server());
  const PrinterListing listed = reader.ListPrinters();
  ASSERT_TRUE(listed.status.ok) << listed.status.description;
  std::vector<PrinterInfo2> printers;
  for (const ListedPrinter& printer : listed.printers) {
    EXPECT_EQ(printer.failedCall, "");
    printers.push_back(printer.info);
  }
  const std::uint32_t local = kPrinterAttributeLocal;
  const std::uint32_t shared = kPrinterAttributeLocal | kPrinterAttributeShared;
  // CUPS lists its queues by name, gives a queue without a description its
  // name as printer-info, and a raw queue on another server's queue the make
  // and model "Remote Printer".
  const std::vector<PrinterInfo2> expected = {
      Printer("\\\\printsrv.example:8631", "\\\\printsrv.example:8631\\Floor2", "Floor2",
              "ipps://printsrv.example:8631/classes/Floor2", "Remote Printer", "Alt-Port", "",
              kPrinterAttributeNetwork),
      Printer("", "Direct-IPP", "Direct-IPP", "ipp://printer.example/ipp/print",
              "Local Raw Printer", "Direct-IPP", "", shared),
      Printer("", "Label-Raw", "", "file:///dev/null", "Local Raw Printer", "Label-Raw", "", local),
      Printer("", "Office-Laser", "Office-Laser", "file:///dev/null", "Quillon Test Laser, 1.0",
              "Second floor", "Room 214", shared),
      Printer("\\\\printsrv.example", "\\\\printsrv.example\\HP 4", "HP 4",
              "ipp://printsrv.example/printers/HP%204", "Remote Printer", "Through printsrv",
              "Hall", kPrinterAttributeNetwork),
  };
  ASSERT_EQ(printers.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Describe(printers[i]), Describe(expected[i]));
  }

  DefaultPrinterName defaultPrinter = reader.GetDefaultPrinter();
  EXPECT_TRUE(defaultPrinter.status.ok) << defaultPrinter.status.description;
  EXPECT_EQ(defaultPrinter.name, std::optional<std::string>("Office-Laser"));
  // A default that is a connection goes by the connection's name.
  ASSERT_TRUE(server.Lpadmin({"-d", "Remote-HP"}, &output)) << output;
  defaultPrinter = reader.GetDefaultPrinter();
  EXPECT_EQ(defaultPrinter.name, std::optional<std::string>("\\\\printsrv.example\\HP 4"));

  const DriverListing drivers = reader.ListDrivers();
  ASSERT_TRUE(drivers.status.ok) << drivers.status.description;
  std::vector<std::string> driverNames;
  for (const DriverInfo2& driver : drivers.drivers) driverNames.push_back(driver.name);
  EXPECT_EQ(driverNames, (std::vector<std::string>{"Remote Printer", "Local Raw Printer",
                                                   "Quillon Test Laser, 1.0"}));

  const PortListing ports = reader.ListPorts();
  ASSERT_TRUE(ports.status.ok) << ports.status.description;
  EXPECT_EQ(ports.ports, (std::vector<std::string>{
                             "ipps://printsrv.example:8631/classes/Floor2",
                             "ipp://printer.example/ipp/print", "file:///dev/null",
                             "ipp://printsrv.example/printers/HP%204"}));

  // The same scheduler seen as another computer's print server: its shared queues.
  const QueueListing served = reader.ListServerQueues(server.Server());
  ASSERT_TRUE(served.status.ok) << served.status.description;
  ASSERT_EQ(served.queues.size(), 2u);
  EXPECT_EQ(served.queues[0].shareName, "Direct-IPP");
  EXPECT_EQ(served.queues[1].shareName, "Office-Laser");
  EXPECT_EQ(served.queues[1].driverName, "Quillon Test Laser, 1.0");
  EXPECT_EQ(served.queues[1].portName, "file:///dev/null");
  EXPECT_EQ(served.queues[1].comment, "Second floor");
  EXPECT_EQ(served.queues[1].location, "Room 214");

  ClientFacts facts = reader.ReadFacts();
  EXPECT_FALSE(facts.version.has_value()) << "a CUPS host is no Windows version";
  EXPECT_TRUE(facts.computerName && !facts.computerName->empty());
  EXPECT_TRUE(facts.userName && !facts.userName->empty());
}

// Needs no scheduler: nothing listens on the port.
TEST(CupsClientReaderTest, AServerOutOfReachIsAnErrorThatNamesIt) {
  const int port = test_process::UnusedLoopbackPort();
  ASSERT_GT(port, 0);
  const std::string unreachable = "127.0.0.1:" + std::to_string(port);
  CupsClientReader reader(unreachable);
  const QueueListing served = reader.ListServerQueues(unreachable);
  EXPECT_FALSE(served.status.ok);
  EXPECT_NE(served.status.errorNumber, 0u);
  EXPECT_NE(served.status.description.find(unreachable), std::string::npos)
      << served.status.description;
  EXPECT_TRUE(served.queues.empty());
  const PrinterListing listed = reader.ListPrinters();
  EXPECT_FALSE(listed.status.ok);
  EXPECT_NE(listed.status.description.find(unreachable), std::string::npos)
      << listed.status.description;
}

}  // namespace
}  // namespace quillon::platform::cups
