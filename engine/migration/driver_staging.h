// The staging run: as the computer starts (the local system account, which may
// install printer drivers), installs the drivers that the document's moves of
// this computer's users will need, so that their logon runs, as standard users
// under the 2021 spooler rules, need to fetch none.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon::engine {

struct RunContext;

inline constexpr const char* kStagingNeedsAdministrator =
    "Installing printer drivers needs administrator rights; run /StageDrivers as a computer "
    "start-up script";

// The document part of a command line that asks for a staging run: one that
// begins with "/StageDrivers" (any letter case) followed by a blank or its end.
// nullopt for any other command line.
std::optional<std::string> StagingCommandLine(std::string_view commandLine);

// Reads the document, installs what is missing or older, reports. The exit
// status: 0 when every needed driver is present afterwards, 1 otherwise.
int RunStagingEngine(RunContext& context, const std::string& documentPart);

}  // namespace quillon::engine
