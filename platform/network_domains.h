// The domains the network offers, for the toolkit's domain box: on Windows the
// computer's domain and the domains it trusts, as the domain controller
// locator names them (else, outside a domain, those the browse service still
// announces on old networks), elsewhere the Kerberos realms of the system's
// configuration and the computer's DNS domain.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon::platform {

// Every name once (letters compared without regard to case), in the order
// found; whatever cannot be read is left out without a word: an empty box is
// no reason to stop an administrator who can type the name.
std::vector<std::string> ListNetworkDomains();

// The realms a krb5.conf text names: default_realm of [libdefaults], then the
// names of the [realms] section, each once.
std::vector<std::string> KerberosRealmsOf(std::string_view configuration);

// The domain part of a resolv.conf text: its "domain" line, else the first
// name of its "search" line; empty when it has neither.
std::string DnsDomainOf(std::string_view resolverConfiguration);

// Adds `name` unless empty or already there (letters compared without regard to case).
void AddDomainOnce(std::vector<std::string>& names, std::string name);

// A domain as the domain controller locator names it: its DNS name, and the
// NetBIOS name, which a pre-Windows 2000 domain has alone.
struct LocatedDomain {
  std::string dnsName;
  std::string netbiosName;
};
// Each domain once, in the order given, by its DNS name (how the directory is
// reached) without the root's dot, else by its NetBIOS name.
std::vector<std::string> LocatedDomainNames(const std::vector<LocatedDomain>& domains);

}  // namespace quillon::platform
