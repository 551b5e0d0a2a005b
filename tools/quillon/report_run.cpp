// What one run's lines say, line by line: a report's (output file or e-mail
// back-up) and a debug file's, each as the engine writes them.
#include "tools/quillon/report_run.h"

#include <algorithm>
#include <iterator>

#include "engine/core/targeting.h"
#include "engine/migration/driver_staging.h"
#include "tools/quillon/report_lines.h"
#include "tools/quillon/report_text.h"

namespace quillon::tools::report {

namespace {

// 64-bit FNV-1a over a run's non-empty lines: the same report in an output
// file and in an e-mail back-up gives the same value.
std::uint64_t HashLine(std::uint64_t hash, std::string_view line) {
  for (char c : line) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  hash ^= 0x0A;
  return hash * 1099511628211ull;
}

constexpr std::string_view kDriverNeeded = "Driver needed: ";
// The debug lines of a staging run that say a driver is not there.
constexpr std::string_view kStagingDebugFailures[] = {
    ">> Reading the user profiles' printer connections failed",
    ">> Listing the printers of ",
    ">> No queue ",
    ">> Driver not offered for ",
    ">> Listing the installed printer drivers failed",
    ">> Installing the driver failed: ",
};

// A staging run's report lines that say a driver is not there, as the engine
// counts them against the run; its other lines (a user's profile it could not
// read, a server the document does not name, the directory's printers) are
// told but fail nothing.
bool StagingFailure(std::string_view line) {
  return line == "Could not read the printer connections of this computer's users." ||
         line == "Could not list the printer drivers of this computer." ||
         line == engine::kStagingNeedsAdministrator ||
         (StartsWith(line, "Could not list the printers of \\\\") &&
          line.ends_with(": its drivers cannot be installed.")) ||
         (line.find(" shares no printer ") != std::string_view::npos &&
          line.ends_with(": no driver to install for it.")) ||
         (line.find(" version of ") != std::string_view::npos &&
          line.ends_with("; add it on the print server.")) ||
         StartsWith(line, "Could not install ");
}

void AddStagingLine(Run& run, std::string_view line) {
  if (StagingFailure(line)) {
    run.AddProblem(true, line);
  } else if (StartsWith(line, "Could not read the printer connections of user ") ||
             StartsWith(line, "Not installing drivers from ")) {
    run.AddProblem(false, line);
  }
}

bool ParseIdentity(std::string_view line, std::string* computer, std::string* user) {
  if (!StartsWith(line, kIdentityStart) || line.size() < kIdentityStart.size() + kIdentityEnd.size() ||
      line.substr(line.size() - kIdentityEnd.size()) != kIdentityEnd) {
    return false;
  }
  std::string_view middle =
      line.substr(kIdentityStart.size(), line.size() - kIdentityStart.size() - kIdentityEnd.size());
  const std::size_t split = middle.find(kIdentityUser);
  if (split == std::string_view::npos) return false;
  *computer = std::string(middle.substr(0, split));
  *user = std::string(middle.substr(split + kIdentityUser.size()));
  return true;
}

// The debug lines of failed operations, the ones that fail the stored outcome.
constexpr std::string_view kDebugFailures[] = {
    "ERROR: Adding client networked printer: ",
    "ERROR: Removing client networked printer: ",
    "ERROR: Opening client local printer: ",
    "ERROR: Deleting client local printer: ",
    "ERROR: Adding local printer : ",
    "ERROR: Adding networked printer : ",
    "ERROR: Getting default printer name by enumeration.",
    "ERROR: Opening printer for set default : ",
    "ERROR: Getting printer reference for set default : ",
    "ERROR: Setting default printer: ",
    "ERROR: getting reference for setting default printer: ",
    "ERROR: Parsing default printer string: ",
    "ERROR: Writing default printer settings : ",
    "ERROR: Accessing Active Directory. <<",
    "ERROR: Quering Active Directory printers. <<",
    "ERROR: Unable to find an INI File.",
};

bool IsMatchLine(std::string_view line) {
  return line == ">> Found a server match <<" || line == ">> Found a printer match <<" ||
         line == ">> Found a Printer and Server match <<" ||
         line == ">> Found a server difference <<";
}

bool IsMatchDetail(std::string_view line) {
  return StartsWith(line, ">> Client ") || StartsWith(line, ">> INI ") ||
         StartsWith(line, ">> Printer share names") || StartsWith(line, ">> Printer names") ||
         StartsWith(line, ">> Server names");
}

// "N ms" at the end of a line: at most 12 digits (over 30 years), else no
// time the engine wrote.
std::optional<std::uint64_t> Milliseconds(std::string_view digits) {
  if (digits.empty() || digits.size() > 12 || digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  for (char c : digits) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return value;
}

// The print-server guard's lines: a probe that found a server not answering,
// a call skipped for it, a spooler call that took over a second. False for
// any other line. They may fall inside a move's lines and say nothing of it.
bool AddPrintServerLine(Run& run, std::string_view line) {
  constexpr std::string_view kProbe = ">> Print server \\\\";
  constexpr std::string_view kDead = " does not answer (probe took ";
  constexpr std::string_view kNotAsked = ">> Not asked, its print server does not answer: ";
  constexpr std::string_view kSlow = ">> Slow spooler call: ";
  if (StartsWith(line, kProbe)) {
    const std::string_view rest = line.substr(kProbe.size());
    const std::size_t dead = rest.rfind(kDead);
    if (dead != std::string_view::npos && dead > 0 && rest.ends_with(" ms)")) {
      if (PrintServerTrouble* server = run.PrintServer(rest.substr(0, dead))) server->unreachableRuns = 1;
    }
    return true;
  }
  if (StartsWith(line, kNotAsked)) {
    // "CALL NAME": only a server's name is ever skipped.
    const std::string_view rest = line.substr(kNotAsked.size());
    const std::size_t space = rest.find(' ');
    const std::string_view server = space == std::string_view::npos ? std::string_view() : ServerOf(rest.substr(space + 1));
    if (!server.empty()) {
      if (PrintServerTrouble* entry = run.PrintServer(server)) ++entry->callsNotMade;
    }
    return true;
  }
  if (StartsWith(line, kSlow)) {
    // "CALL[ NAME] took N ms"; NAME may hold spaces, even " took ".
    const std::string_view rest = line.substr(kSlow.size());
    const std::size_t took = rest.rfind(" took ");
    if (took == std::string_view::npos || !rest.ends_with(" ms")) return true;
    const std::optional<std::uint64_t> ms = Milliseconds(rest.substr(took + 6, rest.size() - took - 9));
    const std::string_view callAndName = rest.substr(0, took);
    const std::size_t space = callAndName.find(' ');
    const std::string_view name = space == std::string_view::npos ? std::string_view() : callAndName.substr(space + 1);
    // A local printer's call, or one without a name, is this computer's.
    const std::string_view server = ServerOf(name);
    if (!ms || space == 0 || (StartsWith(name, "\\\\") && server.empty())) return true;
    if (PrintServerTrouble* entry = run.PrintServer(server)) {
      ++entry->slowCalls;
      entry->longestMs = std::max(entry->longestMs, *ms);
      entry->totalMs += *ms;
    }
    return true;
  }
  return false;
}

}  // namespace

void Run::AddProblem(bool isFailure, std::string_view line) {
  if (isFailure) failure = true;
  if (problems.size() >= kProblemsPerRun) {
    ++problemsLeftOut;
    return;
  }
  problems.push_back({isFailure, Kept(line), {}});
}

void Run::Explain(std::string_view text) {
  if (problems.empty() || problemsLeftOut > 0) return;
  std::string& explanation = problems.back().explanation;
  if (explanation.size() >= kLongestKeptLine) return;
  if (!explanation.empty()) explanation += " ";
  explanation = Kept(explanation + std::string(text));
}

void Run::AddMove(std::string_view oldName, std::string_view newName, bool failed) {
  if (moves.size() >= kMovesPerRun || oldName.size() > kLongestKeptLine ||
      newName.size() > kLongestKeptLine) {
    ++movesLeftOut;
    return;
  }
  moves.push_back({std::string(oldName), std::string(newName), failed});
}

void Run::AddDriverNeed(std::string_view text) {
  const std::size_t from = text.rfind(" from \\\\");
  if (from == std::string_view::npos || from == 0) return;
  const std::string_view driver = text.substr(0, from), server = text.substr(from + 6);
  for (const auto& [d, sv] : driversNeeded) {
    if (EqualsIgnoringCase(d, driver) && EqualsIgnoringCase(sv, server)) return;
  }
  if (driversNeeded.size() >= kDriversPerRun || driver.size() > kLongestKeptLine ||
      server.size() > kLongestKeptLine) {
    ++driverNeedsLeftOut;
    return;
  }
  driversNeeded.emplace_back(std::string(driver), std::string(server));
}

void Run::AddInstalled(std::string_view line) {
  ++installed;
  if (installedLines.size() < kProblemsPerRun) installedLines.push_back(Kept(line));
}

PrintServerTrouble* Run::PrintServer(std::string_view server) {
  const std::string name = server.empty() ? std::string() : "\\\\" + std::string(server);
  for (PrintServerTrouble& known : printServers) {
    if (EqualsIgnoringCase(known.name, name)) return &known;
  }
  if (printServers.size() >= kPrintServersPerRun || server.size() > kLongestKeptLine) {
    ++printServerLinesLeftOut;
    return nullptr;
  }
  printServers.emplace_back().name = name;
  return &printServers.back();
}

Move* Run::MoveNamed(std::string_view name, bool byNewName) {
  for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
    if (EqualsIgnoringCase(byNewName ? it->newName : it->oldName, name)) return &*it;
  }
  return nullptr;
}

// One line of a report (output file or e-mail back-up), as the engine's
// phases write them.
void AddReportLine(Run& run, std::string_view line) {
  if (line.empty()) return;
  run.hash = HashLine(run.hash, line);
  run.hasBody = true;
  if (ParseIdentity(line, &run.computer, &run.user)) {
    run.identified = true;
    return;
  }
  if (line == kAlreadySucceeded) {
    run.already = true;
    return;
  }
  if (line == kStagingTitle) {
    run.staging = true;
    run.user = "SYSTEM";
    return;
  }
  if (run.staging && StartsWith(line, "Computer: ")) {
    run.computer = std::string(line.substr(10));
    run.identified = true;
    return;
  }
  if (StartsWith(line, kDriverNeeded)) {
    run.AddDriverNeed(line.substr(kDriverNeeded.size()));
    return;
  }
  if (run.staging && StartsWith(line, "Installed driver ")) {
    run.AddInstalled(line);
    return;
  }
  if (run.staging && StartsWith(line, "Driver ") && line.ends_with(" is already installed")) {
    ++run.alreadyInstalled;
    return;
  }
  if (StartsWith(line, "Migrating: ")) {
    std::string_view names = line.substr(11);
    const std::size_t to = names.find(" to \\\\");
    if (to != std::string_view::npos) {
      run.AddMove(names.substr(0, to), names.substr(to + 4), false);
    }
    return;
  }
  if (StartsWith(line, "What error ")) {
    run.Explain(line);
    return;
  }
  if (StartsWith(line, "> Error Number: ") || StartsWith(line, "> Error Description: ")) {
    run.Explain(line.substr(2));
    return;
  }
  if (StartsWith(line, "Error (")) {
    // Every printer operation that fails ("Error (1801) populating network
    // printer: ...", "Error (5) deleting network printer: ...", the default
    // printer's) fails the run.
    run.AddProblem(true, line);
    constexpr std::string_view kAdded = " populating network printer: ";
    constexpr std::string_view kRemoved = " deleting network printer: ";
    if (const std::size_t at = line.find(kAdded); at != std::string_view::npos) {
      if (Move* move = run.MoveNamed(line.substr(at + kAdded.size()), true)) move->failed = true;
    } else if (const std::size_t at2 = line.find(kRemoved); at2 != std::string_view::npos) {
      if (Move* move = run.MoveNamed(line.substr(at2 + kRemoved.size()), false)) move->failed = true;
    }
    return;
  }
  if (StartsWith(line, "Error accessing Active Directory.") ||
      StartsWith(line, "Error quering Active Directory printers.")) {
    run.aborted = true;
    run.AddProblem(true, line);
    return;
  }
  if (StartsWith(line, "Error parsing default printer settings: ")) {
    run.AddProblem(true, line);
    return;
  }
  if (StartsWith(line, "Not removing ")) {
    const std::string_view rest = line.substr(13);
    if (Move* move = run.MoveNamed(rest.substr(0, rest.find(": the new connection")), false)) {
      move->failed = true;
    }
    run.AddProblem(false, line);
    return;
  }
  // Lines that tell of trouble the engine does not count against the run.
  if (StartsWith(line, "Error ") || StartsWith(line, "Warning") ||
      StartsWith(line, "Printer NOT FOUND IN AD: ") || StartsWith(line, "E-mail recipient refused: ") ||
      StartsWith(line, "Active Directory published no printers")) {
    run.AddProblem(false, line);
    return;
  }
  if (run.staging) AddStagingLine(run, line);
}

// The debug lines that name the file a run wrote its report into.
constexpr std::string_view kWritingOutput = ">> Writing to notification output file: ";
constexpr std::string_view kWritingBackup = ">> Writing to back-up file: ";

void AddDebugLine(Run& run, DebugMoves& moves, std::string_view line) {
  if (line.empty() || line.front() == '*') return;
  run.hasBody = true;
  if (AddPrintServerLine(run, line)) return;
  if (StartsWith(line, engine::kNotTargetedPrefix)) {
    run.notTargeted = std::string(line.substr(engine::kNotTargetedPrefix.size()));
    if (run.notTargeted.empty()) run.notTargeted = "(no reason given)";
    return;
  }
  constexpr std::string_view kAdded = ">> Added networked printer: ";
  constexpr std::string_view kAddFailed = "ERROR: Adding client networked printer: ";
  constexpr std::string_view kRemoved = ">> Removed networked printer: ";
  constexpr std::string_view kRemoveFailed = "ERROR: Removing client networked printer: ";
  constexpr std::string_view kKept = ">> Keeping old printer, new connection failed: ";
  const bool detail = StartsWith(line, "SYSTEM ERROR: ") || StartsWith(line, ">> What error ") ||
                      StartsWith(line, "ERROR DESCRIPTION: ") ||
                      (StartsWith(line, "ERROR: ") && line.size() > 7 &&
                       line.find_first_not_of("-0123456789", 7) == std::string_view::npos);
  // The move state first, so that the lines below still count as problems.
  if (IsMatchLine(line)) {
    moves.state = DebugMoves::State::Matched;
  } else if (moves.state == DebugMoves::State::Matched && IsMatchDetail(line)) {
  } else if (moves.state == DebugMoves::State::Matched &&
             (StartsWith(line, kAdded) || StartsWith(line, kAddFailed))) {
    const bool failed = StartsWith(line, kAddFailed);
    moves.newName = Kept(line.substr(failed ? kAddFailed.size() : kAdded.size()));
    moves.addFailed = failed;
    moves.state = DebugMoves::State::Added;
  } else if (moves.state == DebugMoves::State::Added && detail) {
  } else if (moves.state == DebugMoves::State::Added &&
             (StartsWith(line, kRemoved) || StartsWith(line, kRemoveFailed) ||
              StartsWith(line, kKept))) {
    const std::size_t prefix = StartsWith(line, kRemoved)        ? kRemoved.size()
                               : StartsWith(line, kRemoveFailed) ? kRemoveFailed.size()
                                                                 : kKept.size();
    run.AddMove(line.substr(prefix), moves.newName, moves.addFailed || !StartsWith(line, kRemoved));
    moves.state = DebugMoves::State::Idle;
  } else {
    moves.state = DebugMoves::State::Idle;
  }

  if (line == ">> Staging printer drivers") {
    run.staging = true;
    run.user = "SYSTEM";
  } else if (StartsWith(line, ">> Driver needed: ")) {
    run.AddDriverNeed(line.substr(3 + kDriverNeeded.size()));
  } else if (run.staging && StartsWith(line, ">> Installed driver ")) {
    run.AddInstalled(line.substr(3));
  } else if (run.staging && StartsWith(line, ">> Driver ") &&
             line.find(" is already installed") != std::string_view::npos) {
    ++run.alreadyInstalled;
  } else if (run.staging && (line == ">> Finished staging, every driver present: False" ||
                             std::any_of(std::begin(kStagingDebugFailures),
                                         std::end(kStagingDebugFailures),
                                         [&](std::string_view p) { return StartsWith(line, p); }))) {
    run.AddProblem(true, line.substr(3));
  } else if (line == ">> This INI file has already successed on this machine.") {
    run.already = true;
  } else if (StartsWith(line, ">> ") && line.size() > 20 &&
             line.substr(line.size() - 20) == ", abort status: True") {
    run.aborted = true;
  } else if (line == "Unable to get INI file contents, please check your file path and permissions.") {
    run.aborted = true;
    run.AddProblem(true, line);
  } else if (StartsWith(line, kWritingOutput)) {
    run.wroteOutput = LowerAscii(BaseName(line.substr(kWritingOutput.size())));
  } else if (StartsWith(line, "ERROR: Saving notification output file <<")) {
    run.wroteOutput.clear();
    run.AddProblem(false, line);
  } else if (StartsWith(line, kWritingBackup)) {
    run.wroteBackup = LowerAscii(BaseName(line.substr(kWritingBackup.size())));
  } else if (StartsWith(line, "ERROR: Saving email failure file <<")) {
    run.wroteBackup.clear();
    run.AddProblem(false, line);
  } else if (StartsWith(line, ">> Getting Registry key: ") && run.user.empty()) {
    // The run status of an older client is kept under "<document>\<user>".
    run.user = std::string(BaseName(line.substr(25)));
  } else if (detail) {
    run.Explain(StartsWith(line, ">> ") ? line.substr(3) : line);
  } else if (StartsWith(line, "ERROR: ")) {
    bool failure = false;
    for (std::string_view prefix : kDebugFailures) failure = failure || StartsWith(line, prefix);
    run.AddProblem(failure, line);
  }
}

// The outcome marker of an output file's name: "SUCCESS_" or "FAILED_" at its
// start or after an underscore. `at` is where it starts.
bool FindOutcomeMarker(std::string_view name, std::size_t* at, bool* failed) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (i > 0 && name[i - 1] != '_') continue;
    if (StartsWithIgnoringCase(name.substr(i), "SUCCESS_")) {
      *at = i, *failed = false;
      return true;
    }
    if (StartsWithIgnoringCase(name.substr(i), "FAILED_")) {
      *at = i, *failed = true;
      return true;
    }
  }
  return false;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Succeeded: return "succeeded";
    case Outcome::Failed: return "failed";
    case Outcome::AlreadyDone: return "already done";
  }
  return "";
}

}  // namespace quillon::tools::report
