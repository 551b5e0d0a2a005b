#include "engine/printers/printer_failure.h"

#include "engine/core/run_context.h"
#include "platform/spooler.h"

namespace quillon::engine {
namespace {

struct Explanation {
  std::uint32_t code;
  const char* text;
};

// The reasons a migration usually stops on today's clients.
constexpr Explanation kExplanations[] = {
    {2, "a file or printer that the document names does not exist on the client or on the "
        "server; check the name, and that the driver file lies in the driver share."},
    {5, "the user is not allowed to do this. Since the 2021 print spooler hardening a standard "
        "user may not install printer drivers: install the driver on the client first (QuillonEngine "
        "/StageDrivers as a computer start-up script does, or a policy), or use a package-aware "
        "driver on the print server."},
    {53, "the print server's name was not found on the network; check the server name in the "
         "document and the client's name resolution."},
    {283, "the print server refused the client's connection because they disagree on RPC "
          "authentication (the 2021 RPC privacy hardening of print servers); update the print "
          "server and the clients so that both use RPC packet privacy, or as a stopgap set "
          "RpcAuthnLevelPrivacyEnabled to 0 on the print server."},
    {1223, "the operation was cancelled: Windows asked for an administrator's approval or "
           "credentials (Point and Print) and nobody gave them. Install the printer's driver on "
           "the client as an administrator (or by policy) first, or offer a package-aware "
           "driver on the print server, so that no prompt is needed."},
    {1722, "the print server did not answer; check that it is running and reachable from the "
           "client, and that its Print Spooler service runs and is not blocked by a firewall."},
    {1796, "the port named for this printer does not exist on the client; check the port name "
           "in the document."},
    {1797, "the printer's driver is not installed on the client; install it first, or correct "
           "the driver name in the document (it must match the driver's name exactly)."},
    {1805, "Windows does not accept the environment given for this driver (\"Windows 4.0\" "
           "drivers for Windows 95/98/ME are refused on Windows NT and later); use a driver "
           "for this computer's own environment, such as \"Windows x64\" or \"Windows NT "
           "x86\"."},
    {1801, "the print server has no shared printer of that name; check the share name in the "
           "document against the server's shares, or the printer was already removed."},
    {1905, "the printer was deleted on the print server while the client still knew it; remove "
           "the connection and connect to the printer again."},
    {3019, "the client does not have this printer's driver and the user may not download it "
           "(print spooler hardening since 2021). Install the driver before the user logs on: "
           "run QuillonEngine /StageDrivers as a computer start-up script (or deploy the driver "
           "by policy), or have the print server offer a package-aware driver; a connection "
           "being moved stays on its old server."},
    {3012, "no printer of that name was found; check the printer name in the document."},
};

constexpr std::uint32_t kWin32Facility = 0x80070000u;

}  // namespace

std::string ExplainError(RunContext& context, std::uint32_t code) {
  const std::uint32_t win32 = (code & 0xFFFF0000u) == kWin32Facility ? code & 0xFFFFu : code;
  for (const Explanation& known : kExplanations) {
    if (known.code == win32) return known.text;
  }
  std::string text = context.platform.system.GetErrorText(win32);
  return text.empty() ? std::string("Windows has no description of this code.") : text;
}

void ReportPrinterFailure(RunContext& context, const std::string& debug, std::uint32_t code,
                          const std::string& report) {
  WriteDebugLine(context, debug);
  WriteDebugLine(context, "SYSTEM ERROR: " + std::to_string(code));
  context.AppendRunMessage(report);
  const std::string explanation =
      "What error " + std::to_string(code) + " means: " + ExplainError(context, code);
  WriteDebugLine(context, ">> " + explanation);
  context.AppendRunMessage(explanation);
}

std::string ExplainSpoolerUnavailable(RunContext& context, std::uint32_t code) {
  constexpr const char* kNothingDone =
      " No printer was moved, and the run is not recorded as done, so it runs again next time.";
  // The local spooler is reached by RPC: no server to answer means the service is down.
  constexpr std::uint32_t kRpcCallFailed = 1726;
  const std::uint32_t win32 = (code & 0xFFFF0000u) == kWin32Facility ? code & 0xFFFFu : code;
  if (win32 == platform::kErrorRpcServerUnavailable || win32 == kRpcCallFailed) {
    return std::string(
               "The Print Spooler service is not running on this computer: start it, and have "
               "an administrator set it to start automatically (it may have been stopped or "
               "disabled on purpose since the 2021 print spooler hardening).") +
           kNothingDone;
  }
  return "The Print Spooler service on this computer could not be asked: " +
         ExplainError(context, code) + kNothingDone;
}

void ReportSpoolerUnavailable(RunContext& context, const std::string& debug, std::uint32_t code,
                              const std::string& report) {
  context.AbortStatus = true;
  WriteDebugLine(context, debug);
  WriteDebugLine(context, "SYSTEM ERROR: " + std::to_string(code));
  context.AppendRunMessage(report);
  const std::string explanation = "What error " + std::to_string(code) +
                                  " means: " + ExplainSpoolerUnavailable(context, code);
  WriteDebugLine(context, ">> " + explanation);
  context.AppendRunMessage(explanation);
}

}  // namespace quillon::engine
