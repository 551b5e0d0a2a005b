// Reading and setting the user's default printer.
#pragma once

#include <string>

namespace quillon::engine {

struct RunContext;

std::string GetDefaultPrinterName(RunContext& context);

}  // namespace quillon::engine
