#include "engine/core/run_status.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/core/run_context.h"
#include "platform/text.h"

namespace quillon::engine {
namespace {

bool UsesStatusFile(const platform::OsVersion& version) {
  return version.error == 0 && version.platformId == 2 && version.majorVersion >= 5;
}

std::string StatusFilePath(RunContext& context) {
  return platform::JoinPath(context.platform.system.GetProfileFolder(), kStatusFileName);
}

std::string RegistrySection(RunContext& context) {
  return context.DocumentPath + "\\" + GetLoggedOnUserName(context);
}

// A document's path as the status file holds it: in the ANSI code page on
// Windows, as earlier versions wrote it, so their lines are found again; a
// path the code page cannot hold in UTF-8, which no "?" can make another's.
std::string StoredPath(const std::string& path) {
  platform::NarrowText stored = platform::NarrowToCodePage(path);
  return stored.exact ? std::move(stored.text) : path;
}

// Lines of the status file without their line ends; empty lines dropped.
std::vector<std::string_view> StatusLines(std::string_view content) {
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!line.empty()) lines.push_back(line);
    if (end == std::string_view::npos) break;
    content.remove_prefix(end + 1);
  }
  return lines;
}

// The first two comma-separated fields; the second is empty without a comma.
std::pair<std::string_view, std::string_view> FirstTwoFields(std::string_view line) {
  std::size_t comma = line.find(',');
  if (comma == std::string_view::npos) return {line, {}};
  std::string_view rest = line.substr(comma + 1);
  return {line.substr(0, comma), rest.substr(0, rest.find(','))};
}

const char* OutcomeText(bool succeeded) { return succeeded ? "True" : "False"; }

void ReportStoreFailure(RunContext& context, const std::string& where,
                        const platform::Status& status) {
  WriteDebugLine(context, "ERROR: Unable to save Quillon status to " + where);
  WriteDebugLine(context, "SYSTEM ERROR: " + std::to_string(status.errorNumber) + " " +
                              status.description);
}

void SaveToStatusFile(RunContext& context, bool succeeded) {
  platform::FileSystem& files = context.platform.files;
  const std::string path = StatusFilePath(context);
  const std::string key = StoredPath(context.DocumentPath);
  const std::string ownLine = key + "," + OutcomeText(succeeded) + "\r\n";
  // Runs of other documents for the same user (two logon scripts, two
  // sessions) read, add and replace the same file; without the lock the last
  // replace wins and the others' outcomes are lost. A holder that never lets
  // go must not cost this run its outcome, so after the wait it saves anyway.
  const std::string lockPath = path + ".lock";
  // Only another holder is worth waiting for; a folder where no lock can be
  // made (read-only, a file system without locks) is said at once.
  platform::Status lockStatus;
  bool busy = false;
  std::unique_ptr<platform::FileLock> lock = files.TryLockFile(lockPath, &lockStatus, &busy);
  for (int waited = 0; !lock && busy && waited < kStatusLockWaitMilliseconds;
       waited += kStatusLockRetryMilliseconds) {
    context.platform.clock.Sleep(kStatusLockRetryMilliseconds);
    lock = files.TryLockFile(lockPath, &lockStatus, &busy);
  }
  if (!lock) {
    WriteErrorLines(context, "ERROR: Unable to lock Quillon status file " + lockPath +
                                 ", saving without the lock",
                    lockStatus.errorNumber, lockStatus.description);
  }
  std::optional<std::string> content = files.ReadFile(path);

  platform::Status status;
  if (!content && files.FileExists(path)) {
    // Unreadable but present: appending cannot lose what it holds.
    status = files.AppendToFile(path, ownLine);
  } else {
    const std::string existing = content.value_or("");
    std::string rebuilt;
    bool matched = false;
    for (std::string_view line : StatusLines(existing)) {
      auto [first, second] = FirstTwoFields(line);
      if (first == key) {
        rebuilt += ownLine;
        matched = true;
      } else {
        rebuilt.append(first).append(",").append(second).append("\r\n");
      }
    }
    std::string replacement;
    if (matched) {
      replacement = rebuilt + "\r\n";
    } else {
      replacement = existing;
      // A last line without its line end must not swallow the new line.
      if (!replacement.empty() && replacement.back() != '\n') replacement += "\r\n";
      replacement += ownLine;
    }
    status = files.WriteFileAtomic(path, replacement);
  }
  if (!status.ok) ReportStoreFailure(context, path, status);
}

}  // namespace

std::string GetLoggedOnUserName(RunContext& context) {
  // The system account's run is the computer's, whoever it is logged on as.
  if (context.StagingRun) return "SYSTEM";
  return context.platform.system.GetUserName();
}

bool HasAlreadySucceeded(RunContext& context) {
  const platform::OsVersion version = context.platform.system.GetVersion();
  if (UsesStatusFile(version)) {
    if (context.DocumentPath.empty()) return false;
    std::optional<std::string> content =
        context.platform.files.ReadFile(StatusFilePath(context));
    if (!content) return false;
    const std::string key = StoredPath(context.DocumentPath);
    bool answer = false;
    for (std::string_view line : StatusLines(*content)) {
      auto [first, second] = FirstTwoFields(line);
      if (first == key) answer = second == "True";
    }
    return answer;
  }

  const std::string section = RegistrySection(context);
  bool answer = false;
  if (!context.DocumentPath.empty()) {
    std::optional<std::string> value =
        context.platform.registry.GetValue(kStatusRegistryRoot + section, kStatusValueName);
    // Anything but "True" (in any letter case) counts as not succeeded.
    std::string text = value.value_or("False");
    for (char& c : text) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    answer = text == "true";
  }
  WriteDebugLine(context, ">> Getting Registry key: " + section);
  WriteDebugLine(context, std::string(">> Registry Key Value: ") + OutcomeText(answer));
  return answer;
}

void SaveRunStatus(RunContext& context) {
  if (context.DocumentPath.empty()) return;
  const bool succeeded = !context.AbortStatus && context.OperationsSucceeded;
  const platform::OsVersion version = context.platform.system.GetVersion();
  if (UsesStatusFile(version)) {
    SaveToStatusFile(context, succeeded);
    return;
  }
  const std::string key = kStatusRegistryRoot + RegistrySection(context);
  platform::Status status =
      context.platform.registry.SetValue(key, kStatusValueName, OutcomeText(succeeded));
  if (!status.ok) ReportStoreFailure(context, key, status);
}

}  // namespace quillon::engine
