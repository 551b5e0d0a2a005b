// Tests of reading a migration document: value conversions, buffer cuts, list
// sizing and placeholders, the refusals and the error lines, and the
// targeting section.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "document/document_file.h"
#include "document/document_reader_test_support.h"
#include "document/targeting_values.h"

namespace quillon::document {
namespace {

using namespace reader_tests;

TEST(DocumentReaderTest, CompleteDocumentReadsWithoutError) {
  const ReadResult r = Read(kCompleteDocument);
  EXPECT_FALSE(r.readError);
  EXPECT_TRUE(r.errors.empty());
  EXPECT_EQ(r.document, CompleteRecord());
}

TEST(DocumentReaderTest, BooleanValues) {
  struct Case {
    std::string value;
    bool expected;
    bool readError;
  };
  const Case cases[] = {
      {"True", true, false},   {"true", true, false},    {"TRUE", true, false},
      {"tRuE", true, false},   {"False", false, false},  {"FALSE", false, false},
      {"NotTrue", true, false}, {"falseTrue", true, false}, {"xfalsex", false, false},
      {"1", false, true},      {"yes", false, true},     {"", false, true},
      {" ", false, true},      {"Tru e", false, true},
      // the buffer holds 99 characters: a "True" beyond them is not seen
      {std::string(95, 'x') + "True", true, false},
      {std::string(96, 'x') + "True", false, true},
  };
  for (const Case& c : cases) {
    const ReadResult r = Read(CompleteWith({{"SUPPORT", "DebugOn", c.value}}));
    EXPECT_EQ(r.document.DebugOn, c.expected) << '"' << c.value << '"';
    EXPECT_EQ(r.readError, c.readError) << '"' << c.value << '"';
  }
}

TEST(DocumentReaderTest, IntegerValues) {
  struct Case {
    std::string value;
    int expected;
    bool readError;
  };
  const Case cases[] = {
      {"2.5", 2, false},      {"3.5", 4, false},      {"", 0, false},
      {"0.5", 0, false},      {"1.5", 2, false},      {"-2.5", -2, false},
      {"-3.5", -4, false},    {"2.51", 3, false},     {"7", 7, false},
      {"+7", 7, false},       {"-7", -7, false},      {"12abc", 12, false},
      {"abc", 0, false},      {"-", 0, false},        {".", 0, false},
      {".5", 0, false},       {"5.", 5, false},       {"1e3", 1000, false},
      {"1E+2", 100, false},   {"25e-1", 2, false},    {"1e", 1, false},
      {"1e-", 1, false},      {"1e-400", 0, false},   {"0e999", 0, false},
      {"32767", 32767, false}, {"-32768", -32768, false}, {"32767.4", 32767, false},
      {"-32768.5", -32768, false},
      // out of the 16-bit range after rounding: refused, not wrapped
      {"32767.5", 0, true},   {"32768", 0, true},     {"-32769", 0, true},
      {"65537", 0, true},     {"1e400", 0, true},     {"-1e5", 0, true},
      // 99 characters fit the buffer, the 100th is cut off
      {std::string(98, '0') + "7", 7, false},
      {std::string(99, '0') + "7", 0, false},
  };
  for (const Case& c : cases) {
    const ReadResult r = Read(CompleteWith({{"DEPLOYMENT", "MDACOption", c.value}}));
    EXPECT_EQ(r.document.MDACOption, c.expected) << '"' << c.value << '"';
    EXPECT_EQ(r.readError, c.readError) << '"' << c.value << '"';
  }
}

TEST(DocumentReaderTest, StringValuesAreCutAndTrimmed) {
  struct Case {
    const char* section;
    const char* key;
    std::string value;
    std::function<std::string(const MigrationDocument&)> field;
    std::string expected;
  };
  auto domain = [](const MigrationDocument& d) { return d.DomainName; };
  auto outputPath = [](const MigrationDocument& d) { return d.FileOutputPath; };
  auto deployment = [](const MigrationDocument& d) { return d.DeploymentPath; };
  auto port = [](const MigrationDocument& d) { return d.ServerPort; };
  const Case cases[] = {
      {"ACTIVE DIRECTORY", "DomainName", "  corp  ", domain, "corp"},
      {"ACTIVE DIRECTORY", "DomainName", "\tcorp\t", domain, "corp"},
      {"ACTIVE DIRECTORY", "DomainName", " ", domain, ""},
      {"ACTIVE DIRECTORY", "DomainName", std::string(1200, 'd'), domain, std::string(999, 'd')},
      {"ACTIVE DIRECTORY", "DomainName", std::string(999, 'd'), domain, std::string(999, 'd')},
      {"ACTIVE DIRECTORY", "DomainName", std::string(998, 'd') + " e", domain,
       std::string(998, 'd')},
      {"ACTIVE DIRECTORY", "DomainName", std::string("ab\0cd", 5), domain, "ab"},
      {"ACTIVE DIRECTORY", "DomainName", std::string("ab \0cd", 6), domain, "ab"},
      {"ACTIVE DIRECTORY", "DomainName", "corp\\", domain, "corp\\"},
      {"NOTIFICATION SMTP", "ServerPort", "0025", port, "0025"},
      {"NOTIFICATION FILE OUTPUT", "FileOutputPath", "C:\\out\\", outputPath, "C:\\out"},
      {"NOTIFICATION FILE OUTPUT", "FileOutputPath", "C:\\out\\\\", outputPath, "C:\\out\\"},
      {"NOTIFICATION FILE OUTPUT", "FileOutputPath", "C:\\out", outputPath, "C:\\out"},
      {"NOTIFICATION FILE OUTPUT", "FileOutputPath", "\\", outputPath, ""},
      {"DEPLOYMENT", "DeploymentPath", "\\\\srv\\share\\", deployment, "\\\\srv\\share"},
      {"DEPLOYMENT", "DeploymentPath", "\\\\srv\\share\\\\", deployment, "\\\\srv\\share\\"},
  };
  for (const Case& c : cases) {
    const ReadResult r = Read(CompleteWith({{c.section, c.key, c.value}}));
    EXPECT_EQ(c.field(r.document), c.expected) << c.key << " = \"" << c.value << '"';
    EXPECT_FALSE(r.readError) << c.key;
  }
}

TEST(DocumentReaderTest, ServerPairsAreSizedByTheFirstKey) {
  struct Case {
    const char* name;
    std::string fromServers;
    std::string toServers;
    std::vector<ServerPair> expected;
    bool readError;
  };
  const Case cases[] = {
      {"one item gives two records", "A", "B", {{"A", "B"}, {"", ""}}, false},
      {"blanks around items go", "A, B", " C ,D", {{"A", "C"}, {"B", "D"}}, false},
      {"empty item gets its placeholder", "A,,B", "X,Y,Z",
       {{"A", "X"}, {"Error in From Server Name", "Y"}, {"B", "Z"}}, false},
      {"single blank gives one blank record", " ", " ", {{"", ""}}, false},
      {"fewer later items leave fields empty", "A,B,C", "X", {{"A", "X"}, {"B", ""}, {"C", ""}},
       false},
      {"later key fills the blank second record", "A", "B,C", {{"A", "B"}, {"", "C"}}, false},
      {"lone comma gives two placeholders", ",", "X,",
       {{"Error in From Server Name", "X"},
        {"Error in From Server Name", "Error in To Server Name"}},
       false},
      {"later key with more items is refused", "A,B", "X,,Z",
       {{"A", "X"}, {"B", "Error in To Server Name"}}, true},
      {"later items with an empty first key are refused", "", "X,Y", {{"", "X"}}, true},
      {"one item and three later items are refused", "A", "B,C,D", {{"A", "B"}, {"", "C"}}, true},
  };
  for (const Case& c : cases) {
    const ReadResult r =
        Read(CompleteWith({{"MANUAL DEFINITIONS SERVERS", "FromServers", c.fromServers},
                           {"MANUAL DEFINITIONS SERVERS", "ToServers", c.toServers}}));
    EXPECT_EQ(r.document.ServerPairs, c.expected) << c.name;
    EXPECT_EQ(r.readError, c.readError) << c.name;
  }
}

TEST(DocumentReaderTest, EveryListKeyHasItsPlaceholder) {
  // Every key holds "A,,B": the middle record shows what an empty item becomes.
  std::vector<Setting> settings;
  const std::pair<const char*, const char*> keys[] = {
      {"MANUAL DEFINITIONS SERVERS", "FromServers"},
      {"MANUAL DEFINITIONS SERVERS", "ToServers"},
      {"MANUAL DEFINITIONS PRINTERS", "FromPrinters"},
      {"MANUAL DEFINITIONS PRINTERS", "ToPrinters"},
      {"MANUAL DEFINITIONS MIXED", "FromServers"},
      {"MANUAL DEFINITIONS MIXED", "FromPrinters"},
      {"MANUAL DEFINITIONS MIXED", "ToServers"},
      {"MANUAL DEFINITIONS MIXED", "ToPrinters"},
      {"NOTIFICATION SMTP", "EmailTo"},
      {"POPULATE", "ServerNames"},
      {"POPULATE", "PrinterNames"},
      {"PRUNE", "ServerNames"},
      {"PRUNE", "PrinterNames"},
      {"PRINTER_DRIVER", "PrinterName"},
      {"PRINTER_DRIVER", "DriverName"},
      {"PRINTER_DRIVER", "DriverFileName"},
      {"PRINTER_DRIVER", "PortName"},
  };
  for (const auto& [section, key] : keys) settings.push_back({section, key, "A,,B"});
  const ReadResult r = Read(CompleteWith(settings));
  ASSERT_FALSE(r.readError);
  const MigrationDocument& d = r.document;
  ASSERT_EQ(d.ServerPairs.size(), 3u);
  EXPECT_EQ(d.ServerPairs[1], (ServerPair{"Error in From Server Name", "Error in To Server Name"}));
  EXPECT_EQ(d.PrinterPairs[1],
            (PrinterPair{"Error in From Printer Name", "Error in To Printer Name"}));
  EXPECT_EQ(d.MixedPairs[1], (MixedPair{"Error in From Server Name", "Error in From Printer Name",
                                        "Error in To Printer Name", "Error in To Server Name"}));
  EXPECT_EQ(d.EmailTo, (std::vector<std::string>{"A", "Error in To Email Address", "B"}));
  EXPECT_EQ(d.PopulateRules[1], (PopulateRule{"Error in Server Name", "Error in Printer Name"}));
  EXPECT_EQ(d.PruneRules[1], (PruneRule{"", ""}));
  EXPECT_EQ(d.PrinterDrivers[1],
            (PrinterDriverRule{"Error in Printer Name", "Error in Driver Name", "", ""}));
  EXPECT_EQ(d.PrinterDrivers[2], (PrinterDriverRule{"B", "B", "B", "B"}));
}

TEST(DocumentReaderTest, OtherListsFollowTheSameSizing) {
  const ReadResult r = Read(CompleteWith({
      {"MANUAL DEFINITIONS MIXED", "FromServers", "S1"},
      {"MANUAL DEFINITIONS MIXED", "FromPrinters", "P1"},
      {"MANUAL DEFINITIONS MIXED", "ToServers", "S2"},
      {"MANUAL DEFINITIONS MIXED", "ToPrinters", "P2"},
      {"NOTIFICATION SMTP", "EmailTo", "only@example"},
      {"PRUNE", "ServerNames", "A,"},
      {"PRUNE", "PrinterNames", ","},
      {"PRINTER_DRIVER", "PrinterName", " "},
      {"PRINTER_DRIVER", "DriverName", " "},
      {"PRINTER_DRIVER", "DriverFileName", " "},
      {"PRINTER_DRIVER", "PortName", " "},
  }));
  EXPECT_FALSE(r.readError);
  // Keys come as FromServers, FromPrinters, ToServers, ToPrinters; the record
  // keeps ToPrinter before ToServer.
  EXPECT_EQ(r.document.MixedPairs, (std::vector<MixedPair>{{"S1", "P1", "P2", "S2"}, {}}));
  EXPECT_EQ(r.document.EmailTo, (std::vector<std::string>{"only@example", ""}));
  EXPECT_EQ(r.document.PruneRules, (std::vector<PruneRule>{{"A", ""}, {"", ""}}));
  EXPECT_EQ(r.document.PrinterDrivers, (std::vector<PrinterDriverRule>{{}}));
}

TEST(DocumentReaderTest, ListValuesAreCutAt9999Characters) {
  std::string items;  // 2000 items of four letters fill exactly 9999 characters
  for (int i = 0; i < 2000; ++i) items += (i == 0 ? "" : ",") + std::string("ABCD");
  ASSERT_EQ(items.size(), 9999u);
  const ReadResult exact = Read(CompleteWith({{"POPULATE", "ServerNames", items},
                                              {"POPULATE", "PrinterNames", " "}}));
  ASSERT_EQ(exact.document.PopulateRules.size(), 2000u);
  EXPECT_EQ(exact.document.PopulateRules.back().ServerName, "ABCD");

  // One character shorter and one more item: the cut leaves a trailing comma,
  // which is an empty item.
  items.pop_back();
  const ReadResult over = Read(CompleteWith({{"POPULATE", "ServerNames", items + ",WXYZ"},
                                             {"POPULATE", "PrinterNames", " "}}));
  ASSERT_EQ(over.document.PopulateRules.size(), 2001u);
  EXPECT_EQ(over.document.PopulateRules.back().ServerName, "Error in Server Name");
  EXPECT_FALSE(over.readError);
}

TEST(DocumentReaderTest, FailuresAreReportedAndReadingGoesOn) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> errors;
  };
  std::string noSupport = kCompleteDocument;
  noSupport.erase(noSupport.find("[SUPPORT]"));
  std::string noDomainKey = kCompleteDocument;
  const std::string domainLine = "DomainName=corp.example\n";
  noDomainKey.erase(noDomainKey.find(domainLine), domainLine.size());
  const Case cases[] = {
      // The engine's log of these is fixed: they are flagged without a line.
      {"missing section", noSupport, {}},
      {"missing key", noDomainKey, {}},
      {"unreadable boolean", CompleteWith({{"GENERAL", "AlwaysRun", "1"}}), {}},
      {"integer out of range", CompleteWith({{"SET_DEFAULT", "DefaultType", "40000"}}),
       {"ERROR: Reading INI file, section [SET_DEFAULT] key DefaultType: \"40000\" is outside "
        "the range -32768 to 32767."}},
      {"later list key too long",
       CompleteWith({{"MANUAL DEFINITIONS SERVERS", "ToServers", "NEW1,NEW2,NEW3"}}),
       {"ERROR: Reading INI file, section [MANUAL DEFINITIONS SERVERS] key ToServers holds 3 "
        "items but the list has 2 records."}},
      {"later list key against a single record",
       CompleteWith({{"PRUNE", "ServerNames", " "}, {"PRUNE", "PrinterNames", "A,B"}}),
       {"ERROR: Reading INI file, section [PRUNE] key PrinterNames holds 2 items but the list "
        "has 1 record."}},
  };
  for (const Case& c : cases) {
    const ReadResult r = Read(c.text);
    EXPECT_TRUE(r.readError) << c.name;
    EXPECT_EQ(r.errors, c.errors) << c.name;
    // Everything else is still read.
    EXPECT_EQ(r.document.EmailFrom, "quillon@example") << c.name;
    EXPECT_EQ(r.document.MixedPairs, CompleteRecord().MixedPairs) << c.name;
  }
  // Without a sink the outcome is the same.
  MigrationDocument quiet;
  EXPECT_TRUE(ReadDocumentText(&noSupport, quiet));
  EXPECT_FALSE(quiet.DebugOn);
}

TEST(DocumentReaderTest, LookupIgnoresCaseAndTakesTheFirstSectionAndKey) {
  const std::string text =
      "[general]\n"
      "usemanualdefinitions=true\n"
      "USEMANUALDEFINITIONS=false\n"
      "[Support]\n"
      "debugon = TRUE\n"
      "[SUPPORT]\n"
      "DebugOn=False\n"
      "[General]\n"
      "AlwaysRun=True\n";
  MigrationDocument d;
  EXPECT_TRUE(ReadDocumentText(&text, d));  // most keys are missing
  EXPECT_TRUE(d.UseManualDefinitions);
  EXPECT_TRUE(d.DebugOn);
  EXPECT_FALSE(d.AlwaysRun);  // the second GENERAL section is not read
}

TEST(DocumentReaderTest, TargetingSectionIsOptionalAndCheckedOnlyWhenUsed) {
  // Every document written before the section reads as it did.
  EXPECT_EQ(Read(kCompleteDocument).document.Targeting, TargetingSettings{});

  const std::string section = std::string(kCompleteDocument) +
                              "\r\n[Targeting]\r\nComputerNames= PC*, LAB-? \r\n"
                              "Subnets=10.0.0.0/8,2001:db8::/129,10.1.2.3\r\n"
                              "RolloutPercent=101\r\nNotBefore=2027-02-29\r\n";
  ReadResult unused = Read(section + "UseTargeting=False\r\n");
  EXPECT_FALSE(unused.readError);
  EXPECT_TRUE(unused.errors.empty());
  EXPECT_EQ(unused.document.Targeting.ComputerNames, "PC*, LAB-?");
  EXPECT_EQ(unused.document.Targeting.RolloutPercent, "101");

  ReadResult used = Read(section + "UseTargeting=True\r\n");
  EXPECT_TRUE(used.readError);
  EXPECT_TRUE(used.document.Targeting.UseTargeting);
  const std::vector<std::string> expected = {
      "ERROR: Reading INI file, section [TARGETING] key Subnets: \"2001:db8::/129\" is not a "
      "network in CIDR form (192.0.2.0/24, 2001:db8::/32).",
      "ERROR: Reading INI file, section [TARGETING] key Subnets: \"10.1.2.3\" is not a "
      "network in CIDR form (192.0.2.0/24, 2001:db8::/32).",
      "ERROR: Reading INI file, section [TARGETING] key RolloutPercent: \"101\" is not a whole "
      "number from 0 to 100.",
      "ERROR: Reading INI file, section [TARGETING] key NotBefore: \"2027-02-29\" is not a date "
      "in the form yyyy-mm-dd.",
  };
  EXPECT_EQ(used.errors, expected);

  ReadResult maybe = Read(std::string(kCompleteDocument) + "[TARGETING]\r\nUseTargeting=Maybe\r\n");
  EXPECT_TRUE(maybe.readError);
  ASSERT_EQ(maybe.errors.size(), 1u);
  EXPECT_EQ(maybe.errors[0],
            "ERROR: Reading INI file, section [TARGETING] key UseTargeting: \"Maybe\" is neither "
            "True nor False.");

  ReadResult good = Read(std::string(kCompleteDocument) +
                         "[TARGETING]\r\nUseTargeting=True\r\nSubnets=192.0.2.0/24, ::ffff:10.0.0.0/104,"
                         "fe80::/10\r\nRolloutPercent=0\r\nNotBefore=2028-02-29\r\n");
  EXPECT_FALSE(good.readError);
  EXPECT_TRUE(good.errors.empty());
}

TEST(DocumentReaderTest, TargetingNetworksAndAddresses) {
  struct Case {
    const char* network;
    const char* address;
    bool inside;
  } cases[] = {
      {"10.1.0.0/16", "10.1.255.7", true},   {"10.1.0.0/16", "10.2.0.1", false},
      {"10.1.2.3/32", "10.1.2.3", true},     {"0.0.0.0/0", "203.0.113.9", true},
      {"0.0.0.0/0", "2001:db8::1", false},   {"2001:db8::/32", "2001:DB8:ffff::1", true},
      {"2001:db8::/32", "2001:db9::1", false}, {"::/0", "10.0.0.1", true},
      {"10.0.0.0/8", "::ffff:10.9.9.9", true}, {"fe80::/10", "fe80::1%eth0", true},
      {"2001:db8:0:1::/64", "2001:db8:0:1:ffff::1", true},
      {"2001:db8:0:1::/64", "2001:db8::1:0:0:1", false},
  };
  for (const Case& c : cases) {
    const auto network = ParseNetwork(c.network);
    const auto address = ParseAddress(c.address);
    ASSERT_TRUE(network && address) << c.network << " " << c.address;
    EXPECT_EQ(network->Contains(*address), c.inside) << c.network << " " << c.address;
  }
  for (const char* bad : {"10.0.0/8", "10.0.0.256/8", "10.0.0.0/33", "10.0.0.0/", "/8",
                          "1::2::3/64", "2001:db8:::/48", "12345::/16", "10.0.0.0/8x",
                          "1:2:3:4:5:6:7:8:9/64", "x/1", "10.0.0.0"}) {
    EXPECT_FALSE(ParseNetwork(bad)) << bad;
  }
}

}  // namespace
}  // namespace quillon::document
