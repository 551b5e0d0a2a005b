// Deploy Now's work: the deployment folder filled with the engine, the
// optional MDAC installer and the document (DeployFiles), then the web launch
// page and the logon batch file that start the engine. Logic on the dialogs
// interface, the files and the clock, so every message and every written
// line is tested without a window.
//
// From Linux the folder is reached through a CIFS mount of its share, while
// the clients need the share's own name: both names of the folder come from
// the host's mount table (ResolveDeploymentFolder).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gui/dialogs.h"
#include "gui/form.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "toolkit/document_binding.h"

namespace quillon::toolkit {

inline constexpr const char* kEngineFileName = "QuillonEngine.exe";
// The MDAC installers of the options optMDACVersion(0), (1) and (2).
inline constexpr const char* kMdacInstallers[] = {"MDAC_TYP2.5SP3.EXE", "MDAC_TYP2.7SP1.EXE",
                                                  "MDAC_TYP2.8.EXE"};
// Who the generated files name as the maker, and where they point. The
// product has no public site yet: reserved names, to be replaced by the pages
// of the organisation that ships it.
inline constexpr const char* kMakerName = "the Quillon Project";
inline constexpr const char* kMakerUrl = "https://quillon.example";
inline constexpr const char* kMdacDownloadUrl = "https://quillon.example/downloads/mdac";

// What a deployment works from, as the wizard holds it when Deploy Now is pressed.
struct DeploymentInputs {
  std::string deploymentFolder;        // txtNetworkSharePath, exactly as typed
  bool includeInstaller = false;       // chkIncludeMDAC
  std::optional<int> installerOption;  // the first chosen optMDACVersion; none chosen: nullopt
  std::string DocumentPath;            // the saved document's full path
  std::string DocumentFileName;        // its name with extension
  std::string toolkitFolder;           // where the engine and the installers are taken from
};

DeploymentInputs ReadDeploymentInputs(gui::Form& wizard, const WizardDocument& document,
                                      std::string toolkitFolder);

// The installer's file name; empty when it is not included or no version is chosen.
std::string InstallerFileName(const DeploymentInputs& inputs);

// The toolkit's progress window as a deployment drives it: each step sets the
// caption, advances the bar by one and lets the window repaint.
class DeploymentProgress {
 public:
  virtual ~DeploymentProgress() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void Advance() = 0;
  virtual void ProcessEvents() = 0;
};

// The start-up batch file of a document: DocumentFileName + "-StageDrivers.bat".
std::string StagingBatchFileName(std::string_view documentFileName);

// How many steps DeployFiles and the chosen writers report: the bar's maximum.
int DeploymentStepCount(const DeploymentInputs& inputs, bool launchPage, bool batchFile);

// Where a text stands in a line of the batch file: in a "REM -- " remark, or
// inside a double-quoted path of a command.
enum class BatchPlace { Remark, QuotedPath };

// `text` written so that cmd reads it back unchanged at `place` and runs
// nothing of it: "%" doubled everywhere, "^" doubled in a remark (a caret
// ending a remark would carry the next line into it). Inside quotes "&", "|",
// "<", ">", "(", ")" and "^" are plain. Nothing can protect a double quote or
// a control character (CR, LF, NUL, ...), nor inside a path a "!", which cmd
// expands when delayed expansion is on: nullopt then, and `refused` says
// which character it was.
std::optional<std::string> EscapeForBatch(std::string_view text, BatchPlace place,
                                          std::string* refused);

// Text and attribute values of the launch page: "&", "<", ">", '"' and "'" as
// character references.
std::string EscapeForHtml(std::string_view text);

// Control characters made visible ("<CR>", "<LF>", "<0x1B>") so that a name
// can be shown in a message or on a terminal as it is.
std::string VisibleText(std::string_view text);

// The most a deployed file may hold: sources are read whole before the
// target is replaced.
inline constexpr std::uint64_t kDeployedFileLimit = 256ull * 1024 * 1024;

// "March 15, 2005 02:05:09 PM": full month, two-digit day, four-digit year,
// a 12-hour clock with AM or PM.
std::string GeneratedOnText(const platform::LocalTime& time);

// A CIFS (SMB) mount of the host: the share's UNC name ("\\server\share", or
// with the folder inside the share that was mounted) and where it is mounted.
struct CifsMount {
  std::string share;
  std::string mountPoint;
  bool operator==(const CifsMount&) const = default;
};
// The CIFS mounts of a mount table in the form of /proc/mounts and /etc/mtab
// (octal escapes such as "\040" for a blank decoded), in the table's order.
std::vector<CifsMount> CifsMounts(std::string_view mountTable);

// The deployment folder by its two names.
struct DeploymentFolder {
  std::string host;           // where this computer writes; empty when it cannot reach it
  std::string client;         // how the batch file names it to the clients
  bool namedAsTyped = false;  // no share was found: the clients get the folder as typed
  std::string unreachable;    // why `host` is empty
};
// Without a mount table (Windows), both names are the folder as typed. With
// one, a "\\server\share\..." folder is written through the mount of that
// share (the longest match; server and share names in any case), and a local
// folder on such a mount is named to the clients by the share's name. A local
// folder on no share is named as typed; a share or drive path that no mount
// reaches cannot be written.
DeploymentFolder ResolveDeploymentFolder(std::string_view typed,
                                         const std::optional<std::string>& mountTable);

// The operations of Deploy Now, in this order: DeployFiles, then
// WriteLaunchPage and WriteBatchFile as chosen, the start-up batch file
// (WriteStagingBatchFile) with the batch file (Deploy runs them so).
// Failures are shown in message boxes and clear DeploymentSucceeded; nothing
// is thrown. Every file is written anew and renamed over its name, so a file
// or link that a user planted in the folder is replaced, never written
// through.
class Deployment {
 public:
  struct Environment {
    gui::Dialogs& dialogs;
    platform::FileSystem& files;
    platform::Clock& clock;
    DeploymentProgress& progress;
    std::string userName;      // the logged-on user, for the generated files
    std::string computerName;  // this computer, for the generated files
    // The host's mount table (platform::ReadMountTable()); nullopt where
    // folders are named as the clients name them.
    std::optional<std::string> mountTable;
  };

  Deployment(Environment environment, DeploymentInputs inputs);

  // The whole of Deploy Now: nothing at all when the batch files are chosen
  // but a text cannot stand in it (BatchFileRefusal); then the copies, and
  // the page and the batch file only when every copy succeeded, since both
  // start what the copies put there. Returns DeploymentSucceeded.
  bool Deploy(bool launchPage, bool batchFile);

  // Why the batch file cannot be written (a name or text that a batch line
  // cannot hold safely, named with its character); empty when it can.
  std::string BatchFileRefusal() const;

  // Why batch files written to this folder can run on no client: the folder
  // is named to them as this computer names it (a local POSIX folder on no
  // mounted share), so their lines mix "/" and "\\". Empty otherwise. Shown in
  // place of the success message: such a deployment is not finished.
  std::string ClientPathProblem() const;

  // Copies the installer (when included), the engine and the document; stops
  // at the first group that fails. True when every copy succeeded.
  bool DeployFiles();
  // DocumentFileName + ".html": links to the installer and the engine.
  void WriteLaunchPage();
  // DocumentFileName + ".bat": runs the installer, then the engine with the
  // document. Refused, with nothing written, as BatchFileRefusal says.
  void WriteBatchFile();
  // StagingBatchFileName: runs the engine's staging run on the document, as
  // a computer start-up script (the system account) runs it, so that the
  // logon runs of standard users find the new queues' drivers installed.
  // Refused as WriteBatchFile is.
  void WriteStagingBatchFile();

  // Set by the caller before the operations; cleared by any failure.
  bool DeploymentSucceeded = true;

  const DeploymentFolder& folder() const { return folder_; }

 private:
  std::string LaunchPageText(const platform::LocalTime& now) const;
  // The batch file's text, or why it cannot be written.
  struct BatchFile {
    std::string text;
    std::string refusal;
  };
  BatchFile BatchFileText(const platform::LocalTime& now, bool staging) const;
  void Step(const std::string& caption);
  std::string HostPath(std::string_view name) const;
  platform::Status Copy(const std::string& from, std::string_view name);
  void WriteDeployed(std::string_view name, const std::string& text, const char* title,
                     const char* what);

  Environment environment_;
  DeploymentInputs inputs_;
  DeploymentFolder folder_;
  // Deploy writes the start-up batch file too: the page tells where it goes.
  bool stagingScript_ = false;
};

}  // namespace quillon::toolkit
