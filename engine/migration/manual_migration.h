// Migration by the document's server, printer and mixed pairs.
#pragma once

namespace quillon::engine {

struct RunContext;

void RunManualMigration(RunContext& context);

}  // namespace quillon::engine
