// A staging run with nothing to do on the simulated client: two print servers
// of 500 queues each and 20 user profiles whose connections all move, every
// driver already installed at the server's version. The run reads the
// document, lists each server once and the installed drivers once, and writes
// its debug file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

#include "engine/core/run_context.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"

namespace {

using namespace quillon;

constexpr int kQueues = 500;
constexpr int kProfiles = 20;
constexpr int kConnectionsPerProfile = 25;

platform::sim::SimClientState MakeClient() {
  platform::sim::SimClientState client;
  client.elevated = true;
  client.pointAndPrint = platform::sim::SimPointAndPrint{true, {}};
  for (const char* server : {"NEW1", "NEW2"}) {
    std::vector<platform::sim::SimQueue> queues;
    for (int q = 0; q < kQueues; ++q) {
      platform::sim::SimQueue queue;
      queue.shareName = "Q" + std::to_string(q);
      queue.driverName = "Driver " + std::to_string(q % 60);
      queue.driverVersion = "6.3." + std::to_string(q % 60) + ".0";
      queues.push_back(queue);
    }
    client.printServers.push_back({server, queues});
  }
  for (int d = 0; d < 60; ++d) {
    platform::sim::SimDriver driver;
    driver.name = "Driver " + std::to_string(d);
    driver.environment = "Windows x64";
    driver.version = 3;
    driver.driverVersion = "6.3." + std::to_string(d) + ".0";
    client.drivers.push_back(driver);
  }
  client.profiles.emplace();
  for (int p = 0; p < kProfiles; ++p) {
    platform::sim::SimProfile profile;
    profile.userName = "user" + std::to_string(p);
    for (int c = 0; c < kConnectionsPerProfile; ++c) {
      const int q = (p * 97 + c * 31) % kQueues;
      profile.connections.push_back(std::string("\\\\OLD") + (c % 2 ? "1" : "2") + "\\Q" +
                                    std::to_string(q));
    }
    client.profiles->push_back(profile);
  }
  return client;
}

void BM_StagingWithNothingToDo(benchmark::State& state) {
  const auto folder = std::filesystem::temp_directory_path() / "quillon-staging-bench";
  std::filesystem::create_directories(folder);
  const std::string document = (folder / "migration.ini").string();
  // The demo document, moving two old servers' connections, with no notification.
  std::ifstream demo(QUILLON_EXAMPLES_DIR "/demo/migration.ini", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(demo)), std::istreambuf_iterator<char>());
  for (const auto& [from, to] :
       {std::pair<std::string, std::string>{"FromServers=OLDSRV", "FromServers=OLD1,OLD2"},
        {"ToServers=NEWSRV", "ToServers=NEW1,NEW2"},
        {"UseFileOutput=True", "UseFileOutput=False"},
        {"UseClientPopup=True", "UseClientPopup=False"},
        {"WriteToEventLog=True", "WriteToEventLog=False"}}) {
    if (const auto at = text.find(from); at != std::string::npos) text.replace(at, from.size(), to);
  }
  std::ofstream(document, std::ios::binary) << text;
  const platform::sim::SimClientState prepared = MakeClient();
  platform::HostFileSystem files;
  platform::HostClock clock;
  platform::sim::SimHost host;
  host.clientPath = (folder / "client.json").string();
  host.programFolder = folder.string();
  host.hostComputerName = "PC042";
  host.echoMessageBoxes = false;
  std::size_t calls = 0;
  int status = 0;
  for (auto _ : state) {
    state.PauseTiming();
    platform::sim::SimClientState client = prepared;
    platform::sim::SimPlatform sim(client, host, files, clock);
    platform::Platform services = sim.AsPlatform();
    engine::RunContext context(services);
    state.ResumeTiming();
    status = engine::RunStagingEngine(context, document);
    benchmark::DoNotOptimize(context.RunMessage.data());
    calls = client.spoolerCalls.size();
  }
  state.counters["spooler_calls"] = static_cast<double>(calls);
  state.counters["exit_status"] = status;
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_StagingWithNothingToDo)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
