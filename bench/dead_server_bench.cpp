// A logon run whose old print server is switched off against the same run
// whose old server answers, on the simulated client with the host's real
// clock: any call that reached the dead server would wait its 150 s.
// Usage: dead_server_bench [connections]. Fails unless the dead-server run
// ends within one second of the other.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"

namespace fs = std::filesystem;
namespace sim = quillon::platform::sim;
using namespace quillon;

namespace {

// The examples' document with every method off, then the manual method on
// with one server pair.
std::string Document(const std::string& allOff) {
  std::string text, section;
  std::size_t at = 0;
  while (at < allOff.size()) {
    std::size_t end = allOff.find('\n', at);
    if (end == std::string::npos) end = allOff.size();
    std::string line = allOff.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::string key = line.substr(0, line.find('=') + 1);
    if (key == "UseManualDefinitions=") line = "UseManualDefinitions=True";
    if (key == "AlwaysRun=") line = "AlwaysRun=True";
    if (key == "ShowProgress=") line = "ShowProgress=False";
    if (key == "DebugOn=") line = "DebugOn=True";
    if (key == "DefaultType=") line = "DefaultType=1";
    if (line.rfind("[", 0) == 0) section = line;
    if (section == "[MANUAL DEFINITIONS SERVERS]" && key == "FromServers=") line = "FromServers=OLDSRV";
    if (section == "[MANUAL DEFINITIONS SERVERS]" && key == "ToServers=") line = "ToServers=NEWSRV";
    text += line + "\r\n";
    at = end + 1;
  }
  return text;
}

double RunMilliseconds(const fs::path& folder, int connections, bool oldServerDead,
                       std::size_t* moved) {
  sim::SimClientState state;
  for (int i = 0; i < connections; ++i) {
    const std::string share = "Q" + std::to_string(i);
    for (const char* server : {"OLDSRV", "NEWSRV"}) {
      auto at = std::find_if(state.printServers.begin(), state.printServers.end(),
                             [&](const auto& entry) { return entry.first == server; });
      if (at == state.printServers.end()) {
        state.printServers.emplace_back(server, std::vector<sim::SimQueue>{});
        at = state.printServers.end() - 1;
      }
      sim::SimQueue queue;
      queue.shareName = share;
      queue.driverName = "Generic";
      at->second.push_back(queue);
    }
    sim::SimPrinter printer;
    printer.serverName = "\\\\OLDSRV";
    printer.name = printer.serverName + "\\" + share;
    printer.shareName = share;
    printer.driverName = "Generic";
    printer.attributes = 0x10;
    state.printers.push_back(printer);
  }
  state.defaultPrinter = "\\\\OLDSRV\\Q0";
  if (oldServerDead) {
    sim::SimServerCondition dead;
    dead.reachable = false;
    dead.latencyMs = 150000;
    state.serverConditions.emplace();
    state.serverConditions->emplace_back("OLDSRV", dead);
  }
  platform::HostFileSystem files;
  platform::HostClock clock;
  sim::SimHost host;
  host.clientPath = (folder / "client.json").string();
  host.programFolder = folder.string();
  host.hostComputerName = "PC042";
  host.hostLoginName = "alice";
  host.echoMessageBoxes = false;
  sim::SimPlatform client(state, host, files, clock);
  platform::Platform services = client.AsPlatform();
  engine::RunContext context(services);
  const auto start = std::chrono::steady_clock::now();
  engine::RunEngine(context, (folder / "move.ini").string());
  const auto stop = std::chrono::steady_clock::now();
  *moved = 0;
  for (const auto& printer : state.printers) *moved += printer.serverName == "\\\\NEWSRV";
  return std::chrono::duration<double, std::milli>(stop - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int connections = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::random_device seed;
  const fs::path folder =
      fs::temp_directory_path() / ("quillon-dead-server-bench-" + std::to_string(seed()));
  fs::create_directories(folder);
  platform::HostFileSystem files;
  const std::optional<std::string> allOff =
      files.ReadFile(std::string(QUILLON_EXAMPLES_DIR) + "/bench/all-off.ini");
  if (!allOff || !files.WriteFileAtomic((folder / "move.ini").string(), Document(*allOff)).ok) {
    std::fprintf(stderr, "cannot write the document in %s\n", folder.string().c_str());
    return 1;
  }
  std::size_t movedLive = 0, movedDead = 0;
  const double live = RunMilliseconds(folder, connections, false, &movedLive);
  const double dead = RunMilliseconds(folder, connections, true, &movedDead);
  fs::remove_all(folder);
  std::printf("dead_server_bench: %d connections moved OLDSRV -> NEWSRV\n", connections);
  std::printf("  old server answers:          %8.1f ms (%zu moved)\n", live, movedLive);
  std::printf("  old server dead (150 s/call): %8.1f ms (%zu moved)\n", dead, movedDead);
  const bool ok = dead <= live + 1000.0 && movedLive == static_cast<std::size_t>(connections) &&
                  movedDead == static_cast<std::size_t>(connections);
  std::printf("  %s: the dead-server run ends within 1 s of the other, every connection moved\n",
              ok ? "PASS" : "FAIL");
  return ok ? 0 : 1;
}
