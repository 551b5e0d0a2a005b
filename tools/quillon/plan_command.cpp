// `quillon plan`'s arguments: one client's plan, or the targeting decision
// over a folder of client files (--fleet).
#include <algorithm>
#include <sstream>

#include "engine/core/targeting.h"
#include "platform/sim/sim_platform.h"
#include "tools/quillon/plan.h"
#include "tools/quillon/plan_output.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

namespace sim = platform::sim;

namespace {

constexpr int kSucceeds = 0;
constexpr int kFails = 1;
constexpr int kBadInput = 2;
// A client file of a fleet folder larger than this is not read.
constexpr std::size_t kFleetClientLimit = 256u * 1024 * 1024;

constexpr const char* kPlanUsage =
    "Usage: quillon plan [--client FILE] [--as PATH] [--stage-drivers] [--json] [--debug] DOC\n"
    "\n"
    "Runs the engine on a copy of a client with the migration document DOC and\n"
    "tells what the run would do: the connections added and removed, the default\n"
    "printer before and after, local printers, drivers and ports installed, the\n"
    "outcome the run-once store would keep, the notifications and the report.\n"
    "Connections that fail for want of a driver are named with the driver and the\n"
    "version they need, and whether a staging run would install it.\n"
    "Nothing changes: not the client file, not the status store, no file is\n"
    "written, no mail is sent (the mail is shown as a server accepting it would\n"
    "receive it) and no event is written.\n"
    "\n"
    "  --client FILE  the client: a client file as 'quillon snapshot' writes it\n"
    "                 (its folder's profile/ holds the user's status file);\n"
    "                 without it, a snapshot of this computer\n"
    "  --as PATH      the name the clients run the document by (as the logon\n"
    "                 script gives it); the run-once status is kept under it.\n"
    "                 Default: DOC as given\n"
    "  --stage-drivers\n"
    "                 plan the staging run instead (QuillonEngine /StageDrivers, run\n"
    "                 as the local system account at computer start-up): the\n"
    "                 drivers it would install or update for the moves of the\n"
    "                 client's users. Exit status 0 when every needed driver would\n"
    "                 be installed afterwards\n"
    "  --json         one JSON object instead of text\n"
    "  --debug        the run's debug text after the report\n"
    "\n"
    "       quillon plan --fleet FOLDER DOC\n"
    "\n"
    "Tells for each client file in FOLDER (*.json, as 'quillon snapshot' writes\n"
    "them) whether the document's targeting takes it in, and why, then the\n"
    "counts. Exit status 0 when every client file could be read.\n"
    "\n"
    "Exit status: 0 the run would succeed (or has already succeeded), 1 it would\n"
    "fail, 2 bad arguments, an unreadable document or client.\n";

int BadPlanArguments(std::ostream& err, const std::string& problem) {
  err << "quillon plan: " << problem << "\nRun 'quillon plan --help' for usage.\n";
  return kBadInput;
}

// The targeting decision of the document for every client file of a folder.
int PlanFleet(const std::string& folder, const std::string& document, const std::string& alias,
              platform::FileSystem& files, const PlanHost& host, std::ostream& out,
              std::ostream& err) {
  const std::optional<std::vector<platform::FolderEntry>> entries = files.ListFolder(folder);
  if (!entries) {
    err << "quillon plan: " << folder << ": cannot be listed\n";
    return kBadInput;
  }
  std::vector<std::string> names;
  for (const platform::FolderEntry& entry : *entries) {
    if (entry.kind == platform::FolderEntry::Kind::File && entry.name.size() > 5 &&
        entry.name.ends_with(".json")) {
      names.push_back(entry.name);
    }
  }
  std::sort(names.begin(), names.end());
  std::ostringstream text;
  int targeted = 0, unreadable = 0;
  std::map<std::string, int> byReason;
  text << "Targeting of " << (alias.empty() ? document : alias) << " over " << folder << "\n";
  for (const std::string& name : names) {
    const std::string path = platform::JoinPath(folder, name);
    // Client files are the administrator's own, but a fleet folder may be
    // gathered from anywhere: read bounded, never through a link.
    platform::Status status;
    std::optional<std::string> bytes = files.ReadRegularFile(path, kFleetClientLimit, &status);
    sim::LoadResult loaded;
    if (bytes) loaded = sim::ParseClient(*bytes, path);
    if (!bytes || !loaded.ok) {
      ++unreadable;
      text << name << ": cannot be read"
           << (bytes ? ": " + loaded.error : std::string(": ") + status.description) << "\n";
      continue;
    }
    PlanSettings settings;
    settings.documentFile = document;
    settings.documentPath = alias;
    settings.clientPath = path;
    settings.hostComputerName = host.computerName;
    settings.hostLoginName = host.loginName;
    settings.realDirectory = host.realDirectory;
    const Plan plan = PlanRun(loaded.state, settings, files, host.clock);
    if (!plan.documentRead) {
      err << "quillon plan: the engine refuses " << document << " ('quillon check' tells why)\n";
      return kBadInput;
    }
    const std::string computer = loaded.state.computerName && *loaded.state.computerName
                                     ? **loaded.state.computerName
                                     : host.computerName;
    text << name << " (computer " << computer << "): ";
    if (plan.targeted) {
      ++targeted;
      text << "targeted";
      for (const std::string& line : plan.targeting) {
        if (line.starts_with("Targeted: ")) text << "; " << line.substr(10);
      }
    } else {
      const std::string reason =
          plan.targeting.empty() ? std::string() : plan.targeting.back().substr(14);
      ++byReason[engine::TargetingReasonKind(reason)];
      text << "not targeted: " << reason;
    }
    text << "\n";
  }
  const int checked = static_cast<int>(names.size()) - unreadable;
  text << "\n" << targeted << " of " << checked << " clients targeted";
  if (checked > targeted) {
    text << "; not targeted:";
    bool first = true;
    for (const auto& [kind, count] : byReason) {
      text << (first ? " " : ", ") << count << " " << kind;
      first = false;
    }
  }
  text << "\n";
  if (unreadable > 0) text << unreadable << " client files could not be read\n";
  out << VisibleText(text.str(), /*keepLayout=*/true);
  out.flush();
  return unreadable == 0 ? kSucceeds : kBadInput;
}

}  // namespace

int PlanCommand(const std::vector<std::string>& args, platform::FileSystem& files,
                const PlanHost& host, std::ostream& out, std::ostream& err) {
  std::optional<std::string> clientFile, alias, fleet;
  bool json = false, debug = false, staging = false;
  std::vector<std::string> documents;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out << kPlanUsage;
      return kSucceeds;
    }
    if (arg == "--client" || arg == "--as" || arg == "--fleet") {
      if (i + 1 == args.size()) return BadPlanArguments(err, arg + " needs a value");
      (arg == "--client" ? clientFile : arg == "--as" ? alias : fleet) = args[++i];
    } else if (arg == "--json") {
      json = true;
    } else if (arg == "--debug") {
      debug = true;
    } else if (arg == "--stage-drivers") {
      staging = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadPlanArguments(err, "unknown option '" + arg + "'");
    } else {
      documents.push_back(arg);
    }
  }
  if (documents.size() != 1) {
    return BadPlanArguments(err, documents.empty() ? "no document given"
                                                   : "one document at a time");
  }
  const std::string& document = documents.front();
  if (!files.ReadFile(document)) {
    err << "quillon plan: " << document << ": cannot be read\n";
    return kBadInput;
  }

  if (fleet) {
    if (clientFile || staging) {
      return BadPlanArguments(err, "--fleet takes neither --client nor --stage-drivers");
    }
    return PlanFleet(*fleet, document, alias.value_or(""), files, host, out, err);
  }

  SlowProgress progress(err, "plan");
  sim::SimClientState client;
  std::string clientName;
  if (clientFile) {
    std::optional<std::string> text = files.ReadFile(*clientFile);
    if (!text) {
      err << "quillon plan: " << *clientFile << ": cannot be read\n";
      return kBadInput;
    }
    sim::LoadResult loaded = sim::ParseClient(*text, *clientFile);
    if (!loaded.ok) {
      err << "quillon plan: " << loaded.error << "\n";
      return kBadInput;
    }
    client = std::move(loaded.state);
    clientName = "the client " + *clientFile;
  } else {
    if (!host.snapshot) {
      return BadPlanArguments(err, "this program cannot take a snapshot here; give --client FILE");
    }
    progress.Say("taking a snapshot of this computer ...");
    std::string error;
    if (!host.snapshot(document, &client, &error)) {
      err << "quillon plan: the snapshot of this computer failed: " << error << "\n";
      return kBadInput;
    }
    clientName = "this computer";
  }

  PlanSettings settings;
  settings.documentFile = document;
  settings.documentPath = alias.value_or("");
  settings.clientPath = clientFile.value_or("");
  settings.hostComputerName = host.computerName;
  settings.hostLoginName = host.loginName;
  settings.realDirectory = host.realDirectory;
  settings.staging = staging;
  settings.progress = [&progress](const std::string& label) { progress.Say(label); };
  const Plan plan = PlanRun(client, settings, files, host.clock);

  std::string who = client.computerName && *client.computerName ? **client.computerName
                                                                : host.computerName;
  clientName += " (computer " + who + ", user " + client.userName.value_or(host.loginName) + ")";
  if (json) {
    WritePlanJson(out, plan, alias.value_or(document), clientName, debug);
  } else {
    // Names and texts from the document and the client reach the terminal
    // shown, never obeyed; the report's CR LF ends read as line ends.
    std::ostringstream text;
    WritePlanText(text, plan, alias.value_or(document), clientName, debug);
    std::string lines = text.str();
    std::string::size_type at = 0;
    while ((at = lines.find("\r\n", at)) != std::string::npos) lines.erase(at, 1);
    out << VisibleText(lines, /*keepLayout=*/true);
  }
  out.flush();
  return plan.documentRead && plan.succeeded ? kSucceeds : kFails;
}

}  // namespace quillon::tools
