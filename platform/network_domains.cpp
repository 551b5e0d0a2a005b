#include "platform/network_domains.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cctype>

namespace quillon::platform {
namespace {

std::string_view Trim(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

template <typename Each>
void ForEachLine(std::string_view text, Each each) {
  while (!text.empty()) {
    const auto end = text.find('\n');
    each(Trim(text.substr(0, end)));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
}

std::string_view FirstWord(std::string_view text) {
  text = Trim(text);
  const auto end = text.find_first_of(" \t");
  return text.substr(0, end);
}

}  // namespace

void AddDomainOnce(std::vector<std::string>& names, std::string name) {
  if (name.empty()) return;
  const bool known = std::any_of(names.begin(), names.end(),
                                 [&name](const std::string& each) { return EqualsIgnoringCase(each, name); });
  if (!known) names.push_back(std::move(name));
}

std::vector<std::string> LocatedDomainNames(const std::vector<LocatedDomain>& domains) {
  std::vector<std::string> names;
  for (const LocatedDomain& domain : domains) {
    std::string dns = std::string(Trim(domain.dnsName));
    while (!dns.empty() && dns.back() == '.') dns.pop_back();
    AddDomainOnce(names, dns.empty() ? std::string(Trim(domain.netbiosName)) : dns);
  }
  return names;
}

std::vector<std::string> KerberosRealmsOf(std::string_view configuration) {
  std::string defaultRealm;
  std::vector<std::string> realms;
  std::string section;
  int depth = 0;  // inside a realm's "{ ... }"
  ForEachLine(configuration, [&](std::string_view line) {
    if (line.empty() || line.front() == '#' || line.front() == ';') return;
    if (line.front() == '[') {
      const auto close = line.find(']');
      section = std::string(Trim(line.substr(1, close == std::string_view::npos ? line.npos
                                                                                 : close - 1)));
      depth = 0;
      return;
    }
    const auto equals = line.find('=');
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : Trim(line.substr(equals + 1));
    if (section == "libdefaults" && key == "default_realm") defaultRealm = std::string(value);
    if (section == "realms") {
      if (depth == 0 && equals != std::string_view::npos && value.starts_with('{')) {
        realms.emplace_back(key);
      }
      depth += static_cast<int>(std::count(line.begin(), line.end(), '{'));
      depth -= static_cast<int>(std::count(line.begin(), line.end(), '}'));
      depth = std::max(depth, 0);
    }
  });
  std::vector<std::string> names;
  AddDomainOnce(names, defaultRealm);
  for (std::string& realm : realms) AddDomainOnce(names, std::move(realm));
  return names;
}

std::string DnsDomainOf(std::string_view resolverConfiguration) {
  std::string domain, search;
  ForEachLine(resolverConfiguration, [&](std::string_view line) {
    if (line.starts_with("domain") && line.size() > 6 && (line[6] == ' ' || line[6] == '\t')) {
      domain = std::string(FirstWord(line.substr(6)));
    }
    if (line.starts_with("search") && line.size() > 6 && (line[6] == ' ' || line[6] == '\t')) {
      search = std::string(FirstWord(line.substr(6)));
    }
  });
  // The last "domain" or "search" line wins, as the resolver reads them.
  return domain.empty() ? search : domain;
}

}  // namespace quillon::platform
