// Migration by the print queues that the directory publishes.
#pragma once

namespace quillon::engine {

struct RunContext;

void RunDirectoryMigration(RunContext& context);

}  // namespace quillon::engine
