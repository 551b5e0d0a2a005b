#include "engine/printers/print_servers.h"

#include "engine/core/debug_log.h"
#include "engine/core/names.h"
#include "engine/core/run_context.h"

namespace quillon::engine {
namespace {

// Calls quicker than this are not worth a line.
constexpr std::uint64_t kSlowCallMs = 1000;

std::string Key(std::string_view server) {
  std::string key(server);
  for (char& c : key) c = LowerAscii(c);
  return key;
}

}  // namespace

std::string_view ServerOfName(std::string_view name) {
  if (name.size() < 3 || name[0] != '\\' || name[1] != '\\') return {};
  const std::string_view rest = name.substr(2);
  return rest.substr(0, rest.find('\\'));
}

namespace {

// A printer's or server's name ("\\SERVER\share", "\\SERVER") or a bare
// server name.
std::string_view ServerNamed(std::string_view name) {
  return name.rfind("\\\\", 0) == 0 ? ServerOfName(name) : name;
}

}  // namespace

void PrintServerGuard::Expect(std::string_view name) {
  const std::string_view server = ServerNamed(name);
  if (server.empty()) return;
  const std::string key = Key(server);
  if (answers_.count(key)) return;
  for (const std::string& waiting : pending_) {
    if (Key(waiting) == key) return;
  }
  pending_.emplace_back(server);
}

void PrintServerGuard::ProbePending(std::string_view server) {
  Expect(server);
  if (pending_.empty()) return;
  std::vector<std::string> asked;
  asked.swap(pending_);
  const std::vector<platform::ServerProbe> probed = spooler_.ProbeServers(asked);
  for (std::size_t i = 0; i < asked.size(); ++i) {
    // A server the probe left out is taken to answer: asked as before.
    const bool answers = i < probed.size() ? probed[i].answers : true;
    const std::uint32_t took = i < probed.size() ? probed[i].milliseconds : 0;
    answers_[Key(asked[i])] = answers;
    WriteDebugLine(context_, ">> Print server \\\\" + asked[i] +
                                 (answers ? " answers" : " does not answer") + " (probe took " +
                                 std::to_string(took) + " ms)");
  }
}

bool PrintServerGuard::Answers(std::string_view name) {
  const std::string_view server = ServerNamed(name);
  if (server.empty()) return true;
  auto known = answers_.find(Key(server));
  if (known == answers_.end()) {
    ProbePending(server);
    known = answers_.find(Key(server));
  }
  return known == answers_.end() || known->second;
}

bool PrintServerGuard::MayAsk(const char* call, const std::string& name) {
  // A local printer's name names no server.
  if (ServerOfName(name).empty() || Answers(ServerOfName(name))) return true;
  WriteDebugLine(context_, std::string(">> Not asked, its print server does not answer: ") + call +
                               " " + name);
  return false;
}

template <typename Call>
auto PrintServerGuard::Timed(const char* call, std::string_view name, Call&& make) {
  const std::uint64_t start = clock_.ElapsedMilliseconds();
  auto result = make();
  const std::uint64_t took = clock_.ElapsedMilliseconds() - start;
  if (took > kSlowCallMs) {
    std::string line = std::string(">> Slow spooler call: ") + call;
    if (!name.empty()) line.append(" ").append(name);
    WriteDebugLine(context_, line + " took " + std::to_string(took) + " ms");
  }
  return result;
}

platform::PrinterNameList PrintServerGuard::EnumPrinterNames() {
  platform::PrinterNameList listed =
      Timed("EnumPrinters", "", [&] { return spooler_.EnumPrinterNames(); });
  for (const std::string& name : listed.names) Expect(ServerOfName(name));
  return listed;
}

platform::SizedResult<std::vector<platform::PrinterInfo2>> PrintServerGuard::EnumDefaultPrinter(
    std::size_t bufferSize) {
  return Timed("EnumPrinters", "", [&] { return spooler_.EnumDefaultPrinter(bufferSize); });
}

platform::HandleResult PrintServerGuard::OpenPrinter(const std::string& name,
                                                     platform::PrinterAccess access) {
  if (!MayAsk("OpenPrinter", name)) return {0, platform::kErrorRpcServerUnavailable};
  platform::HandleResult opened =
      Timed("OpenPrinter", name, [&] { return spooler_.OpenPrinter(name, access); });
  if (opened.handle != 0) handleNames_[opened.handle] = name;
  return opened;
}

platform::SizedResult<platform::PrinterInfo2> PrintServerGuard::GetPrinter(
    platform::PrinterHandle printer, std::size_t bufferSize) {
  return Timed("GetPrinter", handleNames_[printer],
               [&] { return spooler_.GetPrinter(printer, bufferSize); });
}

platform::SpoolerResult PrintServerGuard::SetPrinter(platform::PrinterHandle printer,
                                                     const platform::PrinterInfo2& info) {
  return Timed("SetPrinter", handleNames_[printer],
               [&] { return spooler_.SetPrinter(printer, info); });
}

void PrintServerGuard::ClosePrinter(platform::PrinterHandle printer) {
  Timed("ClosePrinter", handleNames_[printer], [&] {
    spooler_.ClosePrinter(printer);
    return true;
  });
  handleNames_.erase(printer);
}

platform::SpoolerResult PrintServerGuard::AddPrinterConnection(
    const std::string& name, platform::ConnectionPrompts prompts) {
  if (!MayAsk("AddPrinterConnection", name)) return {false, platform::kErrorRpcServerUnavailable};
  return Timed("AddPrinterConnection", name,
               [&] { return spooler_.AddPrinterConnection(name, prompts); });
}

platform::SpoolerResult PrintServerGuard::DeletePrinterConnection(const std::string& name) {
  return Timed("DeletePrinterConnection", name,
               [&] { return spooler_.DeletePrinterConnection(name); });
}

platform::HandleResult PrintServerGuard::AddPrinter(const platform::PrinterInfo2& info) {
  platform::HandleResult added =
      Timed("AddPrinter", info.printerName, [&] { return spooler_.AddPrinter(info); });
  if (added.handle != 0) handleNames_[added.handle] = info.printerName;
  return added;
}

platform::SpoolerResult PrintServerGuard::DeletePrinter(platform::PrinterHandle printer) {
  return Timed("DeletePrinter", handleNames_[printer],
               [&] { return spooler_.DeletePrinter(printer); });
}

platform::SpoolerResult PrintServerGuard::AddPrinterDriver(const platform::DriverInfo2& info) {
  return Timed("AddPrinterDriver", info.name, [&] { return spooler_.AddPrinterDriver(info); });
}

platform::SpoolerResult PrintServerGuard::AddPort(const std::string& monitorName,
                                                  platform::ProgressWindow* owner) {
  return Timed("AddPort", monitorName, [&] { return spooler_.AddPort(monitorName, owner); });
}

platform::SpoolerResult PrintServerGuard::AddPrinterDriverFromFolder(
    const platform::DriverInfo2& info) {
  return Timed("AddPrinterDriverEx", info.name,
               [&] { return spooler_.AddPrinterDriverFromFolder(info); });
}

platform::SpoolerResult PrintServerGuard::AddLocalPort(const std::string& portName) {
  return Timed("XcvData", portName, [&] { return spooler_.AddLocalPort(portName); });
}

platform::SizedResult<std::string> PrintServerGuard::GetDefaultPrinter(std::size_t bufferChars) {
  return Timed("GetDefaultPrinter", "", [&] { return spooler_.GetDefaultPrinter(bufferChars); });
}

platform::SpoolerResult PrintServerGuard::SetDefaultPrinter(const std::string& name) {
  if (!MayAsk("SetDefaultPrinter", name)) return {false, platform::kErrorRpcServerUnavailable};
  return Timed("SetDefaultPrinter", name, [&] { return spooler_.SetDefaultPrinter(name); });
}

platform::ServerQueueList PrintServerGuard::ListServerQueues(const std::string& server) {
  const std::string name = "\\\\" + server;
  if (!MayAsk("EnumPrinters", name)) return {false, platform::kErrorRpcServerUnavailable, {}};
  return Timed("EnumPrinters", name, [&] { return spooler_.ListServerQueues(server); });
}

platform::InstalledDriverList PrintServerGuard::ListInstalledDrivers(
    const std::string& environment) {
  return Timed("EnumPrinterDrivers", environment,
               [&] { return spooler_.ListInstalledDrivers(environment); });
}

platform::SpoolerResult PrintServerGuard::InstallDriverFromServer(const std::string& queueName) {
  if (!MayAsk("InstallDriverFromServer", queueName)) {
    return {false, platform::kErrorRpcServerUnavailable};
  }
  return Timed("InstallDriverFromServer", queueName,
               [&] { return spooler_.InstallDriverFromServer(queueName); });
}

platform::ProfileConnectionList PrintServerGuard::ListProfileConnections() {
  return Timed("ListProfileConnections", "", [&] { return spooler_.ListProfileConnections(); });
}

std::vector<platform::ServerProbe> PrintServerGuard::ProbeServers(
    const std::vector<std::string>& servers) {
  return spooler_.ProbeServers(servers);
}

}  // namespace quillon::engine
