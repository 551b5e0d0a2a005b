// `quillon report`: what the engine's reports under a deployment share say,
// summarised per computer and user, per day and per old print server. Files
// are read one at a time and folded into the summary, so memory follows the
// summary, not the number or size of the files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quillon::tools::report {

// A run's outcome as the engine stores it for its run-once guard: a run whose
// printer operations failed is stored as a failure (and runs again at the next
// logon) even when its output file is named SUCCESS_, which only says that the
// run was not aborted.
enum class Outcome { Succeeded, Failed, AlreadyDone };
const char* OutcomeName(Outcome outcome);  // "succeeded", "failed", "already done"

struct DateTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  long long Day() const;      // days since 1970-01-01
  long long Seconds() const;  // seconds since 1970-01-01 00:00:00, local time
  std::string Iso() const;    // "2026-12-08 18:22:18"
};
std::string IsoDay(long long day);  // "2026-12-08"

// How a numeric date whose first two numbers are both 12 or less is read.
enum class DateOrder { Unknown, DayFirst, MonthFirst };

// Reads a date in a Windows general date form, short date then long time, in
// whatever locale the client had: "12/8/2026 6:22:18 PM", "08.12.2026
// 18:22:18", "2026-12-08 18:22:18", "2026/12/8 18:22:18", "8/12/2026
// 18:22:18". Day and month are told apart by their values (13 and above is a
// day), else by the order `order` holds (learnt from earlier dates of the same
// form in the same file), else as the locales that write the form do: with
// "/" and AM/PM month first (United States), otherwise day first. `order`
// learns from every date whose values decide. nullopt when no plausible date
// (years 1980 to 2100) can be read.
std::optional<DateTime> ParseGeneralDate(std::string_view text,
                                         std::map<std::string, DateOrder>* orders = nullptr);

// A line of a run that failed or warns, with the engine's explanation of its
// error code when one followed it.
struct Problem {
  bool failure = false;
  std::string line;
  std::string explanation;
};

struct UserSummary {
  std::string computer, user;  // as first seen; empty when unknown
  long runs = 0, succeeded = 0, failed = 0, alreadyDone = 0;
  long mailFailures = 0;  // runs whose report the mail server did not take
  // The last run: the latest by its time; a run without a readable time
  // counts as older than any with one, and of two equal the one read later.
  Outcome lastOutcome = Outcome::Succeeded;
  std::optional<DateTime> lastTime;
  std::string lastTimeText;  // as the file wrote it
  std::string lastFile;      // relative to the folder read
  std::vector<Problem> lastProblems;  // at most kProblemsPerRun, fewer when kKeptProblems ran out
  std::size_t lastProblemsLeftOut = 0;
  std::uint64_t lastOrder = 0;
  // The drivers the last run's connections were refused for ("Driver needed:
  // X from \\SERVER"), as driver and server.
  std::vector<std::pair<std::string, std::string>> lastDriversNeeded;
};

// A driver the users' connections were refused for (error 3019, 5 or 1223),
// from the engine's "Driver needed: X from \\SERVER" lines.
struct DriverNeedCounts {
  std::string driver, server;  // as first seen; server with its "\\"
  long users = 0;  // users whose last run was refused it
  long runs = 0;   // runs refused it
};

// A computer's start-up staging runs (QuillonEngine /StageDrivers, user
// SYSTEM): kept apart from the users' runs, whose counts they are not in.
struct StagingSummary {
  std::string computer;  // as first seen
  long runs = 0, failed = 0;
  bool lastFailed = false;  // some needed driver was missing after the last run
  std::optional<DateTime> lastTime;
  std::string lastFile;
  long lastInstalled = 0;         // "Installed driver ..." lines of the last run
  long lastAlreadyInstalled = 0;  // "Driver ... is already installed"
  std::vector<std::string> lastInstalledLines;  // at most kProblemsPerRun
  std::vector<Problem> lastProblems;            // at most kProblemsPerRun
};

// A print server the runs found unreachable or slow, from the debug files'
// probe and timing lines. Each debug file holds its computer's last run only.
struct PrintServerTrouble {
  std::string name;  // as first seen, with its "\\"; empty for this computer's own spooler
  long unreachableRuns = 0;     // runs whose probe found it not answering
  long callsNotMade = 0;        // calls those runs skipped for it
  long slowCalls = 0;           // spooler calls on it that took over a second
  std::uint64_t longestMs = 0;  // the longest of them
  std::uint64_t totalMs = 0;    // all of them together
  long slowRuns = 0;            // runs with a slow call on it
};

inline constexpr long long kUnknownDay = -1'000'000'000;

struct DayCounts {
  long succeeded = 0, failed = 0, alreadyDone = 0;
  long Total() const { return succeeded + failed + alreadyDone; }
};

struct ServerCounts {
  std::string name;  // as first seen
  long moves = 0;        // connections the reports moved away from it
  long failedMoves = 0;  // of those, moves whose new connection or removal failed
};

// What the summary keeps, so that its memory and its page follow these bounds
// and not what users put into the share; every output says what was left out.
// The engine writes a few kilobytes per run, a debug file of a few hundred
// kilobytes, and printer names of at most a few hundred characters.
inline constexpr std::uint64_t kLargestReportFile = 512ull * 1024 * 1024;  // read up to it
inline constexpr std::uint64_t kLargestDebugFile = 64ull * 1024 * 1024;    // skipped beyond it
inline constexpr std::size_t kLongestKeptLine = 512;   // a problem line, cut beyond it ("...")
inline constexpr std::size_t kProblemsPerRun = 50;     // lines kept of a user's last run
inline constexpr std::size_t kKeptProblems = 100'000;  // lines kept of all users' last runs
inline constexpr std::size_t kMovesPerRun = 1'000;     // moves of one run counted by server
inline constexpr std::size_t kKeptServers = 1'000;     // old servers counted by name
inline constexpr std::size_t kKeptUsers = 100'000;     // computers and users listed
inline constexpr std::size_t kDriversPerRun = 100;     // drivers needed of one run counted
inline constexpr std::size_t kKeptDrivers = 1'000;     // drivers and servers counted by name
inline constexpr std::size_t kPrintServersPerRun = 100;  // unreachable or slow servers of one run
inline constexpr std::size_t kKeptPrintServers = 1'000;  // unreachable or slow servers by name
// Runs of one e-mail back-up (held until the output files are read); the
// engine appends a second only when two runs end in the same second.
inline constexpr std::size_t kRunsPerBackup = 16;

// Why a file was not read whole. Skipped files gave nothing; the others gave
// what they held up to the damage, or were read with their bytes repaired.
enum class FileIssue {
  CannotBeRead,    // skipped
  FolderUnreadable,// skipped: a folder below that cannot be listed
  Empty,           // skipped: named as a report, but empty
  NotAReport,      // skipped: named as a report, but holds none
  NotADebugFile,   // skipped: named ".debug", but not the engine's scrambled text
  TooLarge,        // skipped: a ".debug" file larger than any run writes
  Link,            // skipped: a link, never followed out of the folder
  NotAFile,        // skipped: a pipe, device or other entry that is no regular file
  CutShort,        // read in part: ends inside a report
  Truncated,       // read in part: larger than kLargestReportFile, read up to it
  TooManyRuns,     // read in part: an e-mail back-up of more than kRunsPerBackup runs
  Junk,            // read in part: binary bytes among its reports, skipped
  NotUtf8,         // read whole: bytes that are no UTF-8, read as Windows-1252
};
const char* IssueName(FileIssue issue);
bool IssueSkips(FileIssue issue);

struct IssueList {
  std::map<FileIssue, long> counts;
  std::vector<std::pair<std::string, FileIssue>> files;  // the first kListedIssueFiles
  long Skipped() const;
  long ReadInPart() const;  // cut, junk or truncated
  long Repaired() const;    // not UTF-8
};
inline constexpr std::size_t kListedIssueFiles = 1000;

struct Summary {
  std::string folder;
  long filesFound = 0;  // regular files under the folder
  long outputFiles = 0, debugFiles = 0, mailBackups = 0, ignoredFiles = 0;
  IssueList issues;
  // Keyed by computer and user without regard to case, as Windows names them.
  std::map<std::string, UserSummary> users;
  std::map<long long, DayCounts> days;  // kUnknownDay for runs without a readable date
  std::map<std::string, ServerCounts> oldServers;  // keyed in upper case
  // Keyed by driver and server in upper case; most users first in the outputs.
  std::map<std::string, DriverNeedCounts> driversNeeded;
  // Keyed by server in upper case, "" for this computer; most trouble first in the outputs.
  std::map<std::string, PrintServerTrouble> printServers;
  std::map<std::string, StagingSummary> staging;  // keyed by computer in lower case
  long stagingRuns = 0;
  long runs = 0, succeeded = 0, failed = 0, alreadyDone = 0;
  long computers = 0;
  // Runs the document's targeting left out (their debug files' "Not
  // targeted" line), counted by the kind of reason; not among `runs`.
  long notTargeted = 0;
  std::map<std::string, long> notTargetedByReason;
  // What the bounds above left out of the lists; the totals count everything.
  long runsOfUsersNotShown = 0, failedRunsOfUsersNotShown = 0;  // beyond kKeptUsers
  long movesNotShown = 0;  // beyond kKeptServers or kMovesPerRun, or an overlong name
  long driverNeedsNotShown = 0;  // beyond kKeptDrivers or kDriversPerRun, or an overlong name
  long stagingRunsNotShown = 0;  // of computers beyond kKeptUsers
  // Probe and timing lines beyond kKeptPrintServers or kPrintServersPerRun, or
  // with an overlong name.
  long printServerLinesNotShown = 0;
  // Files named as a failed run (FAILED_) that could not be read: a failure
  // may be hidden there.
  long failedFilesUnread = 0;
  // Folders below that could not be listed: what they hold, a FAILED_ file
  // among it, is unknown.
  long foldersUnread = 0;
  long UsersFailing() const;  // users whose last run failed
  // The driver needs, most users first, then by driver and server.
  std::vector<const DriverNeedCounts*> DriverNeedsByUsers() const;
  // The unreachable or slow servers, most unreachable runs first, then most
  // runs with slow calls, then most time lost in them.
  std::vector<const PrintServerTrouble*> PrintServersByTrouble() const;
};

struct ReadOptions {
  // Called now and then with the files handled so far and the files found;
  // `total` is 0 while the folder is still being looked through.
  std::function<void(long done, long total)> progress;
  // Bounds of a file's bytes (tests set smaller ones).
  std::uint64_t largestReportFile = kLargestReportFile;
  std::uint64_t largestDebugFile = kLargestDebugFile;
};

// Reads every report under `folder`, its sub-folders too. The folder must be
// listable; an unlisted sub-folder is an issue of the summary.
Summary ReadShare(platform::FileSystem& files, const std::string& folder,
                  const ReadOptions& options = {});

void WriteText(const Summary& summary, std::ostream& out);
void WriteCsv(const Summary& summary, std::ostream& out);
void WriteJson(const Summary& summary, std::ostream& out);
// A page that needs nothing from elsewhere: the chart is inline SVG, the
// sorting inline script.
std::string HtmlPage(const Summary& summary);

// 1234567 as "1,234,567".
std::string Grouped(long long number);
// Narrow (host 8-bit) text as UTF-8.
std::string Utf8(std::string_view narrow);

}  // namespace quillon::tools::report
