// Whether a document applies to this computer and user: its [TARGETING]
// conditions against the facts the platform gives, decided before anything
// else of the run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "document/migration_document.h"
#include "platform/clock.h"
#include "platform/directory.h"
#include "platform/system_info.h"

namespace quillon::engine {

struct TargetingDecision {
  bool targeted = true;
  std::vector<std::string> met;  // each condition that held, in the order checked
  std::string reason;            // the first condition that failed, when not targeted
};

// The computer's place in every roll-out, 0 to 9999: a hash of its name
// alone (letter case ignored), so a larger percentage always contains a
// smaller one and the same computers lead every document.
int RolloutPlace(std::string_view computerName);
bool InsideRollout(std::string_view computerName, int percent);

// `*` any run of characters, `?` one, letters compared without regard to case.
bool MatchesNamePattern(std::string_view pattern, std::string_view name);

// Decides on settings whose values read (the reader refuses the others); with
// UseTargeting false, targeted without asking anything. Conditions are checked
// cheapest first and the first that fails ends the decision, so a directory
// is asked only when everything before it held, once per account.
// `directoryDomain` is the document's DomainName, where the groups a system
// does not know itself are looked up.
TargetingDecision DecideTargeting(const document::TargetingSettings& settings,
                                  const std::string& directoryDomain,
                                  platform::SystemInfo& system, platform::Directory& directory,
                                  platform::Clock& clock);

// The debug line of a run that is not targeted starts with this.
inline constexpr std::string_view kNotTargetedPrefix = ">> Not targeted: ";

// The kind of a not-targeted reason, for counting: "before NotBefore",
// "outside the roll-out", "computer name", "excluded", "site", "subnet",
// "computer groups", "user groups", "facts not found".
std::string TargetingReasonKind(std::string_view reason);

}  // namespace quillon::engine
