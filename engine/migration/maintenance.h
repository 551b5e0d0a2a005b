// Maintenance after each migration method: populate and prune rules, orphaned
// directory printers, and the forced default printer.
#pragma once

#include <string>
#include <vector>

#include "document/migration_document.h"

namespace quillon::engine {

struct RunContext;

void RunMaintenance(RunContext& context);
void PopulatePrinters(RunContext& context);
// "\\SERVER\printer" of a populate rule for a network printer.
std::string NetworkedPopulateName(const document::PopulateRule& rule);
// The network printers the populate rules add (on Windows NT), in document order.
std::vector<std::string> NetworkedPopulateTargets(const document::MigrationDocument& doc);
void PruneNetworkedPrinters(RunContext& context);
void PruneLocalPrinters(RunContext& context);
void PruneDirectoryOrphans(RunContext& context);

}  // namespace quillon::engine
