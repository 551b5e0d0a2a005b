// The state of one engine run, passed explicitly to every phase so that a
// process (or a test) can hold several runs.
#pragma once

#include <string>
#include <string_view>

#include "document/migration_document.h"
#include "engine/core/debug_log.h"
#include "engine/core/progress.h"
#include "engine/migration/directory_migration.h"
#include "engine/printers/client_printers.h"
#include "engine/printers/print_servers.h"
#include "platform/platform.h"

namespace quillon::engine {

inline constexpr std::string_view kLineBreak = "\r\n";

struct RunContext {
  explicit RunContext(platform::Platform& services)
      : servers(*this, services.spooler, services.clock),
        guarded{services.system, services.registry, services.profileStrings, services.files,
                services.ui,     services.clock,    servers,                 services.directory,
                services.eventLog, services.network},
        platform(guarded) {}
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  // The spooler as the run asks it: print servers probed, slow calls timed.
  PrintServerGuard servers;
  platform::Platform guarded;
  // The system's services, the spooler through `servers`.
  platform::Platform& platform;
  document::MigrationDocument document;
  std::string DocumentPath;  // empty when no document was found
  bool ReadError = false;

  // Only ever goes from false to true; set by a failed read or RecordFailure.
  bool AbortStatus = false;
  // Cleared by any failed printer operation.
  bool OperationsSucceeded = true;
  // The report; every piece is introduced by a line break.
  std::string RunMessage;
  std::string InitialDefaultPrinter;
  // The user's printers as the inventory found them; not updated by moves.
  std::vector<ClientPrinter> NetworkedPrinters;
  std::vector<ClientPrinter> LocalPrinters;
  // The print queues the directory publishes, as the query found them.
  std::vector<DirectoryPrinter> DirectoryPrinters;
  // Connections the computer gives every user, read with the printers; the
  // engine neither adds nor removes them.
  std::vector<std::string> PerMachineConnections;
  // What the report has said once already.
  std::vector<std::string> PerMachineConnectionsNoted;
  bool ManagedDefaultNoted = false;
  // The document's targeting: false when this run is not for this computer
  // or user; the conditions met, or the one that failed, as the debug lines
  // word them (without ">> ").
  bool Targeted = true;
  std::vector<std::string> TargetingLines;
  // A staging run: no message box, reports under the user name "SYSTEM".
  bool StagingRun = false;

  DebugLog debugLog;
  Progress progress;
  // How the debug file's write ended; the event log writer reports a failure.
  platform::Status debugFlushStatus;

  void AppendRunMessage(std::string_view text) {
    RunMessage += kLineBreak;
    RunMessage += text;
  }
};

}  // namespace quillon::engine
