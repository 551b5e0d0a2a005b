// The simulated client's print spooler: printers, connections to the listed
// print servers' queues, drivers, ports and the default printer, with the
// last-error codes Windows gives. Printers and queues are found through
// indexes and the state is never rebuilt, so a run of many calls does not
// slow down with the square of the printers.
#include <algorithm>
#include <unordered_set>
#include <utility>

#include "platform/sim/sim_platform.h"

namespace quillon::platform::sim {

namespace {

constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorAlreadyExists = 183;

// Stands in for the fixed part of PRINTER_INFO_2, so that the size needed
// grows with the strings as the real structure's does.
constexpr std::size_t kPrinterInfoFixedSize = 136;

struct ConnectionName {
  std::string_view server, share;
};

// "\\SERVER\share"; the share part may itself hold backslashes.
std::optional<ConnectionName> ParseConnectionName(std::string_view name) {
  if (name.size() < 2 || name[0] != '\\' || name[1] != '\\') return std::nullopt;
  const std::string_view rest = name.substr(2);
  const auto cut = rest.find('\\');
  if (cut == std::string_view::npos || cut == 0 || cut + 1 == rest.size()) return std::nullopt;
  return ConnectionName{rest.substr(0, cut), rest.substr(cut + 1)};
}

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

std::size_t PrinterInfoSize(const PrinterInfo2& info) {
  std::size_t size = kPrinterInfoFixedSize;
  for (const std::string* text :
       {&info.serverName, &info.printerName, &info.shareName, &info.portName, &info.driverName,
        &info.comment, &info.location, &info.separatorFile, &info.printProcessor,
        &info.datatype, &info.parameters}) {
    if (!text->empty()) size += text->size() + 1;
  }
  return size;
}

SpoolerResult Failed(std::uint32_t error) { return SpoolerResult{false, error}; }

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

PrinterNameList SimPlatform::EnumPrinterNames() {
  PrinterNameList list;
  if (auto error = InjectedFailure("EnumPrinters", "")) {
    list.error = *error;
  } else {
    list.ok = true;
    list.names.reserve(state_.printers.size());
    for (const SimPrinter& printer : state_.printers) list.names.push_back(printer.name);
  }
  Record("EnumPrinters", "", list.ok, list.error);
  return list;
}

SizedResult<std::vector<PrinterInfo2>> SimPlatform::EnumDefaultPrinter(std::size_t bufferSize) {
  const std::string defaultName = state_.defaultPrinter.value_or("");
  SizedResult<std::vector<PrinterInfo2>> result;
  if (auto error = InjectedFailure("EnumPrinters", "")) {
    result.error = *error;
  } else if (std::optional<PrinterInfo2> info =
                 defaultName.empty() ? std::nullopt : Describe(OpenedPrinter{defaultName})) {
    result.needed = PrinterInfoSize(*info);
    if (bufferSize < result.needed) {
      result.error = kErrorInsufficientBuffer;
    } else {
      result.ok = true;
      result.value.push_back(std::move(*info));
    }
  } else {
    // Windows answers an enumeration that finds no default with no records.
    result.ok = true;
  }
  Record("EnumPrinters", defaultName, result.ok, result.error);
  return result;
}

HandleResult SimPlatform::OpenPrinter(const std::string& name, PrinterAccess /*access*/) {
  HandleResult result;
  if (auto error = InjectedFailure("OpenPrinter", name)) {
    result.error = *error;
  } else if (auto unreachable = ServerCondition(name, true)) {
    result.error = *unreachable;
  } else if (const SimPrinter* printer = FindPrinter(name)) {
    // A connection to a listed server opens only while its queue is there; one
    // to an unlisted server stands for a connection Windows has cached.
    auto connection = ParseConnectionName(printer->name);
    ListedQueue listed =
        connection ? FindQueue(connection->server, connection->share) : ListedQueue{};
    if (listed.server && !listed.queue) {
      result.error = kErrorInvalidPrinterName;
    } else {
      result.handle = NewHandle(OpenedPrinter{printer->name});
    }
  } else if (auto connection = ParseConnectionName(name);
             connection && FindQueue(connection->server, connection->share).queue) {
    ListedQueue listed = FindQueue(connection->server, connection->share);
    result.handle =
        NewHandle(OpenedPrinter{"\\\\" + *listed.server + "\\" + listed.queue->shareName, true});
  } else {
    result.error = kErrorInvalidPrinterName;
  }
  Record("OpenPrinter", name, result.handle != 0, result.error);
  return result;
}

SizedResult<PrinterInfo2> SimPlatform::GetPrinter(PrinterHandle printer, std::size_t bufferSize) {
  const OpenedPrinter* opened = FindHandle(printer);
  const std::string name = opened ? opened->name : "";
  SizedResult<PrinterInfo2> result;
  std::optional<PrinterInfo2> info;
  if (auto error = InjectedFailure("GetPrinter", name)) {
    result.error = *error;
  } else if (auto unreachable = ServerCondition(name, true)) {
    result.error = *unreachable;
  } else if (!opened || !(info = Describe(*opened))) {
    result.error = kErrorInvalidHandle;
  } else {
    result.needed = PrinterInfoSize(*info);
    if (bufferSize < result.needed) {
      result.error = kErrorInsufficientBuffer;
    } else {
      result.ok = true;
      result.value = std::move(*info);
    }
  }
  Record("GetPrinter", name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::SetPrinter(PrinterHandle printer, const PrinterInfo2& info) {
  const OpenedPrinter* opened = FindHandle(printer);
  const std::string name = opened ? opened->name : "";
  SpoolerResult result{true, 0};
  SimPrinter* record = opened && !opened->queueView ? FindPrinter(opened->name) : nullptr;
  if (auto error = InjectedFailure("SetPrinter", name)) {
    result = Failed(*error);
  } else if (auto unreachable = ServerCondition(name, true)) {
    result = Failed(*unreachable);
  } else if (!opened || (!opened->queueView && !record)) {
    result = Failed(kErrorInvalidHandle);
  } else if (opened->queueView) {
    result = Failed(kErrorAccessDenied);
  } else {
    // The name and server are what the handle was opened on; renaming is
    // not simulated.
    record->shareName = info.shareName;
    record->portName = info.portName;
    record->driverName = info.driverName;
    record->comment = info.comment;
    record->location = info.location;
    record->attributes = info.attributes & ~kPrinterAttributeDefault;
    // Windows 95/98/ME: the default bit is how a printer is made the default.
    if (info.attributes & kPrinterAttributeDefault) state_.defaultPrinter = record->name;
  }
  Record("SetPrinter", name, result.ok, result.error);
  return result;
}

void SimPlatform::ClosePrinter(PrinterHandle printer) { handles_.erase(printer); }

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

SpoolerResult SimPlatform::AddPrinterConnection(const std::string& name,
                                                ConnectionPrompts prompts) {
  SpoolerResult result{true, 0};
  ListedQueue listed;
  if (auto error = ReachQueue("AddPrinterConnection", name, listed)) {
    result = Failed(*error);
  } else if (listed.queue->needsPrompt && !FindPrinter(name)) {
    // Nobody at a logon run can answer an administrator's prompt.
    result = Failed(prompts == ConnectionPrompts::Never ? kErrorPrinterDriverDownloadNeeded
                                                        : kErrorCancelled);
  } else if (FindPrinter(name)) {
    // Already connected: nothing to fetch.
  } else if (DriverNeed need = DriverNeedFor(*listed.queue); need.error) {
    result = Failed(need.error);
  } else {
    if (need.install) InstallQueueDriver(*listed.queue);
    SimPrinter printer;
    printer.serverName = "\\\\" + *listed.server;
    printer.name = printer.serverName + "\\" + listed.queue->shareName;
    printer.shareName = listed.queue->shareName;
    printer.portName = listed.queue->portName;
    printer.driverName = listed.queue->driverName;
    printer.comment = listed.queue->comment;
    printer.location = listed.queue->location;
    printer.attributes = kPrinterAttributeNetwork;
    AppendPrinter(std::move(printer));
  }
  Record("AddPrinterConnection", name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::DeletePrinterConnection(const std::string& name) {
  SpoolerResult result{true, 0};
  const SimPrinter* printer = FindPrinter(name);
  if (auto error = InjectedFailure("DeletePrinterConnection", name)) {
    result = Failed(*error);
  } else if (auto unreachable = ServerCondition(name, false)) {
    result = Failed(*unreachable);
  } else if (!printer || printer->serverName.empty()) {
    result = Failed(kErrorInvalidPrinterName);
  } else if (printer->perMachine.value_or(false)) {
    // The computer's connection: a user may not remove it, and it stays listed.
    result = Failed(kErrorAccessDenied);
  } else {
    RemovePrinter(name);
  }
  Record("DeletePrinterConnection", name, result.ok, result.error);
  return result;
}

HandleResult SimPlatform::AddPrinter(const PrinterInfo2& info) {
  auto listed = [](const auto& items, std::string_view wanted, auto nameOf) {
    for (const auto& item : items) {
      if (EqualsIgnoringCase(nameOf(item), wanted)) return true;
    }
    return false;
  };
  HandleResult result;
  if (auto error = InjectedFailure("AddPrinter", info.printerName)) {
    result.error = *error;
  } else if (info.printerName.empty()) {
    result.error = kErrorInvalidPrinterName;
  } else if (FindPrinter(info.printerName)) {
    result.error = kErrorPrinterAlreadyExists;
  } else if (!listed(state_.drivers, info.driverName,
                     [](const SimDriver& d) -> const std::string& { return d.name; })) {
    result.error = kErrorUnknownPrinterDriver;
  } else if (!listed(state_.ports, info.portName,
                     [](const std::string& p) -> const std::string& { return p; })) {
    result.error = kErrorUnknownPort;
  } else {
    SimPrinter printer;
    printer.name = info.printerName;
    printer.portName = info.portName;
    printer.driverName = info.driverName;
    printer.comment = info.comment;
    printer.location = info.location;
    printer.attributes = info.attributes | kPrinterAttributeLocal;
    AppendPrinter(std::move(printer));
    result.handle = NewHandle(OpenedPrinter{info.printerName});
  }
  Record("AddPrinter", info.printerName, result.handle != 0, result.error);
  return result;
}

SpoolerResult SimPlatform::DeletePrinter(PrinterHandle printer) {
  const OpenedPrinter* opened = FindHandle(printer);
  const std::string name = opened ? opened->name : "";
  SpoolerResult result{true, 0};
  if (auto error = InjectedFailure("DeletePrinter", name)) {
    result = Failed(*error);
  } else if (!opened || (!opened->queueView && !FindPrinter(name))) {
    result = Failed(kErrorInvalidHandle);
  } else if (opened->queueView) {
    result = Failed(kErrorAccessDenied);
  } else {
    RemovePrinter(name);
  }
  Record("DeletePrinter", name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::InstallDriver(const char* call, const DriverInfo2& info,
                                         bool fromFolder) {
  constexpr std::uint32_t kErrorCallNotImplemented = 120;
  SpoolerResult result{true, 0};
  if (auto error = InjectedFailure(call, info.name)) {
    result = Failed(*error);
  } else if (fromFolder && !IsNt()) {
    result = Failed(kErrorCallNotImplemented);
  } else if (info.name.empty()) {
    result = Failed(kErrorInvalidParameter);
  } else if (IsNt() && !IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else if (IsNt() && EqualsIgnoringCase(info.environment, "Windows 4.0")) {
    result = Failed(kErrorInvalidEnvironment);
  } else {
    for (const SimDriver& driver : state_.drivers) {
      if (EqualsIgnoringCase(driver.name, info.name)) {
        result = Failed(kErrorPrinterDriverAlreadyInstalled);
        break;
      }
    }
  }
  if (result.ok && fromFolder) {
    for (const std::string* file : {&info.driverPath, &info.dataFile, &info.configFile}) {
      if (!file->empty() && !files_.FileExists(*file)) {
        result = Failed(kErrorFileNotFound);
        break;
      }
    }
  }
  if (result.ok) {
    SimDriver driver;
    driver.name = info.name;
    driver.driverPath = info.driverPath;
    driver.dataFile = info.dataFile;
    driver.configFile = info.configFile;
    driver.environment = info.environment;
    driver.version = info.version;
    state_.drivers.push_back(std::move(driver));
  }
  Record(call, info.name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::AddPrinterDriver(const DriverInfo2& info) {
  return InstallDriver("AddPrinterDriver", info, false);
}

SpoolerResult SimPlatform::AddPrinterDriverFromFolder(const DriverInfo2& info) {
  return InstallDriver("AddPrinterDriverEx", info, true);
}

SpoolerResult SimPlatform::CreatePort(const char* call, const std::string& name) {
  SpoolerResult result{true, 0};
  if (auto error = InjectedFailure(call, name)) {
    result = Failed(*error);
  } else if (name.empty()) {
    result = Failed(kErrorInvalidParameter);
  } else if (IsNt() && !IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else {
    for (const std::string& port : state_.ports) {
      if (EqualsIgnoringCase(port, name)) {
        result = Failed(kErrorAlreadyExists);
        break;
      }
    }
  }
  if (result.ok) state_.ports.push_back(name);
  Record(call, name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::AddPort(const std::string& monitorName, ProgressWindow* /*owner*/) {
  return CreatePort("AddPort", monitorName);
}

SpoolerResult SimPlatform::AddLocalPort(const std::string& portName) {
  if (!IsNt()) {
    constexpr std::uint32_t kErrorCallNotImplemented = 120;
    Record("XcvData", portName, false, kErrorCallNotImplemented);
    return Failed(kErrorCallNotImplemented);
  }
  return CreatePort("XcvData", portName);
}

SizedResult<std::string> SimPlatform::GetDefaultPrinter(std::size_t bufferChars) {
  const std::string defaultName = state_.defaultPrinter.value_or("");
  SizedResult<std::string> result;
  if (auto error = InjectedFailure("GetDefaultPrinter", "")) {
    result.error = *error;
  } else if (defaultName.empty()) {
    result.error = kErrorFileNotFound;
  } else {
    result.needed = defaultName.size() + 1;  // with its terminating NUL
    if (bufferChars < result.needed) {
      result.error = kErrorInsufficientBuffer;
    } else {
      result.ok = true;
      result.value = defaultName;
    }
  }
  Record("GetDefaultPrinter", defaultName, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::SetDefaultPrinter(const std::string& name) {
  SpoolerResult result{true, 0};
  const SimPrinter* printer = FindPrinter(name);
  if (auto error = InjectedFailure("SetDefaultPrinter", name)) {
    result = Failed(*error);
  } else if (auto unreachable = ServerCondition(name, true)) {
    result = Failed(*unreachable);
  } else if (!printer) {
    result = Failed(kErrorInvalidPrinterName);
  } else {
    state_.defaultPrinter = printer->name;
  }
  Record("SetDefaultPrinter", name, result.ok, result.error);
  return result;
}

}  // namespace quillon::platform::sim

namespace quillon::platform::sim {

namespace {

DriverVersion VersionOf(const std::optional<std::string>& text) {
  return text ? ParseDriverVersion(*text).value_or(0) : 0;
}

bool ForEnvironment(const SimDriver& driver, std::string_view environment) {
  return driver.environment.empty() || EqualsIgnoringCase(driver.environment, environment);
}

}  // namespace

std::string SimPlatform::DriverEnvironment() {
  const std::string native = GetNativeDriverEnvironment();
  return native.empty() ? "Windows x64" : native;
}

SimDriver* SimPlatform::InstalledDriverFor(const std::string& name) {
  const std::string environment = DriverEnvironment();
  for (SimDriver& driver : state_.drivers) {
    if (EqualsIgnoringCase(driver.name, name) && ForEnvironment(driver, environment)) {
      return &driver;
    }
  }
  return nullptr;
}

SimPlatform::DriverNeed SimPlatform::DriverNeedFor(const SimQueue& queue) {
  if (!queue.driverVersion) return {};
  const std::string environment = DriverEnvironment();
  if (queue.environments) {
    bool offered = false;
    for (const std::string& offeredFor : *queue.environments) {
      offered = offered || EqualsIgnoringCase(offeredFor, environment);
    }
    if (!offered) return {kErrorUnknownPrinterDriver, false};
  }
  const SimDriver* installed = InstalledDriverFor(queue.driverName);
  if (installed && VersionOf(installed->driverVersion) >= VersionOf(queue.driverVersion)) {
    return {};
  }
  const bool restricted = state_.pointAndPrint &&
                          state_.pointAndPrint->restrictDriverInstallationToAdministrators
                              .value_or(false);
  if (restricted && !IsElevated()) return {kErrorPrinterDriverDownloadNeeded, false};
  return {0, true};
}

void SimPlatform::InstallQueueDriver(const SimQueue& queue) {
  if (SimDriver* installed = InstalledDriverFor(queue.driverName)) {
    installed->driverVersion = queue.driverVersion;
    if (installed->bareName) {  // a plain name cannot hold a version
      installed->bareName = false;
      installed->environment = DriverEnvironment();
      installed->version = 3;
    }
    return;
  }
  SimDriver driver;
  driver.name = queue.driverName;
  driver.environment = DriverEnvironment();
  driver.version = 3;
  driver.driverVersion = queue.driverVersion;
  state_.drivers.push_back(std::move(driver));
}

ServerQueueList SimPlatform::ListServerQueues(const std::string& server) {
  ServerQueueList list;
  const std::string name = "\\\\" + server;
  const std::vector<SimQueue>* queues = nullptr;
  for (const auto& [listed, itsQueues] : state_.printServers) {
    if (EqualsIgnoringCase(listed, server)) {
      queues = &itsQueues;
      break;
    }
  }
  if (auto error = InjectedFailure("EnumPrinters", name)) {
    list.error = *error;
  } else if (auto unreachable = ServerCondition(name, true)) {
    list.error = *unreachable;
  } else if (!queues) {
    list.error = kErrorRpcServerUnavailable;
  } else {
    list.ok = true;
    list.queues.reserve(queues->size());
    for (const SimQueue& queue : *queues) {
      ServerQueue listed;
      listed.shareName = queue.shareName;
      listed.driverName = queue.driverName;
      if (queue.driverVersion) listed.driverVersion = ParseDriverVersion(*queue.driverVersion);
      if (queue.environments) listed.environments = *queue.environments;
      listed.packageAware = queue.packageAware.value_or(false);
      list.queues.push_back(std::move(listed));
    }
  }
  Record("EnumPrinters", name, list.ok, list.error);
  return list;
}

InstalledDriverList SimPlatform::ListInstalledDrivers(const std::string& environment) {
  InstalledDriverList list;
  if (auto error = InjectedFailure("EnumPrinterDrivers", environment)) {
    list.error = *error;
  } else {
    list.ok = true;
    for (const SimDriver& driver : state_.drivers) {
      if (!ForEnvironment(driver, environment)) continue;
      list.drivers.push_back({driver.name, environment, VersionOf(driver.driverVersion)});
    }
  }
  Record("EnumPrinterDrivers", environment, list.ok, list.error);
  return list;
}

SpoolerResult SimPlatform::InstallDriverFromServer(const std::string& queueName) {
  SpoolerResult result{true, 0};
  ListedQueue listed;
  if (auto error = ReachQueue("InstallDriverFromServer", queueName, listed)) {
    result = Failed(*error);
  } else if (!IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else if (DriverNeed need = DriverNeedFor(*listed.queue); need.error) {
    result = Failed(need.error);
  } else if (need.install) {
    InstallQueueDriver(*listed.queue);
  }
  Record("InstallDriverFromServer", queueName, result.ok, result.error);
  return result;
}

ProfileConnectionList SimPlatform::ListProfileConnections() {
  ProfileConnectionList list;
  list.ok = true;
  if (state_.profiles) {
    for (const SimProfile& profile : *state_.profiles) {
      list.profiles.push_back({profile.userName, profile.connections});
    }
    return list;
  }
  ProfileConnections own{GetUserName(), {}};
  for (const SimPrinter& printer : state_.printers) {
    if (!printer.serverName.empty()) own.connections.push_back(printer.name);
  }
  list.profiles.push_back(std::move(own));
  return list;
}

}  // namespace quillon::platform::sim
