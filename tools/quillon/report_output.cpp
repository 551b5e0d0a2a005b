// The report's summary as readable text, as CSV and as JSON. Text keeps the
// host's 8-bit text; CSV and JSON are UTF-8 whatever the host, for scripts.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report.h"
#include "tools/quillon/report_format.h"

namespace quillon::tools::report {

namespace {

std::string Plural(long count, const char* one, const char* many) {
  return Grouped(count) + " " + (count == 1 ? one : many);
}

std::string Padded(const std::string& text, std::size_t width, bool right) {
  if (text.size() >= width) return text;
  const std::string pad(width - text.size(), ' ');
  return right ? pad + text : text + pad;
}

// Rows of cells printed in columns, numbers to the right.
void WriteColumns(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                  const std::vector<bool>& right) {
  std::vector<std::size_t> widths(right.size(), 0);
  for (const auto& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  for (const auto& row : rows) {
    std::string line = "  ";
    for (std::size_t i = 0; i < row.size(); ++i) {
      line += (i ? "  " : "") + Padded(row[i], i + 1 == row.size() && !right[i] ? 0 : widths[i], right[i]);
    }
    out << line << "\n";
  }
}

// Text from the share (names, lines of reports) as a terminal may show it.
std::string Printable(std::string_view text) { return VisibleText(text); }

std::string DayName(long long day) { return day == kUnknownDay ? "unknown day" : IsoDay(day); }

// Every field of every row goes through here: UTF-8, a text that a
// spreadsheet would take for a formula made plain text by a leading "'", and
// quoted when it holds a separator, a quote or a line end.
std::string CsvField(std::string_view text) {
  std::string utf8 = Utf8(text);
  if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string_view::npos) {
    utf8.insert(0, 1, '\'');
  }
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) return utf8;
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

std::string ProblemsJoined(const UserSummary& user) {
  std::string joined;
  for (const Problem& problem : user.lastProblems) {
    if (!joined.empty()) joined += " | ";
    joined += problem.line;
  }
  if (user.lastProblemsLeftOut > 0) {
    joined += " | (" + Grouped(static_cast<long long>(user.lastProblemsLeftOut)) + " more)";
  }
  return joined;
}

}  // namespace

std::string IssuesSentence(const IssueList& issues, IssueGroup group) {
  long count = 0;
  std::string reasons;
  for (const auto& [issue, n] : issues.counts) {
    const bool skips = IssueSkips(issue);
    const bool inGroup = group == IssueGroup::Skipped     ? skips
                         : group == IssueGroup::ReadInPart ? (!skips && issue != FileIssue::NotUtf8)
                                                           : issue == FileIssue::NotUtf8;
    if (!inGroup || n == 0) continue;
    count += n;
    reasons += (reasons.empty() ? ": " : ", ") + Grouped(n) + " " + IssueName(issue);
  }
  switch (group) {
    case IssueGroup::Skipped: return Plural(count, "file", "files") + " skipped" + reasons;
    case IssueGroup::ReadInPart: return Plural(count, "file", "files") + " read in part" + reasons;
    case IssueGroup::Repaired:
      return Plural(count, "file", "files") + (count == 1 ? " was" : " were") +
             " not UTF-8, read as Windows-1252";
  }
  return {};
}

std::string UsersNotShownSentence(const Summary& summary) {
  if (summary.runsOfUsersNotShown == 0) return {};
  return "and " + Plural(summary.runsOfUsersNotShown, "more run", "more runs") + " (" +
         Grouped(summary.failedRunsOfUsersNotShown) + " failed) of users not shown: more than " +
         Grouped(static_cast<long long>(kKeptUsers)) + " computers and users";
}

std::string MovesNotShownSentence(const Summary& summary) {
  if (summary.movesNotShown == 0) return {};
  return "and " + Plural(summary.movesNotShown, "more move", "more moves") +
         " not shown by server: more than " + Grouped(static_cast<long long>(kKeptServers)) +
         " servers, more than " + Grouped(static_cast<long long>(kMovesPerRun)) +
         " moves in one run, or names no printer has";
}

std::string FailedUnreadSentence(const Summary& summary) {
  std::string sentence;
  if (summary.failedFilesUnread > 0) {
    sentence = Plural(summary.failedFilesUnread, "file", "files") + " named FAILED_ could not be read";
  }
  if (summary.foldersUnread > 0) {
    if (!sentence.empty()) sentence += " and ";
    sentence += Plural(summary.foldersUnread, "folder", "folders") + " could not be listed";
  }
  return sentence.empty() ? sentence : sentence + ": a failure may be hidden";
}

std::string DriverNeedSentence(const DriverNeedCounts& need) {
  return Plural(need.users, "user", "users") + " could not get driver " + need.driver + " from " +
         need.server + " at their last run (" + Plural(need.runs, "run", "runs") +
         " in all): stage drivers";
}

std::string DriverNeedsNotShownSentence(const Summary& summary) {
  if (summary.driverNeedsNotShown == 0) return {};
  return "and " + Plural(summary.driverNeedsNotShown, "more driver need", "more driver needs") +
         " not shown: more than " + Grouped(static_cast<long long>(kKeptDrivers)) +
         " drivers, more than " + Grouped(static_cast<long long>(kDriversPerRun)) +
         " in one run, or overlong names";
}

std::string PrintServerName(const PrintServerTrouble& server) {
  return server.name.empty() ? "(this computer)" : server.name;
}

std::string PrintServerSentence(const PrintServerTrouble& server) {
  std::string sentence = PrintServerName(server);
  if (server.unreachableRuns > 0) {
    sentence += " did not answer in " + Plural(server.unreachableRuns, "run", "runs") + " (" +
                Plural(server.callsNotMade, "call", "calls") + " not made)";
  }
  if (server.slowCalls > 0) {
    const auto ms = [](std::uint64_t value) {
      return Grouped(static_cast<long long>(std::min<std::uint64_t>(value, LLONG_MAX))) + " ms";
    };
    sentence += std::string(server.unreachableRuns > 0 ? ";" : ":") + " " +
                Plural(server.slowCalls, "slow call", "slow calls") + ", longest " + ms(server.longestMs) +
                ", " + ms(server.totalMs) + " in all, in " + Plural(server.slowRuns, "run", "runs");
  }
  return sentence;
}

std::string PrintServerLinesNotShownSentence(const Summary& summary) {
  if (summary.printServerLinesNotShown == 0) return {};
  return "and " + Plural(summary.printServerLinesNotShown, "more print server line", "more print server lines") +
         " not shown: more than " + Grouped(static_cast<long long>(kKeptPrintServers)) +
         " servers, more than " + Grouped(static_cast<long long>(kPrintServersPerRun)) +
         " in one run, or overlong names";
}

const char* StagingOutcomeName(bool failed) { return failed ? "drivers missing" : "all drivers present"; }

std::string UserName(const std::string& name) { return name.empty() ? "(unknown)" : Printable(name); }

int ExitCode(const Summary& summary) {
  return summary.UsersFailing() > 0 || summary.failedFilesUnread > 0 || summary.foldersUnread > 0 ||
                 summary.failedRunsOfUsersNotShown > 0
             ? 1
             : 0;
}

void WriteText(const Summary& summary, std::ostream& out) {
  out << "Quillon report of " << Printable(summary.folder) << "\n";
  out << "Files: " << Grouped(summary.filesFound) << " found; read "
      << Plural(summary.outputFiles, "output file", "output files") << ", "
      << Plural(summary.debugFiles, "debug file", "debug files") << ", "
      << Plural(summary.mailBackups, "e-mail back-up", "e-mail back-ups") << "; "
      << Grouped(summary.ignoredFiles) << " other " << (summary.ignoredFiles == 1 ? "file" : "files")
      << " ignored (no reports)\n";
  out << IssuesSentence(summary.issues, IssueGroup::Skipped) << "\n";
  if (summary.issues.ReadInPart() > 0) {
    out << IssuesSentence(summary.issues, IssueGroup::ReadInPart) << "\n";
  }
  if (summary.issues.Repaired() > 0) out << IssuesSentence(summary.issues, IssueGroup::Repaired) << "\n";
  out << "Runs: " << Grouped(summary.runs) << " by "
      << Plural(static_cast<long>(summary.users.size()), "user", "users") << " on "
      << Plural(summary.computers, "computer", "computers") << ": " << Grouped(summary.succeeded)
      << " succeeded, " << Grouped(summary.failed) << " failed, " << Grouped(summary.alreadyDone)
      << " already done\n";
  if (summary.notTargeted > 0) {
    out << "Not targeted: " << Plural(summary.notTargeted, "computer", "computers") << ":";
    bool first = true;
    for (const auto& [kind, count] : summary.notTargetedByReason) {
      out << (first ? " " : ", ") << Grouped(count) << " " << kind;
      first = false;
    }
    out << "\n";
  }
  const long failing = summary.UsersFailing();
  out << "Last run failed: " << Plural(failing, "user", "users") << "\n";
  if (summary.failedFilesUnread > 0 || summary.foldersUnread > 0) {
    out << FailedUnreadSentence(summary) << "\n";
  }

  if (!summary.driversNeeded.empty() || summary.driverNeedsNotShown > 0) {
    out << "\nDrivers users could not get (error 3019, 5 or 1223; a staging run at computer\n"
           "start-up, QuillonEngine /StageDrivers, installs them):\n";
    for (const DriverNeedCounts* need : summary.DriverNeedsByUsers()) {
      out << "  " << Printable(DriverNeedSentence(*need)) << "\n";
    }
    if (summary.driverNeedsNotShown > 0) out << "  " << DriverNeedsNotShownSentence(summary) << "\n";
  }

  if (failing > 0) {
    out << "\nFailed at their last run:\n";
    for (const auto& [key, user] : summary.users) {
      if (user.lastOutcome != Outcome::Failed) continue;
      out << "  " << UserName(user.computer) << " " << UserName(user.user) << ", "
          << (user.lastTime ? user.lastTime->Iso() : "unknown time") << ", "
          << Plural(user.failed, "failed run", "failed runs") << " of " << Grouped(user.runs)
          << ": " << Printable(user.lastFile) << "\n";
      for (const Problem& problem : user.lastProblems) {
        out << "    " << Printable(problem.line) << "\n";
        if (!problem.explanation.empty()) out << "      " << Printable(problem.explanation) << "\n";
      }
      if (user.lastProblemsLeftOut > 0) {
        out << "    (" << Grouped(static_cast<long long>(user.lastProblemsLeftOut))
            << " more lines)\n";
      }
    }
  }

  if (!summary.users.empty()) {
    out << "\nEvery computer and user:\n";
    std::vector<std::vector<std::string>> rows = {
        {"COMPUTER", "USER", "LAST OUTCOME", "LAST RUN", "RUNS", "SUCCEEDED", "FAILED", "ALREADY DONE"}};
    for (const auto& [key, user] : summary.users) {
      rows.push_back({UserName(user.computer), UserName(user.user), OutcomeName(user.lastOutcome),
                      user.lastTime ? user.lastTime->Iso() : "unknown", Grouped(user.runs),
                      Grouped(user.succeeded), Grouped(user.failed), Grouped(user.alreadyDone)});
    }
    WriteColumns(out, rows, {false, false, false, false, true, true, true, true});
  }
  if (summary.runsOfUsersNotShown > 0) out << "  " << UsersNotShownSentence(summary) << "\n";

  if (!summary.staging.empty() || summary.stagingRunsNotShown > 0) {
    out << "\nDriver staging: " << Plural(summary.stagingRuns, "run", "runs") << ". "
        << kStagingExplained << "\n";
    std::vector<std::vector<std::string>> rows = {
        {"COMPUTER", "LAST OUTCOME", "LAST RUN", "RUNS", "FAILED", "INSTALLED", "ALREADY INSTALLED"}};
    for (const auto& [key, computer] : summary.staging) {
      rows.push_back({UserName(computer.computer), StagingOutcomeName(computer.lastFailed),
                      computer.lastTime ? computer.lastTime->Iso() : "unknown",
                      Grouped(computer.runs), Grouped(computer.failed),
                      Grouped(computer.lastInstalled), Grouped(computer.lastAlreadyInstalled)});
    }
    WriteColumns(out, rows, {false, false, false, true, true, true, true});
    for (const auto& [key, computer] : summary.staging) {
      if (computer.lastProblems.empty() && computer.lastInstalledLines.empty()) continue;
      out << "  " << UserName(computer.computer) << ": " << Printable(computer.lastFile) << "\n";
      for (const std::string& line : computer.lastInstalledLines) out << "    " << Printable(line) << "\n";
      for (const Problem& problem : computer.lastProblems) {
        out << "    " << Printable(problem.line) << "\n";
        if (!problem.explanation.empty()) out << "      " << Printable(problem.explanation) << "\n";
      }
    }
    if (summary.stagingRunsNotShown > 0) {
      out << "  and " << Plural(summary.stagingRunsNotShown, "more staging run", "more staging runs")
          << " of computers not shown\n";
    }
  }

  if (!summary.days.empty()) {
    out << "\nRuns per day:\n";
    std::vector<std::vector<std::string>> rows = {{"DAY", "RUNS", "SUCCEEDED", "FAILED", "ALREADY DONE"}};
    auto add = [&rows](long long day, const DayCounts& counts) {
      rows.push_back({DayName(day), Grouped(counts.Total()), Grouped(counts.succeeded),
                      Grouped(counts.failed), Grouped(counts.alreadyDone)});
    };
    for (const auto& [day, counts] : summary.days) {
      if (day != kUnknownDay) add(day, counts);
    }
    if (auto unknown = summary.days.find(kUnknownDay); unknown != summary.days.end()) {
      add(kUnknownDay, unknown->second);
    }
    WriteColumns(out, rows, {false, true, true, true, true});
  }

  if (!summary.oldServers.empty() || summary.movesNotShown > 0) {
    out << "\nOld servers (connections moved away from them):\n";
    std::vector<std::vector<std::string>> rows = {{"SERVER", "MOVES", "FAILED MOVES"}};
    for (const auto& [key, server] : summary.oldServers) {
      rows.push_back({Printable(server.name), Grouped(server.moves), Grouped(server.failedMoves)});
    }
    WriteColumns(out, rows, {false, true, true});
    if (summary.movesNotShown > 0) out << "  " << MovesNotShownSentence(summary) << "\n";
  }

  if (!summary.printServers.empty() || summary.printServerLinesNotShown > 0) {
    out << "\nSlow or unreachable print servers: " << kPrintServersExplained << "\n";
    std::vector<std::vector<std::string>> rows = {{"SERVER", "UNREACHABLE RUNS", "CALLS NOT MADE", "SLOW CALLS",
                                                   "LONGEST MS", "TOTAL MS", "RUNS WITH SLOW CALLS"}};
    const auto ms = [](std::uint64_t value) {
      return Grouped(static_cast<long long>(std::min<std::uint64_t>(value, LLONG_MAX)));
    };
    for (const PrintServerTrouble* server : summary.PrintServersByTrouble()) {
      rows.push_back({Printable(PrintServerName(*server)), Grouped(server->unreachableRuns),
                      Grouped(server->callsNotMade), Grouped(server->slowCalls), ms(server->longestMs),
                      ms(server->totalMs), Grouped(server->slowRuns)});
    }
    WriteColumns(out, rows, {false, true, true, true, true, true, true});
    if (summary.printServerLinesNotShown > 0) out << "  " << PrintServerLinesNotShownSentence(summary) << "\n";
  }

  if (!summary.issues.files.empty()) {
    out << "\nFiles skipped or not read whole:\n";
    for (const auto& [file, issue] : summary.issues.files) {
      out << "  " << Printable(file) << ": " << IssueName(issue) << "\n";
    }
    long listed = static_cast<long>(summary.issues.files.size());
    long all = 0;
    for (const auto& [issue, n] : summary.issues.counts) all += n;
    if (all > listed) out << "  (" << Grouped(all - listed) << " more)\n";
  }
}

void WriteCsv(const Summary& summary, std::ostream& out) {
  out << "record,computer,user,day,server,file,outcome,when,runs,succeeded,failed,already_done,"
         "moves,failed_moves,detail\r\n";
  auto row = [&out](std::initializer_list<std::string> fields) {
    bool first = true;
    for (const std::string& field : fields) {
      out << (first ? "" : ",") << CsvField(field);
      first = false;
    }
    out << "\r\n";
  };
  auto n = [](long long value) { return std::to_string(value); };
  std::string sentence = IssuesSentence(summary.issues, IssueGroup::Skipped);
  if (summary.issues.ReadInPart() > 0) {
    sentence += "; " + IssuesSentence(summary.issues, IssueGroup::ReadInPart);
  }
  if (summary.issues.Repaired() > 0) sentence += "; " + IssuesSentence(summary.issues, IssueGroup::Repaired);
  if (summary.failedFilesUnread > 0 || summary.foldersUnread > 0) {
    sentence += "; " + FailedUnreadSentence(summary);
  }
  row({"summary", "", "", "", "", summary.folder, "", "", n(summary.runs), n(summary.succeeded),
       n(summary.failed), n(summary.alreadyDone), "", "", sentence});
  // Computers the document's targeting left out, one row per kind of reason;
  // they are not among the summary's runs.
  for (const auto& [kind, count] : summary.notTargetedByReason) {
    row({"not_targeted", "", "", "", "", "", "", "", n(count), "", "", "", "", "", kind});
  }
  for (const auto& [key, user] : summary.users) {
    row({"user", user.computer, user.user, "", "", user.lastFile, OutcomeName(user.lastOutcome),
         user.lastTime ? user.lastTime->Iso() : "", n(user.runs), n(user.succeeded), n(user.failed),
         n(user.alreadyDone), "", "", ProblemsJoined(user)});
  }
  // Staging runs: one row per computer, user SYSTEM; the failed column counts
  // runs after which a needed driver was missing.
  for (const auto& [key, computer] : summary.staging) {
    std::string detail = "installed " + Grouped(computer.lastInstalled) + ", already installed " +
                         Grouped(computer.lastAlreadyInstalled);
    for (const std::string& line : computer.lastInstalledLines) detail += " | " + line;
    for (const Problem& problem : computer.lastProblems) detail += " | " + problem.line;
    row({"staging", computer.computer, "SYSTEM", "", "", computer.lastFile,
         StagingOutcomeName(computer.lastFailed), computer.lastTime ? computer.lastTime->Iso() : "",
         n(computer.runs), n(computer.runs - computer.failed), n(computer.failed), "", "", "",
         detail});
  }
  // Drivers users could not get: runs that were refused it, and in the failed
  // column the users whose last run was.
  for (const DriverNeedCounts* need : summary.DriverNeedsByUsers()) {
    row({"driver_needed", "", "", "", need->server, "", "", "", n(need->runs), "", n(need->users),
         "", "", "", DriverNeedSentence(*need)});
  }
  if (summary.driverNeedsNotShown > 0) {
    row({"not_shown", "", "", "", "", "", "", "", "", "", "", "", "", "",
         DriverNeedsNotShownSentence(summary)});
  }
  if (summary.runsOfUsersNotShown > 0) {
    row({"not_shown", "", "", "", "", "", "", "", n(summary.runsOfUsersNotShown), "",
         n(summary.failedRunsOfUsersNotShown), "", "", "", UsersNotShownSentence(summary)});
  }
  auto dayRow = [&](long long day, const DayCounts& counts) {
    row({"day", "", "", day == kUnknownDay ? "unknown" : IsoDay(day), "", "", "", "", n(counts.Total()),
         n(counts.succeeded), n(counts.failed), n(counts.alreadyDone), "", "", ""});
  };
  for (const auto& [day, counts] : summary.days) {
    if (day != kUnknownDay) dayRow(day, counts);
  }
  if (auto unknown = summary.days.find(kUnknownDay); unknown != summary.days.end()) {
    dayRow(kUnknownDay, unknown->second);
  }
  for (const auto& [key, server] : summary.oldServers) {
    row({"server", "", "", "", server.name, "", "", "", "", "", "", "", n(server.moves),
         n(server.failedMoves), ""});
  }
  if (summary.movesNotShown > 0) {
    row({"not_shown", "", "", "", "", "", "", "", "", "", "", "", n(summary.movesNotShown), "",
         MovesNotShownSentence(summary)});
  }
  // Unreachable or slow print servers: runs with slow calls, and in the
  // failed column the runs that found it unreachable; this computer's own
  // spooler without a server.
  for (const PrintServerTrouble* server : summary.PrintServersByTrouble()) {
    row({"print_server", "", "", "", server->name, "", "", "", n(server->slowRuns), "",
         n(server->unreachableRuns), "", "", "", PrintServerSentence(*server)});
  }
  if (summary.printServerLinesNotShown > 0) {
    row({"not_shown", "", "", "", "", "", "", "", "", "", "", "", "", "",
         PrintServerLinesNotShownSentence(summary)});
  }
  for (const auto& [file, issue] : summary.issues.files) {
    const char* record = IssueSkips(issue) ? "skipped" : issue == FileIssue::NotUtf8 ? "repaired"
                                                                                     : "read_in_part";
    row({record, "", "", "", "", file, "", "", "", "", "", "", "", "", IssueName(issue)});
  }
}

void WriteJson(const Summary& summary, std::ostream& out) {
  auto orNull = [](const std::string& text) { return text.empty() ? std::string("null") : JsonString(text); };
  out << "{\"folder\": " << JsonString(summary.folder) << ", \"exit\": " << ExitCode(summary)
      << ",\n \"files\": {\"found\": " << summary.filesFound << ", \"outputFiles\": " << summary.outputFiles
      << ", \"debugFiles\": " << summary.debugFiles << ", \"mailBackups\": " << summary.mailBackups
      << ", \"ignored\": " << summary.ignoredFiles << ", \"skipped\": " << summary.issues.Skipped()
      << ", \"readInPart\": " << summary.issues.ReadInPart()
      << ", \"repaired\": " << summary.issues.Repaired()
      << ", \"skippedSummary\": " << JsonString(IssuesSentence(summary.issues, IssueGroup::Skipped))
      << ", \"failedUnread\": " << summary.failedFilesUnread
      << ", \"foldersUnread\": " << summary.foldersUnread
      << "},\n \"notShown\": {\"runsOfUsers\": " << summary.runsOfUsersNotShown
      << ", \"failedRunsOfUsers\": " << summary.failedRunsOfUsersNotShown
      << ", \"moves\": " << summary.movesNotShown
      << ", \"driverNeeds\": " << summary.driverNeedsNotShown
      << ", \"stagingRuns\": " << summary.stagingRunsNotShown
      << ", \"printServerLines\": " << summary.printServerLinesNotShown << "},\n \"fileIssues\": [";
  long all = 0;
  for (const auto& [issue, count] : summary.issues.counts) all += count;
  for (std::size_t i = 0; i < summary.issues.files.size(); ++i) {
    const auto& [file, issue] = summary.issues.files[i];
    out << (i ? ",\n  " : "\n  ") << "{\"file\": " << JsonString(file) << ", \"issue\": "
        << JsonString(IssueName(issue)) << ", \"skipped\": " << (IssueSkips(issue) ? "true" : "false")
        << "}";
  }
  out << "],\n \"fileIssuesLeftOut\": " << (all - static_cast<long>(summary.issues.files.size()))
      << ",\n \"runs\": {\"total\": " << summary.runs << ", \"succeeded\": " << summary.succeeded
      << ", \"failed\": " << summary.failed << ", \"alreadyDone\": " << summary.alreadyDone
      << "},\n \"notTargeted\": {\"total\": " << summary.notTargeted << ", \"byReason\": {";
  {
    bool firstReason = true;
    for (const auto& [kind, count] : summary.notTargetedByReason) {
      out << (firstReason ? "" : ", ") << JsonString(kind) << ": " << count;
      firstReason = false;
    }
  }
  out << "}}"
      << ",\n \"computers\": " << summary.computers << ", \"usersFailing\": " << summary.UsersFailing()
      << ",\n \"users\": [";
  bool first = true;
  for (const auto& [key, user] : summary.users) {
    out << (first ? "\n  " : ",\n  ") << "{\"computer\": " << orNull(user.computer)
        << ", \"user\": " << orNull(user.user) << ", \"lastOutcome\": \"" << OutcomeName(user.lastOutcome)
        << "\", \"lastRun\": ";
    if (user.lastTime) {
      std::string iso = user.lastTime->Iso();
      iso[10] = 'T';
      out << "\"" << iso << "\"";
    } else {
      out << "null";
    }
    out << ", \"lastRunText\": " << JsonString(user.lastTimeText) << ", \"lastFile\": " << JsonString(user.lastFile)
        << ", \"runs\": " << user.runs << ", \"succeeded\": " << user.succeeded
        << ", \"failed\": " << user.failed << ", \"alreadyDone\": " << user.alreadyDone
        << ", \"mailFailures\": " << user.mailFailures << ", \"problems\": [";
    for (std::size_t i = 0; i < user.lastProblems.size(); ++i) {
      const Problem& problem = user.lastProblems[i];
      out << (i ? ", " : "") << "{\"severity\": \"" << (problem.failure ? "failure" : "warning")
          << "\", \"line\": " << JsonString(problem.line)
          << ", \"explanation\": " << orNull(problem.explanation) << "}";
    }
    out << "], \"problemsLeftOut\": " << user.lastProblemsLeftOut << "}";
    first = false;
  }
  out << "],\n \"days\": [";
  first = true;
  auto day = [&](long long at, const DayCounts& counts) {
    out << (first ? "\n  " : ",\n  ") << "{\"day\": "
        << (at == kUnknownDay ? std::string("null") : "\"" + IsoDay(at) + "\"")
        << ", \"runs\": " << counts.Total() << ", \"succeeded\": " << counts.succeeded
        << ", \"failed\": " << counts.failed << ", \"alreadyDone\": " << counts.alreadyDone << "}";
    first = false;
  };
  for (const auto& [at, counts] : summary.days) {
    if (at != kUnknownDay) day(at, counts);
  }
  if (auto unknown = summary.days.find(kUnknownDay); unknown != summary.days.end()) {
    day(kUnknownDay, unknown->second);
  }
  out << "],\n \"oldServers\": [";
  first = true;
  for (const auto& [key, server] : summary.oldServers) {
    out << (first ? "\n  " : ",\n  ") << "{\"server\": " << JsonString(server.name)
        << ", \"moves\": " << server.moves << ", \"failedMoves\": " << server.failedMoves << "}";
    first = false;
  }
  out << "],\n \"driversNeeded\": [";
  first = true;
  for (const DriverNeedCounts* need : summary.DriverNeedsByUsers()) {
    out << (first ? "\n  " : ",\n  ") << "{\"driver\": " << JsonString(need->driver)
        << ", \"server\": " << JsonString(need->server) << ", \"users\": " << need->users
        << ", \"runs\": " << need->runs << ", \"summary\": " << JsonString(DriverNeedSentence(*need))
        << "}";
    first = false;
  }
  out << "],\n \"printServers\": [";
  first = true;
  for (const PrintServerTrouble* server : summary.PrintServersByTrouble()) {
    out << (first ? "\n  " : ",\n  ") << "{\"server\": " << orNull(server->name)
        << ", \"unreachableRuns\": " << server->unreachableRuns << ", \"callsNotMade\": " << server->callsNotMade
        << ", \"slowCalls\": " << server->slowCalls << ", \"longestMs\": " << server->longestMs
        << ", \"totalMs\": " << server->totalMs << ", \"slowRuns\": " << server->slowRuns
        << ", \"summary\": " << JsonString(PrintServerSentence(*server)) << "}";
    first = false;
  }
  out << "],\n \"stagingRuns\": " << summary.stagingRuns << ",\n \"staging\": [";
  first = true;
  for (const auto& [key, computer] : summary.staging) {
    out << (first ? "\n  " : ",\n  ") << "{\"computer\": " << orNull(computer.computer)
        << ", \"user\": \"SYSTEM\", \"lastOutcome\": \"" << StagingOutcomeName(computer.lastFailed)
        << "\", \"lastRun\": ";
    if (computer.lastTime) {
      std::string iso = computer.lastTime->Iso();
      iso[10] = 'T';
      out << "\"" << iso << "\"";
    } else {
      out << "null";
    }
    out << ", \"lastFile\": " << JsonString(computer.lastFile) << ", \"runs\": " << computer.runs
        << ", \"failed\": " << computer.failed << ", \"installed\": " << computer.lastInstalled
        << ", \"alreadyInstalled\": " << computer.lastAlreadyInstalled << ", \"installedLines\": [";
    for (std::size_t i = 0; i < computer.lastInstalledLines.size(); ++i) {
      out << (i ? ", " : "") << JsonString(computer.lastInstalledLines[i]);
    }
    out << "], \"problems\": [";
    for (std::size_t i = 0; i < computer.lastProblems.size(); ++i) {
      const Problem& problem = computer.lastProblems[i];
      out << (i ? ", " : "") << "{\"line\": " << JsonString(problem.line)
          << ", \"explanation\": " << orNull(problem.explanation) << "}";
    }
    out << "]}";
    first = false;
  }
  out << "]}\n";
}

}  // namespace quillon::tools::report

