#include "engine/core/targeting.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"
#include "platform/file_system.h"

namespace quillon::engine {
namespace {

using testing::CompleteDocument;

std::string Name(int i) {
  std::string digits = std::to_string(i);
  return "PC" + std::string(4 - digits.size(), '0') + digits;
}

TEST(TargetingTest, RolloutRingsAreStableNestedAndTheSameForEveryDocument) {
  int inTen = 0;
  for (int i = 1; i <= 1000; ++i) {
    const std::string name = Name(i);
    const bool ten = InsideRollout(name, 10);
    inTen += ten ? 1 : 0;
    if (ten) {
      EXPECT_TRUE(InsideRollout(name, 20)) << name;
    }
    EXPECT_EQ(InsideRollout(name, 0), false);
    EXPECT_EQ(InsideRollout(name, 100), true);
    EXPECT_EQ(RolloutPlace(name), RolloutPlace("pc" + name.substr(2))) << name;
  }
  EXPECT_GE(inTen, 80);
  EXPECT_LE(inTen, 120);

  // Two documents that differ in everything but the percentage choose the
  // same computers.
  testing::EngineWorld world;
  document::TargetingSettings first;
  first.UseTargeting = true;
  first.RolloutPercent = "10";
  document::TargetingSettings second = first;
  second.ExcludeComputerNames = "LAB-*";
  second.NotBefore = "2001-01-01";
  int agreed = 0;
  for (int i = 1; i <= 200; ++i) {
    world.host.hostComputerName = Name(i);
    platform::sim::SimPlatform client(world.state, world.host, world.files, world.clock);
    const bool a = DecideTargeting(first, "", client, client, world.clock).targeted;
    const bool b = DecideTargeting(second, "CORP", client, client, world.clock).targeted;
    EXPECT_EQ(a, b) << Name(i);
    EXPECT_EQ(a, InsideRollout(Name(i), 10));
    agreed += a ? 1 : 0;
  }
  EXPECT_GT(agreed, 0);
}

TEST(TargetingTest, NamePatternsIgnoreCaseAndMatchWholeNames) {
  EXPECT_TRUE(MatchesNamePattern("pc0*", "PC042"));
  EXPECT_TRUE(MatchesNamePattern("PC0?2", "pc042"));
  EXPECT_TRUE(MatchesNamePattern("*", ""));
  EXPECT_TRUE(MatchesNamePattern("*4*2", "PC0412"));
  EXPECT_FALSE(MatchesNamePattern("PC0?", "PC042"));
  EXPECT_FALSE(MatchesNamePattern("PC04", "PC042"));
  EXPECT_FALSE(MatchesNamePattern("?PC042", "PC042"));
  EXPECT_FALSE(MatchesNamePattern("*3*", "PC042"));
}

class TargetedRunTest : public ::testing::Test {
 protected:
  TargetedRunTest() {
    world_.AddQueue("OLDSRV", "Floor2");
    world_.AddQueue("NEWSRV", "Floor2");
    world_.AddConnection("OLDSRV", "Floor2");
  }
  // A run of the complete document with this [TARGETING] section; the debug
  // lines about targeting, and whether it moved the printer.
  std::string Run(const std::string& section, bool* moved = nullptr) {
    const std::string path = world_.WriteFile(
        world_.Path("migrate.ini"),
        CompleteDocument({{"AlwaysRun=", "AlwaysRun=True"}}) + "[TARGETING]\r\n" + section);
    auto context = world_.Run(path);
    EXPECT_FALSE(context->AbortStatus) << section;
    if (moved) *moved = world_.PrinterNames() == std::vector<std::string>{"\\\\NEWSRV\\Floor2"};
    std::string lines;
    std::string text = world_.DebugFileText().value_or("");
    for (std::size_t at = 0; at < text.size();) {
      std::size_t end = text.find("\r\n", at);
      std::string line = text.substr(at, end - at);
      if (line.starts_with(">> Targeted: ") || line.starts_with(">> Not targeted: ")) {
        lines += line + "\n";
      }
      at = end == std::string::npos ? text.size() : end + 2;
    }
    return lines;
  }
  testing::EngineWorld world_;
};

TEST_F(TargetedRunTest, EachConditionAloneTogetherExcludedAndEmpty) {
  world_.state.userGroups = std::vector<std::string>{"Domain Users", "Floor2-Pilot"};
  world_.state.computerGroups = std::vector<std::string>{"Floor2-PCs"};
  world_.state.site = std::string("HQ");
  world_.state.addresses = std::vector<std::string>{"fe80::1%3", "10.1.2.42", "2001:db8:5::42"};
  const std::string on = "UseTargeting=True\r\n";
  const std::string subject = "computer PC042";
  struct Case {
    std::string section;
    std::string lines;
  } cases[] = {
      {on, ">> Targeted: no condition is set\n"},
      {"UseTargeting=False\r\nComputerNames=LAB-*\r\n", ""},
      {on + "ComputerNames=LAB-*, pc0*", ">> Targeted: " + subject + " matches pc0*\n"},
      {on + "ComputerNames=LAB-*,PC1*",
       ">> Not targeted: " + subject + " matches none of the names LAB-*, PC1*\n"},
      {on + "ComputerNames=PC*\r\nExcludeComputerNames=PC04?",
       ">> Not targeted: " + subject + " is excluded by PC04?\n"},
      {on + "UserGroups=IT,floor2-pilot", ">> Targeted: user alice is in group floor2-pilot\n"},
      {on + "UserGroups=Floor3-Pilot, IT",
       ">> Not targeted: user alice is in none of the groups Floor3-Pilot, IT\n"},
      {on + "ComputerGroups=Floor2-PCs", ">> Targeted: " + subject + " is in group Floor2-PCs\n"},
      {on + "ComputerGroups=Floor3-PCs",
       ">> Not targeted: " + subject + " is in none of the groups Floor3-PCs\n"},
      {on + "Sites=Branch,hq", ">> Targeted: " + subject + " is in site hq\n"},
      {on + "Sites=Branch", ">> Not targeted: " + subject + " is in site HQ, none of Branch\n"},
      {on + "Subnets=10.1.0.0/16", ">> Targeted: " + subject + " has address 10.1.2.42 in 10.1.0.0/16\n"},
      {on + "Subnets=2001:db8:5::/48",
       ">> Targeted: " + subject + " has address 2001:db8:5::42 in 2001:db8:5::/48\n"},
      {on + "Subnets=10.2.0.0/16,2001:db8:6::/48",
       ">> Not targeted: " + subject + " has no address in the networks 10.2.0.0/16, 2001:db8:6::/48\n"},
      {on + "RolloutPercent=0", ">> Not targeted: " + subject + " is outside the 0% roll-out\n"},
      {on + "RolloutPercent=100\r\nNotBefore=2026-12-08",
       ">> Targeted: the roll-out started on 2026-12-08\n"},
      {on + "ComputerNames=PC*\r\nExcludeComputerNames=LAB*\r\nUserGroups=Floor2-Pilot\r\n"
            "ComputerGroups=Floor2-PCs\r\nSites=HQ\r\nSubnets=10.0.0.0/8\r\nNotBefore=2026-01-01",
       ">> Targeted: the roll-out started on 2026-01-01\n>> Targeted: " + subject +
           " matches PC*\n>> Targeted: " + subject + " is excluded by none of LAB*\n>> Targeted: " +
           subject + " is in site HQ\n>> Targeted: " + subject +
           " has address 10.1.2.42 in 10.0.0.0/8\n>> Targeted: " + subject +
           " is in group Floor2-PCs\n>> Targeted: user alice is in group Floor2-Pilot\n"},
      // Together: one condition failing is enough, and it alone is written.
      {on + "ComputerNames=PC*\r\nUserGroups=Floor2-Pilot\r\nSites=Branch",
       ">> Not targeted: " + subject + " is in site HQ, none of Branch\n"},
  };
  for (const Case& c : cases) {
    world_.state.spoolerCalls.clear();
    bool moved = false;
    EXPECT_EQ(Run(c.section, &moved), c.lines) << c.section;
    const bool targeted = c.lines.find("Not targeted") == std::string::npos;
    EXPECT_EQ(moved, targeted) << c.section;
    if (!targeted) {
      EXPECT_TRUE(world_.state.spoolerCalls.empty()) << c.section;
    }
    // Put the client back for the next case.
    world_.state.printers.clear();
    world_.AddConnection("OLDSRV", "Floor2");
  }
}

TEST_F(TargetedRunTest, FactsThatCannotBeFoundNeverTarget) {
  world_.state.userGroups = std::optional<std::vector<std::string>>();  // null
  world_.state.site = std::optional<std::string>();
  bool moved = true;
  EXPECT_EQ(Run("UseTargeting=True\r\nUserGroups=IT\r\n", &moved),
            ">> Not targeted: the groups of user alice cannot be found (userGroups cannot be "
            "found)\n");
  EXPECT_FALSE(moved);
  EXPECT_EQ(Run("UseTargeting=True\r\nSites=HQ\r\n", &moved),
            ">> Not targeted: the site of computer PC042 cannot be found (site cannot be found)\n");
  EXPECT_EQ(Run("UseTargeting=True\r\nSubnets=10.0.0.0/8\r\n", &moved),
            ">> Not targeted: the addresses of computer PC042 cannot be found (the client file "
            "has no addresses)\n");
  // No groups in the client file and no directory named: not a guess either.
  EXPECT_EQ(Run("UseTargeting=True\r\nComputerGroups=PCs\r\n", &moved),
            ">> Not targeted: the groups of computer PC042 cannot be found (the client file has "
            "no computerGroups and the document names no directory)\n");
  // A directory named but not reachable (the client's directory lists another domain).
  world_.Publish("OTHER.EXAMPLE", "x", {"x"});
  const std::string path = world_.WriteFile(
      world_.Path("migrate.ini"),
      CompleteDocument({{"DomainName=", "DomainName=CORP.EXAMPLE"}}) +
          "[TARGETING]\r\nUseTargeting=True\r\nComputerGroups=PCs\r\n");
  world_.Run(path);
  EXPECT_NE(world_.DebugFileText()->find(
                ">> Not targeted: the groups of computer PC042 cannot be found (the directory "
                "CORP.EXAMPLE cannot be reached: The server is not operational.)"),
            std::string::npos);
  EXPECT_FALSE(moved);
}

TEST_F(TargetedRunTest, NotTargetedRunLeavesNoOutcomeAndActsOnceTheRolloutReachesIt) {
  world_.state.site = std::string("HQ");
  const std::string path = world_.Path("migrate.ini");
  auto document = [](const std::string& site) {
    return CompleteDocument({{"UseFileOutput=", "UseFileOutput=True"},
                             {"FileOutputPath=", "FileOutputPath=reports"}}) +
           "[TARGETING]\r\nUseTargeting=True\r\nSites=" + site + "\r\n";
  };
  world_.WriteFile(path, document("Branch"));
  auto first = world_.Run(path);
  EXPECT_FALSE(first->AbortStatus);
  EXPECT_TRUE(world_.state.spoolerCalls.empty());
  EXPECT_FALSE(world_.files.FileExists(
      platform::JoinPath(world_.ProfileFolder(), kStatusFileName)));
  EXPECT_FALSE(std::filesystem::exists(world_.Path("reports")));
  EXPECT_TRUE(world_.state.messageBoxes.empty());

  // The same document widened: this logon moves the printer, the next does not.
  world_.WriteFile(path, document("Branch,HQ"));
  world_.Run(path);
  EXPECT_EQ(world_.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\Floor2"});
  EXPECT_TRUE(world_.files.FileExists(platform::JoinPath(world_.ProfileFolder(), kStatusFileName)));
  world_.Run(path);
  EXPECT_NE(world_.DebugFileText()->find("already successed"), std::string::npos);
}

TEST_F(TargetedRunTest, NotBeforeTurnsAtLocalMidnight) {
  world_.clock.now = {2027, 3, 1, 23, 59, 59};
  EXPECT_EQ(Run("UseTargeting=True\r\nNotBefore=2027-03-02\r\n"),
            ">> Not targeted: the roll-out starts on 2027-03-02, today is 2027-03-01\n");
  world_.clock.now = {2027, 3, 2, 0, 0, 0};
  EXPECT_EQ(Run("UseTargeting=True\r\nNotBefore=2027-03-02\r\n"),
            ">> Targeted: the roll-out started on 2027-03-02\n");
  // Year's end.
  world_.clock.now = {2026, 12, 31, 23, 59, 59};
  EXPECT_EQ(Run("UseTargeting=True\r\nNotBefore=2027-01-01\r\n"),
            ">> Not targeted: the roll-out starts on 2027-01-01, today is 2026-12-31\n");
}

TEST(TargetingTest, ReasonKindsForTheReport) {
  EXPECT_EQ(TargetingReasonKind("computer PC042 is outside the 10% roll-out"),
            "outside the roll-out");
  EXPECT_EQ(TargetingReasonKind("user jdoe is in none of the groups Floor2-Pilot, IT"),
            "user groups");
  EXPECT_EQ(TargetingReasonKind("computer PC042 is in none of the groups X"), "computer groups");
  EXPECT_EQ(TargetingReasonKind("the site of computer PC042 cannot be found (x)"),
            "facts not found");
  EXPECT_EQ(TargetingReasonKind("the roll-out starts on 2027-01-01, today is 2026-12-31"),
            "before NotBefore");
  // Names that hold the other sentences' words do not lead the count astray.
  EXPECT_EQ(TargetingReasonKind("user bob is in none of the groups Printer roll-out team"),
            "user groups");
  EXPECT_EQ(TargetingReasonKind("computer PC7 is in site Roll-out cannot be found, none of HQ"),
            "site");
  EXPECT_EQ(TargetingReasonKind("computer PC7 is in none of the groups is excluded by x"),
            "computer groups");
}

}  // namespace
}  // namespace quillon::engine
