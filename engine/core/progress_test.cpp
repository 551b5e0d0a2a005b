#include "engine/core/progress.h"

#include <gtest/gtest.h>

#include <utility>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"

namespace quillon::engine {
namespace {

// Records what the engine does to its progress window, one entry per call.
class RecordingUi : public platform::UserInterface {
 public:
  class Window : public platform::ProgressWindow {
   public:
    explicit Window(RecordingUi& ui) : ui_(ui) {}
    void SetLabel(const std::string& text) override { ui_.label = text, ui_.Log("label " + text); }
    void SetBarMaximum(int maximum) override { ui_.Log("max " + std::to_string(maximum)); }
    void SetBarValue(int value) override { ui_.bar = value, ui_.Log("bar " + std::to_string(value)); }
    void Show() override { ui_.Log("show"); }
    void Repaint() override { ui_.Log("repaint"); }
    void ProcessMessages() override { ui_.Log("pump"); }
    void Close() override { ui_.Log("close"); }
    platform::RefusedRequests TakeRefusedRequests() override {
      return std::exchange(ui_.refused, {});
    }

   private:
    RecordingUi& ui_;
  };

  platform::MessageAnswer ShowMessageBox(const std::string&, const std::string&,
                                         platform::MessageIcon, platform::MessageButtons) override {
    return platform::MessageAnswer::Ok;
  }
  std::unique_ptr<platform::ProgressWindow> CreateProgressWindow(const std::string& caption,
                                                                 const std::string& label) override {
    Log("create " + caption + " | " + label);
    return std::make_unique<Window>(*this);
  }
  void Log(const std::string& entry) { calls.push_back(entry); }

  std::vector<std::string> calls;
  std::string label;
  int bar = 0;
  platform::RefusedRequests refused;  // what the window refused since last asked
};

class ProgressTest : public ::testing::Test {
 protected:
  ProgressTest() {
    base_ = world_.Run("");
    auto& base = base_;
    services_ = std::make_unique<platform::Platform>(platform::Platform{
        base->platform.system, base->platform.registry, base->platform.profileStrings,
        base->platform.files, ui_, world_.clock, base->platform.spooler,
        base->platform.directory, base->platform.eventLog, base->platform.network});
    context_ = std::make_unique<RunContext>(*services_);
    world_.clock.sleeps.clear();
  }
  testing::EngineWorld world_;
  RecordingUi ui_;
  // Its spooler is the one the services below lend.
  std::unique_ptr<RunContext> base_;
  std::unique_ptr<platform::Platform> services_;
  std::unique_ptr<RunContext> context_;
};

TEST_F(ProgressTest, StartUpdateFinishInTheirOrderWithTheirPauses) {
  context_->document.ShowProgress = true;
  StartProgress(*context_);
  UpdateProgress(*context_, "Getting current list of client printers ...");
  UpdateProgress(*context_, "");
  FinishProgress(*context_);
  EXPECT_EQ(ui_.calls,
            (std::vector<std::string>{
                "create Quillon Engine Progress ... | Progress statements ...",
                "label Quillon starting ...", "max 100", "bar 1", "pump", "show",
                "repaint", "label Getting current list of client printers ...", "bar 2", "pump",
                "repaint", "bar 3", "pump",  // an empty text keeps the label
                "repaint", "label Quillon finished ...", "bar 100", "pump", "close"}));
  EXPECT_EQ(world_.clock.sleeps, (std::vector<int>{250, 2000}));
  EXPECT_EQ(context_->progress.window, nullptr);
}

TEST_F(ProgressTest, BarWrapsAfterAHundredSteps) {
  context_->document.ShowProgress = true;
  StartProgress(*context_);
  std::vector<int> seen;
  for (int i = 0; i < 201; ++i) {
    UpdateProgress(*context_, "step");
    seen.push_back(ui_.bar);
  }
  EXPECT_EQ(seen[98], 100);   // 1 + 99 steps
  EXPECT_EQ(seen[99], 1);     // wraps
  EXPECT_EQ(seen[100], 2);
  EXPECT_EQ(seen[198], 100);
  EXPECT_EQ(seen[199], 1);
  EXPECT_EQ(ui_.label, "step");
}

TEST_F(ProgressTest, ARunShowsEveryStepInOrder) {
  const std::string path = world_.WriteFile(
      world_.Path("p.ini"), testing::CompleteDocument({{"ShowProgress=", "ShowProgress=True"}}));
  RunEngine(*context_, path);
  std::vector<std::string> labels;
  for (const std::string& call : ui_.calls) {
    if (call.rfind("label ", 0) == 0) labels.push_back(call.substr(6));
  }
  EXPECT_EQ(labels, (std::vector<std::string>{
                        "Quillon starting ...",
                        "Getting current list of client printers ...",
                        "Completed getting list of client printers ...",
                        "Getting current default printer ...",
                        "Finished getting current default printer ...",
                        "Initializing migration via Manual Configuration ...",
                        "Running Server to Server migration ...",
                        "Completed Server to Server migration ...",
                        "Performing maintenance ...",
                        "Populating maintenance printers ...",
                        "Finished populating maintenance printers ...",
                        "Pruning maintenance networked printers ...",
                        "Finished pruning maintenance networked printers ...",
                        "Pruning maintenance local printers ...",
                        "Finished pruning maintenance local printers ...",
                        "Completed maintenance ...",
                        "Completed migration via Manual Configuration ...",
                        "Saving Quillon status ...",
                        "Initializing notification methods ...",
                        "Quillon finished ...",
                    }));
  EXPECT_EQ(ui_.calls.back(), "close");
}

// The window stays while the run goes on; the debug text says once for each
// progress step at which someone had tried to close it or to end the session.
TEST_F(ProgressTest, RefusedClosesAndSessionEndsAreNotedInTheDebugText) {
  context_->document.ShowProgress = true;
  context_->document.DebugOn = true;
  const std::string closed =
      ">> The user tried to close the progress window; the run goes on.\r\n";
  const std::string ending =
      ">> Windows asked to end the session; it waits until the run has ended.\r\n";
  StartProgress(*context_);
  UpdateProgress(*context_, "a");
  EXPECT_EQ(context_->debugLog.text(), "") << "nothing refused, nothing written";
  ui_.refused = {2, 0};
  UpdateProgress(*context_, "b");
  UpdateProgress(*context_, "c");
  EXPECT_EQ(context_->debugLog.text(), closed);
  ui_.refused = {1, 1};
  FinishProgress(*context_);
  EXPECT_EQ(context_->debugLog.text(), closed + closed + ending);
  EXPECT_EQ(ui_.calls.back(), "close");
}

TEST_F(ProgressTest, NothingHappensWithoutShowProgress) {
  context_->document.ShowProgress = false;
  StartProgress(*context_);
  UpdateProgress(*context_, "x");
  FinishProgress(*context_);
  EXPECT_TRUE(ui_.calls.empty());
  EXPECT_TRUE(world_.clock.sleeps.empty());
}

}  // namespace
}  // namespace quillon::engine
