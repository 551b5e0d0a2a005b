// The snapshot of the user's printers that every migration step works on.
#pragma once

namespace quillon::engine {

struct RunContext;

// Lists the user's networked and local printers; with `report`, also into the
// debug log and the report.
void GetClientPrinters(RunContext& context, bool report);

}  // namespace quillon::engine
