// CupsDriverInfoSource against a real cupsd of the test's own: queues added
// with lpadmin are listed in CUPS's order with their make and model and a
// readable copy of their PPD; a raw queue has no driver file.
#include "platform/cups/cups_driver_info.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testing/cupsd_fixture.h"
#include "testing/require_server.h"
#include "testing/test_process.h"

namespace quillon::platform::cups {
namespace {

using cups_test::CupsdFixture;
using test_process::ScopedEnvironment;

// A PostScript PPD as small as cupsd accepts; the comma in the nickname is the
// kind of driver name the CSV file must quote.
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

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The driver information through the sized protocol: size query, then read.
SizedResult<DriverInfo2> ReadDriver(DriverInfoSource& source, const std::string& name) {
  SizedResult<DriverInfo2> read;
  const HandleResult opened = source.OpenPrinter(name);
  if (opened.handle == 0) {
    read.error = opened.error;
    return read;
  }
  const SizedResult<DriverInfo2> size = source.GetPrinterDriver(opened.handle, 0);
  EXPECT_FALSE(size.ok);
  EXPECT_EQ(size.error, kErrorInsufficientBuffer);
  read = source.GetPrinterDriver(opened.handle, size.needed);
  source.ClosePrinter(opened.handle);
  return read;
}

bool AddQueues(CupsdFixture& server) {
  const std::string ppd = server.WriteFile("test.ppd", kTestPpd);
  std::string output;
  // Added out of order: CUPS lists its destinations by name.
  if (!server.Lpadmin({"-p", "Office-Laser", "-E", "-v", "file:///dev/null", "-P", ppd},
                      &output)) {
    ADD_FAILURE() << "lpadmin: " << output;
    return false;
  }
  if (!server.Lpadmin({"-p", "Label-Raw", "-E", "-v", "file:///dev/null", "-m", "raw"},
                      &output)) {
    ADD_FAILURE() << "lpadmin: " << output;
    return false;
  }
  return true;
}

TEST(CupsDriverInfoSourceTest, ListsQueuesWithMakeAndModelAndTheirPpd) {
  CupsdFixture server;
  REQUIRE_SERVER(server);
  std::string ppdFolder;
  {
    CupsDriverInfoSource source(server.Server());
    const PrinterNames none = source.EnumPrinterNames();
    EXPECT_TRUE(none.status.ok) << none.status.description;
    EXPECT_TRUE(none.names.empty());

    ASSERT_TRUE(AddQueues(server));
    const PrinterNames listed = source.EnumPrinterNames();
    EXPECT_TRUE(listed.status.ok) << listed.status.description;
    EXPECT_EQ(listed.names, (std::vector<std::string>{"Label-Raw", "Office-Laser"}));

    const SizedResult<DriverInfo2> laser = ReadDriver(source, "Office-Laser");
    ASSERT_TRUE(laser.ok) << laser.error;
    EXPECT_EQ(laser.value.name, "Quillon Test Laser, 1.0");
    const std::filesystem::path ppd(laser.value.driverPath);
    EXPECT_EQ(ppd.filename(), "Office-Laser.ppd");
    // The scheduler's own copy is root's; this one can be copied by anyone.
    EXPECT_NE(ReadAll(laser.value.driverPath).find("*NickName: \"Quillon Test Laser, 1.0\""),
              std::string::npos);
    EXPECT_EQ(laser.needed, DriverInfo2Size(laser.value));
    ppdFolder = ppd.parent_path().string();

    const SizedResult<DriverInfo2> raw = ReadDriver(source, "Label-Raw");
    ASSERT_TRUE(raw.ok) << raw.error;
    EXPECT_EQ(raw.value.name, "Local Raw Printer");
    EXPECT_EQ(raw.value.driverPath, "");

    const HandleResult unknown = source.OpenPrinter("No-Such-Queue");
    EXPECT_EQ(unknown.handle, 0u);
    EXPECT_EQ(unknown.error, kErrorInvalidPrinterName);
    EXPECT_EQ(source.GetPrinterDriver(12345, 4096).error, 6u);  // not an open handle
  }
  EXPECT_FALSE(std::filesystem::exists(ppdFolder)) << "the PPD copies outlive their source";
}

TEST(CupsDriverInfoSourceTest, FollowsCupsServerFromTheEnvironment) {
  CupsdFixture server;
  REQUIRE_SERVER(server);
  ASSERT_TRUE(AddQueues(server));
  ScopedEnvironment environment("CUPS_SERVER", server.Server().c_str());
  CupsDriverInfoSource source;
  const PrinterNames listed = source.EnumPrinterNames();
  EXPECT_TRUE(listed.status.ok) << listed.status.description;
  EXPECT_EQ(listed.names, (std::vector<std::string>{"Label-Raw", "Office-Laser"}));
}

// Needs no scheduler: nothing listens on the port.
TEST(CupsDriverInfoSourceTest, AServerOutOfReachIsAnErrorNotAnEmptyList) {
  const int port = test_process::UnusedLoopbackPort();
  ASSERT_GT(port, 0);
  CupsDriverInfoSource source("127.0.0.1:" + std::to_string(port));
  const PrinterNames listed = source.EnumPrinterNames();
  EXPECT_FALSE(listed.status.ok);
  EXPECT_NE(listed.status.errorNumber, 0u);
  EXPECT_NE(listed.status.description.find("127.0.0.1"), std::string::npos)
      << listed.status.description;
  EXPECT_TRUE(listed.names.empty());
  EXPECT_EQ(source.OpenPrinter("Office-Laser").error, kErrorInvalidPrinterName);
}

}  // namespace
}  // namespace quillon::platform::cups
