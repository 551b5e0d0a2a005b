// The simulated client's printers and drivers as the inventory reads them:
// file order, names ignoring case, the codes Windows gives, injected failures.
#include "platform/sim/sim_driver_info.h"

#include <gtest/gtest.h>

namespace quillon::platform::sim {
namespace {

const char* const kClient = R"({
  "printers": [
    { "name": "\\\\OLDSRV\\HP4", "driverName": "HP LaserJet 4 PCL6" },
    { "name": "Label Writer", "driverName": "generic / text only" },
    { "name": "Plotter", "driverName": "Not Installed" },
    { "name": "Locked", "driverName": "HP LaserJet 4 PCL6" },
    { "name": "Unreadable", "driverName": "HP LaserJet 4 PCL6" }
  ],
  "drivers": [
    { "name": "HP LaserJet 4 PCL6",
      "driverPath": "C:\\Windows\\System32\\spool\\DRIVERS\\x64\\3\\UNIDRV.DLL",
      "dataFile": "HPCU250U.GPD", "configFile": "UNIDRVUI.DLL", "environment": "Windows x64",
      "version": 3 },
    "Generic / Text Only"
  ],
  "failures": [
    { "call": "OpenPrinter", "name": "locked", "error": 5 },
    { "call": "GetPrinterDriver", "name": "Unreadable", "error": 1790 }
  ]
})";

SimClientState Client(const char* text = kClient) {
  LoadResult loaded = ParseClient(text, "client.json");
  EXPECT_TRUE(loaded.ok) << loaded.error;
  return loaded.state;
}

TEST(SimDriverInfoSourceTest, ListsThePrintersInFileOrder) {
  const SimClientState state = Client();
  SimDriverInfoSource source(state);
  const PrinterNames listed = source.EnumPrinterNames();
  EXPECT_TRUE(listed.status.ok);
  EXPECT_EQ(listed.names, (std::vector<std::string>{"\\\\OLDSRV\\HP4", "Label Writer", "Plotter",
                                                    "Locked", "Unreadable"}));

  const SimClientState failing =
      Client(R"({ "printers": [ { "name": "A" } ],
                  "failures": [ { "call": "EnumPrinters", "error": 1722 } ] })");
  SimDriverInfoSource failed(failing);
  const PrinterNames none = failed.EnumPrinterNames();
  EXPECT_FALSE(none.status.ok);
  EXPECT_EQ(none.status.errorNumber, 1722u);
  EXPECT_TRUE(none.names.empty());
}

TEST(SimDriverInfoSourceTest, OpensAndReadsDriversTheWayWindowsAnswers) {
  const SimClientState state = Client();
  struct Case {
    const char* printer;
    std::uint32_t openError;    // 0: opens
    std::uint32_t driverError;  // 0: reads
    DriverInfo2 info;
  };
  const Case cases[] = {
      {"\\\\oldsrv\\hp4", 0, 0,
       {3, "HP LaserJet 4 PCL6", "Windows x64",
        "C:\\Windows\\System32\\spool\\DRIVERS\\x64\\3\\UNIDRV.DLL", "HPCU250U.GPD",
        "UNIDRVUI.DLL"}},
      // A driver given by its name alone reports empty paths.
      {"LABEL WRITER", 0, 0, {0, "Generic / Text Only", "", "", "", ""}},
      {"Plotter", 0, kErrorUnknownPrinterDriver, {}},
      {"Locked", 5, 0, {}},
      {"Unreadable", 0, 1790, {}},
      {"Nowhere", kErrorInvalidPrinterName, 0, {}},
  };
  SimDriverInfoSource source(state);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    const HandleResult opened = source.OpenPrinter(c.printer);
    EXPECT_EQ(opened.error, c.openError);
    if (c.openError != 0) {
      EXPECT_EQ(opened.handle, 0u);
      continue;
    }
    ASSERT_NE(opened.handle, 0u);
    const SizedResult<DriverInfo2> size = source.GetPrinterDriver(opened.handle, 0);
    EXPECT_FALSE(size.ok);
    if (c.driverError != 0) {
      EXPECT_EQ(size.error, c.driverError);
      EXPECT_EQ(source.GetPrinterDriver(opened.handle, 4096).error, c.driverError);
    } else {
      EXPECT_EQ(size.error, kErrorInsufficientBuffer);
      EXPECT_EQ(size.needed, DriverInfo2Size(c.info));
      EXPECT_EQ(source.GetPrinterDriver(opened.handle, size.needed - 1).error,
                kErrorInsufficientBuffer);
      const SizedResult<DriverInfo2> read = source.GetPrinterDriver(opened.handle, size.needed);
      EXPECT_TRUE(read.ok);
      EXPECT_EQ(read.error, 0u);
      EXPECT_EQ(read.value, c.info);
    }
    source.ClosePrinter(opened.handle);
    EXPECT_EQ(source.GetPrinterDriver(opened.handle, 4096).error, 6u) << "closed handle";
  }
  EXPECT_EQ(source.OpenHandles(), 0u);
}

}  // namespace
}  // namespace quillon::platform::sim
