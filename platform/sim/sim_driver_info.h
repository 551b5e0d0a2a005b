// The driver inventory's view of a simulated client: its `printers` in file
// order and their drivers from `drivers`. Reads the state, never changes it.
#pragma once

#include <unordered_map>

#include "platform/driver_info.h"
#include "platform/sim/sim_client.h"

namespace quillon::platform::sim {

// Injected `failures` are honoured for the calls "EnumPrinters", "OpenPrinter"
// and "GetPrinterDriver" (matched on the printer name).
class SimDriverInfoSource : public DriverInfoSource {
 public:
  explicit SimDriverInfoSource(const SimClientState& state) : state_(state) {}

  PrinterNames EnumPrinterNames() override;
  HandleResult OpenPrinter(const std::string& name) override;
  SizedResult<DriverInfo2> GetPrinterDriver(PrinterHandle printer,
                                            std::size_t bufferSize) override;
  void ClosePrinter(PrinterHandle printer) override;

  std::size_t OpenHandles() const { return handles_.size(); }

 private:
  std::optional<std::uint32_t> InjectedFailure(std::string_view call, std::string_view name) const;

  const SimClientState& state_;
  std::unordered_map<PrinterHandle, std::string> handles_;  // the printer's name
  PrinterHandle lastHandle_ = 0;
};

}  // namespace quillon::platform::sim
