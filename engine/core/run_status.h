// Per-user record of which documents have succeeded, and the run-once guard.
// NT 5 and later keep it in "Quillon_status.log" in the profile folder; older
// systems (and a failed version query) in the registry.
#pragma once

#include <string>

namespace quillon::engine {

struct RunContext;

inline constexpr const char* kStatusFileName = "Quillon_status.log";
// How long a run waits for another run of the same user to finish its save.
inline constexpr int kStatusLockWaitMilliseconds = 10000;
inline constexpr int kStatusLockRetryMilliseconds = 50;
inline constexpr const char* kStatusRegistryRoot = "HKEY_CURRENT_USER\\Software\\Quillon\\";
inline constexpr const char* kStatusValueName = "SUCCESS";

bool HasAlreadySucceeded(RunContext& context);
void SaveRunStatus(RunContext& context);
std::string GetLoggedOnUserName(RunContext& context);

}  // namespace quillon::engine
