// Deploy Now's files and messages with real files in a temporary folder: the
// exact batch file and launch page, the installer or none, a typed trailing
// backslash, every failure's message and what it leaves, and the folder's
// two names from a CIFS mount table. On Linux the deployment folder is typed
// as a share that a mount table maps to the temporary folder, as an
// administrator deploying from Linux types it.
#include "toolkit/deployment.h"
#include "platform/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"

namespace quillon::toolkit {
namespace {

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

std::string Crlf(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

class DeploymentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::path(::testing::TempDir()) /
            ("deployment-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
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

TEST_F(DeploymentTest, FullDeploymentWithTheSecondInstallerWritesTheExactFiles) {
  DeploymentInputs inputs = Inputs();
  inputs.includeInstaller = true;
  inputs.installerOption = 1;
  auto deployment = Make(inputs);
  DeployAll(*deployment);

  EXPECT_TRUE(deployment->DeploymentSucceeded);
  EXPECT_EQ(gui::Transcript(dialogs_.asked), "");
  EXPECT_EQ(Deployed(),
            (std::set<std::string>{"MDAC_TYP2.7SP1.EXE", "QuillonEngine.exe", "migrate.ini",
                                   "migrate.ini.html", "migrate.ini.bat",
                                   "migrate.ini-StageDrivers.bat"}));
  EXPECT_EQ(Read(deploy_ / "MDAC_TYP2.7SP1.EXE"), "MDAC_TYP2.7SP1.EXE");
  EXPECT_EQ(Read(deploy_ / "QuillonEngine.exe"), "engine program");
  EXPECT_EQ(Read(deploy_ / "migrate.ini"), Read(document_));

  const std::string folder = typed_;
  EXPECT_EQ(Read(deploy_ / "migrate.ini.bat"),
            Crlf({"REM -- This batch file was generated by Quillon, a product of the Quillon "
                  "Project.",
                  "REM -- For more information about Quillon, see https://quillon.example",
                  "REM -- ", "REM -- Generated On: March 15, 2005 02:05:09 PM",
                  "REM -- Generated By: alice", "REM -- Generated From Computer: PC042", "", "",
                  "REM -- Run the MDAC udpate first", "\"" + folder + "\\MDAC_TYP2.7SP1.EXE\"", "",
                  "", "REM -- Run the Quillon Engine with INI",
                  "\"" + folder + "\\QuillonEngine.exe\" \"" + folder + "\\migrate.ini\""}));
  // The start-up batch file: the staging run on the same document, and no
  // installer, which the logon batch file runs.
  EXPECT_EQ(Read(deploy_ / "migrate.ini-StageDrivers.bat"),
            Crlf({"REM -- This batch file was generated by Quillon, a product of the Quillon "
                  "Project.",
                  "REM -- For more information about Quillon, see https://quillon.example",
                  "REM -- ", "REM -- Generated On: March 15, 2005 02:05:09 PM",
                  "REM -- Generated By: alice", "REM -- Generated From Computer: PC042",
                  "REM -- ",
                  "REM -- Run this file at computer start-up, as the local system account: a Group",
                  "REM -- Policy computer start-up script, or a scheduled task at start-up that runs",
                  "REM -- as SYSTEM. It installs the printer drivers that the moves of this",
                  "REM -- computer's users need; since the 2021 print spooler hardening a standard",
                  "REM -- user may not install them at logon, and those moves fail (error 3019).",
                  "", "", "REM -- Stage the printer drivers the INI's moves need",
                  "\"" + folder + "\\QuillonEngine.exe\" /StageDrivers \"" + folder +
                      "\\migrate.ini\""}));
  EXPECT_EQ(Read(deploy_ / "migrate.ini.html"),
            Crlf({"<!DOCTYPE html>",
                  "<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Quillon</title></head>",
                  "<body>",
                  "<h3>This page was generated by Quillon, a product of the Quillon "
                  "Project.<br>",
                  "For more information about Quillon, see <a "
                  "href=\"https://quillon.example\">https://quillon.example</a></h3><br>",
                  "<p>Generated On: March 15, 2005 02:05:09 PM<br>", "Generated By: alice<br>",
                  "Generated From Computer: PC042</p><br>",
                  "<p> For each of the links below, you MUST select the RUN (or OPEN) button "
                  "when<br>prompted by your browser. Do NOT Save the files, or Quillon will "
                  "NOT<br>operate correctly.</p><br>",
                  "<p><a href=\"MDAC_TYP2.7SP1.EXE\">Please install this version of MDAC before "
                  "running the Quillon application.</a></p>",
                  "<br>",
                  "<p>For administrators: migrate.ini-StageDrivers.bat in this folder installs "
                  "the printer drivers that the moves need. Since the 2021 print spooler "
                  "hardening a standard user may not install printer drivers, so a move to a "
                  "printer whose driver the computer lacks fails at logon. Run "
                  "migrate.ini-StageDrivers.bat at computer start-up as the local system "
                  "account: add it as a Group Policy computer start-up script, or as a scheduled "
                  "task at start-up that runs as SYSTEM. The computer accounts must be able to "
                  "read this folder.</p><br>",
                  "<p>To run the Quillon application please click on the following link: ",
                  "<a href=\"QuillonEngine.exe\">Quillon now! </a></p>", "</body></html>"}));

  // One step per caption, each shown and repainted; the bar's maximum agrees.
  EXPECT_EQ(progress_.captions,
            (std::vector<std::string>{"Copying MDAC file ...", "Copying Quillon Engine ...",
                                      "Copying INI file ...", "Creating HTML file ...",
                                      "Creating batch file ...",
                                      "Creating start-up batch file ..."}));
  EXPECT_EQ(progress_.advanced, 6);
  EXPECT_EQ(progress_.processed, 6);
  EXPECT_EQ(DeploymentStepCount(inputs, true, true), 6);

  // A second deployment replaces every file, with the time of its own.
  Write(toolkit_ / kEngineFileName, "engine program, next build");
  clock_.now = {2024, 1, 2, 0, 7, 3};
  DeployAll(*Make(inputs));
  EXPECT_EQ(Read(deploy_ / "QuillonEngine.exe"), "engine program, next build");
  EXPECT_NE(Read(deploy_ / "migrate.ini.bat")
                .find("REM -- Generated On: January 02, 2024 12:07:03 AM\r\n"),
            std::string::npos);
  EXPECT_EQ(Deployed().size(), 6u) << "no temporary files are left behind";
}

TEST_F(DeploymentTest, WithoutInstallerAndWithATrailingBackslash) {
  typed_ += "\\";
  Write(root_ / "documents" / "Floor 2 50%.ini", "[GENERAL]\r\n");
  document_ = root_ / "documents" / "Floor 2 50%.ini";
  DeploymentInputs inputs = Inputs();
  inputs.installerOption = 1;  // chosen, but not included
  auto deployment = Make(inputs, "R&D 100%");
  DeployAll(*deployment);

  EXPECT_TRUE(deployment->DeploymentSucceeded);
  EXPECT_EQ(Deployed(), (std::set<std::string>{"QuillonEngine.exe", "Floor 2 50%.ini",
                                               "Floor 2 50%.ini.html", "Floor 2 50%.ini.bat",
                                               "Floor 2 50%.ini-StageDrivers.bat"}));
  // The folder as typed, its backslash doubled before each name; cmd reads
  // "%%" as one percent sign.
  const std::string folder = typed_;
  EXPECT_EQ(Read(deploy_ / "Floor 2 50%.ini.bat"),
            Crlf({"REM -- This batch file was generated by Quillon, a product of the Quillon "
                  "Project.",
                  "REM -- For more information about Quillon, see https://quillon.example",
                  "REM -- ", "REM -- Generated On: March 15, 2005 02:05:09 PM",
                  "REM -- Generated By: R&D 100%%", "REM -- Generated From Computer: PC042", "", "",
                  "REM -- Run the Quillon Engine with INI",
                  "\"" + folder + "\\QuillonEngine.exe\" \"" + folder + "\\Floor 2 50%%.ini\""}));
  const std::string staging = Read(deploy_ / "Floor 2 50%.ini-StageDrivers.bat");
  EXPECT_NE(staging.find("REM -- Generated By: R&D 100%%\r\n"), std::string::npos) << staging;
  EXPECT_TRUE(staging.ends_with("\r\n\"" + folder + "\\QuillonEngine.exe\" /StageDrivers \"" +
                                folder + "\\Floor 2 50%%.ini\"\r\n"))
      << staging;
  const std::string page = Read(deploy_ / "Floor 2 50%.ini.html");
  EXPECT_NE(page.find("Generated By: R&amp;D 100%<br>\r\n"), std::string::npos) << page;
  EXPECT_NE(page.find("operate correctly.</p><br>\r\n<p>For administrators: "),
            std::string::npos)
      << "no installer link and no extra <br> line";
  EXPECT_EQ(page.find("MDAC"), std::string::npos);
  EXPECT_EQ(progress_.captions,
            (std::vector<std::string>{"Copying Quillon Engine ...", "Copying INI file ...",
                                      "Create HTML file ...", "Creating batch file ...",
                                      "Creating start-up batch file ..."}));
  EXPECT_EQ(DeploymentStepCount(inputs, true, true), 5);
  EXPECT_NE(page.find("<p>For administrators: Floor 2 50%.ini-StageDrivers.bat in this folder"),
            std::string::npos)
      << page;
}

TEST_F(DeploymentTest, AFailedCopyStopsTheDeploymentBeforeWhatStartsIt) {
  fs::remove(toolkit_ / kEngineFileName);
  DeploymentInputs inputs = Inputs();
  inputs.includeInstaller = true;
  inputs.installerOption = 2;
  auto deployment = Make(inputs);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  EXPECT_FALSE(deployment->Deploy(true, true));

  EXPECT_FALSE(deployment->DeploymentSucceeded);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].title, "Error");
  EXPECT_EQ(dialogs_.asked[0].icon, gui::MessageIcon::Critical);
  const std::string& text = dialogs_.asked[0].text;
  const std::string start =
      "Error copying Quillon Engine file to deployment folder. Please verify that you have "
      "permissions to your deployment folder.\n\nError:2\nError Description:";
  EXPECT_EQ(text.substr(0, start.size()), start) << text;
  EXPECT_NE(text.find(kEngineFileName, start.size()), std::string::npos) << text;
  // The installer went before it; neither the document nor the page and
  // batch file that would start the missing engine follow.
  EXPECT_EQ(Deployed(), (std::set<std::string>{"MDAC_TYP2.8.EXE"}));
  EXPECT_EQ(progress_.captions,
            (std::vector<std::string>{"Copying MDAC file ...", "Copying Quillon Engine ..."}));

  // The installer missing: nothing at all is copied or written.
  Write(toolkit_ / kEngineFileName, "engine program");
  fs::remove(toolkit_ / "MDAC_TYP2.8.EXE");
  fs::remove(deploy_ / "MDAC_TYP2.8.EXE");
  dialogs_.asked.clear();
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  EXPECT_FALSE(Make(inputs)->Deploy(true, true));
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].text.rfind("Error copying MDAC file to deployment folder. ", 0), 0u);
  EXPECT_TRUE(Deployed().empty());
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
}

TEST_F(DeploymentTest, DocumentAlreadyInTheFolder) {
  // Saved into the deployment folder: source and target are the same file,
  // which is deployed as it is.
  const fs::path saved = deploy_ / "migrate.ini";
  Write(saved, "[GENERAL]\r\nAlwaysRun=True\r\n");
  document_ = saved;
  EXPECT_TRUE(Make(Inputs())->Deploy(true, true));
  EXPECT_EQ(gui::Transcript(dialogs_.asked), "");
  EXPECT_EQ(Read(saved), "[GENERAL]\r\nAlwaysRun=True\r\n");
  EXPECT_EQ(Deployed().size(), 5u) << "no temporary file is left behind";

  const std::string warning =
      "message [INI File Write Warning] Exclamation OK: Warning: Quillon was unable to "
      "deploy your INI file to the folder specified.||The file already exists and is "
      "currently write protected.|If you saved your INI file to the same folder as your "
      "deployment folder,|then you can ignore this warning, becuase your INI file is "
      "already deployed.|If not, then please check your file and folder permissions.\n";

  // A copy that fails while a file of its name is in the folder: the warning,
  // and that file is kept.
  document_ = root_ / "documents" / "migrate.ini";
  fs::remove(document_);
  auto unreadable = Make(Inputs());
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  EXPECT_FALSE(unreadable->Deploy(true, true));
  EXPECT_EQ(gui::Transcript(dialogs_.asked), warning);
  EXPECT_EQ(Read(saved), "[GENERAL]\r\nAlwaysRun=True\r\n");

  // A document that is nowhere, with no file of its name in the folder: an error.
  fs::remove(saved);
  document_ = root_ / "documents" / "gone.ini";
  auto missing = Make(Inputs());
  dialogs_.asked.clear();
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  missing->DeployFiles();
  EXPECT_FALSE(missing->DeploymentSucceeded);
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "message [Error Deploying INI File] Critical OK: Error: Quillon was unable to deploy "
            "your INI file to the folder specified.||Please check your file and folder "
            "permissions.\n");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(DeploymentTest, EveryFailureIsShownInOrderAndClearsTheFlag) {
  // No version chosen, and a folder that does not exist: the installer's
  // message ends the deployment; no page or batch file is attempted.
  fs::remove_all(deploy_);
  DeploymentInputs inputs = Inputs();
  inputs.includeInstaller = true;
  auto deployment = Make(inputs);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  DeployAll(*deployment);

  EXPECT_FALSE(deployment->DeploymentSucceeded);
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "message [Error] Critical OK: Error copying MDAC file to deployment folder. |Please "
            "verify your deployment folder path, ensure that you have downloaded the|additional "
            "MDAC files from the Quillon website|(https://quillon.example/downloads/mdac)|or you "
            "have configured your MDAC files as described in the User's Guide.||Error:2|Error "
            "Description:No MDAC version is chosen.\n");
  EXPECT_EQ(progress_.captions, (std::vector<std::string>{"Copying MDAC file ..."}));
  EXPECT_FALSE(fs::exists(deploy_));

  // Called alone, the writers each report their own failure.
  dialogs_.asked.clear();
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  deployment->WriteLaunchPage();
  deployment->WriteBatchFile();
  deployment->WriteStagingBatchFile();
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "message [Error Deploying HTML File] Critical OK: Error: Quillon was unable to deploy "
            "your HTML file to the folder specified.||Please check your file and folder "
            "permissions.\n"
            "message [Error Deploying Batch File] Critical OK: Error: Quillon was unable to "
            "deploy your batch file to the folder specified.||Please check your file and folder "
            "permissions.\n"
            "message [Error Deploying Batch File] Critical OK: Error: Quillon was unable to "
            "deploy your start-up batch file to the folder specified.||Please check your file "
            "and folder permissions.\n");

  // A write that fails alone clears the flag too; the other file is still replaced.
  fs::create_directories(deploy_);
  Write(deploy_ / "migrate.ini.bat", "REM the earlier batch file\r\n");
  fs::create_directories(deploy_ / "migrate.ini.html");  // a folder where the page goes
  auto pageOnly = Make(Inputs());
  dialogs_.asked.clear();
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  DeployAll(*pageOnly);
  EXPECT_FALSE(pageOnly->DeploymentSucceeded);
  ASSERT_EQ(dialogs_.asked.size(), 1u);
  EXPECT_EQ(dialogs_.asked[0].title, "Error Deploying HTML File");
  EXPECT_EQ(Read(deploy_ / "migrate.ini.bat").find("REM the earlier"), std::string::npos);
  EXPECT_NE(Read(deploy_ / "migrate.ini.bat").find("QuillonEngine.exe"), std::string::npos);
  EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
}

TEST_F(DeploymentTest, NamesABatchLineCannotHoldAreRefusedBeforeAnythingIsWritten) {
  struct Case {
    std::string document, user, folder, shown;
  };
  const std::string name = "x\" & calc & \"y.ini";
  const Case cases[] = {
      {name, "alice", "",
       "the document name cannot be written into it safely:|x\" & calc & \"y.ini|It holds a "
       "double quote (\")."},
      {"a\r\nstart calc.ini", "alice", "",
       "the document name cannot be written into it safely:|a<CR><LF>start calc.ini|It holds a "
       "carriage return (CR)."},
      {"Floor 2!.ini", "alice", "",
       "the document name cannot be written into it safely:|Floor 2!.ini|It holds an "
       "exclamation mark (!)."},
      {"migrate.ini", "ann\r\ncalc", "",
       "the user name cannot be written into it safely:|ann<CR><LF>calc|It holds a carriage "
       "return (CR)."},
      {"migrate.ini", "alice", "site\x1b[2J",
       "the deployment folder cannot be written into it safely:|" + typed_ +
           "\\site<0x1B>[2J|It holds the control character 0x1B."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    fs::remove_all(deploy_);
    fs::create_directories(deploy_);
    document_ = root_ / "documents" / c.document;
    Write(document_, "[GENERAL]\r\n");
    const std::string typed = typed_;
    if (!c.folder.empty()) {
      typed_ += "\\" + c.folder;
#ifndef _WIN32
      fs::create_directories(deploy_ / c.folder);
#endif
    }
    DeploymentInputs inputs = Inputs();
    inputs.includeInstaller = true;
    inputs.installerOption = 0;
    typed_ = typed;
    auto deployment = Make(inputs, c.user);
    dialogs_.asked.clear();
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    EXPECT_FALSE(deployment->Deploy(true, true));
    EXPECT_EQ(gui::Transcript(dialogs_.asked),
              "message [Error] Critical OK: Error: Quillon cannot write the batch file, because " +
                  c.shown +
                  "||Please use a name without it, or deploy without the batch file.|Nothing was "
                  "deployed.\n");
    EXPECT_EQ(dialogs_.UnusedAnswers(), 0u);
    EXPECT_EQ(deployment->BatchFileRefusal().empty(), false);
    // Nothing at all: not even the copies.
    std::set<std::string> left = Deployed();
    left.erase(c.folder);
    EXPECT_TRUE(left.empty()) << *left.begin();
    // Written alone, the batch file is refused the same way.
    dialogs_.asked.clear();
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    deployment->WriteBatchFile();
    deployment->WriteStagingBatchFile();
    ASSERT_EQ(dialogs_.asked.size(), 2u);
    EXPECT_EQ(dialogs_.asked[0].title, "Error");
    EXPECT_EQ(dialogs_.asked[1].text, dialogs_.asked[0].text);
    EXPECT_FALSE(fs::exists(deploy_ / (c.document + ".bat")));
    EXPECT_FALSE(fs::exists(deploy_ / StagingBatchFileName(c.document)));
  }

  // Without the batch file such a name is only a file and an escaped page
  // (Windows names cannot hold a double quote).
  fs::remove_all(deploy_);
  fs::create_directories(deploy_);
  dialogs_.asked.clear();
#ifdef _WIN32
  const std::string kept = "migrate.ini";
#else
  const std::string kept = name;
#endif
  document_ = root_ / "documents" / kept;
  auto noBatch = Make(Inputs(), "<ann> & 'bob' \"c\"");
  EXPECT_TRUE(noBatch->Deploy(true, false));
  EXPECT_EQ(Deployed(), (std::set<std::string>{"QuillonEngine.exe", kept, kept + ".html"}));
  const std::string page = Read(deploy_ / (kept + ".html"));
  EXPECT_NE(page.find("Generated By: &lt;ann&gt; &amp; &#39;bob&#39; &quot;c&quot;<br>"),
            std::string::npos)
      << page;

  // Legal names that cmd would otherwise read as commands: quoted and
  // plain, "%" doubled everywhere, "^" doubled where it is not quoted.
  const std::string hostile = "Floor & mkdir x & (2) 50% ^ok.ini";
  document_ = root_ / "documents" / hostile;
  Write(document_, "[GENERAL]\r\n");
  auto legal = Make(Inputs(), "ann ^ & 100% !");
  EXPECT_TRUE(legal->Deploy(false, true));
  const std::string batch = Read(deploy_ / (hostile + ".bat"));
  EXPECT_NE(batch.find("\r\nREM -- Generated By: ann ^^ & 100%% !\r\n"), std::string::npos)
      << batch;
  EXPECT_NE(batch.find("\r\n\"" + typed_ + "\\QuillonEngine.exe\" \"" + typed_ +
                       "\\Floor & mkdir x & (2) 50%% ^ok.ini\"\r\n"),
            std::string::npos)
      << batch;
}

TEST(BatchEscapeTest, OnlyTextCmdReadsBackUnchangedPasses) {
  using P = BatchPlace;
  std::string refused;
  EXPECT_EQ(EscapeForBatch("50% (a & b) | <c> ^d", P::QuotedPath, &refused),
            "50%% (a & b) | <c> ^d");
  EXPECT_EQ(EscapeForBatch("50% (a & b) | <c> ^d!", P::Remark, &refused),
            "50%% (a & b) | <c> ^^d!");
  EXPECT_EQ(EscapeForBatch("trailing ^", P::Remark, &refused), "trailing ^^");
  EXPECT_EQ(EscapeForBatch("", P::QuotedPath, &refused), "");
  const std::pair<std::string, std::string> unsafe[] = {
      {"a\"b", "a double quote (\")"},  {"a\nb", "a line feed (LF)"},
      {"a\rb", "a carriage return (CR)"}, {std::string("a\0b", 3), "a NUL character"},
      {"a\tb", "the control character 0x09"}, {"a\x7f", "the control character 0x7F"},
      {"\x1a", "the control character 0x1A"}};
  for (const auto& [text, why] : unsafe) {
    for (const P place : {P::Remark, P::QuotedPath}) {
      refused.clear();
      EXPECT_EQ(EscapeForBatch(text, place, &refused), std::nullopt) << VisibleText(text);
      EXPECT_EQ(refused, why);
    }
  }
  EXPECT_EQ(EscapeForBatch("a!b", P::QuotedPath, &refused), std::nullopt);
  EXPECT_EQ(refused, "an exclamation mark (!)");
  // Text beyond ASCII is left as it is.
  EXPECT_EQ(EscapeForBatch("B\xc3\xbcro", P::QuotedPath, &refused), "B\xc3\xbcro");
  if (platform::NarrowCharsetName() == "UTF-8") {
    // Where names are UTF-8 (Samba's), what is no text, or a control that
    // makes a line read otherwise than it runs, is refused like the others.
    const std::pair<std::string, std::string> beyond[] = {
        {"a\xc2\x85" "b", "the control character U+0085"},
        {"a\xe2\x80\xae" "exe.ini", "the control character U+202E"},
        {"a\xe2\x80\xa8" "b", "the control character U+2028"},
        {"a\xff" "b", "the byte 0xFF, which is not UTF-8"},
        {"a\xc3", "the byte 0xC3, which is not UTF-8"}};
    for (const auto& [text, why] : beyond) {
      refused.clear();
      EXPECT_EQ(EscapeForBatch(text, P::QuotedPath, &refused), std::nullopt) << VisibleText(text);
      EXPECT_EQ(refused, why);
    }
  }

  EXPECT_EQ(EscapeForHtml("<a href=\"x\">'&amp;'</a>"),
            "&lt;a href=&quot;x&quot;&gt;&#39;&amp;amp;&#39;&lt;/a&gt;");
  EXPECT_EQ(VisibleText(std::string("a\r\n\t\0\x1b", 6)), "a<CR><LF><TAB><NUL><0x1B>");
}

#ifndef _WIN32
TEST_F(DeploymentTest, PlantedFilesAndLinksAreReplacedNeverWrittenThrough) {
  // What a user who can write the share leaves there before the deployment:
  // files of their own (which they could rewrite afterwards, were they
  // written in place) and links to files the deployment must not touch.
  const fs::path outside = root_ / "outside";
  fs::create_directories(outside);
  DeploymentInputs inputs = Inputs();
  inputs.includeInstaller = true;
  inputs.installerOption = 0;
  const std::vector<std::string> names = {"MDAC_TYP2.5SP3.EXE", kEngineFileName, "migrate.ini",
                                          "migrate.ini.html", "migrate.ini.bat",
                                          "migrate.ini-StageDrivers.bat"};
  const bool root = ::geteuid() == 0;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const fs::path planted = deploy_ / names[i];
    if (i % 2 == 0) {
      Write(outside / names[i], "the target of a planted link");
      fs::create_symlink(outside / names[i], planted);
    } else {
      Write(planted, "planted");
      fs::permissions(planted, fs::perms::all);
      if (root) {
        ASSERT_EQ(::chown(planted.c_str(), 4321, 4321), 0);
      }
    }
  }
  // An engine that may be run is deployed so (Samba refuses to start a file
  // without it); the document is not made runnable.
  fs::permissions(toolkit_ / kEngineFileName, fs::perms::owner_all | fs::perms::group_read |
                                                  fs::perms::group_exec);
  auto deployment = Make(inputs);
  EXPECT_TRUE(deployment->Deploy(true, true));
  EXPECT_EQ(gui::Transcript(dialogs_.asked), "");
  const auto runnable = [](const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::owner_exec) != fs::perms::none;
  };
  EXPECT_TRUE(runnable(deploy_ / kEngineFileName));
  EXPECT_FALSE(runnable(deploy_ / "migrate.ini"));

  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const fs::path path = deploy_ / name;
    EXPECT_FALSE(fs::is_symlink(path));
    EXPECT_TRUE(fs::is_regular_file(path));
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid()) << "the deployed file belongs to whoever deployed";
    EXPECT_NE(Read(path), "planted");
    if (fs::exists(outside / name)) {
      EXPECT_EQ(Read(outside / name), "the target of a planted link");
    }
  }
  EXPECT_EQ(Read(deploy_ / kEngineFileName), "engine program");
  EXPECT_EQ(Read(deploy_ / "migrate.ini"), Read(root_ / "documents" / "migrate.ini"));
  EXPECT_EQ(Deployed().size(), 6u) << "no temporary files are left behind";
  if (!root) GTEST_SKIP() << "planted files of another owner need root; links were checked";
}
#endif

TEST(GeneratedOnTextTest, TwelveHourClockWithTwoDigitFields) {
  EXPECT_EQ(GeneratedOnText({2005, 3, 15, 14, 5, 9}), "March 15, 2005 02:05:09 PM");
  EXPECT_EQ(GeneratedOnText({2024, 1, 2, 0, 7, 3}), "January 02, 2024 12:07:03 AM");
  EXPECT_EQ(GeneratedOnText({1999, 12, 31, 12, 0, 0}), "December 31, 1999 12:00:00 PM");
  EXPECT_EQ(GeneratedOnText({2010, 9, 9, 11, 59, 59}), "September 09, 2010 11:59:59 AM");
}

TEST(DeploymentFolderTest, SharesAndLocalFoldersByTheMountTable) {
  const std::string table =
      "sysfs /sys sysfs rw,nosuid 0 0\n"
      "//files/deploy /mnt/deploy cifs rw,vers=3.0,addr=192.0.2.4 0 0\n"
      "//Files.corp.example/Logon\\040Scripts /mnt/logon\\040scripts cifs rw 0 0\n"
      "//files/deploy/site2 /srv/site2 smb3 rw 0 0\n"
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "server:/export /mnt/nfs nfs4 rw 0 0";
  EXPECT_EQ(CifsMounts(table),
            (std::vector<CifsMount>{{"\\\\files\\deploy", "/mnt/deploy"},
                                    {"\\\\Files.corp.example\\Logon Scripts", "/mnt/logon scripts"},
                                    {"\\\\files\\deploy\\site2", "/srv/site2"}}));

  struct Case {
    std::string typed, host, client;
    bool namedAsTyped;
    bool reachable = true;
  };
  const Case cases[] = {
      // Shares: written through their mount, named as typed.
      {"\\\\FILES\\Deploy\\site1", "/mnt/deploy/site1", "\\\\FILES\\Deploy\\site1", false},
      {"\\\\files\\deploy", "/mnt/deploy", "\\\\files\\deploy", false},
      {"\\\\files\\deploy\\", "/mnt/deploy/", "\\\\files\\deploy\\", false},
      {"\\\\files\\deploy\\site2\\east", "/srv/site2/east", "\\\\files\\deploy\\site2\\east",
       false},
      {"\\\\files.corp.example\\logon scripts\\q1", "/mnt/logon scripts/q1",
       "\\\\files.corp.example\\logon scripts\\q1", false},
      {"\\\\other\\deploy", "", "\\\\other\\deploy", false, false},
      {"\\\\files\\elsewhere", "", "\\\\files\\elsewhere", false, false},
      {"C:\\deploy", "", "C:\\deploy", false, false},
      // Local folders: named to the clients by the share that holds them.
      {"/mnt/deploy/site1", "/mnt/deploy/site1", "\\\\files\\deploy\\site1", false},
      {"/mnt/deploy/", "/mnt/deploy/", "\\\\files\\deploy\\", false},
      {"/srv/site2/east", "/srv/site2/east", "\\\\files\\deploy\\site2\\east", false},
      {"/mnt/logon scripts", "/mnt/logon scripts", "\\\\Files.corp.example\\Logon Scripts", false},
      {"/mnt/deploy2/site1", "/mnt/deploy2/site1", "/mnt/deploy2/site1", true},
      {"/srv/quillon", "/srv/quillon", "/srv/quillon", true},
  };
  for (const Case& c : cases) {
    const DeploymentFolder folder = ResolveDeploymentFolder(c.typed, table);
    EXPECT_EQ(folder.host, c.host) << c.typed;
    EXPECT_EQ(folder.client, c.client) << c.typed;
    EXPECT_EQ(folder.namedAsTyped, c.namedAsTyped) << c.typed;
    EXPECT_EQ(folder.unreachable.empty(), c.reachable) << c.typed;
  }
  EXPECT_EQ(ResolveDeploymentFolder("\\\\other\\deploy\\x", table).unreachable,
            "No CIFS mount of \\\\other\\deploy is listed in this computer's mount table: mount "
            "the share, then deploy again.");

  // Where folders are named as the clients name them, nothing is looked up.
  const DeploymentFolder windows = ResolveDeploymentFolder("\\\\other\\deploy\\", std::nullopt);
  EXPECT_EQ(windows.host, "\\\\other\\deploy\\");
  EXPECT_EQ(windows.client, "\\\\other\\deploy\\");
  EXPECT_FALSE(windows.namedAsTyped);
}

#ifndef _WIN32
TEST_F(DeploymentTest, FoldersNoShareReachesOrHolds) {
  // A share that is not mounted: nothing is written anywhere, and the reason is given.
  typed_ = "\\\\files\\elsewhere";
  auto unmounted = Make(Inputs());
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  unmounted->DeployFiles();
  unmounted->WriteBatchFile();
  EXPECT_FALSE(unmounted->DeploymentSucceeded);
  ASSERT_EQ(dialogs_.asked.size(), 2u);
  EXPECT_NE(dialogs_.asked[0].text.find(
                "\n\nError:3\nError Description:No CIFS mount of \\\\files\\elsewhere is listed"),
            std::string::npos)
      << dialogs_.asked[0].text;
  EXPECT_EQ(dialogs_.asked[1].title, "Error Deploying Batch File");
  EXPECT_TRUE(Deployed().empty());

  // A local folder on no share: used as typed, and the batch file says so.
  typed_ = deploy_.string();
  mountTable_ = std::string();
  auto local = Make(Inputs());
  DeployAll(*local);
  EXPECT_TRUE(local->DeploymentSucceeded);
  // Written, but no client can run such a batch file: the deployment says so
  // in place of its success.
  EXPECT_NE(local->ClientPathProblem().find("is on no mounted network share"), std::string::npos);
  EXPECT_NE(local->ClientPathProblem().find(typed_), std::string::npos);
  EXPECT_EQ(Read(deploy_ / "migrate.ini.bat"),
            Crlf({"REM -- This batch file was generated by Quillon, a product of the Quillon "
                  "Project.",
                  "REM -- For more information about Quillon, see https://quillon.example",
                  "REM -- ", "REM -- Generated On: March 15, 2005 02:05:09 PM",
                  "REM -- Generated By: alice", "REM -- Generated From Computer: PC042",
                  "REM -- Note: no mounted network share holds the deployment folder, so it is "
                  "named here as typed.",
                  "", "", "REM -- Run the Quillon Engine with INI",
                  "\"" + typed_ + "\\QuillonEngine.exe\" \"" + typed_ + "\\migrate.ini\""}));
}
#endif

TEST(DeploymentInputsTest, ReadFromTheWizardsControls) {
  gui::FormDescription window;
  window.name = "frmWizard";
  window.controls = BoundControls();
  gui::Form wizard(window);
  WizardDocument document;
  document.DocumentPath = "C:\\Migrations\\migrate.ini";
  document.DocumentFileName = "migrate.ini";
  wizard["txtNetworkSharePath"].SetText("\\\\files\\deploy\\");
  wizard["chkIncludeMDAC"].SetChecked(true);
  wizard["optMDACVersion(2)"].SetChecked(true);

  DeploymentInputs inputs = ReadDeploymentInputs(wizard, document, "C:\\Program Files\\Quillon");
  EXPECT_EQ(inputs.deploymentFolder, "\\\\files\\deploy\\");
  EXPECT_TRUE(inputs.includeInstaller);
  EXPECT_EQ(inputs.installerOption, 2);
  EXPECT_EQ(inputs.DocumentPath, "C:\\Migrations\\migrate.ini");
  EXPECT_EQ(inputs.DocumentFileName, "migrate.ini");
  EXPECT_EQ(inputs.toolkitFolder, "C:\\Program Files\\Quillon");
  EXPECT_EQ(InstallerFileName(inputs), "MDAC_TYP2.8.EXE");

  // The first chosen option wins; none chosen names no installer.
  wizard["optMDACVersion(0)"].SetChecked(true);
  EXPECT_EQ(InstallerFileName(ReadDeploymentInputs(wizard, document, "")), "MDAC_TYP2.5SP3.EXE");
  for (int i = 0; i < 3; ++i) wizard["optMDACVersion(" + std::to_string(i) + ")"].SetChecked(false);
  EXPECT_EQ(ReadDeploymentInputs(wizard, document, "").installerOption, std::nullopt);
}

}  // namespace
}  // namespace quillon::toolkit
