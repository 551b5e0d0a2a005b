// Deploys as Deploy Now does, for the Wine end-to-end test: the files, the
// launch page and the batch file, with this computer's and user's names and
// the time of the run. Message boxes are answered and printed, one line each.
// Started without arguments it stands in for an MDAC installer that a batch
// file runs: it leaves "installer ran.txt" in its own folder. Started with
// one argument it stands in for the engine: it appends its command line, as
// the engine would read it, to "engine ran.txt" in its own folder.
// Usage: toolkit_deployment_fixture TOOLKIT_FOLDER DEPLOYMENT_FOLDER DOCUMENT [MDAC_OPTION]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "platform/host/windows_api.h"
#include "toolkit/deployment.h"

#include <shellapi.h>

namespace {

class NoProgress : public quillon::toolkit::DeploymentProgress {
 public:
  void SetCaption(const std::string& caption) override {
    std::printf("step %s\n", caption.c_str());
  }
  void Advance() override {}
  void ProcessEvents() override {}
};

// The arguments in UTF-8, as the deployment takes its paths; main's own are in
// the ANSI code page.
std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.push_back(quillon::platform::win32::Utf8(wide[i]));
    LocalFree(wide);
  }
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quillon;
  platform::HostFileSystem files;
  if (argc == 1) {
    const auto status = files.WriteFileAtomic(
        platform::JoinPath(platform::RunningProgramFolder(), "installer ran.txt"), "ran\r\n");
    return status.ok ? 0 : 1;
  }
  if (argc == 2) {
    const auto status =
        files.AppendToFile(platform::JoinPath(platform::RunningProgramFolder(), "engine ran.txt"),
                           platform::CommandLineText(argc, argv) + "\r\n");
    return status.ok ? 0 : 1;
  }
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s TOOLKIT_FOLDER DEPLOYMENT_FOLDER DOCUMENT [MDAC_OPTION]\n",
                 argv[0]);
    return 2;
  }
  const std::vector<std::string> arguments = Utf8Arguments();
  if (arguments.size() < 4) {
    std::fprintf(stderr, "%s: cannot read the command line\n", argv[0]);
    return 2;
  }
  toolkit::DeploymentInputs inputs;
  inputs.toolkitFolder = arguments[1];
  inputs.deploymentFolder = arguments[2];
  inputs.DocumentPath = arguments[3];
  const std::size_t slash = inputs.DocumentPath.find_last_of("\\/");
  inputs.DocumentFileName =
      slash == std::string::npos ? inputs.DocumentPath : inputs.DocumentPath.substr(slash + 1);
  if (argc > 4) {
    inputs.includeInstaller = true;
    inputs.installerOption = std::atoi(argv[4]);
  }

  gui::ScriptedDialogs dialogs;
  platform::HostClock clock;
  NoProgress progress;
  toolkit::Deployment deployment({dialogs, files, clock, progress, platform::HostLoginName(),
                                  platform::HostComputerName(), platform::ReadMountTable()},
                                 inputs);
  deployment.Deploy(/*launchPage=*/true, /*batchFile=*/true);
  std::printf("%s", gui::Transcript(dialogs.asked).c_str());
  return deployment.DeploymentSucceeded ? 0 : 1;
}
