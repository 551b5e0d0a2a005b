// What Windows decides about a user's printers over the engine's head: the
// default printer it manages itself, and the connections the computer gives
// every user. The engine leaves both alone and tells the administrator which
// setting to change.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace quillon::engine {

struct RunContext;

// Windows 10 1511 and later move the default printer to the one last used
// unless the user's LegacyDefaultPrinterMode is 1. An unknown build counts as
// managed only when the value says 0.
bool WindowsManagesDefaultPrinter(platform::Platform& platform);

// The per-machine connections' names ("\\SERVER\SHARE"), in the registry's order.
std::vector<std::string> ReadPerMachineConnections(platform::Registry& registry);

// After a default printer was set: where Windows manages it, says once per run
// (report and debug file) that it may not stay, and what turns that off.
void NoteManagedDefaultPrinter(RunContext& context);

// Whether `name` is a per-machine connection; the first time for each name the
// report and the debug file say that it is left to the policy that pushes it.
bool LeftToPolicy(RunContext& context, const std::string& name);

}  // namespace quillon::engine
