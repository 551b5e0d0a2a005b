// A dry run of the engine: the real run's code on a copy of a client, with its
// files, mail and pop-ups kept in memory, and what it would change told apart.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/sim/sim_client.h"
#include "tools/quillon/dry_run.h"

namespace quillon::tools {

struct PlanSettings {
  std::string documentFile;  // where the document is read from here
  std::string documentPath;  // the name the clients run it by; empty: documentFile
  std::string clientPath;    // the client file; its folder holds profile/ and system32/
  std::string hostComputerName = "LOCALHOST";
  std::string hostLoginName = "user";
  // Answers directory queries of a client without a "directory" key.
  platform::Directory* realDirectory = nullptr;
  // Receives the run's progress labels; null: none.
  std::function<void(const std::string&)> progress;
  // The staging run (QuillonEngine /StageDrivers) as the system account at
  // start-up runs it, instead of a user's logon run.
  bool staging = false;
};

// A connection the run could not make for want of its driver on the client.
struct DriverNeeded {
  std::string connection;  // the queue, "\\SERVER\share"
  std::string driver, server;
  std::string version;    // the server's, "a.b.c.d"; empty when it tells none
  std::string installed;  // the client's version; empty when it has none
  std::uint32_t error = 0;
  // A staging run would install it: the server tells the version and offers
  // the driver for the client's environment.
  bool stagingInstalls = false;
};

struct UpdatedDriver {
  std::string name, environment, before, after;
};

struct PlannedPrinter {
  std::string name, driverName, portName;
};

struct Plan {
  bool documentRead = false;     // false: the engine could not read the document
  // The document's targeting: whether the run is for this client, and the
  // conditions met or the one that failed; empty without [TARGETING].
  bool targeted = true;
  std::vector<std::string> targeting;
  bool succeeded = false;        // the outcome the run stores
  // The run stopped early (unreadable document, failed directory query): the
  // only kind of failure its notifications report as one.
  bool aborted = false;
  bool alreadySucceeded = false;  // the run-once guard would stop it
  std::vector<std::string> connectionsAdded, connectionsRemoved;
  std::vector<PlannedPrinter> localAdded, localRemoved;
  std::vector<platform::sim::SimDriver> driversInstalled;
  std::vector<UpdatedDriver> driversUpdated;  // there before, at a lower version
  std::vector<DriverNeeded> driversNeeded;
  bool staging = false;  // a staging run: succeeded says every needed driver is present
  std::vector<std::string> portsAdded;
  std::optional<std::string> defaultBefore, defaultAfter;
  // "True" or "False" as the run-once store would keep it; empty: nothing stored.
  std::string storedOutcome;
  std::string storedWhere;  // the status file, or the registry key
  std::string report;       // the report text, line ends as LF
  std::vector<RecordedMail> mails;
  std::vector<RefusedMail> mailsRefused;  // connects that fail before any server
  std::vector<platform::sim::SimMessageBox> popups;
  std::vector<platform::sim::SimEvent> events;
  std::vector<DryRunFileSystem::Written> files;  // every file the run would write
  // Files the run would try to write and fail, their folder missing.
  std::vector<DryRunFileSystem::Refused> filesRefused;
  std::string debugFile;                         // where the debug file would go
  std::string debugText;                         // its text, LF line ends; empty: none
};

// Runs the engine on a copy of `client`; neither `client` nor any file changes.
Plan PlanRun(const platform::sim::SimClientState& client, const PlanSettings& settings,
             platform::FileSystem& files, platform::Clock& clock);

// Makes a client of this computer for `plan` without --client (a snapshot);
// false with the reason when it cannot.
using SnapshotTaker = std::function<bool(const std::string& documentFile,
                                         platform::sim::SimClientState* client,
                                         std::string* error)>;

struct PlanHost {
  platform::Clock& clock;
  std::string computerName, loginName;
  platform::Directory* realDirectory = nullptr;
  SnapshotTaker snapshot;  // empty: --client is required
  bool progressToTerminal = false;
};

// `quillon plan` (args after the command): 0 the run would succeed, 1 it would
// fail, 2 bad arguments or unreadable input.
int PlanCommand(const std::vector<std::string>& args, platform::FileSystem& files,
                const PlanHost& host, std::ostream& out, std::ostream& err);

}  // namespace quillon::tools
