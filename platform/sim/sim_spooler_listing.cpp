// The simulated spooler's enumerations and sized answers: the user's printers,
// the default printer's record and name, a printer's record, a server's
// queues and every profile's connections. A record's size grows with its
// strings, so that a caller's buffer can be too small as on Windows.
#include <utility>

#include "platform/sim/sim_platform.h"

namespace quillon::platform::sim {

namespace {

// Stands in for the fixed part of PRINTER_INFO_2, so that the size needed
// grows with the strings as the real structure's does.
constexpr std::size_t kPrinterInfoFixedSize = 136;

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

}  // namespace

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
