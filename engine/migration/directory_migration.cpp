#include "engine/migration/directory_migration.h"

namespace quillon::engine {

// No-op until the directory interface exists.
void RunDirectoryMigration(RunContext&) {}

}  // namespace quillon::engine
