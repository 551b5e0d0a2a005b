// The launch page as a browser shows it: headless Chromium opens a deployed
// page inside a probe page of the test's own, which reads the page's text and
// fetches what each link leads to; its DOM is dumped for the test to read. A
// screenshot of each page is saved in the build folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_file_system.h"
#include "testing/test_browser.h"
#include "testing/test_process.h"
#include "toolkit/deployment.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using platform::test_process::Spawn;
using platform::test_process::WaitFor;
using platform::test_process::FileUrl;
using platform::test_process::ProbeResult;
using platform::test_process::RunProbe;
using platform::test_process::StrictHtmlErrors;

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2005, 3, 15, 14, 5, 9}; }
  platform::ZonedTime NowWithOffset() override { return {Now(), 0}; }
  void Sleep(int) override {}
};

class NoProgress : public DeploymentProgress {
 public:
  void SetCaption(const std::string&) override {}
  void Advance() override {}
  void ProcessEvents() override {}
};

// Reads the framed page once it has loaded: its visible text (paragraph breaks
// as one line break, as browsers differ in their count), then one line
// per link with the link's text, its resolved address and, for files, the
// number of bytes found there (-1: nothing could be read).
constexpr const char* kProbe = R"(<html><body><pre id="result"></pre>
<iframe id="page" src="PAGE"></iframe>
<script>
const frame = document.getElementById('page');
frame.onload = () => {
  const doc = frame.contentDocument;
  const out = ['text ' + JSON.stringify(doc.body.innerText.replace(/\n+/g, '\n'))];
  for (const link of doc.links) {
    let size = '-';
    if (link.protocol === 'file:') {
      size = -1;
      try {
        const request = new XMLHttpRequest();
        request.open('GET', link.href, false);
        request.overrideMimeType('text/plain; charset=x-user-defined');
        request.send();
        size = request.responseText.length;
      } catch (e) {}
    }
    out.push('link ' + JSON.stringify(link.textContent) + ' ' + link.href + ' ' + size);
  }
  document.getElementById('result').textContent = out.join('\n');
};
</script></body></html>
)";

std::string ReadAll(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class LaunchPageBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(QUILLON_CHROMIUM)) {
      if (std::getenv("CI")) FAIL() << "chromium is missing (scripts/setup installs it)";
      GTEST_SKIP() << "chromium is not installed";
    }
    root_ = fs::path(::testing::TempDir()) /
            ("browser-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root_);
    toolkit_ = root_ / "toolkit";
    fs::create_directories(toolkit_);
    // The engine beside the Linux program when the build put it there.
    const fs::path built = fs::path(QUILLON_TOOLKIT_FOLDER) / kEngineFileName;
    if (fs::exists(built)) {
      fs::copy_file(built, toolkit_ / kEngineFileName);
    } else {
      std::ofstream(toolkit_ / kEngineFileName, std::ios::binary) << "MZ stand-in engine";
    }
    for (const char* installer : kMdacInstallers) {
      std::ofstream(toolkit_ / installer, std::ios::binary) << "installer " << installer;
    }
    document_ = root_ / "migrate.ini";
    std::ofstream(document_, std::ios::binary) << "[GENERAL]\r\n";
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path Deploy(const std::string& folderName, bool installer) {
    const fs::path folder = root_ / folderName;
    fs::create_directories(folder);
    DeploymentInputs inputs;
    inputs.deploymentFolder = folder.string();
    inputs.includeInstaller = installer;
    inputs.installerOption = 1;
    inputs.DocumentPath = document_.string();
    inputs.DocumentFileName = "migrate.ini";
    inputs.toolkitFolder = toolkit_.string();
    Deployment deployment({dialogs_, files_, clock_, progress_, "alice", "PC042", std::nullopt},
                          inputs);
    deployment.DeployFiles();
    deployment.WriteLaunchPage();
    EXPECT_TRUE(deployment.DeploymentSucceeded) << gui::Transcript(dialogs_.asked);
    return folder / "migrate.ini.html";
  }

  int Chromium(std::vector<std::string> arguments, const fs::path& log) {
    std::vector<std::string> argv = {QUILLON_CHROMIUM, "--headless", "--no-sandbox",
                                     "--disable-gpu",
                                     "--user-data-dir=" + (root_ / "profile").string()};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return WaitFor(Spawn(argv, log.string()), std::chrono::seconds(60));
  }

  // The probe's result lines for a deployed page.
  std::vector<std::string> Probe(const fs::path& page) {
    const fs::path probe = root_ / "probe.html";
    std::string html = kProbe;
    html.replace(html.find("PAGE"), 4, FileUrl(page));
    std::ofstream(probe, std::ios::binary) << html;
    const ProbeResult result =
        RunProbe(QUILLON_CHROMIUM, root_ / "profile", {}, probe, root_ / "dom.txt");
    EXPECT_EQ(result.exitStatus, 0);
    if (!result.lines) ADD_FAILURE() << result.dom.substr(0, 3000);
    return result.lines.value_or(std::vector<std::string>{});
  }

  // A strict HTML5 parser (html5lib, as browsers parse) finds no error.
  void ExpectValidHtml(const fs::path& page) {
    EXPECT_EQ(StrictHtmlErrors(page, root_ / "html5lib.txt"), "") << page;
  }

  void Screenshot(const fs::path& page, const std::string& name) {
    const fs::path folder = fs::path(QUILLON_SCREENSHOT_DIR) / "deployment";
    fs::create_directories(folder);
    const fs::path png = folder / name;
    fs::remove(png);
    EXPECT_EQ(Chromium({"--hide-scrollbars", "--window-size=900,520",
                        "--screenshot=" + png.string(), FileUrl(page)},
                       root_ / "screenshot.txt"),
              0);
    const std::string bytes = ReadAll(png);
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << png;
    EXPECT_GT(bytes.size(), 5000u) << "an empty picture: " << png;
  }

  fs::path root_, toolkit_, document_;
  gui::ScriptedDialogs dialogs_;
  platform::HostFileSystem files_;
  FixedClock clock_;
  NoProgress progress_;
};

TEST_F(LaunchPageBrowserTest, RendersAndItsLinksLeadToTheDeployedFiles) {
  const std::string engineSize = std::to_string(fs::file_size(toolkit_ / kEngineFileName));
  const std::string start =
      "text \"This page was generated by Quillon, a product of the Quillon Project.\\n"
      "For more information about Quillon, see https://quillon.example\\n"
      "Generated On: March 15, 2005 02:05:09 PM\\nGenerated By: alice\\n"
      "Generated From Computer: PC042\\n"
      "For each of the links below, you MUST select the RUN (or OPEN) button when\\n"
      "prompted by your browser. Do NOT Save the files, or Quillon will NOT\\n"
      "operate correctly.\\n";
  const std::string end =
      "To run the Quillon application please click on the following link: Quillon now!\"";
  const std::string maker = "link \"https://quillon.example\" https://quillon.example/ -";

  const fs::path withInstaller = Deploy("with installer", true);
  ExpectValidHtml(withInstaller);
  std::vector<std::string> lines = Probe(withInstaller);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            start +
                "Please install this version of MDAC before running the Quillon application.\\n" +
                end);
  EXPECT_EQ(lines[1], maker);
  const fs::path folder = withInstaller.parent_path();
  EXPECT_EQ(lines[2],
            "link \"Please install this version of MDAC before running the Quillon "
            "application.\" " +
                FileUrl(folder / "MDAC_TYP2.7SP1.EXE") + " " +
                std::to_string(fs::file_size(folder / "MDAC_TYP2.7SP1.EXE")));
  EXPECT_EQ(lines[3],
            "link \"Quillon now! \" " + FileUrl(folder / kEngineFileName) + " " + engineSize);
  Screenshot(withInstaller, "launch-page-with-mdac.png");

  const fs::path without = Deploy("without", false);
  ExpectValidHtml(without);
  lines = Probe(without);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], start + end);
  EXPECT_EQ(lines[1], maker);
  EXPECT_EQ(lines[2], "link \"Quillon now! \" " + FileUrl(without.parent_path() / kEngineFileName) +
                          " " + engineSize);
  EXPECT_FALSE(fs::exists(without.parent_path() / "MDAC_TYP2.7SP1.EXE"));
  Screenshot(without, "launch-page.png");
}

}  // namespace
}  // namespace quillon::toolkit
