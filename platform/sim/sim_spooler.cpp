// The simulated client's print spooler, its bookkeeping: the indexes through
// which printers and queues are found, the open handles, the record of every
// call and the servers' conditions. The calls themselves are in
// sim_spooler_printers.cpp (printers and connections), sim_spooler_drivers.cpp
// (drivers and ports) and sim_spooler_listing.cpp (enumerations and sized
// buffers). The state is never rebuilt, so a run of many calls does not slow
// down with the square of the printers.
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_spooler_support.h"

namespace quillon::platform::sim {

namespace {

using spooler_support::ParseConnectionName;

std::string QueueKey(std::string_view server, std::string_view share) {
  std::string key;
  key.reserve(server.size() + 1 + share.size());
  auto lower = [&](std::string_view text) {
    for (char c : text) {
      key.push_back((c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c);
    }
  };
  lower(server);
  key.push_back('\\');  // server names hold no backslash, so the key splits one way only
  lower(share);
  return key;
}

// Removed places before `place`: the Fenwick tree's prefix sum.
std::size_t RemovedBefore(const std::vector<std::size_t>& tree, std::size_t place) {
  std::size_t count = 0;
  for (std::size_t i = place; i > 0; i -= i & (~i + 1)) count += tree[i];
  return count;
}

void MarkRemoved(std::vector<std::size_t>& tree, std::size_t place) {
  for (std::size_t i = place + 1; i < tree.size(); i += i & (~i + 1)) ++tree[i];
}

}  // namespace

void SimPlatform::IndexPrinters() {
  const auto& printers = state_.printers;
  printerPlaces_.clear();
  printerPlaces_.reserve(printers.size());
  for (std::size_t i = 0; i < printers.size(); ++i) {
    printerPlaces_[CaseKey(printers[i].name)].push_back(i);
  }
  // Room for as many appends again (and some) before the next rebuild.
  removedPlaces_.assign(2 * printers.size() + 65, 0);
  nextPlace_ = printers.size();
  removedCount_ = 0;
  printerIndexBuilt_ = true;
}

bool SimPlatform::PrinterIndexCurrent() const {
  return printerIndexBuilt_ && nextPlace_ - removedCount_ == state_.printers.size();
}

std::optional<std::size_t> SimPlatform::PrinterPosition(std::string_view name) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt == 1 || !PrinterIndexCurrent()) IndexPrinters();
    auto found = printerPlaces_.find(CaseKey(name));
    if (found == printerPlaces_.end()) return std::nullopt;
    const std::size_t place = found->second.front();
    const std::size_t position = place - RemovedBefore(removedPlaces_, place);
    if (position < state_.printers.size() &&
        EqualsIgnoringCase(state_.printers[position].name, name)) {
      return position;
    }
  }
  return std::nullopt;  // not reached: a fresh index is right
}

SimPrinter* SimPlatform::FindPrinter(std::string_view name) {
  std::optional<std::size_t> position = PrinterPosition(name);
  return position ? &state_.printers[*position] : nullptr;
}

void SimPlatform::AppendPrinter(SimPrinter printer) {
  const bool current = PrinterIndexCurrent();
  std::string key = CaseKey(printer.name);
  state_.printers.push_back(std::move(printer));
  if (!current || nextPlace_ + 1 >= removedPlaces_.size()) {
    printerIndexBuilt_ = false;  // rebuilt at the next look-up
    return;
  }
  printerPlaces_[std::move(key)].push_back(nextPlace_++);
}

// A run against thousands of queues looks one up at every open and add; the
// index keeps that from costing a scan of the server's queues each time.
SimPlatform::ListedQueue SimPlatform::FindQueue(std::string_view server, std::string_view share) {
  auto& servers = state_.printServers;
  auto fromIndex = [&]() -> ListedQueue {
    auto it = queueIndex_.find(QueueKey(server, share));
    if (it == queueIndex_.end()) return {};
    const auto [s, q] = it->second;
    if (s >= servers.size() || q >= servers[s].second.size()) return {};
    if (!EqualsIgnoringCase(servers[s].first, server)) return {};
    if (!EqualsIgnoringCase(servers[s].second[q].shareName, share)) return {};
    return {&servers[s].first, &servers[s].second[q]};
  };
  if (queueIndexBuilt_) {
    if (ListedQueue hit = fromIndex(); hit.queue) return hit;
  }
  // A miss, or an index the state has moved away from: the scan decides. Only
  // the first listing of a server counts, and in it the first of a share.
  ListedQueue found;
  for (const auto& [name, queues] : servers) {
    if (!EqualsIgnoringCase(name, server)) continue;
    found.server = &name;
    for (const SimQueue& queue : queues) {
      if (EqualsIgnoringCase(queue.shareName, share)) {
        found.queue = &queue;
        break;
      }
    }
    break;
  }
  if (found.queue || !queueIndexBuilt_) {
    queueIndex_.clear();
    std::unordered_set<std::string> seenServers;
    for (std::size_t s = 0; s < servers.size(); ++s) {
      if (!seenServers.insert(QueueKey(servers[s].first, "")).second) continue;
      for (std::size_t q = 0; q < servers[s].second.size(); ++q) {
        queueIndex_.emplace(QueueKey(servers[s].first, servers[s].second[q].shareName),
                            std::pair(s, q));
      }
    }
    queueIndexBuilt_ = true;
  }
  return found;
}

const SimPlatform::OpenedPrinter* SimPlatform::FindHandle(PrinterHandle printer) const {
  auto it = handles_.find(printer);
  return it == handles_.end() ? nullptr : &it->second;
}

std::optional<PrinterInfo2> SimPlatform::Describe(const OpenedPrinter& opened) {
  PrinterInfo2 info;
  if (opened.queueView) {
    auto connection = ParseConnectionName(opened.name);
    if (!connection) return std::nullopt;
    ListedQueue listed = FindQueue(connection->server, connection->share);
    if (!listed.queue) return std::nullopt;
    info.serverName = "\\\\" + *listed.server;
    info.printerName = info.serverName + "\\" + listed.queue->shareName;
    info.shareName = listed.queue->shareName;
    info.portName = listed.queue->portName;
    info.driverName = listed.queue->driverName;
    info.comment = listed.queue->comment;
    info.location = listed.queue->location;
    info.attributes = kPrinterAttributeNetwork;
    return info;
  }
  const SimPrinter* printer = FindPrinter(opened.name);
  if (!printer) return std::nullopt;
  info.serverName = printer->serverName;
  info.printerName = printer->name;
  info.shareName = printer->shareName;
  info.portName = printer->portName;
  info.driverName = printer->driverName;
  info.comment = printer->comment;
  info.location = printer->location;
  info.attributes = printer->attributes;
  return info;
}

PrinterHandle SimPlatform::NewHandle(OpenedPrinter opened) {
  const PrinterHandle handle = ++lastHandle_;
  handles_.emplace(handle, std::move(opened));
  return handle;
}

void SimPlatform::RemovePrinter(std::string_view name) {
  const std::optional<std::size_t> position = PrinterPosition(name);
  if (!position) return;
  const auto it = state_.printers.begin() + static_cast<std::ptrdiff_t>(*position);
  // Windows leaves no default rather than picking another printer.
  if (state_.defaultPrinter && EqualsIgnoringCase(*state_.defaultPrinter, it->name)) {
    state_.defaultPrinter = "";
  }
  // The look-up left the index current, and the name's first place is this
  // printer's.
  auto places = printerPlaces_.find(CaseKey(it->name));
  MarkRemoved(removedPlaces_, places->second.front());
  ++removedCount_;
  places->second.erase(places->second.begin());
  if (places->second.empty()) printerPlaces_.erase(places);
  state_.printers.erase(it);
}

void SimPlatform::Record(const char* call, std::string name, bool result, std::uint32_t error) {
  SimSpoolerCall record;
  record.call = call;
  record.name = std::move(name);
  record.result = result;
  record.error = error;
  state_.spoolerCalls.push_back(std::move(record));
}

std::optional<std::uint32_t> SimPlatform::ServerCondition(std::string_view name,
                                                          bool needsServer) {
  if (!state_.serverConditions || name.size() < 3 || name[0] != '\\' || name[1] != '\\') {
    return std::nullopt;
  }
  const std::string_view server = name.substr(2, name.find('\\', 2) - 2);
  for (const auto& [listed, condition] : *state_.serverConditions) {
    if (!EqualsIgnoringCase(listed, server)) continue;
    const bool reachable = condition.reachable.value_or(true);
    if (!reachable && !needsServer) return std::nullopt;
    if (condition.latencyMs.value_or(0) > 0) {
      clock_.Sleep(static_cast<int>(std::min<std::uint32_t>(*condition.latencyMs, 0x7FFFFFFF)));
    }
    if (!reachable) return kErrorRpcServerUnavailable;
    return std::nullopt;
  }
  return std::nullopt;
}

std::vector<ServerProbe> SimPlatform::ProbeServers(const std::vector<std::string>& servers) {
  std::vector<ServerProbe> answers;
  answers.reserve(servers.size());
  for (const std::string& server : servers) {
    bool reachable = true;
    if (state_.serverConditions) {
      for (const auto& [listed, condition] : *state_.serverConditions) {
        if (EqualsIgnoringCase(listed, server)) reachable = condition.reachable.value_or(true);
      }
    }
    answers.push_back({server, reachable, 0});
  }
  return answers;
}

std::optional<std::uint32_t> SimPlatform::ReachQueue(const char* call, const std::string& name,
                                                     ListedQueue& listed) {
  auto connection = ParseConnectionName(name);
  listed = connection ? FindQueue(connection->server, connection->share) : ListedQueue{};
  if (auto error = InjectedFailure(call, name)) return error;
  if (auto unreachable = ServerCondition(name, true)) return unreachable;
  if (!connection) return kErrorInvalidPrinterName;
  if (!listed.server) return kErrorRpcServerUnavailable;
  if (!listed.queue) return kErrorInvalidPrinterName;
  return std::nullopt;
}

}  // namespace quillon::platform::sim
