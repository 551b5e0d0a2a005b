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

}  // namespace quillon::tools
