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

// A computer or user name, "(unknown)" when no file said it.
std::string UserName(const std::string& name);

// 1 when some user's last run failed, or a failure may be hidden (a FAILED_
// file that could not be read, a failed run of a user not kept), else 0.
int ExitCode(const Summary& summary);

}  // namespace quillon::tools::report
