#include "engine/core/run_status.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_sequence.h"
#include "platform/text.h"

namespace quillon::engine {
namespace {

class RunStatusTest : public ::testing::Test {
 protected:
  // A context whose document is `path`, without running anything.
  std::unique_ptr<RunContext> ContextFor(const std::string& path) {
    auto context = world_.Run("");
    context->DocumentPath = path;
    context->AbortStatus = false;
    context->OperationsSucceeded = true;
    ClearDebugText(*context);
    return context;
  }
  std::string StatusFile() const {
    return platform::JoinPath(world_.ProfileFolder(), kStatusFileName);
  }
  std::optional<std::string> StatusContent() { return world_.files.ReadFile(StatusFile()); }

  testing::EngineWorld world_;
};

TEST_F(RunStatusTest, StatusFileRecordsOutcomesPerDocument) {
  auto a = ContextFor("\\\\srv\\share\\a.ini");
  EXPECT_FALSE(HasAlreadySucceeded(*a)) << "first run: no line";
  SaveRunStatus(*a);
  EXPECT_EQ(StatusContent(), std::optional<std::string>("\\\\srv\\share\\a.ini,True\r\n"));
  EXPECT_TRUE(HasAlreadySucceeded(*a));
  EXPECT_EQ(a->debugLog.text(), "") << "the file branch writes no debug lines";

  // A second document gets its own line; the same document by another path
  // or in another letter case is another document.
  auto b = ContextFor("C:\\deploy\\b.ini");
  b->OperationsSucceeded = false;
  SaveRunStatus(*b);
  EXPECT_FALSE(HasAlreadySucceeded(*b));
  EXPECT_FALSE(HasAlreadySucceeded(*ContextFor("\\\\SRV\\share\\a.ini")));
  EXPECT_EQ(StatusContent(),
            std::optional<std::string>("\\\\srv\\share\\a.ini,True\r\nC:\\deploy\\b.ini,False\r\n"));

  // A failed run after a success turns that line to False, rewrites the other
  // lines as their first two fields and ends with one more line break.
  world_.WriteFile(StatusFile(), "\\\\srv\\share\\a.ini,True\r\n\r\nC:\\deploy\\b.ini,False,extra\r\n");
  a->AbortStatus = true;
  SaveRunStatus(*a);
  EXPECT_EQ(StatusContent(), std::optional<std::string>(
                                 "\\\\srv\\share\\a.ini,False\r\nC:\\deploy\\b.ini,False\r\n\r\n"));
  EXPECT_FALSE(HasAlreadySucceeded(*a));
}

// Earlier versions wrote the path in the host's code page (ANSI on Windows):
// their line is found and replaced, not doubled; a path the code page cannot
// hold is kept whole (UTF-8), never as "?" that another path could match.
TEST_F(RunStatusTest, StatusFileKeepsTheCodePageOfEarlierVersions) {
  const std::string buero = "C:\\deploy\\B\xC3\xBCro.ini";
  const platform::NarrowText stored = platform::NarrowToCodePage(buero);
  if (!stored.exact) GTEST_SKIP() << "the host's code page has no \"\u00fc\"";
  world_.WriteFile(StatusFile(), stored.text + ",True\r\n");
  auto context = ContextFor(buero);
  EXPECT_TRUE(HasAlreadySucceeded(*context));
  context->AbortStatus = true;
  SaveRunStatus(*context);
  EXPECT_EQ(StatusContent(), std::optional<std::string>(stored.text + ",False\r\n\r\n"));

  const std::string lodz = "C:\\deploy\\\xC5\x81\xC3\xB3" "d\xC5\xBA.ini";
  const std::string lossy = platform::NarrowToCodePage(lodz).text;
  auto other = ContextFor(lodz);
  SaveRunStatus(*other);
  EXPECT_TRUE(HasAlreadySucceeded(*other));
  EXPECT_EQ(StatusContent(),
            std::optional<std::string>(stored.text + ",False\r\n\r\n" + lodz + ",True\r\n"));
  if (lossy != lodz) {
    EXPECT_FALSE(platform::NarrowToCodePage(lodz).exact);
    EXPECT_FALSE(HasAlreadySucceeded(*ContextFor(lossy))) << "\"?\" is no other path";
  }
}

TEST_F(RunStatusTest, StatusFileReadingRules) {
  struct Case {
    const char* content;
    bool expected;
  } cases[] = {
      {"", false},
      {"d.ini,True", true},                    // no final line end
      {"d.ini,True\r\nd.ini,False\r\n", false},  // the last matching line decides
      {"d.ini,False\r\nd.ini,True\r\n", true},
      {"d.ini,true\r\n", false},                 // exactly "True"
      {"d.ini,True,2026\r\n", true},             // only two fields count
      {"d.ini\r\n", false},
      {"\r\n\r\nother.ini,True\r\nd.ini,True\n", true},
  };
  auto context = ContextFor("d.ini");
  for (const Case& c : cases) {
    world_.WriteFile(StatusFile(), c.content);
    EXPECT_EQ(HasAlreadySucceeded(*context), c.expected) << c.content;
  }
}

TEST_F(RunStatusTest, StatusFileAppendsWithoutGluingLinesAndSurvivesWriteFailure) {
  world_.WriteFile(StatusFile(), "other.ini,True");
  auto context = ContextFor("d.ini");
  SaveRunStatus(*context);
  EXPECT_EQ(StatusContent(), std::optional<std::string>("other.ini,True\r\nd.ini,True\r\n"));

  // A profile "folder" that is a file cannot take the status file: the run
  // reports it in the debug log and goes on; nothing else is lost.
  world_.WriteFile(platform::JoinPath(world_.ProfileFolder(), "x"), "");
  world_.state.profileFolder = platform::JoinPath(world_.ProfileFolder(), "x");
  auto blocked = ContextFor("d.ini");
  SaveRunStatus(*blocked);
  EXPECT_NE(blocked->debugLog.text().find("ERROR: Unable to save Quillon status to "),
            std::string::npos);
  EXPECT_NE(blocked->debugLog.text().find("\r\nSYSTEM ERROR: "), std::string::npos);
  EXPECT_EQ(StatusContent(), std::optional<std::string>("other.ini,True\r\nd.ini,True\r\n"));
}

// The save holds the lock beside the status file; a lock that another run
// never releases costs ten seconds of pauses and an error, never the outcome.
TEST_F(RunStatusTest, StatusFileIsSavedUnderItsLockAndDespiteAStuckHolder) {
  const std::string lockPath = StatusFile() + ".lock";
  auto context = ContextFor("a.ini");
  SaveRunStatus(*context);
  EXPECT_EQ(context->debugLog.text(), "");
  EXPECT_TRUE(world_.clock.sleeps.empty());
  platform::Status status;
  bool busy = false;
  EXPECT_NE(world_.files.TryLockFile(lockPath, &status, &busy), nullptr)
      << "the lock is released after the save: " << status.description;

  std::unique_ptr<platform::FileLock> stuck = world_.files.TryLockFile(lockPath, &status, &busy);
  ASSERT_NE(stuck, nullptr) << status.description;
  auto waiting = ContextFor("b.ini");
  SaveRunStatus(*waiting);
  EXPECT_EQ(StatusContent(), std::optional<std::string>("a.ini,True\r\nb.ini,True\r\n"));
  int waited = 0;
  for (int pause : world_.clock.sleeps) waited += pause;
  EXPECT_EQ(waited, kStatusLockWaitMilliseconds);
  const std::string log = waiting->debugLog.text();
  EXPECT_EQ(log.rfind("ERROR: Unable to lock Quillon status file " + lockPath +
                          ", saving without the lock\r\nERROR: ",
                      0),
            0u)
      << log;
  EXPECT_NE(log.find("\r\nERROR DESCRIPTION: Locking " + lockPath), std::string::npos) << log;
  stuck.reset();

  // A lock file that can never be made is no holder to wait for.
  world_.clock.sleeps.clear();
  std::filesystem::remove(lockPath);
  std::filesystem::create_directory(lockPath);
  auto unlockable = ContextFor("c.ini");
  SaveRunStatus(*unlockable);
  EXPECT_TRUE(world_.clock.sleeps.empty());
  EXPECT_EQ(unlockable->debugLog.text().rfind("ERROR: Unable to lock Quillon status file ", 0), 0u);
  EXPECT_EQ(StatusContent(),
            std::optional<std::string>("a.ini,True\r\nb.ini,True\r\nc.ini,True\r\n"));
}

TEST_F(RunStatusTest, OlderSystemsUseTheRegistryPerUser) {
  platform::sim::SimOs older[] = {{1, 4, 0}, {2, 4, 0}, {2, 10, 87}};
  for (const auto& os : older) {
    world_.state.os = os;
    world_.state.registry.clear();
    auto context = ContextFor("\\\\srv\\dep\\m.ini");
    EXPECT_FALSE(HasAlreadySucceeded(*context));
    EXPECT_EQ(context->debugLog.text(),
              ">> Getting Registry key: \\\\srv\\dep\\m.ini\\alice\r\n"
              ">> Registry Key Value: False\r\n");
    SaveRunStatus(*context);
    ASSERT_EQ(world_.state.registry.size(), 1u);
    EXPECT_EQ(world_.state.registry[0].first,
              "HKEY_CURRENT_USER\\Software\\Quillon\\\\\\srv\\dep\\m.ini\\alice");
    EXPECT_EQ(world_.state.registry[0].second,
              (platform::sim::OrderedMap<std::string>{{"SUCCESS", "True"}}));
    EXPECT_TRUE(HasAlreadySucceeded(*context));
    EXPECT_FALSE(world_.files.FileExists(StatusFile())) << "no status file on older systems";

    context->OperationsSucceeded = false;
    SaveRunStatus(*context);
    EXPECT_FALSE(HasAlreadySucceeded(*context));
  }

  // Another user on the same computer has not run the document.
  world_.host.hostLoginName = "bob";
  world_.state.registry = {{"HKEY_CURRENT_USER\\Software\\Quillon\\m.ini\\alice", {{"SUCCESS", "True"}}}};
  EXPECT_FALSE(HasAlreadySucceeded(*ContextFor("m.ini")));
  // A value that is neither True nor False does not stop the run.
  world_.state.registry = {{"HKEY_CURRENT_USER\\Software\\Quillon\\m.ini\\bob", {{"SUCCESS", "yes"}}}};
  EXPECT_FALSE(HasAlreadySucceeded(*ContextFor("m.ini")));
}

TEST_F(RunStatusTest, NoDocumentPathReadsAndWritesNothing) {
  world_.WriteFile(StatusFile(), ",True\r\n");
  auto context = ContextFor("");
  EXPECT_FALSE(HasAlreadySucceeded(*context));
  SaveRunStatus(*context);
  EXPECT_EQ(StatusContent(), std::optional<std::string>(",True\r\n"));
  world_.state.os = platform::sim::SimOs{1, 4, 0};
  SaveRunStatus(*context);
  EXPECT_TRUE(world_.state.registry.empty());
}

}  // namespace
}  // namespace quillon::engine
