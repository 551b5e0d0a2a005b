// Maintenance after each migration method: populate and prune rules, orphaned
// directory printers, and the forced default printer.
#pragma once

namespace quillon::engine {

struct RunContext;

void RunMaintenance(RunContext& context);
void PopulatePrinters(RunContext& context);
void PruneNetworkedPrinters(RunContext& context);
void PruneLocalPrinters(RunContext& context);
void PruneDirectoryOrphans(RunContext& context);

}  // namespace quillon::engine
