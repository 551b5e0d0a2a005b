// The `quillon` command line: subcommands, their help and their exit codes.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/host/host_clock.h"
#include "platform/ldap/ldap_directory.h"
#include "platform/host/process.h"
#include "platform/text.h"
#include "quillon_version.h"
#include "toolkit/deployment.h"
#include "tools/quillon/deployment_audit.h"
#include "tools/quillon/plan.h"
#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report.h"
#include "tools/quillon/snapshot.h"

namespace quillon::tools {

namespace {

constexpr int kFine = 0;
constexpr int kWarnings = 1;
constexpr int kFailed = 2;

constexpr const char* kUsage =
    "Usage: quillon COMMAND [OPTIONS] ARGUMENTS\n"
    "\n"
    "Commands:\n"
    "  decode FILE.debug...   print the text of the engine's debug files\n"
    "  check [--json] DOC     list what the engine would refuse in a migration document,\n"
    "                         then what looks wrong in it\n"
    "  check --deployment FOLDER\n"
    "                         say whether users can change what clients run from FOLDER\n"
    "  plan DOC               what the engine would do on a client, without doing it\n"
    "  plan --stage-drivers DOC\n"
    "                         what the start-up staging run would install on a client\n"
    "  deploy DOC FOLDER      fill a deployment folder as the toolkit's Deploy Now does\n"
    "  snapshot [-o FILE]     write this computer's printers as a simulated client file\n"
    "  report FOLDER          summarise the engine's reports under a deployment share\n"
    "\n"
    "Run 'quillon COMMAND --help' for a command's details, 'quillon --version' for\n"
    "the release.\n";

constexpr const char* kDecodeUsage =
    "Usage: quillon decode [--] FILE.debug...\n"
    "\n"
    "Prints the text of each debug file the engine wrote (\"<computer name>.debug\"\n"
    "beside the engine). With several files, each is headed by its name.\n"
    "\n"
    "Control characters in the text other than tabs and line ends are shown as\n"
    "^[ (C0) or \\x9b (C1), never passed to the terminal. Only regular files of at\n"
    "most 64 MB are read, never through a link.\n"
    "\n"
    "Exit status: 0 when every file was printed, 2 when a file could not be read or\n"
    "is not a debug file (the others are still printed), or on bad arguments.\n";

constexpr const char* kCheckUsage =
    "Usage: quillon check [--json] DOC\n"
    "       quillon check [--json] --deployment FOLDER\n"
    "\n"
    "Reads the migration document DOC as the engine reads it and lists every reason\n"
    "the engine would refuse it, then warnings: list keys of one section with\n"
    "different item counts, empty items that read as placeholders, mail or file\n"
    "output switched on without their settings, a forced default printer without a\n"
    "name, a local populate rule without a driver record, a list longer than the\n"
    "engine reads, deployment or output folders that do not exist, and a\n"
    "deployment folder without DOC's start-up batch file (DOC's name +\n"
    "\"-StageDrivers.bat\") when the moves need the new printers' drivers, which\n"
    "standard users may not install since the 2021 print spooler hardening.\n"
    "Each line reads DOC:LINE: refused|warning: message.\n"
    "\n"
    "  --json   one JSON object instead: document, status (\"clean\", \"warnings\"\n"
    "           or \"refused\"), exit and findings (severity, section, key, line\n"
    "           or null, message)\n"
    "\n"
    "Exit status: 0 clean, 1 warnings only, 2 refused, unreadable or bad arguments.\n"
    "\n"
    "With --deployment, audits the deployment FOLDER instead: users must be able to\n"
    "create their debug files there, but whoever can replace the engine, a\n"
    "document, its batch file or page, or put a DLL beside the engine, runs code on\n"
    "every client at the next logon. On Windows each file's owner and access list\n"
    "is checked for what Everyone, Authenticated Users, Users and Domain Users may\n"
    "do; elsewhere the owners and modes, and on a CIFS mount what the mount shows.\n"
    "Each finding names the file, the account and the right, with a command line\n"
    "that mends it; notes say what must be checked elsewhere (the share's\n"
    "permissions on the server).\n"
    "\n"
    "  --json   one JSON object: folder, status (\"safe\", \"unsafe\", \"unverified\"\n"
    "           when there are notes only, or \"unreadable\"), exit and findings\n"
    "           (severity \"unsafe\" or \"note\", path, account, sid, right,\n"
    "           message, fix; null where there is none)\n"
    "\n"
    "Exit status with --deployment: 0 no finding (notes allowed), 1 findings,\n"
    "2 a folder that cannot be read or bad arguments.\n";

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

int BadArguments(std::ostream& err, const std::string& command, const std::string& problem) {
  err << "quillon" << (command.empty() ? "" : " " + command) << ": " << problem << "\n"
      << "Run 'quillon" << (command.empty() ? "" : " " + command) << " --help' for usage.\n";
  return kFailed;
}

int Decode(const std::vector<std::string>& args, platform::FileSystem& files, std::ostream& out,
           std::ostream& err) {
  std::vector<std::string> paths;
  bool options = true;  // until "--": a file may begin with "-"
  for (const std::string& arg : args) {
    if (options && arg == "--") {
      options = false;
    } else if (options && IsHelp(arg)) {
      out << kDecodeUsage;
      return kFine;
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return BadArguments(err, "decode", "unknown option '" + arg + "'");
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.empty()) return BadArguments(err, "decode", "no debug file given");
  int result = kFine;
  for (const std::string& path : paths) {
    // A debug file lies in the share, where users can write: a pipe or a
    // link in its place is refused, and no more is read than a run writes.
    const std::string shown = VisibleText(path);
    platform::Status status;
    std::optional<std::string> bytes = files.ReadRegularFile(path, report::kLargestDebugFile, &status);
    if (!bytes) {
      const bool tooLarge = status.description == platform::TooLargeText(path, report::kLargestDebugFile);
      err << "quillon decode: " << shown
          << (tooLarge ? ": is larger than " + std::to_string(report::kLargestDebugFile >> 20) +
                             " MB, more than a debug file of the engine holds\n"
                       : std::string(": cannot be read\n"));
      result = kFailed;
      continue;
    }
    std::optional<std::string> text = DecodeDebugBytes(*bytes);
    if (!text) {
      err << "quillon decode: " << shown << ": is not a debug file of the engine\n";
      result = kFailed;
      continue;
    }
    if (paths.size() > 1) out << "==> " << shown << " <==\n";
    // Lines and tabs as the engine wrote them; any other control shown, not obeyed.
    out << VisibleText(WithLf(*text), /*keepLayout=*/true);
  }
  out.flush();
  return result;
}

}  // namespace

SlowProgress::SlowProgress(std::ostream& err, std::string command,
                           std::chrono::milliseconds after)
    : err_(err), command_(std::move(command)), due_(std::chrono::steady_clock::now() + after) {}

void SlowProgress::Say(const std::string& text) {
  if (text == last_ || std::chrono::steady_clock::now() < due_) return;
  last_ = text;
  said_ = true;
  err_ << "quillon " << command_ << ": " << text << "\n" << std::flush;
}

namespace {

int CheckDeployment(const std::string& typed, bool json, platform::FileSystem& files,
                    const CommandHost& host, std::ostream& out, std::ostream& err) {
  const toolkit::DeploymentFolder reached = toolkit::ResolveDeploymentFolder(typed, host.mountTable);
  if (reached.host.empty()) {
    err << "quillon check: " << VisibleText(reached.unreachable) << "\n";
    return kFailed;
  }
  const DeploymentAudit audit = AuditDeploymentFolder(reached.host, files, host.mountTable);
  const int result = audit.error ? kFailed : audit.Unsafe() ? kWarnings : kFine;
  if (json) {
    PrintDeploymentAuditJson(audit, result, out);
  } else if (audit.error) {
    err << "quillon check: " << VisibleText(*audit.error) << "\n";
  } else {
    PrintDeploymentAudit(audit, out);
  }
  out.flush();
  return result;
}

int Check(const std::vector<std::string>& args, platform::FileSystem& files,
          const CommandHost& host, std::ostream& out, std::ostream& err) {
  bool json = false;
  std::optional<std::string> deployment;
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (IsHelp(arg)) {
      out << kCheckUsage;
      return kFine;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--deployment") {
      if (i + 1 == args.size()) return BadArguments(err, "check", "--deployment needs a folder");
      if (deployment) return BadArguments(err, "check", "one deployment folder at a time");
      deployment = args[++i];
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadArguments(err, "check", "unknown option '" + arg + "'");
    } else {
      paths.push_back(arg);
    }
  }
  if (deployment) {
    if (!paths.empty()) {
      return BadArguments(err, "check", "a document or --deployment FOLDER, not both");
    }
    return CheckDeployment(*deployment, json, files, host, out, err);
  }
  if (paths.size() != 1) {
    return BadArguments(err, "check", paths.empty() ? "no document given"
                                                    : "one document at a time");
  }
  const std::string& path = paths.front();
  std::optional<std::string> bytes = files.ReadFile(path);
  if (!bytes) {
    err << "quillon check: " << path << ": cannot be read\n";
    return kFailed;
  }
  const std::size_t slash = path.find_last_of("\\/");
  std::vector<Finding> findings =
      CheckDocumentText(*bytes, files, slash == std::string::npos ? path : path.substr(slash + 1));
  const auto refusals = std::count_if(findings.begin(), findings.end(),
                                      [](const Finding& f) { return f.refusal; });
  const auto warnings = static_cast<std::ptrdiff_t>(findings.size()) - refusals;
  const int result = refusals > 0 ? kFailed : warnings > 0 ? kWarnings : kFine;
  const char* status = refusals > 0 ? "refused" : warnings > 0 ? "warnings" : "clean";
  if (json) {
    out << "{\"document\": " << JsonString(path) << ", \"status\": \"" << status
        << "\", \"exit\": " << result << ", \"findings\": [";
    for (std::size_t i = 0; i < findings.size(); ++i) {
      const Finding& f = findings[i];
      out << (i ? ", " : "") << "{\"severity\": \"" << (f.refusal ? "refusal" : "warning")
          << "\", \"section\": " << JsonString(f.section) << ", \"key\": " << JsonString(f.key)
          << ", \"line\": " << (f.line ? std::to_string(f.line) : "null")
          << ", \"message\": " << JsonString(f.message) << "}";
    }
    out << "]}\n";
  } else {
    // The document's name and values come from wherever it lay: shown, never
    // obeyed by the terminal.
    const std::string shown = VisibleText(path);
    for (const Finding& f : findings) {
      out << shown;
      if (f.line) out << ":" << f.line;
      out << ": " << (f.refusal ? "refused" : "warning") << ": " << VisibleText(f.message) << "\n";
    }
    if (refusals > 0) {
      out << shown << ": the engine would refuse this document (" << refusals
          << (refusals == 1 ? " reason" : " reasons") << ", " << warnings
          << (warnings == 1 ? " warning)" : " warnings)") << "\n";
    } else if (warnings > 0) {
      out << shown << ": readable, " << warnings << (warnings == 1 ? " warning" : " warnings")
          << "\n";
    } else {
      out << shown << ": no problems found\n";
    }
  }
  out.flush();
  return result;
}

}  // namespace

int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               std::ostream& out, std::ostream& err) {
  platform::HostClock clock;
  platform::LdapDirectory directory;
  const std::unique_ptr<platform::ClientReader> client = platform::CreateHostClientReader();
  const std::unique_ptr<platform::SystemInfo> facts = HostTargetingFacts();
  return RunQuillon(args, files,
                    {clock, platform::HostLoginName(), platform::HostComputerName(),
                     platform::ReadMountTable(), platform::RunningProgramFolder(), &directory,
                     SnapshotForPlan(*client, files, err, facts.get())},
                    out, err);
}

int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               const CommandHost& host, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return kFailed;
  }
  const std::string& command = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (IsHelp(command)) {
    out << kUsage;
    return kFine;
  }
  if (command == "--version") {
    out << "quillon " << kVersion << "\n";
    return kFine;
  }
  if (command == "decode") return Decode(rest, files, out, err);
  if (command == "check") return Check(rest, files, host, out, err);
  if (command == "deploy") return Deploy(rest, files, host, out, err);
  if (command == "plan") {
    return PlanCommand(rest, files,
                       {host.clock, host.computerName, host.userName, host.directory,
                        host.snapshot},
                       out, err);
  }
  if (command == "snapshot") return Snapshot(rest, files, out, err);
  if (command == "report") return Report(rest, files, ThisHostsReportHost(), out, err);
  return BadArguments(err, "", "unknown command '" + command + "'");
}

}  // namespace quillon::tools
