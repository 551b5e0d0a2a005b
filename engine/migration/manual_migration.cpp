#include "engine/migration/manual_migration.h"

namespace quillon::engine {

// No-op until the printer operations exist.
void RunManualMigration(RunContext&) {}

}  // namespace quillon::engine
