// The summary's counting: each run, once read, folded into the report's
// totals, its days, its old servers, drivers and print servers, and the rows
// of its users and staging computers, within the bounds report.h sets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/quillon/report.h"
#include "tools/quillon/report_run.h"

namespace quillon::tools::report {

class Tally {
 public:
  explicit Tally(Summary& summary) : summary_(summary) {}

  // A run read whole; each run is folded once, whichever files held it.
  void Fold(const Run& run);
  // A debug file's print servers, which no other file tells of: counted
  // whether or not the rest of its run is; taken out of the run.
  void FoldPrintServers(Run& run);
  // Once every run is folded: the totals that follow from the users' rows.
  void Finish();

 private:
  void FoldDriverNeeds(const Run& run);
  void FoldStaging(const Run& run);
  void FoldMoves(const Run& run);

  Summary& summary_;
  std::uint64_t order_ = 0;
  std::size_t keptProblems_ = 0;
};

}  // namespace quillon::tools::report
