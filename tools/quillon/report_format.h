// What the report's output forms share: the sentences about files that were
// not read whole, names for the unknown, JSON strings, the exit status.
#pragma once

#include <string>
#include <string_view>

#include "tools/quillon/report.h"

namespace quillon::tools::report {

enum class IssueGroup { Skipped, ReadInPart, Repaired };

// "3 files skipped: 1 cannot be read, 2 empty", "0 files skipped", "1 file
// read in part: 1 cut short, read up to the cut".
std::string IssuesSentence(const IssueList& issues, IssueGroup group);

// What the summary's bounds left out, and FAILED_ files that could not be
// read, each as a sentence ("3,999,000 more moves not shown by server ...");
// empty when nothing was.
std::string UsersNotShownSentence(const Summary& summary);
std::string MovesNotShownSentence(const Summary& summary);
std::string FailedUnreadSentence(const Summary& summary);

// "12 users could not get driver X from \\NEWSRV at their last run (15 runs in
// all): stage drivers" (QuillonEngine /StageDrivers at computer start-up).
std::string DriverNeedSentence(const DriverNeedCounts& need);
std::string DriverNeedsNotShownSentence(const Summary& summary);
// An unreachable or slow print server: its name, "(this computer)" for the
// client's own spooler; "\\OLDSRV did not answer in 2 runs (3 calls not
// made); 4 slow calls, longest 1,500 ms, 6,000 ms in all, in 2 runs".
std::string PrintServerName(const PrintServerTrouble& server);
std::string PrintServerSentence(const PrintServerTrouble& server);
std::string PrintServerLinesNotShownSentence(const Summary& summary);
inline constexpr const char* kPrintServersExplained =
    "Servers a run's probe found not answering (asked nothing that needs them), and spooler "
    "calls that took over a second, from the debug files (each holds its computer's last run).";
// A staging run's outcome: "all drivers present" or "drivers missing".
const char* StagingOutcomeName(bool failed);
// What the staging section says of itself: kept apart from the users' runs.
inline constexpr const char* kStagingExplained =
    "Start-up staging runs (QuillonEngine /StageDrivers as the local system account, user "
    "SYSTEM), one row per computer; they are not counted among the users' runs.";

// A computer or user name, "(unknown)" when no file said it.
std::string UserName(const std::string& name);

// 1 when some user's last run failed, or a failure may be hidden (a FAILED_
// file that could not be read, a failed run of a user not kept), else 0.
int ExitCode(const Summary& summary);

}  // namespace quillon::tools::report
