// The text and JSON forms of a plan, as `quillon plan` prints them: the run's
// changes, its outcome and channels, and for a staging plan the drivers.
#pragma once

#include <ostream>
#include <string>

#include "tools/quillon/plan.h"

namespace quillon::tools {

// `document` is the name the clients run it by; `withDebug` adds the run's
// debug text after the report.
void WritePlanText(std::ostream& out, const Plan& plan, const std::string& document,
                   const std::string& clientName, bool withDebug);
void WritePlanJson(std::ostream& out, const Plan& plan, const std::string& document,
                   const std::string& clientName, bool withDebug);

}  // namespace quillon::tools
