// What one run says: the lines of one report (an output file's or an e-mail
// back-up's) or of one debug file, read into the run's outcome, its problems,
// its moves, the drivers it needed or staged, the print servers it found
// unreachable or slow, and whether the document's targeting left it out.
//
// What a run's lines mean comes from the engine's own texts: the report lines
// of engine/printers and engine/migration, the debug lines beside them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/quillon/report.h"

namespace quillon::tools::report {

enum class Source { OutputFile, MailBackup, DebugFile };

struct Move {
  std::string oldName, newName;
  bool failed = false;
};

// Said of a run whose report holds a line of text with control characters.
constexpr std::string_view kUnreadableRest =
    "(the rest of this report cannot be read: a failure may be hidden in it)";

// Where a run's hash over its lines starts (64-bit FNV-1a).
constexpr std::uint64_t kHashStart = 14695981039346656037ull;

// One run as its file tells it, until it is folded into the summary.
struct Run {
  Source source = Source::OutputFile;
  std::string computer, user;
  bool identified = false;  // by the report's own "Computer: ... Username: ..." line
  std::optional<DateTime> when;
  std::string whenText;
  std::string file;      // relative to the folder
  std::string fileName;  // its last part
  bool namedFailed = false;
  bool aborted = false, failure = false, already = false;
  bool hasBody = false;
  bool mailFailed = false;
  std::vector<Problem> problems;
  std::size_t problemsLeftOut = 0;
  std::vector<Move> moves;
  long movesLeftOut = 0;  // beyond kMovesPerRun, or a name no printer has
  // A start-up staging run (QuillonEngine /StageDrivers), not a user's.
  bool staging = false;
  long installed = 0, alreadyInstalled = 0;
  std::vector<std::string> installedLines;  // at most kProblemsPerRun
  std::vector<std::pair<std::string, std::string>> driversNeeded;  // driver, server
  long driverNeedsLeftOut = 0;
  // Debug runs: the print servers found unreachable or slow.
  std::vector<PrintServerTrouble> printServers;  // at most kPrintServersPerRun
  long printServerLinesLeftOut = 0;
  std::uint64_t hash = kHashStart;
  // Debug runs: the files the run's report went to (last parts, lower case).
  std::string wroteOutput, wroteBackup;
  // Why the document's targeting left this run out; empty when it did not.
  std::string notTargeted;

  Outcome GetOutcome() const {
    if (namedFailed || aborted || failure) return Outcome::Failed;
    if (already) return Outcome::AlreadyDone;
    return Outcome::Succeeded;
  }

  void AddProblem(bool isFailure, std::string_view line);
  // Detail that belongs to the problem before it.
  void Explain(std::string_view text);
  void AddMove(std::string_view oldName, std::string_view newName, bool failed);
  // "X from \\\\SERVER", once per driver and server.
  void AddDriverNeed(std::string_view text);
  void AddInstalled(std::string_view line);
  // The entry of `server` (without its "\\\\", empty for this computer);
  // nullptr, counted as left out, beyond the bounds.
  PrintServerTrouble* PrintServer(std::string_view server);
  Move* MoveNamed(std::string_view name, bool byNewName);
};

// The report's first line when the run got past the run-once guard.
constexpr std::string_view kIdentityStart = "* ----- Computer: ";
constexpr std::string_view kIdentityUser = " Username: ";
constexpr std::string_view kIdentityEnd = " Printers ----- *";
constexpr std::string_view kAlreadySucceeded = "This INI file has already succeeded on this machine.";
// The staging run's first line.
constexpr std::string_view kStagingTitle = "* ----- Staging Printer Drivers ----- *";

// One line of a report (output file or e-mail back-up), as the engine's
// phases write them. The run's hash follows its non-empty lines, so that the
// same report in an output file and in an e-mail back-up gives the same value.
void AddReportLine(Run& run, std::string_view line);

// Follows a debug log through a move: the match, the new connection's add,
// then the old one's removal (or its keeping when the add failed).
struct DebugMoves {
  enum class State { Idle, Matched, Added } state = State::Idle;
  std::string newName;
  bool addFailed = false;
};

// One line of a debug file.
void AddDebugLine(Run& run, DebugMoves& moves, std::string_view line);

// The outcome marker of an output file's name: "SUCCESS_" or "FAILED_" at its
// start or after an underscore. `at` is where it starts.
bool FindOutcomeMarker(std::string_view name, std::size_t* at, bool* failed);

}  // namespace quillon::tools::report
