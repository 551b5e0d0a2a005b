// Migration by the document's printer, server and mixed pairs, followed by
// maintenance.
#pragma once

#include <string>
#include <vector>

#include "document/migration_document.h"

namespace quillon::engine {

struct ClientPrinter;

struct RunContext;

void RunManualMigration(RunContext& context);
void MigratePrinterPairs(RunContext& context);
void MigrateServerPairs(RunContext& context);
void MigrateMixedPairs(RunContext& context);

// The names the document's pairs would move the connection to, by the rules
// the run moves it by, in the order it would try them.
std::vector<std::string> ManualMoveTargets(const document::MigrationDocument& doc,
                                           const ClientPrinter& printer);

}  // namespace quillon::engine
