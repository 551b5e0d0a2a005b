// The simulated client's printers and drivers as the inventory reads them, with
// the codes Windows gives: 1801 for an unknown printer, 1797 for a printer
// whose driver is not installed, 122 with the size needed for a short buffer.
#include "platform/sim/sim_driver_info.h"

#include "platform/sim/sim_platform.h"

namespace quillon::platform::sim {

namespace {
}  // namespace

std::optional<std::uint32_t> SimDriverInfoSource::InjectedFailure(std::string_view call,
                                                                  std::string_view name) const {
  for (const SimFailure& failure : state_.failures) {
    if (!EqualsIgnoringCase(failure.call, call)) continue;
    if (failure.name && !EqualsIgnoringCase(*failure.name, name)) continue;
    return failure.error;
  }
  return std::nullopt;
}

PrinterNames SimDriverInfoSource::EnumPrinterNames() {
  PrinterNames result;
  if (auto error = InjectedFailure("EnumPrinters", "")) {
    result.status = Status::Error(*error, "Injected failure");
    return result;
  }
  result.names.reserve(state_.printers.size());
  for (const SimPrinter& printer : state_.printers) result.names.push_back(printer.name);
  return result;
}

HandleResult SimDriverInfoSource::OpenPrinter(const std::string& name) {
  HandleResult result;
  if (auto error = InjectedFailure("OpenPrinter", name)) {
    result.error = *error;
    return result;
  }
  for (const SimPrinter& printer : state_.printers) {
    if (EqualsIgnoringCase(printer.name, name)) {
      result.handle = ++lastHandle_;
      handles_.emplace(result.handle, printer.name);
      return result;
    }
  }
  result.error = kErrorInvalidPrinterName;
  return result;
}

SizedResult<DriverInfo2> SimDriverInfoSource::GetPrinterDriver(PrinterHandle printer,
                                                               std::size_t bufferSize) {
  SizedResult<DriverInfo2> result;
  auto opened = handles_.find(printer);
  if (opened == handles_.end()) {
    result.error = kErrorInvalidHandle;
    return result;
  }
  if (auto error = InjectedFailure("GetPrinterDriver", opened->second)) {
    result.error = *error;
    return result;
  }
  // Looked up again at each use: the state may have changed since the open.
  const SimPrinter* found = nullptr;
  for (const SimPrinter& candidate : state_.printers) {
    if (EqualsIgnoringCase(candidate.name, opened->second)) {
      found = &candidate;
      break;
    }
  }
  if (!found) {
    result.error = kErrorInvalidHandle;
    return result;
  }
  const SimDriver* driver = nullptr;
  for (const SimDriver& candidate : state_.drivers) {
    if (EqualsIgnoringCase(candidate.name, found->driverName)) {
      driver = &candidate;
      break;
    }
  }
  if (!driver) {
    result.error = kErrorUnknownPrinterDriver;
    return result;
  }
  DriverInfo2 info{driver->version,    driver->name,     driver->environment,
                   driver->driverPath, driver->dataFile, driver->configFile};
  result.needed = DriverInfo2Size(info);
  if (bufferSize < result.needed) {
    result.error = kErrorInsufficientBuffer;
    return result;
  }
  result.ok = true;
  result.value = std::move(info);
  return result;
}

void SimDriverInfoSource::ClosePrinter(PrinterHandle printer) { handles_.erase(printer); }

}  // namespace quillon::platform::sim
