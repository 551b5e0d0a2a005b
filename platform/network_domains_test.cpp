#include "platform/network_domains.h"

#include <gtest/gtest.h>

namespace quillon::platform {
namespace {

TEST(NetworkDomainsTest, LocatedDomainsByDnsNameElseNetbiosNameEachOnce) {
  const std::vector<LocatedDomain> located = {
      {"corp.example.com", "CORP"},        // the computer's own
      {"lab.corp.example.com.", "LAB"},    // a child, written with the root's dot
      {"", "LEGACY"},                      // a Windows NT 4 domain: NetBIOS name only
      {"CORP.EXAMPLE.COM", "CORP"},        // the own domain again, among the trusts
      {" ", ""},                           // nothing to call it by
  };
  EXPECT_EQ(LocatedDomainNames(located),
            (std::vector<std::string>{"corp.example.com", "lab.corp.example.com", "LEGACY"}));
  EXPECT_TRUE(LocatedDomainNames({}).empty());
}

TEST(NetworkDomainsTest, RealmsAndDnsDomainAsTheSystemConfiguresThem) {
  // A realm's own settings in braces hold "=" lines too: they are not realms.
  const char* krb5 =
      "# site configuration\n"
      "[libdefaults]\r\n"
      "  default_realm = CORP.EXAMPLE.COM\r\n"
      "  dns_lookup_kdc = true\n"
      "[realms]\n"
      "  LAB.EXAMPLE.COM = {\n"
      "    kdc = kdc1.lab.example.com\n"
      "    admin_server = {\n"
      "      nested = x\n"
      "    }\n"
      "  }\n"
      "  corp.example.com = {\n"
      "    kdc = dc1.corp.example.com\n"
      "  }\n"
      "  OLD.EXAMPLE.COM={ kdc = old }\n"
      "[domain_realm]\n"
      "  .example.com = CORP.EXAMPLE.COM\n";
  EXPECT_EQ(KerberosRealmsOf(krb5),
            (std::vector<std::string>{"CORP.EXAMPLE.COM", "LAB.EXAMPLE.COM", "OLD.EXAMPLE.COM"}))
      << "the default first, each once whatever its case, no settings or mappings";
  EXPECT_TRUE(KerberosRealmsOf("").empty());
  EXPECT_TRUE(KerberosRealmsOf("[realms]\n  not a realm\n").empty());

  EXPECT_EQ(DnsDomainOf("nameserver 10.0.0.1\nsearch lab.example.com example.com\n"),
            "lab.example.com");
  EXPECT_EQ(DnsDomainOf("search a.example\ndomain corp.example.com\n"), "corp.example.com");
  EXPECT_EQ(DnsDomainOf("domainname x\nsearcher y\nnameserver ::1\n"), "");

  std::vector<std::string> names{"CORP"};
  AddDomainOnce(names, "corp");
  AddDomainOnce(names, "");
  AddDomainOnce(names, "LAB");
  EXPECT_EQ(names, (std::vector<std::string>{"CORP", "LAB"}));
}

}  // namespace
}  // namespace quillon::platform
