#include "engine/printers/print_servers.h"

#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"

namespace quillon::engine {
namespace {

using testing::CompleteDocument;

// OLDSRV is switched off; a call that reached it would wait 150 s.
void SwitchOff(testing::EngineWorld& world, const std::string& server) {
  platform::sim::SimServerCondition off;
  off.reachable = false;
  off.latencyMs = 150000;
  world.state.serverConditions.emplace();
  world.state.serverConditions->emplace_back(server, off);
}

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(PrintServersTest, ADeadServerIsAskedNothingThatNeedsItAndItsConnectionsAreKeptRightly) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("OLDSRV", "Color");
  world.AddQueue("NEWSRV", "HP4");
  world.AddQueue("NEWSRV", "Color");
  world.AddConnection("OLDSRV", "HP4");
  world.AddConnection("NEWSRV", "Color");
  world.state.defaultPrinter = "\\\\OLDSRV\\HP4";
  SwitchOff(world, "OLDSRV");
  // Away from the dead server, and (for Color) to it.
  const std::string path = world.WriteFile(
      world.Path("move.ini"), CompleteDocument({{"FromServers=OLDSRV", "FromServers=OLDSRV,NEWSRV"},
                                                {"ToServers=NEWSRV", "ToServers=NEWSRV,OLDSRV"}}));

  auto run = world.Run(path);

  // The only call on the dead server is the removal Windows completes on
  // the client alone (GetDefaultPrinter, recorded with the default's name,
  // asks the client); nothing was waited for.
  std::vector<std::string> onDead;
  for (const auto& call : world.state.spoolerCalls) {
    if (call.name.rfind("\\\\OLDSRV", 0) == 0 && call.call != "GetDefaultPrinter") {
      onDead.push_back(call.call + " " + call.name);
    }
  }
  EXPECT_EQ(onDead, std::vector<std::string>{"DeletePrinterConnection \\\\OLDSRV\\HP4"});
  EXPECT_TRUE(world.clock.sleeps.empty());

  // HP4 moved away from it with the default; Color stays where it was.
  EXPECT_EQ(world.PrinterNames(),
            (std::vector<std::string>{"\\\\NEWSRV\\Color", "\\\\NEWSRV\\HP4"}));
  EXPECT_EQ(world.state.defaultPrinter, std::optional<std::string>("\\\\NEWSRV\\HP4"));
  ASSERT_EQ(run->NetworkedPrinters.size(), 2u);
  EXPECT_EQ(run->NetworkedPrinters[0],
            (ClientPrinter{"\\\\OLDSRV", "\\\\OLDSRV\\HP4", "HP4", "HP4", "", "", "", ""}));
  EXPECT_FALSE(run->OperationsSucceeded);
  EXPECT_FALSE(run->AbortStatus);

  const std::string log = world.DebugFileText().value_or("");
  EXPECT_TRUE(Has(log, ">> Print server \\\\OLDSRV does not answer (probe took 0 ms)\r\n"
                       ">> Print server \\\\NEWSRV answers (probe took 0 ms)\r\n"
                       ">> Found networked printer: \\\\OLDSRV\\HP4 (\\\\OLDSRV), known by its "
                       "name only: the print server does not answer\r\n"))
      << log;
  // One probe per server and run.
  std::size_t probes = 0;
  for (std::size_t at = 0; (at = log.find(">> Print server ", at)) != std::string::npos; ++at) {
    ++probes;
  }
  EXPECT_EQ(probes, 2u);
  EXPECT_TRUE(Has(log, ">> Not asked, its print server does not answer: AddPrinterConnection "
                       "\\\\OLDSRV\\Color\r\n"
                       "ERROR: Adding client networked printer: \\\\OLDSRV\\Color\r\n"
                       "SYSTEM ERROR: 1722\r\n>> What error 1722 means: the print server did "
                       "not answer"))
      << log;
  EXPECT_TRUE(Has(run->RunMessage, "Not removing \\\\NEWSRV\\Color: the new connection "
                                   "\\\\OLDSRV\\Color could not be added."))
      << run->RunMessage;
}

TEST(PrintServersTest, ASlowServersCallsAreTimedInTheDebugFile) {
  testing::EngineWorld world;
  world.AddQueue("FARSRV", "HP4");
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("FARSRV", "HP4");
  world.state.serverConditions.emplace();
  platform::sim::SimServerCondition far, near;
  far.latencyMs = 1500;
  near.latencyMs = 1000;  // a second is not slow yet
  world.state.serverConditions->emplace_back("FARSRV", far);
  world.state.serverConditions->emplace_back("NEWSRV", near);
  const std::string path =
      world.WriteFile(world.Path("move.ini"), CompleteDocument({{"FromServers=OLDSRV", "FromServers=FARSRV"}}));

  world.Run(path);

  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\HP4"});
  const std::string log = world.DebugFileText().value_or("");
  EXPECT_TRUE(Has(log, ">> Print server \\\\FARSRV answers (probe took 0 ms)\r\n")) << log;
  std::vector<std::string> slow;
  for (std::size_t at = 0; (at = log.find(">> Slow spooler call: ", at)) != std::string::npos;) {
    const std::size_t end = log.find("\r\n", at);
    slow.push_back(log.substr(at, end - at));
    at = end;
  }
  EXPECT_EQ(slow, (std::vector<std::string>{
                      ">> Slow spooler call: OpenPrinter \\\\FARSRV\\HP4 took 1500 ms",
                      ">> Slow spooler call: GetPrinter \\\\FARSRV\\HP4 took 1500 ms",
                      ">> Slow spooler call: GetPrinter \\\\FARSRV\\HP4 took 1500 ms",
                      ">> Slow spooler call: DeletePrinterConnection \\\\FARSRV\\HP4 took 1500 ms",
                  }))
      << log;
}

}  // namespace
}  // namespace quillon::engine
