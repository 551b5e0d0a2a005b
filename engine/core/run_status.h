// Per-user record of which documents have succeeded, and the run-once guard.
// NT 5 and later keep it in "Quillon_status.log" in the profile folder; older
// systems (and a failed version query) in the registry.
#pragma once

#include <string>

namespace quillon::engine {

struct RunContext;

inline constexpr const char* kStatusFileName = "Quillon_status.log";
inline constexpr const char* kStatusRegistryRoot = "HKEY_CURRENT_USER\\Software\\Quillon\\";
inline constexpr const char* kStatusValueName = "SUCCESS";

bool HasAlreadySucceeded(RunContext& context);
void SaveRunStatus(RunContext& context);
std::string GetLoggedOnUserName(RunContext& context);

}  // namespace quillon::engine
