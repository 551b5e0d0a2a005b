// Tests of `quillon deploy`: a deployment compared with the toolkit
// generator's own in a real folder, with what each says.
#include "tools/quillon/quillon_cli_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "toolkit/deployment.h"
#include "tools/quillon/deployment_audit.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

using namespace cli_tests;

namespace fs = std::filesystem;

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2005, 3, 15, 14, 5, 9}; }
  platform::ZonedTime NowWithOffset() override { return {Now(), 0}; }
  void Sleep(int) override {}
};

// What the generator shows, to compare with what the command prints.
class RecordingDialogs : public gui::Dialogs {
 public:
  gui::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                    gui::MessageIcon, gui::MessageButtons) override {
    messages.push_back(title + ": " + text);
    return gui::MessageAnswer::Ok;
  }
  std::string ShowSaveDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string ShowOpenDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string BrowseForFolder() override { return {}; }
  std::string BrowseForNetworkFolder() override { return {}; }
  bool ShowHelp(const std::string&, int) override { return false; }
  bool OpenWebPage(const std::string&) override { return false; }
  bool OpenGuide(const std::string&) override { return false; }
  std::vector<std::string> messages;
};

class RecordingProgress : public toolkit::DeploymentProgress {
 public:
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void Advance() override {}
  void ProcessEvents() override {}
  std::vector<std::string> captions;
};

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    contents[entry.path().filename().string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return contents;
}

void Empty(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

TEST(QuillonDeployTest, WritesWhatTheToolkitGeneratorWritesAndSaysWhatItSays) {
  const fs::path root = fs::path(::testing::TempDir()) /
                        ("quillon-deploy-" +
                         std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const fs::path program = root / "program", deploy = root / "deploy";
  fs::create_directories(program);
  fs::create_directories(deploy);
  fs::create_directories(root / "documents");
  const auto write = [](const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  write(program / toolkit::kEngineFileName, "engine program");
  for (const char* installer : toolkit::kMdacInstallers) write(program / installer, installer);
  const std::string document = (root / "documents" / "office move.ini").string();
  write(document, CompleteDocument());

  platform::HostFileSystem files;
  FixedClock clock;
#ifdef _WIN32
  const std::optional<std::string> mountTable;
#else
  // A table with no share: the folder is named to the clients as typed.
  const std::optional<std::string> mountTable = "/dev/sda1 / ext4 rw 0 0\n";
#endif
  const CommandHost host{clock, "ann", "PC042", mountTable, program.string(), nullptr, {}};
  const auto quillon = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "deploy");
    std::ostringstream out, err;
    const int code = RunQuillon(args, files, host, out, err);
    return Output{code, out.str(), err.str()};
  };
  // The generator itself, run as Deploy Now runs it on the same inputs.
  const auto generate = [&](RecordingDialogs& dialogs, RecordingProgress& progress) {
    toolkit::DeploymentInputs inputs;
    inputs.deploymentFolder = deploy.string();
    inputs.includeInstaller = true;
    inputs.installerOption = 1;
    inputs.DocumentPath = document;
    inputs.DocumentFileName = "office move.ini";
    inputs.toolkitFolder = program.string();
    toolkit::Deployment deployment({dialogs, files, clock, progress, "ann", "PC042", mountTable},
                                   inputs);
    deployment.DeploymentSucceeded = true;
    return deployment.Deploy(true, true);
  };

  RecordingDialogs generatorDialogs;
  RecordingProgress generatorProgress;
  ASSERT_TRUE(generate(generatorDialogs, generatorProgress));
  const std::map<std::string, std::string> expected = FolderContents(deploy);
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(expected.count("office move.ini.bat"), 1u);
  EXPECT_EQ(expected.count("office move.ini-StageDrivers.bat"), 1u);
  EXPECT_EQ(expected.count("MDAC_TYP2.7SP1.EXE"), 1u);
  Empty(deploy);

  Output done = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "1"});
  EXPECT_EQ(done.out, "");
  EXPECT_EQ(FolderContents(deploy), expected);
  std::string progress = "Initializing deployment process ...\n";
  for (const std::string& caption : generatorProgress.captions) progress += caption + "\n";
  // The folder's audit comes after deploy's own outcome.
  std::ostringstream audit;
  PrintDeploymentAudit(AuditDeploymentFolder(deploy.string(), files, mountTable), audit);
  EXPECT_NE(audit.str().find(deploy.string() + ": "), std::string::npos);
#ifdef _WIN32
  EXPECT_EQ(done.code, 0) << done.err;
  EXPECT_EQ(done.err,
            progress + "Deployment Complete.\nSucess: Deployment successfull.\n" + audit.str());
#else
  // A folder of this computer on no share: written, but the batch files name
  // it as no client can, so the deployment is not called a success.
  EXPECT_EQ(done.code, 1) << done.err;
  EXPECT_EQ(done.err.find("Deployment successfull."), std::string::npos) << done.err;
  EXPECT_EQ(done.err.rfind(progress + "Deployment Complete.\nDeployment Incomplete: The deployment "
                                      "folder " + deploy.string() + " is on no mounted network share",
                           0),
            0u)
      << done.err;
#endif

  // Without --page and --batch, and without an installer: the copies only.
  Empty(deploy);
  EXPECT_EQ(quillon({document, deploy.string()}).code, 0);
  const std::map<std::string, std::string> copies = FolderContents(deploy);
  EXPECT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies.count(toolkit::kEngineFileName), 1u);
  EXPECT_EQ(copies.count("office move.ini"), 1u);

  // No engine beside the program: the generator's own message, exit 1.
  Empty(deploy);
  fs::remove(program / toolkit::kEngineFileName);
  RecordingDialogs failedDialogs;
  RecordingProgress failedProgress;
  ASSERT_FALSE(generate(failedDialogs, failedProgress));
  ASSERT_FALSE(failedDialogs.messages.empty());
  Empty(deploy);
  Output failed = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "1"});
  EXPECT_EQ(failed.code, 1);
  for (const std::string& message : failedDialogs.messages) {
    std::string printed;
    for (const char c : message) printed += c == '\n' ? std::string("\n    ") : std::string(1, c);
    EXPECT_NE(failed.err.find(printed + "\n"), std::string::npos) << failed.err;
  }
  EXPECT_EQ(failed.err.find("Deployment successfull."), std::string::npos);
  // The failed copy stops it: nothing that would start the missing engine,
  // and the deployment is not called complete.
  EXPECT_EQ(FolderContents(deploy).size(), 1u) << "the installer alone";
  EXPECT_EQ(failed.err.find("Deployment Complete."), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("\nDeployment failed.\n"), std::string::npos) << failed.err;
  write(program / toolkit::kEngineFileName, "engine program");

  // The installer missing: nothing is copied or written after it.
  Empty(deploy);
  fs::remove(program / "MDAC_TYP2.8.EXE");
  Output noInstaller = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "2"});
  EXPECT_EQ(noInstaller.code, 1);
  EXPECT_NE(noInstaller.err.find("Error: Error copying MDAC file to deployment folder."),
            std::string::npos)
      << noInstaller.err;
  EXPECT_TRUE(fs::is_empty(deploy));
  EXPECT_NE(noInstaller.err.find("Copying MDAC file ...\nError: "), std::string::npos);
  EXPECT_EQ(noInstaller.err.find("Deployment Complete."), std::string::npos);
  EXPECT_NE(noInstaller.err.find("\nDeployment failed.\n"), std::string::npos) << noInstaller.err;
  EXPECT_NE(noInstaller.err.find(deploy.string() + ": ",
                                 noInstaller.err.find("\nDeployment failed.\n")),
            std::string::npos)
      << "the folder is audited after a failed deployment too: " << noInstaller.err;

#ifndef _WIN32
  // A name the batch file cannot hold (Windows names cannot hold a double
  // quote, Samba's can): refused before anything is written.
  const std::string quoted = (root / "documents" / "x\" & calc & \"y.ini").string();
  write(quoted, CompleteDocument());
  Output unsafe = quillon({quoted, deploy.string(), "--batch", "--page"});
  EXPECT_EQ(unsafe.code, 2);
  EXPECT_EQ(unsafe.err,
            "Error: Error: Quillon cannot write the batch file, because the document name cannot "
            "be written into it safely:\n    x\" & calc & \"y.ini\n    It holds a double quote "
            "(\").\n    \n    Please use a name without it, or deploy without the batch file.\n"
            "    Nothing was deployed.\n");
  EXPECT_TRUE(fs::is_empty(deploy));
  // Without the batch file it is only a file name.
  EXPECT_EQ(quillon({quoted, deploy.string(), "--page"}).code, 0);
  EXPECT_EQ(FolderContents(deploy).size(), 3u);
  Empty(deploy);

  // DOC must be a regular file of its own: a pipe is refused at once, not
  // waited on, and a link is not followed.
  const fs::path pipe = root / "documents" / "pipe.ini", link = root / "documents" / "link.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_symlink(document, link);
  for (const fs::path& doc : {pipe, link}) {
    const auto started = std::chrono::steady_clock::now();
    Output refused = quillon({doc.string(), deploy.string(), "--batch"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(refused.code, 2) << doc;
    EXPECT_EQ(refused.err.rfind("quillon deploy: " + doc.string() + ": is ", 0), 0u)
        << refused.err;
    EXPECT_TRUE(fs::is_empty(deploy));
  }
#endif

  // Refused before anything is written: exit 2, the folder untouched.
  Empty(deploy);
  Output missing = quillon({document, (root / "nowhere").string(), "--batch"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err,
            "Error: The deployment folder does not exist. Please check your deployment folder "
            "and try again.\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {document, deploy.string(), "--mdac", "3"},
           {document, deploy.string(), "--mdac"},
           {document, deploy.string(), "--zip"},
           {document},
           {document, deploy.string(), "extra"},
           {(root / "documents" / "absent.ini").string(), deploy.string()}}) {
    Output bad = quillon(args);
    EXPECT_EQ(bad.code, 2) << testing::PrintToString(args);
    EXPECT_EQ(bad.out, "") << testing::PrintToString(args);
    EXPECT_FALSE(bad.err.empty()) << testing::PrintToString(args);
  }
  EXPECT_TRUE(fs::is_empty(deploy));
  EXPECT_EQ(quillon({"--help"}).out.rfind("Usage: quillon deploy DOC FOLDER", 0), 0u);
  fs::remove_all(root);
}

}  // namespace
}  // namespace quillon::tools
