// Migration by the document's printer, server and mixed pairs, followed by
// maintenance.
#pragma once

namespace quillon::engine {

struct RunContext;

void RunManualMigration(RunContext& context);
void MigratePrinterPairs(RunContext& context);
void MigrateServerPairs(RunContext& context);
void MigrateMixedPairs(RunContext& context);

}  // namespace quillon::engine
