// `quillon snapshot`: the live client, read through the client reader, as a
// simulated client file, so that the engine's run (or a plan of it) can be
// tried on a copy of a real user's printers.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "document/migration_document.h"
#include "platform/client_reader.h"
#include "platform/file_system.h"
#include "platform/sim/sim_client.h"
#include "platform/system_info.h"

namespace quillon::tools {

// The print servers a migration document names, in document order, each once
// (letter case ignored, the first spelling kept): the old and new servers of
// its server pairs and mixed pairs, the servers of its populate rules (not
// the local ".") and the server of a "\\server\printer" default printer name.
// Leading backslashes are dropped, and anything after the server's name.
// Printer pairs name no server; prune rules only remove connections.
std::vector<std::string> ServersOfDocument(const document::MigrationDocument& document);

// The servers whose queues a snapshot for `document` needs: ServersOfDocument,
// then the servers of the user's connections that its printer pairs move,
// since a printer pair's new queue is on the connection's own server.
std::vector<std::string> ServersToRead(const document::MigrationDocument& document,
                                       const std::vector<platform::ListedPrinter>& printers);

struct SnapshotRequest {
  const document::MigrationDocument* document = nullptr;  // --servers-of
  std::vector<std::string> servers;                        // --server, read first
  // Where the client's targeting facts are asked; null: none are recorded.
  platform::SystemInfo* facts = nullptr;
};

struct SnapshotResult {
  bool printersListed = true;  // false: the user's printers could not be listed
  std::string listingError;
  platform::sim::SimClientState state;
  std::vector<std::string> warnings;  // what could not be read, one sentence each
};

// Reads the client. `step` is told what is read next (for progress). Every
// text goes into the state as UTF-8, whatever the host's 8-bit text.
// Targeting's facts are written as a run on the snapshot must meet them: a
// known fact with its values, one the client cannot find as null (cannot be
// found there either), one the client leaves to the document's directory not
// at all (so that the directory is asked there as here).
SnapshotResult TakeSnapshot(platform::ClientReader& reader, const SnapshotRequest& request,
                            const std::function<void(const std::string&)>& step = {});

// For `quillon plan` without a client file: a snapshot through `reader` with
// the queues of the servers the document at `documentFile` names. What cannot
// be read goes to `err` as the plan's warnings; false, with the reason, when
// the document or the user's printers cannot be read. `facts` as in
// SnapshotRequest.
std::function<bool(const std::string& documentFile, platform::sim::SimClientState* client,
                   std::string* error)>
SnapshotForPlan(platform::ClientReader& reader, platform::FileSystem& files, std::ostream& err,
                platform::SystemInfo* facts = nullptr);

// Where this computer's targeting facts are asked: the Windows system; null
// on a CUPS host, which has none of its own.
std::unique_ptr<platform::SystemInfo> HostTargetingFacts();

// `quillon snapshot` (args after the command) over `reader`, with the
// targeting facts of `facts` (none when null). Progress lines go to `err`
// once the command has run for `progressAfter`.
int Snapshot(const std::vector<std::string>& args, platform::FileSystem& files,
             platform::ClientReader& reader, std::ostream& out, std::ostream& err,
             std::chrono::milliseconds progressAfter = std::chrono::seconds(1),
             platform::SystemInfo* facts = nullptr);
// The same over this computer's own client.
int Snapshot(const std::vector<std::string>& args, platform::FileSystem& files, std::ostream& out,
             std::ostream& err);

}  // namespace quillon::tools
