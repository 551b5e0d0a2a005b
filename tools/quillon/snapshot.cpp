// `quillon snapshot`: what the client reader answers, as the simulated
// client's records. What cannot be read is said on standard error and is
// written so that a run on the snapshot meets the same failure the engine
// would meet on the client: an unreadable printer as an injected failure of
// the call that failed, a print server out of reach left out of the servers
// (so that connecting to it fails as an unreachable server does).
#include "tools/quillon/snapshot.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "document/document_file.h"
#include "engine/core/names.h"
#include "platform/sim/sim_platform.h"
#include "tools/quillon/quillon_cli.h"

#ifdef _WIN32
#include "platform/win32/system_info_win32.h"
#endif

namespace quillon::tools {

namespace {

using engine::EqualsIgnoringCase;

constexpr int kFine = 0;
constexpr int kIncomplete = 1;
constexpr int kFailed = 2;

constexpr const char* kSnapshotUsage =
    "Usage: quillon snapshot [--servers-of DOC] [--server NAME]... [-o FILE]\n"
    "\n"
    "Reads this computer's printers for the logged-on user, without changing\n"
    "anything, and writes them as a simulated client file, which the Linux\n"
    "QuillonEngine takes as its client (QUILLON_CLIENT).\n"
    "Windows: the user's printers and connections, the default printer, the\n"
    "installed drivers and ports, the Windows version, computer, DNS and user\n"
    "names, the profile folder (where the engine keeps its run status), and\n"
    "what a document's targeting asks: the user's and the computer's groups,\n"
    "the directory site and the IP addresses (a fact that cannot be found is\n"
    "written as null, so that a plan on the snapshot cannot find it either).\n"
    "Linux: the CUPS scheduler's queues (a queue on another CUPS server's queue\n"
    "as a connection to that server), the default destination, the queues'\n"
    "drivers and device URIs as ports, computer and user names.\n"
    "\n"
    "  --servers-of DOC   also read the queues of every print server that the\n"
    "                     migration document DOC names: its server and mixed\n"
    "                     pairs, populate rules and default printer, and the\n"
    "                     servers of the connections its printer pairs move\n"
    "  --server NAME      also read the queues of print server NAME (repeatable)\n"
    "  -o, --output FILE  write FILE (replaced whole, never left half written)\n"
    "                     instead of standard output; \"-\" is standard output\n"
    "\n"
    "A printer or server that cannot be read is named on standard error with\n"
    "the system's reason, and the snapshot is still written: the printer with\n"
    "its failure, so that the engine skips it there as here; the server left\n"
    "out, so that connecting to it fails as it would now. Progress is written\n"
    "to standard error when reading takes longer than a second.\n"
    "\n"
    "Exit status: 0 when everything was read, 1 when the snapshot was written\n"
    "but something could not be read (or DOC would be refused by the engine),\n"
    "2 when nothing was written: bad arguments, an unreadable DOC, the user's\n"
    "printers could not be listed, or FILE could not be written.\n";

// "\\SRV\queue", "\\SRV" and "SRV" all name SRV.
std::string ServerPart(std::string_view name) {
  while (!name.empty() && name.front() == '\\') name.remove_prefix(1);
  return std::string(name.substr(0, name.find('\\')));
}

void AddServer(std::vector<std::string>& servers, std::string_view name) {
  const std::string server = ServerPart(name);
  if (server.empty()) return;
  for (const std::string& known : servers) {
    if (EqualsIgnoringCase(known, server)) return;
  }
  servers.push_back(server);
}

// JSON holds UTF-8; the host's 8-bit text is the ANSI code page on Windows.
std::string Utf8(std::string_view text) { return Utf8Text(text); }

// Messages stay in the host's own text, which is what its console shows.
std::string Reason(const platform::Status& status) {
  return status.description + " (error " + std::to_string(status.errorNumber) + ")";
}

platform::sim::SimPrinter AsSimPrinter(const platform::PrinterInfo2& info) {
  platform::sim::SimPrinter printer;
  printer.name = Utf8(info.printerName);
  printer.serverName = Utf8(info.serverName);
  printer.shareName = Utf8(info.shareName);
  printer.portName = Utf8(info.portName);
  printer.driverName = Utf8(info.driverName);
  printer.comment = Utf8(info.comment);
  printer.location = Utf8(info.location);
  printer.attributes = info.attributes;
  return printer;
}

platform::sim::SimQueue AsSimQueue(const platform::PrinterInfo2& info) {
  platform::sim::SimQueue queue;
  queue.shareName = Utf8(info.shareName);
  queue.driverName = Utf8(info.driverName);
  queue.portName = Utf8(info.portName);
  queue.comment = Utf8(info.comment);
  queue.location = Utf8(info.location);
  return queue;
}

platform::sim::SimDriver AsSimDriver(const platform::DriverInfo2& info) {
  platform::sim::SimDriver driver;
  driver.name = Utf8(info.name);
  driver.environment = Utf8(info.environment);
  driver.driverPath = Utf8(info.driverPath);
  driver.dataFile = Utf8(info.dataFile);
  driver.configFile = Utf8(info.configFile);
  driver.version = info.version;
  // A driver known by its name alone (CUPS) is written as the name alone.
  driver.bareName = driver.environment.empty() && driver.driverPath.empty() &&
                    driver.dataFile.empty() && driver.configFile.empty() && driver.version == 0;
  return driver;
}

platform::sim::SimFailure Failure(const std::string& call, std::optional<std::string> name,
                                  std::uint32_t error) {
  platform::sim::SimFailure failure;
  failure.call = call;
  failure.name = std::move(name);
  failure.error = error;
  return failure;
}

std::optional<std::string> OptionalUtf8(const std::optional<std::string>& text) {
  if (!text) return std::nullopt;
  return Utf8(*text);
}

// A fact the client leaves to the document's directory stays out of the file,
// which is how the simulated client says the same.
void RecordFact(std::optional<std::optional<std::vector<std::string>>>& key,
                const platform::TargetingFact& fact) {
  if (fact.known) {
    std::vector<std::string> values;
    for (const std::string& value : fact.values) values.push_back(Utf8(value));
    key.emplace(std::move(values));
  } else if (!fact.fromDirectory) {
    key.emplace();
  }
}

void RecordTargetingFacts(platform::SystemInfo& system, platform::sim::SimClientState& state) {
  RecordFact(state.userGroups, system.GetUserGroups());
  RecordFact(state.computerGroups, system.GetComputerGroups());
  // The engine decides on the first site, and on none as not found.
  const platform::TargetingFact site = system.GetSiteName();
  if (site.known && !site.values.empty()) {
    state.site.emplace(Utf8(site.values.front()));
  } else if (!site.fromDirectory) {
    state.site.emplace();
  }
  RecordFact(state.addresses, system.GetAddresses());
}

// Progress on standard error, only once the command has run for a while: a
// step still running at that moment is shown then, later steps at once.
// Warnings go through the same lock, so no two lines are mixed.
class DelayedProgress {
 public:
  DelayedProgress(std::ostream& err, std::chrono::milliseconds after)
      : err_(err), deadline_(std::chrono::steady_clock::now() + after) {
    if (after.count() <= 0) {
      late_ = true;
    } else {
      watcher_ = std::thread([this] { Watch(); });
    }
  }
  ~DelayedProgress() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (watcher_.joinable()) watcher_.join();
  }
  DelayedProgress(const DelayedProgress&) = delete;
  DelayedProgress& operator=(const DelayedProgress&) = delete;

  void Step(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
    if (late_ || std::chrono::steady_clock::now() >= deadline_) {
      late_ = true;
      Print("quillon snapshot: " + text);
    } else {
      pending_ = text;
    }
  }
  // Nothing is being read any more.
  void Done() {
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.clear();
  }
  void Line(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    Print(text);
  }

 private:
  void Print(const std::string& text) {
    err_ << text << "\n";
    err_.flush();
  }
  void Watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_until(lock, deadline_, [this] { return stop_; })) return;
    late_ = true;
    if (!pending_.empty()) Print("quillon snapshot: " + pending_);
    pending_.clear();
  }

  std::ostream& err_;
  const std::chrono::steady_clock::time_point deadline_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::string pending_;
  bool late_ = false;
  bool stop_ = false;
  std::thread watcher_;
};

int BadArguments(std::ostream& err, const std::string& problem) {
  err << "quillon snapshot: " << problem << "\n"
      << "Run 'quillon snapshot --help' for usage.\n";
  return kFailed;
}

}  // namespace

std::vector<std::string> ServersOfDocument(const document::MigrationDocument& document) {
  std::vector<std::string> servers;
  for (const document::ServerPair& pair : document.ServerPairs) {
    AddServer(servers, pair.FromServer);
    AddServer(servers, pair.ToServer);
  }
  for (const document::MixedPair& pair : document.MixedPairs) {
    AddServer(servers, pair.FromServer);
    AddServer(servers, pair.ToServer);
  }
  for (const document::PopulateRule& rule : document.PopulateRules) {
    // "." adds a local printer; a rule without a printer adds nothing.
    if (rule.ServerName == "." || rule.PrinterName.empty()) continue;
    AddServer(servers, rule.ServerName);
  }
  if (document.DefaultPrinterName.rfind("\\\\", 0) == 0) {
    AddServer(servers, document.DefaultPrinterName);
  }
  return servers;
}

std::vector<std::string> ServersToRead(const document::MigrationDocument& document,
                                       const std::vector<platform::ListedPrinter>& printers) {
  std::vector<std::string> servers = ServersOfDocument(document);
  for (const platform::ListedPrinter& printer : printers) {
    const platform::PrinterInfo2& info = printer.info;
    if (info.serverName.empty()) continue;
    // Matched as the engine matches a printer pair: by the name after the server.
    const std::string_view shortName = engine::NameAfterServer(info.printerName);
    for (const document::PrinterPair& pair : document.PrinterPairs) {
      if (!pair.FromPrinter.empty() && EqualsIgnoringCase(pair.FromPrinter, shortName)) {
        AddServer(servers, info.serverName);
        break;
      }
    }
  }
  return servers;
}

SnapshotResult TakeSnapshot(platform::ClientReader& reader, const SnapshotRequest& request,
                            const std::function<void(const std::string&)>& step) {
  auto announce = [&step](const std::string& text) {
    if (step) step(text);
  };
  SnapshotResult result;
  platform::sim::SimClientState& state = result.state;

  announce("reading the user's printers");
  const platform::PrinterListing listing = reader.ListPrinters();
  if (!listing.status.ok) {
    result.printersListed = false;
    result.listingError = Reason(listing.status);
    return result;
  }

  announce("reading the computer's facts");
  const platform::ClientFacts facts = reader.ReadFacts();
  // The keys read are written even when empty, so the file says what was looked at.
  std::vector<std::string>& keys = state.keysPresent;
  keys.push_back("computerName");
  state.computerName = OptionalUtf8(facts.computerName);
  if (facts.dnsFullName) {
    keys.push_back("dnsFullName");
    state.dnsFullName = OptionalUtf8(facts.dnsFullName);
  }
  if (facts.userName) state.userName = Utf8(*facts.userName);
  if (facts.version) {
    platform::sim::SimOs os;
    os.platformId = facts.version->platformId;
    os.majorVersion = facts.version->majorVersion;
    os.error = facts.version->error;
    if (facts.version->buildNumber != 0) os.buildNumber = facts.version->buildNumber;
    if (std::optional<std::string> environment = reader.DriverEnvironment()) {
      os.environment = Utf8(*environment);
    }
    state.os = os;
    // A run on the snapshot is the logon run, which a standard user's token
    // makes, whoever takes the snapshot.
    state.elevated = false;
    if (auto policy = reader.ReadPointAndPrint()) {
      platform::sim::SimPointAndPrint pointAndPrint;
      // Absent, an updated Windows restricts (the August 2021 updates).
      pointAndPrint.restrictDriverInstallationToAdministrators = true;
      for (const auto& [name, value] : *policy) {
        if (platform::sim::EqualsIgnoringCase(name, "RestrictDriverInstallationToAdministrators")) {
          pointAndPrint.restrictDriverInstallationToAdministrators = value != "0";
        } else {
          pointAndPrint.extra[Utf8(name)] = Utf8(value);
        }
      }
      state.pointAndPrint = std::move(pointAndPrint);
    }
  }
  // Absent where the user has no value: a run on the snapshot then decides by
  // the build, as Windows does.
  state.legacyDefaultPrinterMode = facts.legacyDefaultPrinterMode;
  if (facts.profileFolder) state.profileFolder = Utf8(*facts.profileFolder);
  for (const char* key : {"userName", "os", "profileFolder", "printers", "defaultPrinter"}) {
    keys.push_back(key);
  }
  if (request.facts) {
    // The groups may need the directory, which can be slow to answer.
    announce("reading the facts a document's targeting asks for");
    RecordTargetingFacts(*request.facts, state);
  }

  for (const platform::ListedPrinter& printer : listing.printers) {
    state.printers.push_back(AsSimPrinter(printer.info));
    if (printer.perMachine) state.printers.back().perMachine = true;
    if (printer.failedCall.empty()) continue;
    const std::string& name = printer.info.printerName;
    state.failures.push_back(Failure(printer.failedCall, Utf8(name), printer.failure.errorNumber));
    result.warnings.push_back("printer " + name + " cannot be read: " + Reason(printer.failure) +
                              "; written by name with its " + printer.failedCall +
                              " failure, so that a run on the snapshot skips it as the engine "
                              "would here");
  }

  announce("reading the default printer");
  const platform::DefaultPrinterName defaultPrinter = reader.GetDefaultPrinter();
  state.defaultPrinter = Utf8(defaultPrinter.name.value_or(""));
  if (!defaultPrinter.status.ok) {
    state.failures.push_back(
        Failure("GetDefaultPrinter", std::nullopt, defaultPrinter.status.errorNumber));
    result.warnings.push_back("the default printer cannot be read: " +
                              Reason(defaultPrinter.status) +
                              "; written as its GetDefaultPrinter failure");
  }

  std::vector<std::string> servers;
  for (const std::string& server : request.servers) AddServer(servers, server);
  if (request.document) {
    for (const std::string& server : ServersToRead(*request.document, listing.printers)) {
      AddServer(servers, server);
    }
  }
  if (!request.servers.empty() || request.document) keys.push_back("printServers");
  for (std::size_t i = 0; i < servers.size(); ++i) {
    const std::string& name = servers[i];
    announce("reading print server " + name + " (" + std::to_string(i + 1) + " of " +
             std::to_string(servers.size()) + ")");
    const platform::QueueListing queues = reader.ListServerQueues(servers[i]);
    if (!queues.status.ok) {
      result.warnings.push_back("print server " + name + " cannot be read: " +
                                Reason(queues.status) +
                                "; left out, so that connecting to it fails on the snapshot too");
      continue;
    }
    std::vector<platform::sim::SimQueue> simQueues;
    for (const platform::PrinterInfo2& queue : queues.queues) {
      simQueues.push_back(AsSimQueue(queue));
    }
    const platform::ServerQueueList drivers = reader.ListQueueDrivers(servers[i]);
    for (const platform::ServerQueue& listed : drivers.queues) {
      for (platform::sim::SimQueue& queue : simQueues) {
        if (!platform::sim::EqualsIgnoringCase(queue.shareName, Utf8(listed.shareName))) continue;
        if (listed.driverVersion) {
          queue.driverVersion = platform::DriverVersionText(*listed.driverVersion);
        }
        if (!listed.environments.empty()) {
          queue.environments.emplace();
          for (const std::string& environment : listed.environments) {
            queue.environments->push_back(Utf8(environment));
          }
        }
        if (listed.packageAware) queue.packageAware = true;
      }
    }
    state.printServers.emplace_back(Utf8(name), std::move(simQueues));
  }

  announce("reading the installed drivers");
  keys.push_back("drivers");
  const platform::DriverListing drivers = reader.ListDrivers();
  for (const platform::DriverInfo2& driver : drivers.drivers) {
    state.drivers.push_back(AsSimDriver(driver));
  }
  // Versions are of this computer's own environment, which the rule asks about.
  const platform::InstalledDriverList versions = reader.ListDriverVersions();
  const std::optional<std::string> environment = reader.DriverEnvironment();
  for (const platform::InstalledDriver& installed : versions.drivers) {
    for (platform::sim::SimDriver& driver : state.drivers) {
      if (platform::sim::EqualsIgnoringCase(driver.name, Utf8(installed.name)) &&
          (!environment || platform::sim::EqualsIgnoringCase(driver.environment, *environment))) {
        driver.driverVersion = platform::DriverVersionText(installed.version);
      }
    }
  }
  if (!drivers.status.ok) {
    result.warnings.push_back("the installed drivers cannot be listed: " + Reason(drivers.status));
  }

  announce("reading the ports");
  keys.push_back("ports");
  const platform::PortListing ports = reader.ListPorts();
  for (const std::string& port : ports.ports) state.ports.push_back(Utf8(port));
  if (!ports.status.ok) {
    result.warnings.push_back("the ports cannot be listed: " + Reason(ports.status));
  }
  return result;
}

std::function<bool(const std::string&, platform::sim::SimClientState*, std::string*)>
SnapshotForPlan(platform::ClientReader& reader, platform::FileSystem& files, std::ostream& err,
                platform::SystemInfo* facts) {
  return [&reader, &files, &err, facts](const std::string& documentFile,
                                        platform::sim::SimClientState* client,
                                        std::string* error) {
    const std::optional<std::string> bytes = files.ReadFile(documentFile);
    if (!bytes) {
      *error = documentFile + ": cannot be read";
      return false;
    }
    // A document the engine refuses is the plan's to report; its servers are still read.
    document::MigrationDocument document;
    document::ReadDocumentText(&*bytes, document);
    SnapshotRequest request;
    request.document = &document;
    request.facts = facts;
    SnapshotResult result = TakeSnapshot(reader, request);
    if (!result.printersListed) {
      *error = "the user's printers cannot be listed: " + result.listingError;
      return false;
    }
    for (const std::string& warning : result.warnings) {
      err << "quillon plan: warning: " << warning << "\n";
    }
    *client = std::move(result.state);
    return true;
  };
}

int Snapshot(const std::vector<std::string>& args, platform::FileSystem& files,
             platform::ClientReader& reader, std::ostream& out, std::ostream& err,
             std::chrono::milliseconds progressAfter, platform::SystemInfo* facts) {
  std::optional<std::string> documentPath, outputPath;
  SnapshotRequest request;
  request.facts = facts;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out << kSnapshotUsage;
      return kFine;
    }
    const bool takesValue =
        arg == "--servers-of" || arg == "--server" || arg == "-o" || arg == "--output";
    if (!takesValue) {
      if (arg.size() > 1 && arg[0] == '-') return BadArguments(err, "unknown option '" + arg + "'");
      return BadArguments(err, "unexpected argument '" + arg + "'");
    }
    if (i + 1 == args.size() || args[i + 1].empty()) {
      return BadArguments(err, arg + " needs " +
                                   (arg == "--servers-of" ? "a document"
                                    : arg == "--server"   ? "a server name"
                                                          : "a file name"));
    }
    const std::string& value = args[++i];
    if (arg == "--server") {
      request.servers.push_back(value);
    } else if (arg == "--servers-of") {
      if (documentPath) return BadArguments(err, "--servers-of is given twice");
      documentPath = value;
    } else {
      if (outputPath) return BadArguments(err, arg + " is given twice");
      outputPath = value;
    }
  }

  DelayedProgress progress(err, progressAfter);
  bool incomplete = false;
  document::MigrationDocument document;
  if (documentPath) {
    const std::optional<std::string> bytes = files.ReadFile(*documentPath);
    if (!bytes) {
      progress.Line("quillon snapshot: " + *documentPath + ": cannot be read");
      return kFailed;
    }
    if (document::ReadDocumentText(&*bytes, document)) {
      progress.Line("quillon snapshot: warning: " + *documentPath +
                    ": the engine would refuse this document ('quillon check " + *documentPath +
                    "' says why); its servers are taken from what could be read");
      incomplete = true;
    }
    request.document = &document;
  }

  SnapshotResult result = TakeSnapshot(
      reader, request, [&progress](const std::string& text) { progress.Step(text); });
  progress.Done();
  if (!result.printersListed) {
    progress.Line("quillon snapshot: the user's printers cannot be listed: " +
                  result.listingError + "; nothing written");
    return kFailed;
  }
  for (const std::string& warning : result.warnings) {
    progress.Line("quillon snapshot: warning: " + warning);
  }
  incomplete = incomplete || !result.warnings.empty();

  const std::string text = platform::sim::SerializeClient(result.state);
  if (outputPath && *outputPath != "-") {
    const platform::Status written = files.WriteFileAtomic(*outputPath, text);
    if (!written.ok) {
      progress.Line("quillon snapshot: " + *outputPath +
                    ": cannot be written: " + written.description);
      return kFailed;
    }
  } else {
    out << text;
    out.flush();
    if (!out) {
      progress.Line("quillon snapshot: the snapshot cannot be written to standard output");
      return kFailed;
    }
  }
  return incomplete ? kIncomplete : kFine;
}

std::unique_ptr<platform::SystemInfo> HostTargetingFacts() {
#ifdef _WIN32
  return std::make_unique<platform::win32::Win32SystemInfo>();
#else
  return nullptr;
#endif
}

int Snapshot(const std::vector<std::string>& args, platform::FileSystem& files, std::ostream& out,
             std::ostream& err) {
  const std::unique_ptr<platform::ClientReader> reader = platform::CreateHostClientReader();
  const std::unique_ptr<platform::SystemInfo> facts = HostTargetingFacts();
  return Snapshot(args, files, *reader, out, err, std::chrono::seconds(1), facts.get());
}

}  // namespace quillon::tools
