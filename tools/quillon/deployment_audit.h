// Whether users can change what every client runs at logon: the audit of a
// deployment folder behind `quillon check --deployment` and the end of
// `quillon deploy`. Users must be able to create their debug files in the
// folder, but whoever can replace the engine, a document, the batch file or
// the page (or plant a DLL beside the engine) runs code on every client.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_security.h"
#include "platform/file_system.h"

namespace quillon::tools {

struct AuditFinding {
  bool note = false;    // cannot be judged from here; else the folder is unsafe
  std::string path;     // the file or folder
  std::string account;  // "BUILTIN\Users", "others", "group staff (gid 50)"; empty for none
  std::string sid;      // on Windows; empty elsewhere
  std::string right;    // "write data, delete"
  std::string message;  // the whole finding, as one sentence
  std::string fix;      // a command line that mends it; empty when there is none
};

// Judges a file or folder of the deployment from its Windows owner and access
// list: what an ordinary user (Everyone, Authenticated Users, Users, Domain
// Users) is granted, entries read in order as Windows does. `runningSid` is
// the auditing account's, which may own the files.
std::vector<AuditFinding> JudgeWindowsSecurity(const std::string& path,
                                               const platform::FileSecurity& security,
                                               const std::string& runningSid);
// Judges it from its POSIX owner and mode bits.
std::vector<AuditFinding> JudgePosixSecurity(const std::string& path,
                                             const platform::FileSecurity& security,
                                             const platform::RunningAccount& auditor);

// The mount that holds `path` (absolute, links resolved) in a table in the
// form of /proc/mounts: the longest mount point that contains it.
struct MountFacts {
  std::string source;      // "//server/share"
  std::string mountPoint;  // "/mnt/share"
  std::string type;        // "cifs"
  std::vector<std::string> options;
  bool Cifs() const;
  // The value of "name=value", or of a bare "name" an empty text; nullopt when absent.
  std::optional<std::string> Option(std::string_view name) const;
};
std::optional<MountFacts> MountHolding(const std::string& path, std::string_view mountTable);
// What a CIFS mount lets this audit see of `folder` (which it holds): a note
// that the share's permissions must be checked on the server, and a finding
// when any user of this computer can write through the mount. `modesAreMounts`
// is set when the modes seen are the mount's own rather than the server's.
std::vector<AuditFinding> JudgeCifsMount(const std::string& folder, const MountFacts& mount,
                                         bool& modesAreMounts);

struct DeploymentAudit {
  std::string folder;
  std::optional<std::string> error;  // the folder could not be read: nothing was judged
  std::vector<AuditFinding> findings;
  bool Unsafe() const;
};

using SecurityReader = std::function<std::optional<platform::FileSecurity>(
    const std::string& path, bool followLink, platform::Status& status)>;

// Audits the folder (as this computer reaches it): the folder itself, the
// engine, every document with its batch file and page, MDAC installers and
// anything Windows would load into the engine from its folder.
DeploymentAudit AuditDeploymentFolder(const std::string& folder, platform::FileSystem& files,
                                      const std::optional<std::string>& mountTable,
                                      const SecurityReader& reader = platform::ReadFileSecurity,
                                      const platform::RunningAccount& auditor =
                                          platform::CurrentAccount());

// The audit as lines for a person: each finding with its mending command,
// then a summary line. Names from the folder are escaped for the terminal.
void PrintDeploymentAudit(const DeploymentAudit& audit, std::ostream& out);
// The audit as one JSON object: folder, status ("safe", "unsafe", or
// "unverified" when only notes were found), exit and findings.
void PrintDeploymentAuditJson(const DeploymentAudit& audit, int exit, std::ostream& out);

}  // namespace quillon::tools
