// What the tests of the toolkit's main window share: a wizard over real files
// in a temporary folder (the program's folder and a documents folder), with
// scripted dialogs, the network's domains as the test sets them, and the
// forms it shows recorded and answered.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_folder.h"
#include "toolkit/wizard.h"

namespace quillon::toolkit::wizard_tests {

namespace fs = std::filesystem;

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = quillon::TestFolder("wizard-");
    fs::create_directories(folder_ / "program");
    fs::create_directories(folder_ / "docs" / "Floor 2");
    fs::create_directories(folder_ / "docs" / "archive");
    Make(false);
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Make(bool loaded = true) {
    Wizard::Environment environment{dialogs_, files_, (folder_ / "program").string(),
                                    (folder_ / "docs").string(),
                                    [this] {
                                      if (domainsFail_) throw std::runtime_error("no network");
                                      return domains_;
                                    },
                                    [this](gui::Form& form) {
                                      shown_.push_back(form.description().name);
                                      if (answer_) answer_(form);
                                    },
                                    {},
                                    {}};
    wizard_ = std::make_unique<Wizard>(environment);
    if (loaded) wizard_->Load();
  }
  gui::Form& W() { return wizard_->form(); }
  Page Showing() { return wizard_->navigation().CurrentPage(); }
  std::string Doc(const std::string& name) { return (folder_ / "docs" / name).string(); }
  void WriteManualDocument(const std::string& path, const std::string& subject) {
    document::MigrationDocument record = NewDocumentRecord();
    record.UseManualDefinitions = true;
    record.EmailSubject = subject;
    record.ServerPairs = {{"", ""}, {"OLDPS01", "NEWPS01"}};
    ASSERT_FALSE(document::WriteDocument(files_, path, record));
  }

  fs::path folder_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  std::vector<std::string> domains_;
  bool domainsFail_ = false;
  std::vector<std::string> shown_;
  std::function<void(gui::Form&)> answer_;
  std::unique_ptr<Wizard> wizard_;
};

}  // namespace quillon::toolkit::wizard_tests
