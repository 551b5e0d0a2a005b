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

// A computer or user name, "(unknown)" when no file said it.
std::string UserName(const std::string& name);

// 1 when some user's last run failed, else 0.
int ExitCode(const Summary& summary);

}  // namespace quillon::tools::report
