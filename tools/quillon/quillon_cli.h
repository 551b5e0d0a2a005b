// The logic of the `quillon` command: the administrator's companion before a
// migration (check, snapshot, plan, deploy) and after it (report, decode).
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/directory.h"
#include "platform/file_system.h"
#include "platform/sim/sim_client.h"

namespace quillon::tools {

// The text of a debug file (line ends as written, CR LF), in the host's 8-bit
// text; nullopt when the bytes cannot be one: empty, an odd number of bytes,
// or text that does not end with a line end or holds a NUL.
std::optional<std::string> DecodeDebugBytes(std::string_view bytes);

// Text in the host's 8-bit form as UTF-8, whatever the code page: output for
// scripts stays readable, and invalid bytes cannot make it invalid.
std::string Utf8Text(std::string_view text);
// Text from files users can write, safe to print on a terminal: control
// characters shown as "^[" (C0, and "^?" for DEL) and, where the host's text
// is UTF-8, C1 controls and bytes that are no UTF-8 as "\x9b", so that no
// escape sequence in a file can move the cursor or rewrite the screen. With
// `keepLayout` tabs and line feeds stay as they are.
std::string VisibleText(std::string_view text, bool keepLayout = false);

// The text with its CR LF line ends as LF: what a run wrote for Windows,
// printed or stored here.
std::string WithLf(std::string_view text);

// The length of the UTF-8 sequence at the start of a non-empty `text`
// (1 for ASCII), 0 when none is.
std::size_t Utf8Sequence(std::string_view text);
// A JSON string literal of the text, in UTF-8.
std::string JsonString(std::string_view text);

// Says what a command is doing on standard error, but only once it has run
// for longer than `after`: quick commands stay quiet.
class SlowProgress {
 public:
  explicit SlowProgress(std::ostream& err, std::string command,
                        std::chrono::milliseconds after = std::chrono::seconds(1));
  void Say(const std::string& text);
  // Whether anything was said (a finished line is then worth a newline).
  bool Said() const { return said_; }

 private:
  std::ostream& err_;
  std::string command_;
  std::chrono::steady_clock::time_point due_;
  std::string last_;
  bool said_ = false;
};

struct Finding {
  bool refusal = false;  // the engine would not run the document; else a warning
  std::string section;   // empty when the finding is about no one section
  std::string key;       // empty when about a whole section
  std::size_t line = 0;  // 1-based; 0 when there is no line to point at
  std::string message;
};

// Every reason the engine would refuse the document's bytes, in document
// order, then every warning. `files` answers whether folders exist. With the
// document's file name, a deployment folder without the start-up batch file
// that stages the drivers its moves need is warned of.
std::vector<Finding> CheckDocumentText(std::string_view bytes, platform::FileSystem& files,
                                       std::string_view documentFileName = {});

// Runs `quillon` with its arguments (without the program name); returns the
// exit code: 0 fine, 1 warnings (check), 2 refused document, bad arguments or
// unreadable input.
int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               std::ostream& out, std::ostream& err);

// What the commands take from the computer they run on: the clock, user and
// computer, the mount table that names a deployment folder to the clients and
// the folder the engine is copied from (deploy); the directory that answers a
// client without its own, and the snapshot of this computer (plan).
struct CommandHost {
  platform::Clock& clock;
  std::string userName;
  std::string computerName;
  std::optional<std::string> mountTable;
  std::string programFolder;
  platform::Directory* directory = nullptr;
  // Makes a client file's state of this computer for the servers a document
  // names; empty where that cannot be done.
  std::function<bool(const std::string& documentFile, platform::sim::SimClientState* client,
                     std::string* error)>
      snapshot;
};

// RunQuillon with the commands working on `host` rather than on this computer.
int RunQuillon(const std::vector<std::string>& args, platform::FileSystem& files,
               const CommandHost& host, std::ostream& out, std::ostream& err);

// `quillon deploy` (args after the command): 0 every step succeeded, 1 a step
// failed, 2 bad arguments, unreadable document or missing folder.
int Deploy(const std::vector<std::string>& args, platform::FileSystem& files,
           const CommandHost& host, std::ostream& out, std::ostream& err);

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
