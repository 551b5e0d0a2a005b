// `quillon plan`: the engine's own run on a copy of a client, so that what it
// tells cannot differ from what a logon would do to that client.
#include "tools/quillon/plan.h"

#include <algorithm>
#include <sstream>
#include <deque>
#include <map>
#include <unordered_set>

#include <nlohmann/json.hpp>

#include "engine/core/debug_log.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"
#include "engine/core/targeting.h"
#include "engine/migration/driver_staging.h"
#include "platform/event_log.h"
#include "platform/sim/sim_platform.h"
#include "toolkit/deployment.h"
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

std::string WithLf(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    result += text[i];
  }
  return result;
}

bool IsConnection(const sim::SimPrinter& printer) { return !printer.serverName.empty(); }

// Printers of `from` that `other` lacks, in `from`'s order.
void Missing(const std::deque<sim::SimPrinter>& from, const std::deque<sim::SimPrinter>& other,
             std::vector<std::string>* connections, std::vector<PlannedPrinter>* locals) {
  std::unordered_set<std::string> names;
  names.reserve(other.size());
  for (const sim::SimPrinter& printer : other) names.insert(sim::CaseKey(printer.name));
  for (const sim::SimPrinter& printer : from) {
    if (names.count(sim::CaseKey(printer.name)) != 0) continue;
    if (IsConnection(printer)) {
      connections->push_back(printer.name);
    } else {
      locals->push_back({printer.name, printer.driverName, printer.portName});
    }
  }
}

std::optional<std::string> StoredOutcome(std::string_view statusFile, std::string_view document) {
  std::optional<std::string> outcome;
  std::size_t at = 0;
  while (at < statusFile.size()) {
    std::size_t end = statusFile.find('\n', at);
    if (end == std::string_view::npos) end = statusFile.size();
    std::string_view line = statusFile.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > document.size() && line.substr(0, document.size()) == document &&
        line[document.size()] == ',') {
      std::string_view rest = line.substr(document.size() + 1);
      outcome = std::string(rest.substr(0, rest.find(',')));
    }
    at = end + 1;
  }
  return outcome;
}

// The run's user interface: its pop-ups recorded by the client, its progress
// labels handed on.
class PlanUserInterface : public platform::UserInterface {
 public:
  PlanUserInterface(platform::UserInterface& client,
                    std::function<void(const std::string&)> progress)
      : client_(client), progress_(std::move(progress)) {}

  platform::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                         platform::MessageIcon icon,
                                         platform::MessageButtons buttons) override {
    return client_.ShowMessageBox(title, text, icon, buttons);
  }

  std::unique_ptr<platform::ProgressWindow> CreateProgressWindow(
      const std::string& /*caption*/, const std::string& label) override {
    return std::make_unique<Window>(label, progress_);
  }

 private:
  class Window : public platform::ProgressWindow {
   public:
    Window(std::string label, const std::function<void(const std::string&)>& progress)
        : label_(std::move(label)), progress_(progress) {}
    void SetLabel(const std::string& text) override {
      label_ = text;
      if (shown_ && progress_) progress_(label_);
    }
    void SetBarMaximum(int) override {}
    void SetBarValue(int) override {}
    void Show() override {
      shown_ = true;
      if (progress_) progress_(label_);
    }
    void Repaint() override {}
    void ProcessMessages() override {}
    void Close() override {}

   private:
    std::string label_;
    const std::function<void(const std::string&)>& progress_;
    bool shown_ = false;
  };

  platform::UserInterface& client_;
  std::function<void(const std::string&)> progress_;
};

// The client's registry, noting the values the run writes.
class RecordingRegistry : public platform::Registry {
 public:
  explicit RecordingRegistry(platform::Registry& client) : client_(client) {}
  std::optional<std::string> GetValue(const std::string& keyPath,
                                      const std::string& valueName) override {
    return client_.GetValue(keyPath, valueName);
  }
  std::optional<std::uint32_t> GetNumber(const std::string& keyPath,
                                         const std::string& valueName) override {
    return client_.GetNumber(keyPath, valueName);
  }
  std::vector<std::string> ListSubkeys(const std::string& keyPath) override {
    return client_.ListSubkeys(keyPath);
  }
  platform::Status SetValue(const std::string& keyPath, const std::string& valueName,
                            const std::string& value) override {
    platform::Status status = client_.SetValue(keyPath, valueName, value);
    if (status.ok) written.emplace_back(keyPath + " (" + valueName + ")", value);
    return status;
  }
  std::vector<std::pair<std::string, std::string>> written;

 private:
  platform::Registry& client_;
};

// The client's driver environment, as its spooler names it.
std::string ClientEnvironment(const sim::SimClientState& client) {
  if (client.os && client.os->platformId == 1) return "";
  return client.os ? client.os->environment.value_or("Windows x64") : "Windows x64";
}

const sim::SimDriver* InstalledDriver(const sim::SimClientState& client, const std::string& name) {
  const std::string environment = ClientEnvironment(client);
  for (const sim::SimDriver& driver : client.drivers) {
    if (sim::EqualsIgnoringCase(driver.name, name) &&
        (driver.environment.empty() || sim::EqualsIgnoringCase(driver.environment, environment))) {
      return &driver;
    }
  }
  return nullptr;
}

// The connections the run's spooler refused for want of a driver, with what
// the client's print servers say of it.
std::vector<DriverNeeded> DriversNeeded(const sim::SimClientState& before,
                                        const sim::SimClientState& after) {
  std::vector<DriverNeeded> needs;
  for (std::size_t i = before.spoolerCalls.size(); i < after.spoolerCalls.size(); ++i) {
    const sim::SimSpoolerCall& call = after.spoolerCalls[i];
    if (call.call != "AddPrinterConnection") continue;
    if (call.error != platform::kErrorPrinterDriverDownloadNeeded &&
        call.error != platform::kErrorAccessDenied && call.error != platform::kErrorCancelled &&
        call.error != platform::kErrorUnknownPrinterDriver) {
      continue;
    }
    const std::string& name = call.name;
    if (name.size() < 3 || name.compare(0, 2, "\\\\") != 0) continue;
    const std::size_t cut = name.find('\\', 2);
    if (cut == std::string::npos) continue;
    const std::string server = name.substr(2, cut - 2), share = name.substr(cut + 1);
    const sim::SimQueue* queue = nullptr;
    for (const auto& [listed, queues] : before.printServers) {
      if (!sim::EqualsIgnoringCase(listed, server)) continue;
      for (const sim::SimQueue& q : queues) {
        if (sim::EqualsIgnoringCase(q.shareName, share)) queue = &q;
      }
    }
    if (!queue || queue->driverName.empty()) continue;
    const bool known = std::any_of(needs.begin(), needs.end(), [&](const DriverNeeded& n) {
      return sim::EqualsIgnoringCase(n.connection, name);
    });
    if (known) continue;
    DriverNeeded need;
    need.connection = name;
    need.driver = queue->driverName;
    need.server = "\\\\" + server;
    need.version = queue->driverVersion.value_or("");
    if (const sim::SimDriver* here = InstalledDriver(before, queue->driverName)) {
      need.installed = here->driverVersion.value_or("0.0.0.0");
    }
    need.error = call.error;
    need.stagingInstalls =
        queue->driverVersion.has_value() && call.error != platform::kErrorUnknownPrinterDriver;
    needs.push_back(std::move(need));
  }
  return needs;
}

}  // namespace

Plan PlanRun(const sim::SimClientState& client, const PlanSettings& settings,
             platform::FileSystem& files, platform::Clock& clock) {
  const std::string documentPath =
      settings.documentPath.empty() ? settings.documentFile : settings.documentPath;
  DryRunFileSystem dryRun(files);
  if (documentPath != settings.documentFile) {
    if (std::optional<std::string> bytes = files.ReadFile(settings.documentFile)) {
      dryRun.Provide(documentPath, std::move(*bytes));
    }
  }
  RecordingMailNetwork mail;

  sim::SimClientState after = client;
  // A start-up script runs as the local system account, which may install drivers.
  if (settings.staging) after.elevated = true;
  sim::SimHost host;
  host.clientPath = settings.clientPath;
  // The engine runs from the deployment folder, beside the document.
  host.programFolder = platform::ParentFolder(settings.documentFile);
  host.hostComputerName = settings.hostComputerName;
  host.hostLoginName = settings.hostLoginName;
  host.echoProgress = false;
  host.echoMessageBoxes = false;
  host.realDirectory = settings.realDirectory;
  host.network = &mail;
  sim::SimPlatform simulated(after, host, dryRun, clock);
  const platform::Platform own = simulated.AsPlatform();
  PlanUserInterface ui(own.ui, settings.progress);
  RecordingRegistry registry(own.registry);
  platform::Platform services{own.system,  registry,  own.profileStrings,
                              own.files,   ui,            own.clock,
                              own.spooler, own.directory, own.eventLog,
                              own.network};

  engine::RunContext context(services);
  int stagingExit = 0;
  if (settings.staging) {
    stagingExit = engine::RunStagingEngine(context, documentPath);
  } else {
    engine::RunEngine(context, documentPath);
  }

  Plan plan;
  plan.staging = settings.staging;
  plan.documentRead = !context.ReadError && !context.DocumentPath.empty();
  plan.succeeded = settings.staging ? stagingExit == 0
                                    : !context.AbortStatus && context.OperationsSucceeded;
  plan.aborted = context.AbortStatus;
  plan.targeted = context.Targeted;
  plan.targeting = context.TargetingLines;
  Missing(after.printers, client.printers, &plan.connectionsAdded, &plan.localAdded);
  Missing(client.printers, after.printers, &plan.connectionsRemoved, &plan.localRemoved);
  for (const sim::SimDriver& driver : after.drivers) {
    const bool had = std::any_of(client.drivers.begin(), client.drivers.end(),
                                 [&driver](const sim::SimDriver& d) {
                                   return sim::EqualsIgnoringCase(d.name, driver.name) &&
                                          sim::EqualsIgnoringCase(d.environment,
                                                                  driver.environment);
                                 });
    if (!had) plan.driversInstalled.push_back(driver);
  }
  for (const sim::SimDriver& driver : after.drivers) {
    for (const sim::SimDriver& was : client.drivers) {
      if (!sim::EqualsIgnoringCase(was.name, driver.name)) continue;
      const std::string before = was.driverVersion.value_or("0.0.0.0");
      const std::string now = driver.driverVersion.value_or("0.0.0.0");
      if (sim::EqualsIgnoringCase(was.environment, driver.environment)) {
        if (before != now) plan.driversUpdated.push_back({driver.name, driver.environment, before, now});
        break;
      }
    }
  }
  plan.driversNeeded = DriversNeeded(client, after);
  for (const std::string& port : after.ports) {
    const bool had = std::any_of(client.ports.begin(), client.ports.end(),
                                 [&port](const std::string& p) {
                                   return sim::EqualsIgnoringCase(p, port);
                                 });
    if (!had) plan.portsAdded.push_back(port);
  }
  plan.defaultBefore = client.defaultPrinter;
  plan.defaultAfter = after.defaultPrinter;
  plan.popups.assign(after.messageBoxes.begin() +
                         static_cast<std::ptrdiff_t>(client.messageBoxes.size()),
                     after.messageBoxes.end());
  plan.events.assign(after.eventLog.begin() + static_cast<std::ptrdiff_t>(client.eventLog.size()),
                     after.eventLog.end());
  plan.mails = mail.mails;
  plan.mailsRefused = mail.refused;
  plan.files = dryRun.WrittenFiles();
  plan.filesRefused = dryRun.RefusedFiles();

  const std::string statusFile =
      platform::JoinPath(services.system.GetProfileFolder(), engine::kStatusFileName);
  for (const DryRunFileSystem::Written& written : plan.files) {
    if (written.path != statusFile) continue;
    if (auto outcome = StoredOutcome(written.content, documentPath)) {
      plan.storedOutcome = *outcome;
      plan.storedWhere = statusFile;
    }
  }
  // Older systems keep the outcome in the registry.
  for (const auto& [key, value] : registry.written) {
    if (key.rfind(engine::kStatusRegistryRoot, 0) != 0) continue;
    plan.storedOutcome = value;
    plan.storedWhere = key;
  }
  // The guard's own words, not a missing status line: a status that could not
  // be stored is no guard.
  plan.alreadySucceeded =
      plan.documentRead &&
      context.RunMessage.find(engine::kAlreadySucceededText) != std::string::npos;

  std::string_view report = context.RunMessage;
  while (report.substr(0, 2) == "\r\n") report.remove_prefix(2);
  plan.report = WithLf(report);
  plan.debugFile = platform::JoinPath(services.system.GetProgramFolder(),
                                      engine::GetComputerName(context) + ".debug");
  for (const DryRunFileSystem::Written& written : plan.files) {
    if (written.path != plan.debugFile) continue;
    if (std::optional<std::string> text = DecodeDebugBytes(written.content)) {
      plan.debugText = WithLf(*text);
    }
  }
  return plan;
}

namespace {

std::string ChangeOfDefault(const Plan& plan) {
  const std::string before = plan.defaultBefore.value_or("");
  const std::string after = plan.defaultAfter.value_or("");
  if (before == after) return before.empty() ? "none (unchanged)" : before + " (unchanged)";
  return (before.empty() ? "none" : before) + " -> " + (after.empty() ? "none" : after);
}

void List(std::ostream& out, const char* title, const std::vector<std::string>& lines) {
  out << title << " (" << lines.size() << ")" << (lines.empty() ? ": none\n" : ":\n");
  for (const std::string& line : lines) out << "  " << line << "\n";
}

std::string EventTypeText(int type) {
  switch (type) {
    case platform::kEventTypeWarning: return "Warning";
    case platform::kEventTypeInformation: return "Information";
    default: return "type " + std::to_string(type);
  }
}

std::string Indented(std::string_view text, const char* prefix) {
  std::string result;
  std::size_t at = 0;
  while (at <= text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    if (end == text.size() && at == end && at != 0) break;
    result += prefix;
    result.append(text.substr(at, end - at));
    result += "\n";
    at = end + 1;
  }
  return result;
}

std::vector<std::string> DriverLines(const Plan& plan, bool installed) {
  std::vector<std::string> lines;
  if (installed) {
    for (const sim::SimDriver& d : plan.driversInstalled) {
      lines.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")") +
                      (d.driverVersion ? " " + *d.driverVersion : ""));
    }
  } else {
    for (const UpdatedDriver& d : plan.driversUpdated) {
      lines.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")") + " " +
                      d.before + " -> " + d.after);
    }
  }
  return lines;
}

// The document's name as the deployment's batch files carry it.
std::string DocumentFileName(const std::string& document) {
  const std::size_t slash = document.find_last_of("\\/");
  return slash == std::string::npos ? document : document.substr(slash + 1);
}

void WriteDriversNeeded(std::ostream& out, const Plan& plan, const std::string& document) {
  if (plan.driversNeeded.empty()) return;
  std::vector<std::string> lines;
  bool staged = false;
  for (const DriverNeeded& need : plan.driversNeeded) {
    std::string line = need.connection + ": driver " + need.driver +
                       (need.version.empty() ? "" : " " + need.version) + " from " + need.server +
                       " (here: " + (need.installed.empty() ? "none" : need.installed) +
                       "), error " + std::to_string(need.error);
    if (need.stagingInstalls) {
      staged = true;
    } else if (need.error == platform::kErrorUnknownPrinterDriver) {
      line += "; " + need.server +
              " has no version of this driver for the client's system: add it on the print "
              "server, no staging run can install it";
    } else {
      line += "; " + need.server +
              " does not tell the driver's version, so no staging run installs it: deploy the "
              "driver by policy, or offer a package-aware driver on the server";
    }
    lines.push_back(line);
  }
  List(out, "Moves that fail for want of a driver", lines);
  if (staged) {
    out << "  A staging run installs these drivers before the users log on: run QuillonEngine\n"
           "  /StageDrivers with this document at computer start-up as the local system\n"
           "  account (deploy with the batch file and add "
        << toolkit::StagingBatchFileName(DocumentFileName(document))
        << "\n"
           "  as a Group Policy computer start-up script, or as a scheduled task at start-up\n"
           "  running as SYSTEM). 'quillon plan --stage-drivers' shows what it would install.\n";
  }
}

void WriteStagingText(std::ostream& out, const Plan& plan, const std::string& document,
                      const std::string& clientName, bool withDebug);
void WriteChannels(std::ostream& out, const Plan& plan, bool withDebug);

void WriteText(std::ostream& out, const Plan& plan, const std::string& document,
               const std::string& clientName, bool withDebug) {
  if (plan.staging) {
    WriteStagingText(out, plan, document, clientName, withDebug);
    return;
  }
  out << "Plan of " << document << " on " << clientName << "\n";
  for (const std::string& line : plan.targeting) out << line << "\n";
  if (plan.documentRead && !plan.targeted) {
    out << "The run would do nothing: no printer is touched, no outcome stored and no\n"
           "notification sent, so the document runs again at the next logon.\n";
    if (withDebug && !plan.debugText.empty()) out << "\nDebug text:\n" << plan.debugText;
    return;
  }
  if (!plan.targeting.empty()) out << "\n";
  if (!plan.documentRead) {
    out << "The engine could not read the document: the run would stop there.\n";
  } else if (plan.alreadySucceeded) {
    out << "The document has already succeeded for this user: the run would only say so.\n";
  } else if (plan.succeeded) {
    out << "The run would succeed.\n";
  } else if (plan.aborted) {
    out << "The run would FAIL: it stops before its end and reports the failure.\n";
  } else {
    out << "The run would FAIL: printer operations fail. The outcome stored is a failure, so\n"
           "the document runs again at the next logon.\n";
  }
  out << "\n";
  List(out, "Connections added", plan.connectionsAdded);
  List(out, "Connections removed", plan.connectionsRemoved);
  out << "Default printer: " << ChangeOfDefault(plan) << "\n";
  auto printers = [](const std::vector<PlannedPrinter>& list) {
    std::vector<std::string> lines;
    for (const PlannedPrinter& p : list) {
      lines.push_back(p.name + " (driver " + p.driverName + ", port " + p.portName + ")");
    }
    return lines;
  };
  List(out, "Local printers installed", printers(plan.localAdded));
  if (!plan.localRemoved.empty()) List(out, "Local printers removed", printers(plan.localRemoved));
  std::vector<std::string> drivers;
  for (const sim::SimDriver& d : plan.driversInstalled) {
    drivers.push_back(d.name + (d.environment.empty() ? "" : " (" + d.environment + ")"));
  }
  List(out, "Drivers installed", drivers);
  if (!plan.driversUpdated.empty()) List(out, "Drivers updated", DriverLines(plan, false));
  List(out, "Ports added", plan.portsAdded);
  WriteDriversNeeded(out, plan, document);
  out << "Outcome stored: ";
  if (plan.storedOutcome.empty()) {
    out << "nothing\n";
  } else {
    out << (plan.storedOutcome == "True" ? "success" : "failure") << " ("
        << plan.storedOutcome << " in " << plan.storedWhere << ")\n";
  }

  WriteChannels(out, plan, withDebug);
}

void WriteChannels(std::ostream& out, const Plan& plan, bool withDebug) {
  std::vector<std::string> notices;
  for (const RecordedMail& mail : plan.mails) {
    std::string to;
    for (const std::string& r : mail.recipients) to += (to.empty() ? "" : ", ") + r;
    notices.push_back("e-mail from " + mail.from + " to " + to + " through " + mail.server +
                      ":" + mail.port + ", subject \"" + mail.Subject() +
                      "\" (recorded, not sent)");
  }
  for (const RefusedMail& mail : plan.mailsRefused) {
    notices.push_back("e-mail through " + mail.server + ":" + mail.port +
                      " FAILS before any server is reached: error " +
                      std::to_string(mail.error) + " " + mail.description);
  }
  for (const sim::SimMessageBox& box : plan.popups) {
    std::string text = WithLf(box.text);
    std::replace(text.begin(), text.end(), '\n', ' ');
    notices.push_back("pop-up \"" + box.title + "\": " + text);
  }
  for (const sim::SimEvent& event : plan.events) {
    notices.push_back("event log: " + EventTypeText(event.type) + " event " +
                      std::to_string(event.eventId) + " from " + event.source);
  }
  List(out, "Notifications", notices);
  std::vector<std::string> written;
  for (const DryRunFileSystem::Written& file : plan.files) {
    std::string what = file.existed ? "changed" : "new";
    if (file.path == plan.debugFile) what += ", the debug file";
    if (file.path == plan.storedWhere) what += ", the status file";
    written.push_back(file.path + " (" + what + ")");
  }
  List(out, "Files written", written);
  if (!plan.filesRefused.empty()) {
    std::vector<std::string> refused;
    for (const DryRunFileSystem::Refused& file : plan.filesRefused) {
      refused.push_back(file.path + " (error " + std::to_string(file.status.errorNumber) + ": " +
                        file.status.description + ")");
    }
    List(out, "Files that could not be written", refused);
  }

  out << "\nReport:\n" << Indented(plan.report, "  | ");
  if (withDebug) {
    out << "\nDebug text:\n" << Indented(plan.debugText, "  | ");
  }
}

void WriteStagingText(std::ostream& out, const Plan& plan, const std::string& document,
                      const std::string& clientName, bool withDebug) {
  out << "Staging plan of " << document << " on " << clientName
      << ",\nas the local system account at computer start-up (QuillonEngine /StageDrivers)\n";
  if (!plan.documentRead) {
    out << "The engine could not read the document: the run would stop there.\n";
  } else if (plan.succeeded) {
    out << "Every driver the moves need would be installed afterwards.\n";
  } else {
    out << "Some driver the moves need would still be MISSING afterwards: the report says\n"
           "which and why.\n";
  }
  out << "\n";
  List(out, "Drivers installed", DriverLines(plan, true));
  List(out, "Drivers updated", DriverLines(plan, false));
  WriteChannels(out, plan, withDebug);
}

void WriteJson(std::ostream& out, const Plan& plan, const std::string& document,
               const std::string& clientName, bool withDebug) {
  using Json = nlohmann::ordered_json;
  auto text = [](std::string_view value) { return Json(Utf8Text(value)); };
  auto texts = [&text](const std::vector<std::string>& values) {
    Json list = Json::array();
    for (const std::string& value : values) list.push_back(text(value));
    return list;
  };
  auto optionalText = [&text](const std::optional<std::string>& value) {
    return value ? text(*value) : Json(nullptr);
  };
  auto printers = [&text](const std::vector<PlannedPrinter>& list) {
    Json result = Json::array();
    for (const PlannedPrinter& p : list) {
      result.push_back({{"name", text(p.name)},
                        {"driver", text(p.driverName)},
                        {"port", text(p.portName)}});
    }
    return result;
  };
  Json json;
  json["document"] = text(document);
  json["client"] = text(clientName);
  json["run"] = plan.staging ? "staging" : "logon";
  json["outcome"] = !plan.documentRead         ? "unreadable"
                    : plan.alreadySucceeded    ? "already succeeded"
                    : plan.succeeded           ? "success"
                                               : "failure";
  json["connectionsAdded"] = texts(plan.connectionsAdded);
  json["connectionsRemoved"] = texts(plan.connectionsRemoved);
  json["defaultBefore"] = optionalText(plan.defaultBefore);
  json["defaultAfter"] = optionalText(plan.defaultAfter);
  json["localPrintersInstalled"] = printers(plan.localAdded);
  json["localPrintersRemoved"] = printers(plan.localRemoved);
  Json drivers = Json::array();
  for (const sim::SimDriver& d : plan.driversInstalled) {
    drivers.push_back({{"name", text(d.name)}, {"environment", text(d.environment)}});
  }
  json["driversInstalled"] = drivers;
  Json updated = Json::array();
  for (const UpdatedDriver& d : plan.driversUpdated) {
    updated.push_back({{"name", text(d.name)},
                       {"environment", text(d.environment)},
                       {"before", text(d.before)},
                       {"after", text(d.after)}});
  }
  json["driversUpdated"] = updated;
  Json needed = Json::array();
  for (const DriverNeeded& need : plan.driversNeeded) {
    needed.push_back({{"connection", text(need.connection)},
                      {"driver", text(need.driver)},
                      {"server", text(need.server)},
                      {"version", need.version.empty() ? Json(nullptr) : text(need.version)},
                      {"installed", need.installed.empty() ? Json(nullptr) : text(need.installed)},
                      {"error", need.error},
                      {"stagingInstalls", need.stagingInstalls}});
  }
  json["driversNeeded"] = needed;
  json["portsAdded"] = texts(plan.portsAdded);
  json["storedOutcome"] =
      plan.storedOutcome.empty() ? Json(nullptr) : Json(plan.storedOutcome == "True");
  json["storedIn"] = plan.storedWhere.empty() ? Json(nullptr) : text(plan.storedWhere);
  Json mails = Json::array();
  for (const RecordedMail& mail : plan.mails) {
    mails.push_back({{"server", text(mail.server)},
                     {"port", text(mail.port)},
                     {"from", text(mail.from)},
                     {"to", texts(mail.recipients)},
                     {"subject", text(mail.Subject())}});
  }
  json["mails"] = mails;
  Json mailsRefused = Json::array();
  for (const RefusedMail& mail : plan.mailsRefused) {
    mailsRefused.push_back({{"server", text(mail.server)},
                            {"port", text(mail.port)},
                            {"error", mail.error},
                            {"description", text(mail.description)}});
  }
  json["mailsFailed"] = mailsRefused;
  Json files = Json::array();
  for (const DryRunFileSystem::Written& file : plan.files) {
    files.push_back({{"path", text(file.path)}, {"existed", file.existed},
                     {"bytes", file.content.size()}});
  }
  json["files"] = files;
  Json refused = Json::array();
  for (const DryRunFileSystem::Refused& file : plan.filesRefused) {
    refused.push_back({{"path", text(file.path)},
                       {"error", file.status.errorNumber},
                       {"description", text(file.status.description)}});
  }
  json["filesNotWritten"] = refused;
  Json popups = Json::array();
  for (const sim::SimMessageBox& box : plan.popups) {
    popups.push_back({{"title", text(box.title)}, {"text", text(WithLf(box.text))}});
  }
  json["popups"] = popups;
  Json events = Json::array();
  for (const sim::SimEvent& event : plan.events) {
    events.push_back({{"source", text(event.source)},
                      {"type", EventTypeText(event.type)},
                      {"id", event.eventId},
                      {"message", text(WithLf(event.message))}});
  }
  json["events"] = events;
  json["report"] = text(plan.report);
  if (withDebug) json["debug"] = text(plan.debugText);
  out << json.dump(2) << "\n";
}

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
    WriteJson(out, plan, alias.value_or(document), clientName, debug);
  } else {
    // Names and texts from the document and the client reach the terminal
    // shown, never obeyed; the report's CR LF ends read as line ends.
    std::ostringstream text;
    WriteText(text, plan, alias.value_or(document), clientName, debug);
    std::string lines = text.str();
    std::string::size_type at = 0;
    while ((at = lines.find("\r\n", at)) != std::string::npos) lines.erase(at, 1);
    out << VisibleText(lines, /*keepLayout=*/true);
  }
  out.flush();
  return plan.documentRead && plan.succeeded ? kSucceeds : kFails;
}

}  // namespace quillon::tools
