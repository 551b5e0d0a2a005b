// The times of runs: which dates a run can have, and which of two runs is the
// later. Reading the clients' own date forms is ParseGeneralDate (report.h).
#pragma once

#include <optional>

#include "tools/quillon/report.h"

namespace quillon::tools::report {

// Years outside 1980 to 2100 (a Buddhist-era year, a broken line) and
// impossible dates are no date of a run.
bool PossibleDate(const DateTime& date);

// Whether a run at `when` comes after, or with, one at `last`: a run without
// a readable time counts as older than any with one, and of two equal the one
// read later wins.
bool NotEarlier(const std::optional<DateTime>& when, const std::optional<DateTime>& last);

}  // namespace quillon::tools::report
