#include "engine/printers/default_printer.h"

namespace quillon::engine {

// No-op until the spooler interface exists: no default printer is known.
std::string GetDefaultPrinterName(RunContext&) { return {}; }

}  // namespace quillon::engine
