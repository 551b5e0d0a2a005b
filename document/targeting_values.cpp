#include "document/targeting_values.h"

#include <charconv>

#include "platform/clock.h"

namespace quillon::document {

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<int> SmallNumber(std::string_view text, int limit) {
  if (!AllDigits(text) || text.size() > 9) return std::nullopt;
  int value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  if (value > limit) return std::nullopt;
  return value;
}

std::optional<std::array<std::uint8_t, 4>> ParseIpv4(std::string_view text) {
  std::array<std::uint8_t, 4> bytes{};
  for (int i = 0; i < 4; ++i) {
    std::size_t dot = i < 3 ? text.find('.') : text.size();
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view part = text.substr(0, dot);
    if (part.size() > 3) return std::nullopt;
    std::optional<int> value = SmallNumber(part, 255);
    if (!value) return std::nullopt;
    bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(*value);
    text.remove_prefix(i < 3 ? dot + 1 : dot);
  }
  return bytes;
}

std::optional<std::array<std::uint8_t, 16>> ParseIpv6(std::string_view text) {
  std::vector<std::uint16_t> head, tail;
  bool gap = false;
  std::vector<std::uint16_t>* groups = &head;
  std::optional<std::array<std::uint8_t, 4>> embedded;
  if (text.starts_with("::")) {
    gap = true;
    groups = &tail;
    text.remove_prefix(2);
  }
  while (!text.empty()) {
    std::size_t colon = text.find(':');
    std::string_view part = text.substr(0, colon);
    if (colon == std::string_view::npos && part.find('.') != std::string_view::npos) {
      embedded = ParseIpv4(part);
      if (!embedded) return std::nullopt;
      text = {};
      break;
    }
    if (part.empty() || part.size() > 4) return std::nullopt;
    unsigned value = 0;
    auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), value, 16);
    if (error != std::errc() || end != part.data() + part.size()) return std::nullopt;
    groups->push_back(static_cast<std::uint16_t>(value));
    if (colon == std::string_view::npos) {
      text = {};
    } else if (text.substr(colon).starts_with("::")) {
      if (gap) return std::nullopt;
      gap = true;
      groups = &tail;
      text.remove_prefix(colon + 2);
    } else {
      text.remove_prefix(colon + 1);
      if (text.empty()) return std::nullopt;
    }
  }
  const std::size_t words = head.size() + tail.size() + (embedded ? 2 : 0);
  if (words > 8 || (!gap && words != 8) || (gap && words == 8)) return std::nullopt;
  std::array<std::uint8_t, 16> bytes{};
  std::size_t at = 0;
  for (std::uint16_t word : head) {
    bytes[at++] = static_cast<std::uint8_t>(word >> 8);
    bytes[at++] = static_cast<std::uint8_t>(word & 0xFF);
  }
  at = 16 - tail.size() * 2 - (embedded ? 4 : 0);
  for (std::uint16_t word : tail) {
    bytes[at++] = static_cast<std::uint8_t>(word >> 8);
    bytes[at++] = static_cast<std::uint8_t>(word & 0xFF);
  }
  if (embedded) {
    for (std::uint8_t b : *embedded) bytes[at++] = b;
  }
  return bytes;
}

std::optional<TargetingDate> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  std::optional<int> year = SmallNumber(text.substr(0, 4), 9999);
  std::optional<int> month = SmallNumber(text.substr(5, 2), 12);
  std::optional<int> day = SmallNumber(text.substr(8, 2), 31);
  if (!year || !month || !day || *year < 1601 || *month < 1 || *day < 1) return std::nullopt;
  // A day that does not exist (2025-02-30) is refused rather than rolled over.
  const long long first = platform::DaysSinceEpoch(*year, *month, 1);
  const long long next = *month == 12 ? platform::DaysSinceEpoch(*year + 1, 1, 1)
                                      : platform::DaysSinceEpoch(*year, *month + 1, 1);
  if (*day > next - first) return std::nullopt;
  return TargetingDate{*year, *month, *day};
}

}  // namespace

bool Network::Contains(const std::array<std::uint8_t, 16>& other) const {
  int bits = prefixBits;
  for (std::size_t i = 0; i < 16 && bits > 0; ++i, bits -= 8) {
    const std::uint8_t mask =
        bits >= 8 ? 0xFF : static_cast<std::uint8_t>(0xFF << (8 - bits));
    if ((address[i] & mask) != (other[i] & mask)) return false;
  }
  return true;
}

std::optional<std::array<std::uint8_t, 16>> ParseAddress(std::string_view text) {
  if (text.find(':') == std::string_view::npos) {
    std::optional<std::array<std::uint8_t, 4>> v4 = ParseIpv4(text);
    if (!v4) return std::nullopt;
    std::array<std::uint8_t, 16> mapped{};
    mapped[10] = mapped[11] = 0xFF;
    for (std::size_t i = 0; i < 4; ++i) mapped[12 + i] = (*v4)[i];
    return mapped;
  }
  // A zone ("fe80::1%eth0") names the adapter, not the address.
  return ParseIpv6(text.substr(0, text.find('%')));
}

std::optional<Network> ParseNetwork(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view host = text.substr(0, slash);
  const bool v4 = host.find(':') == std::string_view::npos;
  std::optional<int> bits = SmallNumber(text.substr(slash + 1), v4 ? 32 : 128);
  if (!bits || text.size() - slash - 1 > 3) return std::nullopt;
  std::optional<std::array<std::uint8_t, 16>> address =
      host.find('%') == std::string_view::npos ? ParseAddress(host) : std::nullopt;
  if (!address) return std::nullopt;
  return Network{*address, v4 ? 96 + *bits : *bits, std::string(text)};
}

std::vector<std::string> SplitTargetingList(std::string_view value) {
  std::vector<std::string> items;
  while (true) {
    const std::size_t comma = value.find(',');
    std::string_view item = Trim(value.substr(0, comma));
    if (!item.empty()) items.emplace_back(item);
    if (comma == std::string_view::npos) return items;
    value.remove_prefix(comma + 1);
  }
}

TargetingRules ReadTargetingRules(const TargetingSettings& settings,
                                  std::vector<TargetingError>* errors) {
  TargetingRules rules;
  auto fail = [errors](const char* key, std::string detail) {
    if (errors) errors->push_back({key, std::move(detail)});
  };
  rules.computerNames = SplitTargetingList(settings.ComputerNames);
  rules.excludeComputerNames = SplitTargetingList(settings.ExcludeComputerNames);
  rules.userGroups = SplitTargetingList(settings.UserGroups);
  rules.computerGroups = SplitTargetingList(settings.ComputerGroups);
  rules.sites = SplitTargetingList(settings.Sites);
  for (const std::string& item : SplitTargetingList(settings.Subnets)) {
    if (std::optional<Network> network = ParseNetwork(item)) {
      rules.subnets.push_back(std::move(*network));
    } else {
      fail("Subnets", ": \"" + item + "\" is not a network in CIDR form (192.0.2.0/24, 2001:db8::/32).");
    }
  }
  const std::string_view percent = Trim(settings.RolloutPercent);
  if (!percent.empty()) {
    std::optional<int> value = percent.size() <= 3 ? SmallNumber(percent, 100) : std::nullopt;
    if (value) {
      rules.rolloutPercent = *value;
    } else {
      fail("RolloutPercent", ": \"" + std::string(percent) + "\" is not a whole number from 0 to 100.");
    }
  }
  const std::string_view date = Trim(settings.NotBefore);
  if (!date.empty()) {
    rules.notBefore = ParseDate(date);
    if (!rules.notBefore) {
      fail("NotBefore", ": \"" + std::string(date) + "\" is not a date in the form yyyy-mm-dd.");
    }
  }
  return rules;
}

}  // namespace quillon::document
