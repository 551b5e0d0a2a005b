// Reading and setting the user's default printer. Windows 95/98/ME, NT 4.0 and
// 2000 or later each keep it differently; the OS version decides per call.
#pragma once

#include <string>

namespace quillon::engine {

struct RunContext;

// The current default printer's name, or empty.
std::string GetDefaultPrinterName(RunContext& context);
void MakeDefaultPrinter(RunContext& context, const std::string& name);

}  // namespace quillon::engine
