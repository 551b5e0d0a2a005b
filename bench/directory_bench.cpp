// Reading the published print queues from a slapd on loopback: Bind and
// QueryPrintQueues together, and the resident memory that one read adds.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "platform/ldap/ldap_directory.h"
#include "platform/ldap/slapd_fixture.h"

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

}  // namespace
