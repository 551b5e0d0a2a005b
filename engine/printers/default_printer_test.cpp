#include "engine/printers/default_printer.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"

namespace quillon::engine {
namespace {

using platform::sim::SimOs;

TEST(DefaultPrinterTest, WindowsTwoThousandAndLaterUseTheSpooler) {
  testing::EngineWorld world;
  world.AddLocal("Office");
  world.AddLocal("Lab");
  world.state.defaultPrinter = "Office";
  auto context = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*context), "Office");
  MakeDefaultPrinter(*context, "Lab");
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("Lab"));
  MakeDefaultPrinter(*context, "Nowhere");
  EXPECT_FALSE(context->OperationsSucceeded);
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nDefault Printer:Office\r\nSet default printer: Lab"
            "\r\nError (1801) setting default printer: Nowhere");
  EXPECT_EQ(testing::WithoutExplanations(context->debugLog.text()),
            "Default printer:Office\r\nSet default printer: Lab\r\n"
            "ERROR: Setting default printer: Nowhere\r\nSYSTEM ERROR: 1801\r\n");

  // No default printer is a warning, not a failure.
  world.state.defaultPrinter = "";
  auto none = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*none), "");
  EXPECT_TRUE(none->OperationsSucceeded);
  EXPECT_EQ(none->RunMessage, "\r\nWarning no currently set default printer.");
  EXPECT_EQ(none->debugLog.text(), "ERROR: No default printer set.\r\nSYSTEM ERROR: 2\r\n");

  // Any other failure of the query means the spooler cannot be asked: the run stops.
  world.state.failures.push_back({"GetDefaultPrinter", std::nullopt, 1722, {}});
  auto failed = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*failed), "");
  EXPECT_TRUE(failed->AbortStatus);
  EXPECT_EQ(testing::WithoutExplanations(failed->RunMessage), "\r\nError (1722) determining default printer.");
}

TEST(DefaultPrinterTest, WindowsNinetyFiveSetsTheDefaultAttribute) {
  testing::EngineWorld world;
  world.state.os = SimOs{1, 4, 0, {}};
  world.AddLocal("HP4", "\\\\PRTSRV1\\HP4");
  world.AddLocal("Lab");
  world.state.defaultPrinter = "Lab";
  auto context = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*context), "Lab");
  MakeDefaultPrinter(*context, "\\\\PRTSRV1\\HP4");  // works on the local name
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("HP4"));
  EXPECT_TRUE(context->OperationsSucceeded);
  EXPECT_EQ(context->RunMessage, "\r\nDefault Printer:Lab\r\nSet default printer: HP4");
  EXPECT_EQ(context->debugLog.text(), "Default printer:Lab\r\nDefault printer set: HP4\r\n");

  MakeDefaultPrinter(*context, "Missing");
  world.state.failures.push_back({"SetPrinter", std::nullopt, 5, {}});
  MakeDefaultPrinter(*context, "Lab");
  EXPECT_FALSE(context->OperationsSucceeded);
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nDefault Printer:Lab\r\nSet default printer: HP4"
            "\r\nError (1801) opening printer for set default: Missing"
            "\r\nError (5) setting default printer: Lab");

  // No default printer: the enumeration needs no bytes, which is an error here.
  world.state.defaultPrinter = "";
  auto none = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*none), "");
  EXPECT_FALSE(none->OperationsSucceeded);
  EXPECT_NE(none->debugLog.text().find("ERROR: Getting default printer name by enumeration.\r\n"),
            std::string::npos);
}

TEST(DefaultPrinterTest, WindowsNtFourUsesTheProfileStrings) {
  testing::EngineWorld world;
  world.state.os = SimOs{2, 4, 0, {}};
  world.state.winIni = {{"Windows", {{"device", "Old,winspool,LPT1:"}}},
                        {"PrinterPorts", {{"P", "winspool,Ne01:,15,45"}, {"Q", "winspool,Ne02:"}}}};
  world.AddLocal("Old");
  world.AddLocal("P");
  world.AddLocal("Q");
  auto context = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*context), "Old");
  MakeDefaultPrinter(*context, "P");
  EXPECT_EQ(world.state.winIni[0].second[0].second, "P,winspool,Ne01:");
  EXPECT_TRUE(context->OperationsSucceeded);

  MakeDefaultPrinter(*context, "Q");  // one comma only: nothing is written
  EXPECT_EQ(world.state.winIni[0].second[0].second, "P,winspool,Ne01:");
  MakeDefaultPrinter(*context, "Unlisted");
  EXPECT_FALSE(context->OperationsSucceeded);
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nDefault Printer:Old\r\nSet default printer: P"
            "\r\nError parsing default printer settings: Q"
            "\r\nError (2) getting reference for setting default printer: Unlisted");
  EXPECT_NE(context->debugLog.text().find("ERROR: Parsing default printer string: Q\r\n"
                                          "ERROR: getting reference for setting default printer: "
                                          "Unlisted\r\nSYSTEM ERROR: 2\r\n"),
            std::string::npos);
}

TEST(DefaultPrinterTest, AFailedVersionQueryIsAFailureOfBoth) {
  testing::EngineWorld world;
  world.state.os = SimOs{2, 10, 87, {}};
  auto context = world.NewContext();
  EXPECT_EQ(GetDefaultPrinterName(*context), "");
  MakeDefaultPrinter(*context, "\\\\S\\P");
  EXPECT_FALSE(context->OperationsSucceeded);
  EXPECT_EQ(testing::WithoutExplanations(context->RunMessage),
            "\r\nError (87) determining OS version for setting default printer."
            "\r\nError (87) determining OS version for setting default printer: \\\\S\\P");
  EXPECT_EQ(testing::WithoutExplanations(context->debugLog.text()),
            "ERROR: Getting OS version for Default printer.\r\nSYSTEM ERROR: 87\r\n"
            "ERROR: Getting OS version for Defualt printer : \\\\S\\P\r\nSYSTEM ERROR: 87\r\n");
}

}  // namespace
}  // namespace quillon::engine
