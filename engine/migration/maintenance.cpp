#include "engine/migration/maintenance.h"

namespace quillon::engine {

// No-op until the populate and prune rules are built.
void RunMaintenance(RunContext&) {}

}  // namespace quillon::engine
