// The logic of the `quillon` command: reading the engine's debug files and
// checking migration documents before they are deployed.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace quillon::tools {

// The text of a debug file (line ends as written, CR LF), in the host's 8-bit
// text; nullopt when the bytes cannot be one: empty, an odd number of bytes,
// or text that does not end with a line end or holds a NUL.
std::optional<std::string> DecodeDebugBytes(std::string_view bytes);

struct Finding {
  bool refusal = false;  // the engine would not run the document; else a warning
  std::string section;   // empty when the finding is about no one section
  std::string key;       // empty when about a whole section
  std::size_t line = 0;  // 1-based; 0 when there is no line to point at
  std::string message;
};

// Every reason the engine would refuse the document's bytes, in document
// order, then every warning. `files` answers whether folders exist.
std::vector<Finding> CheckDocumentText(std::string_view bytes, platform::FileSystem& files);

// Runs `quillon` with its arguments (without the program name); returns the
// exit code: 0 fine, 1 warnings (check), 2 refused document, bad arguments or
// unreadable input.
int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               std::ostream& out, std::ostream& err);

// What `deploy` takes from the computer it runs on: the generated files'
// clock, user and computer, the mount table that names the deployment folder
// to the clients, and the folder the engine is copied from.
struct DeployHost {
  platform::Clock& clock;
  std::string userName;
  std::string computerName;
  std::optional<std::string> mountTable;
  std::string programFolder;
};

// RunQuillon with `deploy` working on `host` rather than on this computer.
int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               const DeployHost& host, std::ostream& out, std::ostream& err);

// `quillon deploy` (args after the command): 0 every step succeeded, 1 a step
// failed, 2 bad arguments, unreadable document or missing folder.
int Deploy(const std::vector<std::string>& args, platform::FileSystem& files,
           const DeployHost& host, std::ostream& out, std::ostream& err);

// What `report` takes from the computer it runs on: whether its progress may
// be shown (standard error is a terminal) and a steady clock in seconds.
struct ReportHost {
  bool progressToTerminal = false;
  std::function<double()> seconds;
};
ReportHost ThisHostsReportHost();

// `quillon report` (args after the command): 0 no user's last run failed,
// 1 some user's last run failed, 2 bad arguments, a folder that cannot be
// read or a page that cannot be written.
int Report(const std::vector<std::string>& args, platform::FileSystem& files,
           const ReportHost& host, std::ostream& out, std::ostream& err);

}  // namespace quillon::tools
