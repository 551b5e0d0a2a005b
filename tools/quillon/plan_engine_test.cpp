// Tests of `quillon plan` set against the engine's real run on the same
// client afterwards (where the engine program is built), targeting first.
#include "tools/quillon/plan_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/core/targeting.h"

namespace quillon::tools {
namespace {

using namespace plan_tests;
using plan_tests::Plan;  // the command, over the struct of plan.h

#ifdef QUILLON_ENGINE_PATH
namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream content;
  content << in.rdbuf();
  return content.str();
}

void Spit(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Every file under `root` with its bytes.
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) tree[entry.path().string()] = Slurp(entry.path());
  }
  return tree;
}

// What changed between two client files: connections added and removed (in
// the order they stand in the files) and the default printer after.
struct Changes {
  std::vector<std::string> added, removed;
  std::string defaultAfter;
};

Changes Between(const sim::SimClientState& before, const sim::SimClientState& after) {
  auto has = [](const sim::SimClientState& client, const std::string& name) {
    for (const auto& printer : client.printers) {
      if (sim::EqualsIgnoringCase(printer.name, name)) return true;
    }
    return false;
  };
  Changes changes;
  for (const auto& p : after.printers) {
    if (!p.serverName.empty() && !has(before, p.name)) changes.added.push_back(p.name);
  }
  for (const auto& p : before.printers) {
    if (!p.serverName.empty() && !has(after, p.name)) changes.removed.push_back(p.name);
  }
  changes.defaultAfter = after.defaultPrinter.value_or("");
  return changes;
}

// The report's lines after its "Report At" header, whose time differs.
std::string ReportBody(const std::string& report) {
  std::string text;
  for (char c : report) {
    if (c != '\r') text += c;
  }
  const std::size_t header = text.find("Report At: ");
  if (header != std::string::npos) text.erase(0, text.find('\n', header) + 1);
  while (!text.empty() && text.front() == '\n') text.erase(0, 1);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

TEST(QuillonPlanTest, AgreesWithTheEngineRunThatFollows) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("quillon-plan-" + std::to_string(seed()));
  const fs::path deploy = root / "Deploy Share";
  fs::create_directories(deploy);
  fs::create_directories(root / "reports");
  fs::copy_file(QUILLON_ENGINE_PATH, deploy / "QuillonEngine");
  const fs::path doc = deploy / "moves.ini";
  Spit(doc, CompleteDocument({{"UseFileOutput=", "UseFileOutput=True"},
                              {"FileOutputPath=", "FileOutputPath=" + (root / "reports").string()},
                              {"FileOutputName=", "FileOutputName=moves.txt"},
                              {"IncludeOutcome=", "IncludeOutcome=True"},
                              {"WriteToEventLog=", "WriteToEventLog=True"}}));
  const fs::path clientFile = root / "client.json";
  platform::HostFileSystem files;
  RecordingClock clock;

  // A partly failing run (C is missing on NEWSRV, B's connection fails), then
  // a clean one on a client without C.
  sim::SimClientState failing = Client(true);
  failing.failures.push_back({"AddPrinterConnection", "\\\\NEWSRV\\B", 1722, {}});
  int round = 0;
  for (const sim::SimClientState& client : {failing, Client(false)}) {
    SCOPED_TRACE(round++);
    fs::remove_all(root / "profile");
    fs::remove_all(root / "reports");
    fs::create_directories(root / "reports");
    Spit(clientFile, sim::SerializeClient(client));
    const auto untouched = Tree(root);

    Output planned = Plan(files, clock, {"--client", clientFile.string(), "--json", doc.string()});
    ASSERT_NE(planned.code, 2) << planned.err;
    const Json plan = Json::parse(planned.out);
    EXPECT_EQ(Tree(root), untouched) << "the plan wrote a file";

    const std::string command = "QUILLON_CLIENT='" + clientFile.string() + "' '" +
                                (deploy / "QuillonEngine").string() + "' '" + doc.string() +
                                "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const sim::LoadResult after = sim::LoadClient(clientFile.string());
    ASSERT_TRUE(after.ok) << after.error;
    const Changes done = Between(client, after.state);
    EXPECT_EQ(Strings(plan["connectionsAdded"]), done.added);
    EXPECT_EQ(Strings(plan["connectionsRemoved"]), done.removed);
    EXPECT_EQ(plan["defaultAfter"], done.defaultAfter);
    EXPECT_EQ(planned.code == 0, plan["outcome"] == "success");

    // The run-once store and the report file say what the plan said.
    const std::string status = Slurp(root / "profile" / "Quillon_status.log");
    EXPECT_EQ(status, doc.string() + "," + (plan["storedOutcome"] == true ? "True" : "False") +
                          "\r\n");
    std::string reportFile;
    for (const Json& file : plan["files"]) {
      const std::string path = file["path"];
      if (path.rfind((root / "reports").string(), 0) == 0) reportFile = path;
    }
    ASSERT_TRUE(fs::exists(reportFile)) << plan["files"].dump();
    const std::string written = Slurp(reportFile);
    EXPECT_EQ(ReportBody(written), ReportBody(plan["report"])) << written;
  }
  // The clean run has succeeded: the guard now stops the next one.
  Output again = Plan(files, clock, {"--client", clientFile.string(), doc.string()});
  EXPECT_EQ(again.code, 0);
  EXPECT_NE(again.out.find("The document has already succeeded for this user"),
            std::string::npos)
      << again.out;
  EXPECT_NE(again.out.find("Connections added (0): none\n"), std::string::npos);
  EXPECT_NE(again.out.find("Outcome stored: nothing\n"), std::string::npos);
  fs::remove_all(root);
}

TEST(QuillonPlanTest, TargetingComesFirstAndTheFleetIsToldWhoIsIn) {
  std::random_device seed;
  const fs::path root = fs::temp_directory_path() / ("quillon-fleet-" + std::to_string(seed()));
  fs::create_directories(root / "fleet");
  const std::string targeting = "[TARGETING]\r\nUseTargeting=True\r\nRolloutPercent=10\r\n";
  const fs::path doc = root / "moves.ini";
  Spit(doc, CompleteDocument() + targeting);
  platform::HostFileSystem files;
  RecordingClock clock;

  int pilots = 0;
  std::string pilot, other;
  for (int i = 1; i <= 60; ++i) {
    std::string name = "PC" + std::to_string(100 + i);
    sim::SimClientState client = Client(false);
    client.computerName = std::optional<std::string>(name);
    Spit(root / "fleet" / (name + ".json"), sim::SerializeClient(client));
    if (engine::InsideRollout(name, 10)) {
      ++pilots;
      pilot = name;
    } else {
      other = name;
    }
  }
  Spit(root / "fleet" / "notes.txt", "not a client");
  ASSERT_FALSE(pilot.empty());
  ASSERT_FALSE(other.empty());

  Output fleet = Plan(files, clock, {"--fleet", (root / "fleet").string(), doc.string()});
  EXPECT_EQ(fleet.code, 0) << fleet.err;
  EXPECT_NE(fleet.out.find(pilot + ".json (computer " + pilot +
                           "): targeted; computer " + pilot + " is inside the 10% roll-out\n"),
            std::string::npos)
      << fleet.out;
  EXPECT_NE(fleet.out.find(other + ".json (computer " + other + "): not targeted: computer " +
                           other + " is outside the 10% roll-out\n"),
            std::string::npos);
  EXPECT_NE(fleet.out.find("\n" + std::to_string(pilots) + " of 60 clients targeted; not targeted: " +
                           std::to_string(60 - pilots) + " outside the roll-out\n"),
            std::string::npos)
      << fleet.out;
  EXPECT_EQ(fleet.out.find("notes.txt"), std::string::npos);

  // One client: the decision first, and nothing more planned when it is out.
  Spit(root / "one.json", sim::SerializeClient([&] {
         sim::SimClientState client = Client(false);
         client.computerName = std::optional<std::string>(other);
         return client;
       }()));
  Output out = Plan(files, clock, {"--client", (root / "one.json").string(), doc.string()});
  EXPECT_EQ(out.code, 0) << out.err;
  EXPECT_NE(out.out.find("Not targeted: computer " + other +
                         " is outside the 10% roll-out\nThe run would do nothing"),
            std::string::npos)
      << out.out;
  EXPECT_EQ(out.out.find("Connections added"), std::string::npos);
  Spit(root / "one.json", sim::SerializeClient([&] {
         sim::SimClientState client = Client(false);
         client.computerName = std::optional<std::string>(pilot);
         return client;
       }()));
  Output in = Plan(files, clock, {"--client", (root / "one.json").string(), doc.string()});
  EXPECT_NE(in.out.find("Targeted: computer " + pilot + " is inside the 10% roll-out\n\n"
                        "The run would succeed."),
            std::string::npos)
      << in.out;
  EXPECT_NE(in.out.find("Connections added (2)"), std::string::npos) << in.out;

  // A refused document is no fleet's answer; a damaged client file is named.
  Spit(doc, CompleteDocument() + "[TARGETING]\r\nUseTargeting=True\r\nRolloutPercent=ten\r\n");
  EXPECT_EQ(Plan(files, clock, {"--fleet", (root / "fleet").string(), doc.string()}).code, 2);
  Spit(doc, CompleteDocument() + targeting);
  Spit(root / "fleet" / "broken.json", "{");
  Output damaged = Plan(files, clock, {"--fleet", (root / "fleet").string(), doc.string()});
  EXPECT_EQ(damaged.code, 2);
  EXPECT_NE(damaged.out.find("broken.json: cannot be read: "), std::string::npos);
  EXPECT_NE(damaged.out.find("1 client files could not be read"), std::string::npos);
  fs::remove_all(root);
}

#endif

}  // namespace
}  // namespace quillon::tools
