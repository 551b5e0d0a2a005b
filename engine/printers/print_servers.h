// The spooler as one run sees it. Before the first call that needs a print
// server, every server the run may ask is probed at once; a server that does
// not answer is then asked nothing that needs it (such calls fail at once with
// 1722, as Windows would after its RPC time-outs), so a switched-off server
// costs the logon one short wait. Every call that takes over a second is
// timed in the debug file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "platform/spooler.h"

namespace quillon::engine {

struct RunContext;

// "SERVER" of "\\SERVER\share" or "\\SERVER"; empty for a local printer's name.
std::string_view ServerOfName(std::string_view name);

class PrintServerGuard : public platform::Spooler {
 public:
  PrintServerGuard(RunContext& context, platform::Spooler& spooler, platform::Clock& clock)
      : context_(context), spooler_(spooler), clock_(clock) {}
  PrintServerGuard(const PrintServerGuard&) = delete;
  PrintServerGuard& operator=(const PrintServerGuard&) = delete;

  // A server the run may ask ("\\SERVER\share", "\\SERVER" or "SERVER"): it is
  // probed with the others at the next call that needs a server.
  void Expect(std::string_view name);
  // Whether the server of `name` (as Expect takes it) answers. Probes first,
  // with every expected server, when it has not been probed in this run.
  bool Answers(std::string_view name);

  // The connections' servers are expected as soon as they are listed.
  platform::PrinterNameList EnumPrinterNames() override;
  platform::SizedResult<std::vector<platform::PrinterInfo2>> EnumDefaultPrinter(
      std::size_t bufferSize) override;
  platform::HandleResult OpenPrinter(const std::string& name,
                                     platform::PrinterAccess access) override;
  platform::SizedResult<platform::PrinterInfo2> GetPrinter(platform::PrinterHandle printer,
                                                           std::size_t bufferSize) override;
  platform::SpoolerResult SetPrinter(platform::PrinterHandle printer,
                                     const platform::PrinterInfo2& info) override;
  void ClosePrinter(platform::PrinterHandle printer) override;
  platform::SpoolerResult AddPrinterConnection(const std::string& name,
                                               platform::ConnectionPrompts prompts) override;
  // Passed on whether or not the server answers: Windows removes a connection
  // on the client alone.
  platform::SpoolerResult DeletePrinterConnection(const std::string& name) override;
  platform::HandleResult AddPrinter(const platform::PrinterInfo2& info) override;
  platform::SpoolerResult DeletePrinter(platform::PrinterHandle printer) override;
  platform::SpoolerResult AddPrinterDriver(const platform::DriverInfo2& info) override;
  platform::SpoolerResult AddPort(const std::string& monitorName,
                                  platform::ProgressWindow* owner) override;
  platform::SpoolerResult AddPrinterDriverFromFolder(const platform::DriverInfo2& info) override;
  platform::SpoolerResult AddLocalPort(const std::string& portName) override;
  platform::SizedResult<std::string> GetDefaultPrinter(std::size_t bufferChars) override;
  platform::SpoolerResult SetDefaultPrinter(const std::string& name) override;
  platform::ServerQueueList ListServerQueues(const std::string& server) override;
  platform::InstalledDriverList ListInstalledDrivers(const std::string& environment) override;
  platform::SpoolerResult InstallDriverFromServer(const std::string& queueName) override;
  platform::ProfileConnectionList ListProfileConnections() override;
  std::vector<platform::ServerProbe> ProbeServers(const std::vector<std::string>& servers) override;

 private:
  // Probes every expected server not yet probed, and `server`.
  void ProbePending(std::string_view server);
  // False, with a debug line, when the server of `name` does not answer.
  bool MayAsk(const char* call, const std::string& name);
  template <typename Call>
  auto Timed(const char* call, std::string_view name, Call&& make);

  RunContext& context_;
  platform::Spooler& spooler_;
  platform::Clock& clock_;
  std::vector<std::string> pending_;  // as first named
  // By lower-case name: whether the server answered its probe.
  std::unordered_map<std::string, bool> answers_;
  std::unordered_map<platform::PrinterHandle, std::string> handleNames_;
};

}  // namespace quillon::engine
