// What the tests of the list editors and the field checks share: the
// wizard's own window over a document in a temporary folder, with scripted
// dialogs and directory pickers that fill their lists.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_folder.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit::rule_editors_tests {

namespace fs = std::filesystem;
using gui::MessageAnswer;

class RuleEditorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = quillon::TestFolder("rules-");
    fs::create_directories(folder_);
    Make(DocumentType::Manual);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Make(DocumentType type) {
    wizard_ = std::make_unique<Wizard>(Wizard::Environment{
        dialogs_, files_, folder_.string(), folder_.string(), {},
        [type](gui::Form& dialog) {
          dialog.Click(type == DocumentType::Manual ? "optUseManualConfiguration"
                                                    : "optUseActiveDirectory");
          dialog.Click("cmdSelect");
        },
        [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
          loads_.push_back(picker.key() + "/" + bar.key() + "/" + domain);
          picker.SetLines({"PRINTSRV1 >> Laser4", "PRINTSRV2 >> Colour"});
        },
        [this](gui::ControlModel& picker, gui::ControlModel& bar, const std::string& domain) {
          loads_.push_back(picker.key() + "/" + bar.key() + "/" + domain);
          picker.SetLines({"Floor2-Pilot", "IT"});
        }});
    wizard_->Load();
    ASSERT_TRUE(wizard_->Start(""));
    dialogs_.asked.clear();
  }
  gui::Form& W() { return wizard_->form(); }
  gui::ControlModel& M(const std::string& key) { return W()[key]; }
  std::vector<std::string> Lines(const std::string& list) { return M(list).lines(); }
  // A click on a line, as the front ends report it.
  void ClickLine(const std::string& list, int line) {
    M(list).SetValue(line);
    W().Click(list);
  }
  bool Dirty() { return wizard_->document().DocumentDirty; }
  std::string Said() {
    std::string said = gui::Transcript(dialogs_.asked);
    dialogs_.asked.clear();
    return said;
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::unique_ptr<Wizard> wizard_;
  std::vector<std::string> loads_;
};

}  // namespace quillon::toolkit::rule_editors_tests
