// The values of a document's [TARGETING] section: read from its text, checked
// the same way by the engine, the reader and `quillon check`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/migration_document.h"

namespace quillon::document {

inline constexpr const char* kTargetingSection = "TARGETING";

// An IPv4 or IPv6 network in CIDR form; IPv4 is held as its IPv4-mapped IPv6
// address, so one comparison serves both.
struct Network {
  std::array<std::uint8_t, 16> address{};
  int prefixBits = 0;  // counted over the 128 bits
  std::string text;    // as the document wrote it
  bool Contains(const std::array<std::uint8_t, 16>& other) const;
};

// An address as text ("192.0.2.7", "2001:db8::7"); nullopt when it is neither.
std::optional<std::array<std::uint8_t, 16>> ParseAddress(std::string_view text);
std::optional<Network> ParseNetwork(std::string_view text);

struct TargetingDate {
  int year = 0, month = 0, day = 0;
};

struct TargetingRules {
  std::vector<std::string> computerNames, excludeComputerNames, userGroups, computerGroups,
      sites;
  std::vector<Network> subnets;
  int rolloutPercent = 100;
  std::optional<TargetingDate> notBefore;
};

// One value the engine cannot use: the key and why.
struct TargetingError {
  std::string key;
  std::string detail;
};

// A comma-separated list, items trimmed, empty items dropped.
std::vector<std::string> SplitTargetingList(std::string_view value);

// The rules of `settings`; the values that cannot be read are listed in
// `errors` (in key order) and set no rule.
TargetingRules ReadTargetingRules(const TargetingSettings& settings,
                                  std::vector<TargetingError>* errors);

}  // namespace quillon::document
