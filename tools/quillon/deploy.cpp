// `quillon deploy`: Deploy Now without a window, for scripted roll-outs. The
// toolkit's own generator does the work, so the files cannot differ from the
// toolkit's; its message boxes and progress window become lines on stderr.
#include <string>

#include "toolkit/deployment.h"
#include "tools/quillon/deployment_audit.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

namespace {

constexpr int kFine = 0;
constexpr int kStepFailed = 1;
constexpr int kFailed = 2;

constexpr const char* kDeployUsage =
    "Usage: quillon deploy DOC FOLDER [--batch] [--page] [--mdac 0|1|2]\n"
    "\n"
    "Does what the toolkit's Deploy Now does, without a window: copies the engine\n"
    "(QuillonEngine.exe, taken from the folder of this program), the MDAC installer\n"
    "when --mdac is given and the migration document DOC into the existing\n"
    "deployment FOLDER, then writes DOC's launch page and logon batch file.\n"
    "\n"
    "  --batch    write the batch file (DOC's name + \".bat\") that clients run at logon,\n"
    "             and the start-up batch file (DOC's name + \"-StageDrivers.bat\"): run\n"
    "             it as a Group Policy computer start-up script, or a scheduled task\n"
    "             at start-up running as SYSTEM, so that it installs the printer\n"
    "             drivers the moves need (standard users may not, since 2021)\n"
    "  --page     write the web launch page (DOC's name + \".html\")\n"
    "  --mdac N   include an MDAC installer: 0 (2.5 SP3), 1 (2.7 SP1) or 2 (2.8)\n"
    "\n"
    "Progress and the toolkit's messages are written to standard error.\n"
    "\n"
    "A step that fails stops the deployment: no page or batch file is written\n"
    "when a copy failed.\n"
    "\n"
    "Exit status: 0 when every step succeeded, 1 when a step failed (its message\n"
    "says which), 2 on bad arguments, a DOC that is not a readable regular file, a\n"
    "FOLDER that does not exist, or a name the batch file cannot hold safely (with\n"
    "a double quote, a line break or another control character, or a \"!\" in a\n"
    "path); then nothing is written.\n";

int BadDeployArguments(std::ostream& err, const std::string& problem) {
  err << "quillon deploy: " << problem << "\n"
      << "Run 'quillon deploy --help' for usage.\n";
  return kFailed;
}

// A message box as text: its title, then its lines indented below the first.
void PrintMessage(std::ostream& err, const std::string& title, const std::string& text) {
  err << title << ": ";
  for (const char c : text) {
    err << c;
    if (c == '\n') err << "    ";
  }
  err << "\n";
}

// Every box is answered with its first button, OK, as a script cannot answer.
class PrintingDialogs : public gui::Dialogs {
 public:
  explicit PrintingDialogs(std::ostream& err) : err_(err) {}
  gui::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                    gui::MessageIcon, gui::MessageButtons) override {
    PrintMessage(err_, title, text);
    err_.flush();
    return gui::MessageAnswer::Ok;
  }
  // The generator asks for none of these; a script could not answer them.
  std::string ShowSaveDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string ShowOpenDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string BrowseForFolder() override { return {}; }
  std::string BrowseForNetworkFolder() override { return {}; }
  bool ShowHelp(const std::string&, int) override { return false; }
  bool OpenWebPage(const std::string&) override { return false; }
  bool OpenGuide(const std::string&) override { return false; }

 private:
  std::ostream& err_;
};

class PrintingProgress : public toolkit::DeploymentProgress {
 public:
  explicit PrintingProgress(std::ostream& err) : err_(err) {}
  void SetCaption(const std::string& caption) override { err_ << caption << "\n"; }
  void Advance() override {}
  void ProcessEvents() override { err_.flush(); }

 private:
  std::ostream& err_;
};

}  // namespace

int Deploy(const std::vector<std::string>& args, platform::FileSystem& files,
           const CommandHost& host, std::ostream& out, std::ostream& err) {
  std::vector<std::string> operands;
  bool batchFile = false, launchPage = false;
  std::optional<int> installer;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      out << kDeployUsage;
      return kFine;
    }
    if (arg == "--batch") {
      batchFile = true;
    } else if (arg == "--page") {
      launchPage = true;
    } else if (arg == "--mdac") {
      if (i + 1 == args.size()) return BadDeployArguments(err, "--mdac needs 0, 1 or 2");
      const std::string& value = args[++i];
      if (value != "0" && value != "1" && value != "2") {
        return BadDeployArguments(err, "--mdac needs 0, 1 or 2, not '" + value + "'");
      }
      installer = value[0] - '0';
    } else if (arg.size() > 1 && arg[0] == '-') {
      return BadDeployArguments(err, "unknown option '" + arg + "'");
    } else {
      operands.push_back(arg);
    }
  }
  if (operands.size() != 2) {
    return BadDeployArguments(err, operands.size() < 2 ? "a document and a deployment folder "
                                                         "are needed"
                                                       : "too many arguments");
  }
  const std::string& document = operands[0];
  const std::string& folder = operands[1];
  // DOC may lie on the share itself: read only as a regular file, never
  // through a link, never waiting on a pipe.
  platform::Status read;
  if (!files.ReadRegularFile(document, toolkit::kDeployedFileLimit, &read)) {
    err << "quillon deploy: " << VisibleText(read.description) << "\n";
    return kFailed;
  }
  // The same test as Deploy Now, with the same message.
  const toolkit::DeploymentFolder reached =
      toolkit::ResolveDeploymentFolder(folder, host.mountTable);
  if (reached.host.empty() || !files.FolderExists(reached.host)) {
    PrintMessage(err, "Error",
                 "The deployment folder does not exist. Please check your deployment folder "
                 "and try again.");
    return kFailed;
  }

  toolkit::DeploymentInputs inputs;
  inputs.deploymentFolder = folder;
  inputs.includeInstaller = installer.has_value();
  inputs.installerOption = installer;
  inputs.DocumentPath = document;
  // Its name after either separator, as the toolkit names an opened document.
  const std::size_t slash = document.find_last_of("\\/");
  inputs.DocumentFileName = slash == std::string::npos ? document : document.substr(slash + 1);
  inputs.toolkitFolder = host.programFolder;

  PrintingDialogs dialogs(err);
  PrintingProgress progress(err);
  toolkit::Deployment deployment({dialogs, files, host.clock, progress, host.userName,
                                  host.computerName, host.mountTable},
                                 inputs);
  // A name the batch file cannot hold is a bad argument: refused before
  // anything is written.
  if (batchFile) {
    if (const std::string refusal = deployment.BatchFileRefusal(); !refusal.empty()) {
      PrintMessage(err, "Error", refusal + "\nNothing was deployed.");
      return kFailed;
    }
  }
  progress.SetCaption("Initializing deployment process ...");
  deployment.DeploymentSucceeded = true;
  const bool written = deployment.Deploy(launchPage, batchFile);
  const std::string unreachable = batchFile ? deployment.ClientPathProblem() : std::string();
  const bool deployed = written && unreachable.empty();
  if (deployed) {
    progress.SetCaption("Deployment Complete.");
    dialogs.ShowMessageBox("Sucess", "Deployment successfull.", gui::MessageIcon::Information,
                           gui::MessageButtons::Ok);
  } else if (written) {
    progress.SetCaption("Deployment Complete.");
    dialogs.ShowMessageBox("Deployment Incomplete", unreachable, gui::MessageIcon::Exclamation,
                           gui::MessageButtons::Ok);
  } else {
    progress.SetCaption("Deployment failed.");
  }
  // Whoever can change what was deployed runs code on every client: say so,
  // after a failed deployment too, since what was there before still runs.
  PrintDeploymentAudit(AuditDeploymentFolder(deployment.folder().host, files, host.mountTable),
                       err);
  err.flush();
  return deployed ? kFine : kStepFailed;
}

}  // namespace quillon::tools
