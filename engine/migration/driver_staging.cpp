#include "engine/migration/driver_staging.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/directory_migration.h"
#include "engine/migration/maintenance.h"
#include "engine/migration/manual_migration.h"
#include "engine/migration/printer_move.h"
#include "engine/notification/notification.h"
#include "engine/printers/printer_failure.h"

namespace quillon::engine {
namespace {

using platform::DriverVersion;
using platform::DriverVersionText;

struct QueueName {
  std::string server, share;
};

// "\\SERVER\share"; nullopt for a local printer's name.
std::optional<QueueName> SplitQueueName(std::string_view name) {
  if (name.size() < 3 || name[0] != '\\' || name[1] != '\\') return std::nullopt;
  const std::string_view rest = name.substr(2);
  const std::size_t cut = rest.find('\\');
  if (cut == std::string_view::npos || cut == 0 || cut + 1 == rest.size()) return std::nullopt;
  return QueueName{std::string(rest.substr(0, cut)), std::string(rest.substr(cut + 1))};
}

// What a profile's connection looks like to the migration rules.
ClientPrinter AsClientPrinter(const QueueName& queue) {
  ClientPrinter printer;
  printer.ServerName = "\\\\" + queue.server;
  printer.ShortName = queue.share;
  printer.PrinterName = printer.ServerName + "\\" + queue.share;
  printer.ShareName = queue.share;
  return printer;
}

// The print servers that the moves lead to, each with its queues, in the order
// first met; each server and queue once, whatever the letter case.
struct ServerTargets {
  std::string server;
  std::vector<std::string> shares;
};

void AddTarget(std::vector<ServerTargets>& targets, const std::string& name) {
  const std::optional<QueueName> queue = SplitQueueName(name);
  if (!queue) return;
  auto server = std::find_if(targets.begin(), targets.end(), [&](const ServerTargets& t) {
    return EqualsIgnoringCase(t.server, queue->server);
  });
  if (server == targets.end()) {
    targets.push_back({queue->server, {}});
    server = std::prev(targets.end());
  }
  for (const std::string& share : server->shares) {
    if (EqualsIgnoringCase(share, queue->share)) return;
  }
  server->shares.push_back(queue->share);
}

// The print servers the administrator named: in the document, or published in
// the directory it names. Connection names come from the users' own profiles,
// which they can write, and a printer pair keeps the connection's server: the
// system account must never fetch a driver, which runs as the system, from a
// server a user made up.
bool NamedByAdministrator(RunContext& context, std::string_view server) {
  const document::MigrationDocument& doc = context.document;
  auto is = [&](const std::string& name) { return EqualsIgnoringCase(name, server); };
  for (const auto& pair : doc.ServerPairs) {
    if (is(pair.FromServer) || is(pair.ToServer)) return true;
  }
  for (const auto& pair : doc.MixedPairs) {
    if (is(pair.FromServer) || is(pair.ToServer)) return true;
  }
  for (const auto& rule : doc.PopulateRules) {
    if (is(rule.ServerName)) return true;
  }
  for (const DirectoryPrinter& published : context.DirectoryPrinters) {
    if (published.Exact && is(published.ServerName)) return true;
  }
  return false;
}

std::vector<ServerTargets> CollectTargets(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  std::vector<ServerTargets> targets;
  if (!doc.UseActiveDirectory && !doc.UseManualDefinitions) return targets;

  bool directoryRead = false;
  if (doc.UseActiveDirectory) {
    const bool abortedBefore = context.AbortStatus;
    QueryDirectoryPrinters(context);
    directoryRead = !context.AbortStatus || abortedBefore;
  }
  const platform::ProfileConnectionList profiles =
      context.platform.spooler.ListProfileConnections();
  if (!profiles.ok) {
    ReportPrinterFailure(context, ">> Reading the user profiles' printer connections failed",
                         profiles.error,
                         "Could not read the printer connections of this computer's users.");
    context.AbortStatus = true;
  }
  for (const platform::ProfileConnections& profile : profiles.profiles) {
    if (profile.error != 0) {
      // Said, not failed: a stale profile must not fail every start-up.
      ReportPrinterFailure(context, ">> Reading the connections of " + profile.userName + " failed",
                           profile.error,
                           "Could not read the printer connections of user " + profile.userName +
                               "; drivers for that user's moves are not staged.");
      continue;
    }
    WriteDebugLine(context, ">> Profile " + profile.userName + ": " +
                                std::to_string(profile.connections.size()) + " connection(s)");
    for (const std::string& connection : profile.connections) {
      const std::optional<QueueName> queue = SplitQueueName(connection);
      if (!queue) continue;
      const ClientPrinter printer = AsClientPrinter(*queue);
      std::vector<std::string> moves;
      if (directoryRead) moves = DirectoryMoveTargets(context, printer);
      if (doc.UseManualDefinitions) {
        for (std::string& name : ManualMoveTargets(doc, printer)) moves.push_back(std::move(name));
      }
      for (const std::string& name : moves) {
        WriteDebugLine(context, ">> " + profile.userName + ": " + connection + " moves to " + name);
        const std::optional<QueueName> target = SplitQueueName(name);
        if (target && !NamedByAdministrator(context, target->server)) {
          const std::string line = "Not installing drivers from \\\\" + target->server +
                                   " for " + name + ": the document names no such server.";
          WriteDebugLine(context, ">> " + line);
          context.AppendRunMessage(line);
          continue;
        }
        AddTarget(targets, name);
      }
    }
  }
  for (const std::string& name : NetworkedPopulateTargets(doc)) {
    WriteDebugLine(context, ">> Populate adds " + name);
    AddTarget(targets, name);
  }
  return targets;
}

// One driver to be present here, from the first queue that needs its highest version.
struct NeededDriver {
  std::string name, server, share;
  DriverVersion version = 0;
  std::vector<std::string> environments;
};

bool OfferedFor(const NeededDriver& driver, const std::string& environment) {
  if (driver.environments.empty()) return true;
  return std::any_of(driver.environments.begin(), driver.environments.end(),
                     [&](const std::string& e) { return EqualsIgnoringCase(e, environment); });
}

std::string Describe(const NeededDriver& driver) {
  return "driver " + driver.name + " " + DriverVersionText(driver.version) + " from \\\\" +
         driver.server;
}

// Lists each server once and finds the drivers its queues take; false when
// something needed could not be known.
bool FindNeededDrivers(RunContext& context, const std::vector<ServerTargets>& targets,
                       std::vector<NeededDriver>& needed) {
  bool allKnown = true;
  for (const ServerTargets& target : targets) {
    const platform::ServerQueueList listed =
        context.platform.spooler.ListServerQueues(target.server);
    if (!listed.ok) {
      ReportPrinterFailure(context, ">> Listing the printers of \\\\" + target.server + " failed",
                           listed.error,
                           "Could not list the printers of \\\\" + target.server +
                               ": its drivers cannot be installed.");
      allKnown = false;
      continue;
    }
    for (const std::string& share : target.shares) {
      auto queue = std::find_if(listed.queues.begin(), listed.queues.end(),
                                [&](const platform::ServerQueue& q) {
                                  return EqualsIgnoringCase(q.shareName, share);
                                });
      if (queue == listed.queues.end()) {
        ReportPrinterFailure(context, ">> No queue " + share + " on \\\\" + target.server,
                             platform::kErrorInvalidPrinterName,
                             "\\\\" + target.server + " shares no printer " + share +
                                 ": no driver to install for it.");
        allKnown = false;
        continue;
      }
      if (!queue->driverVersion) {
        WriteDebugLine(context, ">> \\\\" + target.server + "\\" + share + " (" +
                                    queue->driverName + ") tells no driver version: nothing to stage");
        continue;
      }
      auto known = std::find_if(needed.begin(), needed.end(), [&](const NeededDriver& d) {
        return EqualsIgnoringCase(d.name, queue->driverName);
      });
      if (known == needed.end()) {
        needed.push_back({queue->driverName, target.server, queue->shareName,
                          *queue->driverVersion, queue->environments});
      } else if (*queue->driverVersion > known->version) {
        *known = {queue->driverName, target.server, queue->shareName, *queue->driverVersion,
                  queue->environments};
      }
    }
  }
  return allKnown;
}

// Installs what is missing or older; false when a driver is not present afterwards.
bool InstallNeededDrivers(RunContext& context, const std::vector<NeededDriver>& needed) {
  if (needed.empty()) return true;
  std::string environment = context.platform.system.GetNativeDriverEnvironment();
  if (environment.empty()) environment = "Windows x64";
  const platform::InstalledDriverList installed =
      context.platform.spooler.ListInstalledDrivers(environment);
  if (!installed.ok) {
    ReportPrinterFailure(context, ">> Listing the installed printer drivers failed",
                         installed.error, "Could not list the printer drivers of this computer.");
    return false;
  }
  bool allPresent = true;
  for (const NeededDriver& driver : needed) {
    if (!OfferedFor(driver, environment)) {
      ReportPrinterFailure(context, ">> Driver not offered for " + environment + ": " + driver.name,
                           platform::kErrorUnknownPrinterDriver,
                           "\\\\" + driver.server + " has no " + environment + " version of " +
                               Describe(driver) + "; add it on the print server.");
      allPresent = false;
      continue;
    }
    auto here = std::find_if(installed.drivers.begin(), installed.drivers.end(),
                             [&](const platform::InstalledDriver& d) {
                               return EqualsIgnoringCase(d.name, driver.name);
                             });
    if (here != installed.drivers.end() && here->version >= driver.version) {
      context.AppendRunMessage("Driver " + driver.name + " is already installed");
      WriteDebugLine(context, ">> Driver " + driver.name + " is already installed: " +
                                  DriverVersionText(here->version) + ", the server has " +
                                  DriverVersionText(driver.version));
      continue;
    }
    const std::string queueName = "\\\\" + driver.server + "\\" + driver.share;
    WriteDebugLine(context, ">> Installing " + Describe(driver) + " through " + queueName);
    const platform::SpoolerResult result =
        context.platform.spooler.InstallDriverFromServer(queueName);
    if (result.ok) {
      std::string line = "Installed " + Describe(driver);
      if (here != installed.drivers.end()) line += " (was " + DriverVersionText(here->version) + ")";
      context.AppendRunMessage(line);
      WriteDebugLine(context, ">> " + line);
    } else {
      ReportPrinterFailure(context, ">> Installing the driver failed: " + driver.name,
                           result.error, "Could not install " + Describe(driver) + ".");
      allPresent = false;
    }
  }
  return allPresent;
}

}  // namespace

std::optional<std::string> StagingCommandLine(std::string_view commandLine) {
  constexpr std::string_view kWord = "/StageDrivers";
  if (commandLine.size() < kWord.size() ||
      !EqualsIgnoringCase(commandLine.substr(0, kWord.size()), kWord)) {
    return std::nullopt;
  }
  std::string_view rest = commandLine.substr(kWord.size());
  if (!rest.empty() && rest.front() != ' ' && rest.front() != '\t') return std::nullopt;
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  return std::string(rest);
}

int RunStagingEngine(RunContext& context, const std::string& documentPart) {
  context.StagingRun = true;
  context.document.DebugOn = true;
  context.AbortStatus = false;
  context.OperationsSucceeded = true;
  ClearDebugText(context);

  WriteBanner(context, 30, "     BEGIN DEBUG     ", 29);
  WriteDebugLine(context, ">> Staging printer drivers");
  LocateDocument(context, documentPart);
  bool allPresent = false;
  if (context.AbortStatus) {
    WriteDebugLine(context,
                   "Unable to get INI file contents, please check your file path and permissions.");
  } else {
    WriteBanner(context, 24, "     STAGING PRINTER DRIVERS    ", 24);
    context.AppendRunMessage("* ----- Staging Printer Drivers ----- *");
    context.AppendRunMessage("Computer: " + GetComputerName(context));
    if (!context.platform.system.IsElevated()) {
      context.AppendRunMessage(kStagingNeedsAdministrator);
      WriteDebugLine(context, std::string(">> ") + kStagingNeedsAdministrator);
    } else {
      const std::vector<ServerTargets> targets = CollectTargets(context);
      std::vector<NeededDriver> needed;
      const bool known = !context.AbortStatus && FindNeededDrivers(context, targets, needed);
      const bool installed = InstallNeededDrivers(context, needed);
      allPresent = known && installed;
      if (allPresent && needed.empty()) {
        context.AppendRunMessage("No printer driver is needed by this computer's moves.");
      }
    }
    context.AbortStatus = !allPresent;
    WriteDebugLine(context, std::string(">> Finished staging, every driver present: ") +
                                BooleanText(allPresent));
    SendNotifications(context);
  }
  FinishDebugLog(context);
  return allPresent ? 0 : 1;
}

}  // namespace quillon::engine
