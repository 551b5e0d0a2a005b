// What the tests of Deploy Now share: a fixed clock, the progress it reports,
// and a fixture with a toolkit folder, a document and a deployment folder in
// a temporary folder (on Linux typed as the share a mount table maps there).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_folder.h"
#include "toolkit/deployment.h"

namespace quillon::toolkit::deployment_tests {

namespace fs = std::filesystem;

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return now; }
  platform::ZonedTime NowWithOffset() override { return {now, 0}; }
  void Sleep(int) override {}
  platform::LocalTime now{2005, 3, 15, 14, 5, 9};
};

class RecordingProgress : public DeploymentProgress {
 public:
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void Advance() override { ++advanced; }
  void ProcessEvents() override { ++processed; }
  std::vector<std::string> captions;
  int advanced = 0, processed = 0;
};

inline std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class DeploymentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = quillon::TestFolder("deployment-");
    fs::remove_all(root_);
    toolkit_ = root_ / "toolkit";
    share_ = root_ / "share";
    deploy_ = share_ / "site 1";
    fs::create_directories(toolkit_);
    fs::create_directories(deploy_);
    fs::create_directories(root_ / "documents");
    Write(toolkit_ / kEngineFileName, "engine program");
    for (const char* installer : kMdacInstallers) Write(toolkit_ / installer, installer);
    document_ = root_ / "documents" / "migrate.ini";
    Write(document_, "[GENERAL]\r\nUseManualDefinitions=True\r\n");
#ifdef _WIN32
    typed_ = deploy_.string();
#else
    // The share as the clients name it, mounted here over the temporary folder.
    typed_ = "\\\\files\\deploy\\site 1";
    mountTable_ = "//files/deploy " + share_.string() + " cifs rw,vers=3.0 0 0\n";
#endif
  }
  void TearDown() override {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(root_, ec)) {
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(root_, ec);
  }

  static void Write(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  std::string Read(const fs::path& path) {
    return files_.ReadFile(path.string()).value_or("<none>");
  }
  std::set<std::string> Deployed() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(deploy_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  DeploymentInputs Inputs() const {
    DeploymentInputs inputs;
    inputs.deploymentFolder = typed_;
    inputs.DocumentPath = document_.string();
    inputs.DocumentFileName = document_.filename().string();
    inputs.toolkitFolder = toolkit_.string();
    return inputs;
  }
  std::unique_ptr<Deployment> Make(const DeploymentInputs& inputs, std::string user = "alice") {
    return std::make_unique<Deployment>(
        Deployment::Environment{dialogs_, files_, clock_, progress_, std::move(user), "PC042",
                                mountTable_},
        inputs);
  }
  // Deploy Now's run: the files, then the page and the batch file.
  void DeployAll(Deployment& deployment) { deployment.Deploy(true, true); }

  fs::path root_, toolkit_, share_, deploy_, document_;
  std::string typed_;
  std::optional<std::string> mountTable_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  FixedClock clock_;
  RecordingProgress progress_;
};

}  // namespace quillon::toolkit::deployment_tests
