// The manual migration's engine time on the simulated client: the inventory
// and the three strategies over many connections and pairs, without process
// start-up or loading and saving the client file.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "engine/core/run_context.h"
#include "engine/migration/manual_migration.h"
#include "engine/printers/client_printers.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace quillon;

// `connections` connections spread over 50 old servers; `pairs` server pairs
// and `pairs` printer pairs, one of each matching every connection.
struct Setup {
  platform::sim::SimClientState client;
  document::MigrationDocument document;
};

Setup Make(int connections, int pairs) {
  Setup setup;
  auto& client = setup.client;
  for (int s = 0; s < 50; ++s) {
    client.printServers.push_back({"OLD" + std::to_string(s), {}});
    client.printServers.push_back({"NEW" + std::to_string(s), {}});
  }
  for (int i = 0; i < connections; ++i) {
    const int s = i % 50;
    const std::string share = "Q" + std::to_string(i);
    platform::sim::SimPrinter printer;
    printer.name = "\\\\OLD" + std::to_string(s) + "\\" + share;
    printer.serverName = "\\\\OLD" + std::to_string(s);
    printer.shareName = share;
    printer.attributes = 0x10;
    client.printers.push_back(printer);
    platform::sim::SimQueue queue;
    queue.shareName = share;
    client.printServers[2 * s].second.push_back(queue);
    client.printServers[2 * s + 1].second.push_back(queue);
    queue.shareName = "R" + std::to_string(i);
    client.printServers[2 * s].second.push_back(queue);
  }
  auto& doc = setup.document;
  doc.DebugOn = true;
  doc.UseManualDefinitions = true;
  doc.ServerPairs.clear();
  doc.PrinterPairs.clear();
  for (int j = 0; j < pairs; ++j) {
    // The first 50 server pairs and the first `connections` printer pairs match.
    doc.ServerPairs.push_back({"OLD" + std::to_string(j < 50 ? j : 1000 + j),
                               "NEW" + std::to_string(j)});
    doc.PrinterPairs.push_back({"Q" + std::to_string(j < connections ? j : 100000 + j),
                                "R" + std::to_string(j)});
  }
  return setup;
}

void BM_ManualMigration(benchmark::State& state) {
  const int connections = static_cast<int>(state.range(0));
  const int pairs = static_cast<int>(state.range(1));
  const Setup setup = Make(connections, pairs);
  const auto folder = std::filesystem::temp_directory_path() / "quillon-manual-bench";
  std::filesystem::create_directories(folder);
  platform::HostFileSystem files;
  platform::HostClock clock;
  platform::sim::SimHost host;
  host.clientPath = (folder / "client.json").string();
  host.programFolder = folder.string();
  host.echoMessageBoxes = false;
  std::size_t calls = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform::sim::SimClientState client = setup.client;
    platform::sim::SimPlatform sim(client, host, files, clock);
    platform::Platform services = sim.AsPlatform();
    engine::RunContext context(services);
    context.document = setup.document;
    state.ResumeTiming();
    engine::GetClientPrinters(context, true);
    engine::RunManualMigration(context);
    benchmark::DoNotOptimize(context.RunMessage.data());
    calls = client.spoolerCalls.size();
  }
  state.counters["spooler_calls"] = static_cast<double>(calls);
  state.counters["ns_per_connection_pair"] = benchmark::Counter(
      static_cast<double>(connections) * 2.0 * pairs,
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ManualMigration)
    ->Args({500, 2000})
    ->Args({250, 2000})
    ->Args({500, 1000})
    ->Args({1000, 2000})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
