// The built QuillonEngine program, run as a process from a copied deployment
// folder on a simulated client file, as administrators' dry runs use it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "engine/core/engine_test_support.h"

namespace {
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

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class EngineProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    root_ = fs::temp_directory_path() / ("quillon-process-" + std::to_string(seed()));
    deploy_ = root_ / "Deploy Share";
    fs::create_directories(deploy_);
    fs::copy_file(QUILLON_ENGINE_PATH, deploy_ / "QuillonEngine");
    client_ = root_ / "client.json";
  }
  void TearDown() override { fs::remove_all(root_); }

  // Runs the engine with `arguments` (already quoted for the shell); returns
  // its exit status and keeps its standard error.
  int Run(const std::string& arguments) {
    const std::string command = "cd " + Quote(root_.string()) + " && QUILLON_CLIENT=" +
                                Quote(client_.string()) + " " +
                                Quote((deploy_ / "QuillonEngine").string()) + " " + arguments +
                                " 2> " + Quote((root_ / "stderr.txt").string());
    int status = std::system(command.c_str());
    stderr_ = Slurp(root_ / "stderr.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  fs::path root_, deploy_, client_;
  std::string stderr_;
};

TEST_F(EngineProcessTest, RunsFromAnyFolderAndTheGuardStopsTheSecondRun) {
  Spit(client_, R"({"computerName": "PC042", "userName": "alice"})");
  const fs::path document = deploy_ / "Office Move.ini";
  Spit(document, quillon::engine::testing::CompleteDocument());

  ASSERT_EQ(Run("\"" + document.string() + "\""), 0) << stderr_;
  EXPECT_EQ(stderr_, "");
  EXPECT_EQ(Slurp(root_ / "profile" / "Quillon_status.log"), document.string() + ",True\r\n");
  const std::string first =
      quillon::engine::testing::DecodeDebugBytes(Slurp(deploy_ / "PC042.debug"));
  EXPECT_NE(first.find(">> Command line parameter: " + document.string() + "\r\n"),
            std::string::npos)
      << "the shell removed the quotes; the arguments are joined by blanks";

  // No command line: the first document in the engine's own folder, which is
  // the same document reached by another path.
  ASSERT_EQ(Run(""), 0) << stderr_;
  const std::string second =
      quillon::engine::testing::DecodeDebugBytes(Slurp(deploy_ / "PC042.debug"));
  EXPECT_NE(second.find(">> First found INI file : Office Move.ini\r\n"), std::string::npos);
  EXPECT_NE(second.find(">> This INI file has already successed on this machine."),
            std::string::npos);
  EXPECT_EQ(second.find(">> Running Quillon"), std::string::npos);
}

TEST_F(EngineProcessTest, ClientFileKeepsEveryKeyAndRecordsMessageBoxes) {
  const std::string original = R"({
  "futureKey": {"kept": [1, 2, 3]},
  "directory": {"corp.example": [{"name": "HP4", "printShareName": ["\\\\NEWSRV\\HP4"]}]},
  "failures": [{"call": "AddPrinterConnection", "error": 1722}],
  "spoolerCalls": [{"call": "OpenPrinter", "name": "x", "result": false, "error": 1801}],
  "printers": [{"name": "\\\\OLD\\P", "serverName": "\\\\OLD", "attributes": 16, "color": "blue"}]
})";
  Spit(client_, original);
  ASSERT_EQ(Run(""), 0);  // no document anywhere: the "Error" box
  EXPECT_NE(stderr_.find("Unable to find INI file."), std::string::npos);

  auto saved = nlohmann::json::parse(Slurp(client_));
  auto before = nlohmann::json::parse(original);
  for (const char* key : {"futureKey", "directory", "failures"}) {
    EXPECT_EQ(saved[key], before[key]) << key;
  }
  // The run's own calls are appended after the earlier ones.
  ASSERT_GT(saved["spoolerCalls"].size(), 1u);
  EXPECT_EQ(saved["spoolerCalls"][0], before["spoolerCalls"][0]);
  EXPECT_EQ(saved["spoolerCalls"][1]["call"], "EnumPrinters");
  EXPECT_EQ(saved["printers"][0]["color"], "blue");
  ASSERT_EQ(saved["messageBoxes"].size(), 1u);
  EXPECT_EQ(saved["messageBoxes"][0]["title"], "Error");
  EXPECT_EQ(saved["messageBoxes"][0]["icon"], "Critical");
}

// Two logon scripts, or two sessions of one roaming user: many runs for one
// user at once, each with its own document, all store their outcome.
TEST_F(EngineProcessTest, RunsAtOnceForOneUserKeepEveryOutcome) {
  constexpr int kRuns = 20;
  const fs::path profile = root_ / "shared profile";
  std::string command = "cd " + Quote(root_.string()) + " && ";
  std::string expected;
  for (int i = 0; i < kRuns; ++i) {
    const fs::path document = deploy_ / ("Move " + std::to_string(i) + ".ini");
    Spit(document, quillon::engine::testing::CompleteDocument());
    const fs::path client = root_ / ("client" + std::to_string(i) + ".json");
    nlohmann::json state = {{"computerName", "PC" + std::to_string(i)},
                            {"userName", "alice"},
                            {"profileFolder", profile.string()}};
    Spit(client, state.dump());
    command += "QUILLON_CLIENT=" + Quote(client.string()) + " " +
               Quote((deploy_ / "QuillonEngine").string()) + " " + Quote(document.string()) +
               " & ";
  }
  command += "wait";
  ASSERT_EQ(std::system(command.c_str()), 0);

  const std::string stored = Slurp(profile / "Quillon_status.log");
  int lines = 0;
  for (std::size_t at = 0; (at = stored.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
  EXPECT_EQ(lines, kRuns) << stored;
  for (int i = 0; i < kRuns; ++i) {
    const std::string line = (deploy_ / ("Move " + std::to_string(i) + ".ini")).string() + ",True\r\n";
    EXPECT_NE(stored.find(line), std::string::npos) << "lost: " << line;
  }
}

TEST_F(EngineProcessTest, BadClientFileStopsWithStatusTwoAndStaysUntouched) {
  const std::string cases[] = {
      "{ not json",
      R"({"os": {"majorVersion": "ten"}})",
      R"({"printers": {"name": "x"}})",
      R"([1, 2])",
  };
  for (const std::string& content : cases) {
    Spit(client_, content);
    EXPECT_EQ(Run(""), 2) << content;
    EXPECT_NE(stderr_.find(client_.string()), std::string::npos) << stderr_;
    EXPECT_EQ(Slurp(client_), content);
    EXPECT_FALSE(fs::exists(deploy_ / "PC042.debug"));
  }
}

TEST_F(EngineProcessTest, MissingClientFileIsAnEmptyClientCreatedAtTheEnd) {
  ASSERT_FALSE(fs::exists(client_));
  ASSERT_EQ(Run(Quote((deploy_ / "absent.ini").string())), 0);
  EXPECT_TRUE(fs::exists(client_));
  auto saved = nlohmann::json::parse(Slurp(client_));
  ASSERT_EQ(saved["messageBoxes"].size(), 1u);
  EXPECT_EQ(saved["messageBoxes"][0]["text"],
            "Unable to get INI file contents, please check your file path and permissions.");
  for (const auto& entry : fs::directory_iterator(deploy_)) {
    EXPECT_NE(entry.path().extension(), ".debug") << "a missing document turns debugging off";
  }
}

}  // namespace
