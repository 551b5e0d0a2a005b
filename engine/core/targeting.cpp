#include "engine/core/targeting.h"

#include <cstdint>
#include <cstdio>
#include <optional>

#include "document/targeting_values.h"
#include "engine/core/names.h"

namespace quillon::engine {

namespace {

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) {
    if (!text.empty()) text += ", ";
    text += item;
  }
  return text;
}

bool AnyEqual(const std::vector<std::string>& have, const std::vector<std::string>& wanted,
              std::string* found) {
  for (const std::string& w : wanted) {
    for (const std::string& h : have) {
      if (EqualsIgnoringCase(h, w)) {
        *found = w;
        return true;
      }
    }
  }
  return false;
}

std::string DateText(int year, int month, int day) {
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

// Groups from the system, or from the document's directory when the system
// leaves them to it; one bind for both accounts.
class GroupSource {
 public:
  GroupSource(const std::string& domain, platform::Directory& directory)
      : domain_(domain), directory_(directory) {}

  platform::TargetingFact Groups(platform::TargetingFact own, const std::string& account,
                                 bool computer) {
    if (own.known || !own.fromDirectory) return own;
    if (domain_.empty()) {
      return platform::TargetingFact::Unknown(own.reason + " and the document names no directory");
    }
    if (!binding_) binding_ = directory_.Bind("LDAP://" + domain_);
    if (!binding_->ok) {
      return platform::TargetingFact::Unknown("the directory " + domain_ +
                                              " cannot be reached: " + binding_->errorDescription);
    }
    platform::DirectoryQuery query = directory_.QueryAccountGroups(*binding_, account, computer);
    if (!query.ok) {
      return platform::TargetingFact::Unknown("the directory " + domain_ +
                                              " did not give them: " + query.errorDescription);
    }
    std::vector<std::string> names;
    for (const platform::DirectoryRow& row : query.rows) names.push_back(row.name);
    return platform::TargetingFact::Of(std::move(names));
  }

 private:
  const std::string& domain_;
  platform::Directory& directory_;
  std::optional<platform::DirectoryBinding> binding_;
};

}  // namespace

int RolloutPlace(std::string_view computerName) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a over the upper-cased name
  for (char c : computerName) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    hash ^= static_cast<unsigned char>(upper);
    hash *= 1099511628211ull;
  }
  // FNV's low bits follow a name's last characters too closely for the
  // numbered names of a fleet; a finalising mix spreads them.
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  hash *= 0xc4ceb9fe1a85ec53ull;
  hash ^= hash >> 33;
  return static_cast<int>(hash % 10000);
}

bool InsideRollout(std::string_view computerName, int percent) {
  return RolloutPlace(computerName) < percent * 100;
}

bool MatchesNamePattern(std::string_view pattern, std::string_view name) {
  // Greedy matching with one back-track point: linear for any pattern.
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

TargetingDecision DecideTargeting(const document::TargetingSettings& settings,
                                  const std::string& directoryDomain,
                                  platform::SystemInfo& system, platform::Directory& directory,
                                  platform::Clock& clock) {
  TargetingDecision decision;
  if (!settings.UseTargeting) return decision;
  const document::TargetingRules rules = document::ReadTargetingRules(settings, nullptr);
  auto refuse = [&decision](std::string reason) {
    decision.targeted = false;
    decision.reason = std::move(reason);
    return decision;
  };
  const std::optional<std::string> ownName = system.GetComputerName();
  const std::string computer = ownName.value_or("");
  const std::string subject = "computer " + (ownName ? computer : std::string("(name unknown)"));

  if (rules.notBefore) {
    const platform::LocalTime now = clock.Now();
    const std::string start =
        DateText(rules.notBefore->year, rules.notBefore->month, rules.notBefore->day);
    if (DateText(now.year, now.month, now.day) < start) {
      return refuse("the roll-out starts on " + start + ", today is " +
                    DateText(now.year, now.month, now.day));
    }
    decision.met.push_back("the roll-out started on " + start);
  }
  if (!rules.computerNames.empty() || !rules.excludeComputerNames.empty() ||
      rules.rolloutPercent < 100) {
    if (!ownName) return refuse("the name of this computer cannot be found");
  }
  if (!rules.computerNames.empty()) {
    std::string matched;
    for (const std::string& pattern : rules.computerNames) {
      if (MatchesNamePattern(pattern, computer)) {
        matched = pattern;
        break;
      }
    }
    if (matched.empty()) {
      return refuse(subject + " matches none of the names " + Joined(rules.computerNames));
    }
    decision.met.push_back(subject + " matches " + matched);
  }
  for (const std::string& pattern : rules.excludeComputerNames) {
    if (MatchesNamePattern(pattern, computer)) {
      return refuse(subject + " is excluded by " + pattern);
    }
  }
  if (!rules.excludeComputerNames.empty()) {
    decision.met.push_back(subject + " is excluded by none of " +
                           Joined(rules.excludeComputerNames));
  }
  if (rules.rolloutPercent < 100) {
    const std::string percent = std::to_string(rules.rolloutPercent) + "%";
    if (!InsideRollout(computer, rules.rolloutPercent)) {
      return refuse(subject + " is outside the " + percent + " roll-out");
    }
    decision.met.push_back(subject + " is inside the " + percent + " roll-out");
  }
  if (!rules.sites.empty()) {
    const platform::TargetingFact site = system.GetSiteName();
    if (!site.known || site.values.empty()) {
      return refuse("the site of " + subject + " cannot be found (" + site.reason + ")");
    }
    std::string found;
    if (!AnyEqual(site.values, rules.sites, &found)) {
      return refuse(subject + " is in site " + site.values.front() + ", none of " +
                    Joined(rules.sites));
    }
    decision.met.push_back(subject + " is in site " + found);
  }
  if (!rules.subnets.empty()) {
    const platform::TargetingFact addresses = system.GetAddresses();
    if (!addresses.known) {
      return refuse("the addresses of " + subject + " cannot be found (" + addresses.reason + ")");
    }
    std::string hit;
    for (const std::string& text : addresses.values) {
      const auto address = document::ParseAddress(text);
      if (!address) continue;
      for (const document::Network& network : rules.subnets) {
        if (network.Contains(*address)) hit = text + " in " + network.text;
        if (!hit.empty()) break;
      }
      if (!hit.empty()) break;
    }
    std::vector<std::string> networks;
    for (const document::Network& network : rules.subnets) networks.push_back(network.text);
    if (hit.empty()) {
      return refuse(subject + " has no address in the networks " + Joined(networks));
    }
    decision.met.push_back(subject + " has address " + hit);
  }
  GroupSource groups(directoryDomain, directory);
  // `who` ("computer PC042", "user jdoe") in one of `wanted`, by `fact`.
  const auto inGroups = [&](const std::vector<std::string>& wanted,
                            const platform::TargetingFact& fact,
                            const std::string& who) -> std::optional<std::string> {
    if (!fact.known) return "the groups of " + who + " cannot be found (" + fact.reason + ")";
    std::string found;
    if (!AnyEqual(fact.values, wanted, &found)) {
      return who + " is in none of the groups " + Joined(wanted);
    }
    decision.met.push_back(who + " is in group " + found);
    return std::nullopt;
  };
  if (!rules.computerGroups.empty()) {
    const auto refused = inGroups(
        rules.computerGroups, groups.Groups(system.GetComputerGroups(), computer, true), subject);
    if (refused) return refuse(*refused);
  }
  if (!rules.userGroups.empty()) {
    const std::string user = system.GetUserName();
    const auto refused =
        inGroups(rules.userGroups, groups.Groups(system.GetUserGroups(), user, false), "user " + user);
    if (refused) return refuse(*refused);
  }
  return decision;
}

std::string TargetingReasonKind(std::string_view reason) {
  // Read by the sentence's fixed words in their places, not anywhere: the
  // names in it (groups, users, sites) are the document's and the system's,
  // and may hold any of those words.
  if (reason.starts_with("the roll-out starts on ")) return "before NotBefore";
  if (reason.starts_with("the ") && reason.find(" cannot be found") != std::string_view::npos)
    return "facts not found";
  if (reason.starts_with("user ") &&
      reason.find(" is in none of the groups ") != std::string_view::npos)
    return "user groups";
  if (!reason.starts_with("computer ")) return "other";
  // A computer's name holds no space: the words after it tell.
  const std::size_t name = std::string_view("computer ").size();
  const std::size_t after = reason.find(' ', name);
  if (after == std::string_view::npos) return "other";
  const std::string_view rest = reason.substr(after + 1);
  if (rest.starts_with("matches none of the names ")) return "computer name";
  if (rest.starts_with("is excluded by ")) return "excluded";
  if (rest.starts_with("is outside the ")) return "outside the roll-out";
  if (rest.starts_with("is in site ")) return "site";
  if (rest.starts_with("has no address in ")) return "subnet";
  if (rest.starts_with("is in none of the groups ")) return "computer groups";
  return "other";
}

}  // namespace quillon::engine
