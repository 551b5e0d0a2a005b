#include "engine/printers/client_printers.h"

namespace quillon::engine {

// No-op until the spooler interface exists: the snapshot stays empty.
void GetClientPrinters(RunContext&, bool) {}

}  // namespace quillon::engine
