#include "engine/printers/client_printers.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"

namespace quillon::engine {
namespace {

TEST(ClientPrintersTest, ListsConnectionsAndLocalPrintersInOrderWithTheirReport) {
  testing::EngineWorld world;
  world.AddConnection("PRTSRV1", "HP4050");
  world.AddLocal("Label Writer", "USB001");
  world.AddConnection("SRV", "A\\B");
  auto context = world.NewContext();
  GetClientPrinters(*context, true);

  ASSERT_EQ(context->NetworkedPrinters.size(), 2u);
  EXPECT_EQ(context->NetworkedPrinters[0],
            (ClientPrinter{"\\\\PRTSRV1", "\\\\PRTSRV1\\HP4050", "HP4050", "HP4050", "IP_HP4050",
                           "HP Universal", "", ""}));
  EXPECT_EQ(context->NetworkedPrinters[1].ShortName, "A\\B");
  ASSERT_EQ(context->LocalPrinters.size(), 1u);
  EXPECT_EQ(context->LocalPrinters[0].PrinterName, "Label Writer");
  EXPECT_EQ(context->LocalPrinters[0].ShortName, "");
  EXPECT_EQ(context->LocalPrinters[0].PortName, "USB001");

  EXPECT_EQ(context->RunMessage,
            "\r\n* ----- Computer: PC042 Username: alice Printers ----- *"
            "\r\n\\\\PRTSRV1\\HP4050 (\\\\PRTSRV1)"
            "\r\nLocal Printer: Label Writer"
            "\r\n\\\\SRV\\A\\B (\\\\SRV)");
  EXPECT_EQ(context->debugLog.text(),
            ">> Getting client's list of printers <<\r\n"
            ">> * ----- My Printers ----- * <<\r\n"
            ">> Print server \\\\PRTSRV1 answers (probe took 0 ms)\r\n"
            ">> Print server \\\\SRV answers (probe took 0 ms)\r\n"
            ">> Found networked printer: \\\\PRTSRV1\\HP4050 (\\\\PRTSRV1)\r\n"
            ">> Found local printer: Label Writer\r\n"
            ">> Found networked printer: \\\\SRV\\A\\B (\\\\SRV)\r\n");

  // A second inventory replaces the lists rather than adding to them.
  GetClientPrinters(*context, false);
  EXPECT_EQ(context->NetworkedPrinters.size(), 2u);
  EXPECT_EQ(context->LocalPrinters.size(), 1u);
}

TEST(ClientPrintersTest, UnreadablePrintersAreReportedAndLeftOut) {
  testing::EngineWorld world;
  // The server still answers but no longer has the queue: the open fails.
  world.AddQueue("PRTSRV1", "Other");
  world.AddConnection("PRTSRV1", "Gone");
  world.AddLocal("Broken");
  world.AddLocal("Plain");
  world.AddLocal("Fine");
  world.state.failures.push_back({"GetPrinter", std::string("Broken"), 5, {}});
  auto context = world.NewContext();
  GetClientPrinters(*context, true);

  EXPECT_TRUE(context->NetworkedPrinters.empty());
  ASSERT_EQ(context->LocalPrinters.size(), 2u);
  EXPECT_EQ(context->LocalPrinters[0].PrinterName, "Plain");
  EXPECT_EQ(context->RunMessage,
            "\r\n* ----- Computer: PC042 Username: alice Printers ----- *"
            "\r\nError getting handle to printer: \\\\PRTSRV1\\Gone"
            "\r\nError getting printer information: Broken"
            "\r\nLocal Printer: Plain"
            "\r\nLocal Printer: Fine");
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Getting client printer (no handle): \\\\PRTSRV1\\Gone\r\n"),
            std::string::npos);
  EXPECT_NE(log.find("ERROR: Getting client printer memory information: Broken\r\n"
                     "SYSTEM ERROR: 5\r\n"),
            std::string::npos);
  EXPECT_TRUE(context->OperationsSucceeded) << "the inventory never counts as a failure";
  EXPECT_FALSE(context->AbortStatus);

  // Without the report only the first line is written, failures included,
  // and the run's one probe of its servers.
  auto silent = world.NewContext();
  GetClientPrinters(*silent, false);
  EXPECT_EQ(silent->RunMessage, "");
  EXPECT_EQ(silent->debugLog.text(),
            ">> Getting client's list of printers <<\r\n"
            ">> Print server \\\\PRTSRV1 answers (probe took 0 ms)\r\n");
  EXPECT_EQ(silent->LocalPrinters.size(), 2u);

  // Each inventory opens every listed printer once.
  EXPECT_EQ(world.Calls({"OpenPrinter"}).size(), 8u);
}

TEST(ClientPrintersTest, NoPrintersStillGivesTheHeader) {
  testing::EngineWorld world;
  auto context = world.NewContext();
  GetClientPrinters(*context, true);
  EXPECT_TRUE(context->NetworkedPrinters.empty());
  EXPECT_TRUE(context->LocalPrinters.empty());
  EXPECT_EQ(context->RunMessage, "\r\n* ----- Computer: PC042 Username: alice Printers ----- *");
}

}  // namespace
}  // namespace quillon::engine
