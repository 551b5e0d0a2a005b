// Reading the published print queues from a slapd on loopback: Bind and
// QueryPrintQueues together, and the resident memory that one read adds.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "engine/core/run_context.h"
#include "engine/migration/directory_migration.h"
#include "engine/printers/client_printers.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/ldap/ldap_directory.h"
#include "platform/sim/sim_platform.h"
#include "testing/slapd_fixture.h"

namespace {

using namespace quillon::platform;

constexpr const char* kCorp = "dc=corp,dc=example";

// One server for every run: 10,000 queues under ou=Large, 2,500 under ou=Small,
// so that two sizes show how time and memory grow.
ldap_test::SlapdFixture& Server() {
  static std::unique_ptr<ldap_test::SlapdFixture> server = [] {
    ldap_test::SlapdOptions options;
    for (const auto& [ou, count] : {std::pair{"Large", 10000}, std::pair{"Small", 2500}}) {
      const std::string parent = std::string("ou=") + ou + "," + kCorp;
      options.entries.push_back(ldap_test::OrganizationalUnitEntry(kCorp, ou));
      for (int i = 0; i < count; ++i) {
        const std::string share = "HP LaserJet " + std::to_string(i);
        options.entries.push_back(ldap_test::PrintQueueEntry(
            parent, "PRTSRV" + std::to_string(i % 20) + "-" + share, {share, "alias " + share}));
      }
    }
    return std::make_unique<ldap_test::SlapdFixture>(options);
  }();
  return *server;
}

// A field of /proc/self/status in KiB (VmRSS, VmHWM).
long StatusKiB(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      std::istringstream value(line.substr(field.size() + 1));
      long kib = 0;
      value >> kib;
      return kib;
    }
  }
  return -1;
}

// Resets VmHWM to the current resident size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

DirectoryQuery BindAndQuery(const std::string& path) {
  LdapDirectory directory;
  DirectoryBinding binding = directory.Bind(path);
  if (!binding.ok) return {false, {}, binding.errorNumber, binding.errorDescription};
  return directory.QueryPrintQueues(binding, "");
}

void BM_BindAndQueryPrintQueues(benchmark::State& state) {
  ldap_test::SlapdFixture& server = Server();
  if (!server.running()) {
    state.SkipWithError(server.failure().c_str());
    return;
  }
  const long queues = state.range(0);
  const std::string path =
      "LDAP://" + server.HostPort() + "/ou=" + (queues == 10000 ? "Large" : "Small") + "," + kCorp;

  // Memory of one read, outside the timed loop: the peak while it runs and
  // what its result keeps, over the resident size before it.
  malloc_trim(0);  // earlier runs' freed memory would hide this one's growth
  ResetPeak();
  const long before = StatusKiB("VmRSS");
  long kept = 0;
  {
    DirectoryQuery query = BindAndQuery(path);
    if (!query.ok || static_cast<long>(query.rows.size()) != queues) {
      state.SkipWithError(("query failed: " + query.errorDescription).c_str());
      return;
    }
    kept = StatusKiB("VmRSS") - before;
  }
  const long peak = StatusKiB("VmHWM") - before;

  for (auto _ : state) {
    DirectoryQuery query = BindAndQuery(path);
    benchmark::DoNotOptimize(query.rows.data());
    if (!query.ok) state.SkipWithError(query.errorDescription.c_str());
  }
  state.counters["rows"] = static_cast<double>(queues);
  state.counters["peak_rss_growth_KiB"] = static_cast<double>(peak);
  state.counters["result_rss_KiB"] = static_cast<double>(kept);
  state.counters["rows_per_s"] =
      benchmark::Counter(static_cast<double>(queues), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_BindAndQueryPrintQueues)->Arg(2500)->Arg(10000)->UseRealTime()->Unit(benchmark::kMillisecond);

// The directory migration as the engine runs it: 10,000 published queues read
// from slapd, 200 of the user's connections moved to the servers publishing them.
void BM_DirectoryMigration(benchmark::State& state) {
  ldap_test::SlapdFixture& server = Server();
  if (!server.running()) {
    state.SkipWithError(server.failure().c_str());
    return;
  }
  const int connections = static_cast<int>(state.range(0));
  quillon::platform::sim::SimClientState client;
  for (int s = 0; s < 20; ++s) client.printServers.push_back({"PRTSRV" + std::to_string(s), {}});
  client.printServers.push_back({"OLDSRV", {}});
  for (int i = 0; i < connections; ++i) {
    const std::string share = "HP LaserJet " + std::to_string(i);
    quillon::platform::sim::SimQueue queue;
    queue.shareName = share;
    client.printServers[static_cast<std::size_t>(i % 20)].second.push_back(queue);
    quillon::platform::sim::SimPrinter printer;
    printer.name = "\\\\OLDSRV\\" + share;
    printer.serverName = "\\\\OLDSRV";
    printer.shareName = share;
    printer.attributes = 0x10;
    client.printers.push_back(printer);
  }
  HostFileSystem files;
  HostClock clock;
  LdapDirectory directory;
  quillon::platform::sim::SimHost host;
  host.clientPath = "/tmp/quillon-directory-bench/client.json";
  host.echoMessageBoxes = false;
  host.realDirectory = &directory;
  std::size_t moved = 0;
  for (auto _ : state) {
    state.PauseTiming();
    quillon::platform::sim::SimClientState fresh = client;
    quillon::platform::sim::SimPlatform sim(fresh, host, files, clock);
    Platform services = sim.AsPlatform();
    quillon::engine::RunContext context(services);
    context.document.DebugOn = true;
    context.document.DomainName = server.HostPort() + "/ou=Large," + kCorp;
    quillon::engine::GetClientPrinters(context, false);
    state.ResumeTiming();
    quillon::engine::QueryDirectoryPrinters(context);
    quillon::engine::MigrateByDirectory(context);
    state.PauseTiming();
    if (context.AbortStatus) state.SkipWithError(context.RunMessage.c_str());
    moved = fresh.printers.size();
    state.ResumeTiming();
  }
  state.counters["connections_after"] = static_cast<double>(moved);
}
BENCHMARK(BM_DirectoryMigration)->Arg(200)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
