// The simulated spooler's printer and connection calls: opening, describing
// and changing a printer, connecting to and disconnecting from a server's
// queue, adding and deleting local printers, and setting the default.
#include <string_view>
#include <utility>

#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_spooler_support.h"

namespace quillon::platform::sim {

namespace {

using spooler_support::Failed;
using spooler_support::ParseConnectionName;

}  // namespace

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
