// Counting runs into the report's totals: the runs by outcome and day, each
// user's and each staging computer's last run, the old servers, the drivers
// needed and the print servers in trouble, each list within its bound and
// what the bound left out counted.
#include "tools/quillon/report_summary.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "engine/core/targeting.h"
#include "tools/quillon/report_dates.h"
#include "tools/quillon/report_text.h"

namespace quillon::tools::report {

void Tally::Fold(const Run& run) {
  if (!run.notTargeted.empty()) {
    ++summary_.notTargeted;
    ++summary_.notTargetedByReason[engine::TargetingReasonKind(run.notTargeted)];
    return;
  }
  if (run.staging) {
    FoldStaging(run);
    return;
  }
  const Outcome outcome = run.GetOutcome();
  ++summary_.runs;
  DayCounts& day = summary_.days[run.when ? run.when->Day() : kUnknownDay];
  switch (outcome) {
    case Outcome::Succeeded: ++summary_.succeeded, ++day.succeeded; break;
    case Outcome::Failed: ++summary_.failed, ++day.failed; break;
    case Outcome::AlreadyDone: ++summary_.alreadyDone, ++day.alreadyDone; break;
  }
  FoldMoves(run);
  FoldDriverNeeds(run);

  const std::string key = LowerAscii(run.computer) + '\t' + LowerAscii(run.user);
  auto found = summary_.users.find(key);
  if (found == summary_.users.end()) {
    if (summary_.users.size() >= kKeptUsers) {
      ++summary_.runsOfUsersNotShown;
      if (outcome == Outcome::Failed) ++summary_.failedRunsOfUsersNotShown;
      return;
    }
    found = summary_.users.emplace(key, UserSummary{}).first;
  }
  UserSummary& user = found->second;
  if (user.runs == 0) user.computer = run.computer, user.user = run.user;
  const bool first = user.runs == 0;
  ++user.runs;
  switch (outcome) {
    case Outcome::Succeeded: ++user.succeeded; break;
    case Outcome::Failed: ++user.failed; break;
    case Outcome::AlreadyDone: ++user.alreadyDone; break;
  }
  if (run.mailFailed) ++user.mailFailures;
  const std::uint64_t order = ++order_;
  if (first || NotEarlier(run.when, user.lastTime)) {
    user.lastOutcome = outcome;
    user.lastTime = run.when;
    user.lastTimeText = run.whenText;
    user.lastFile = run.file;
    // The lines of every user's last run share one bound.
    keptProblems_ -= user.lastProblems.size();
    const std::size_t room = kKeptProblems - keptProblems_;
    const std::size_t keep = std::min(room, run.problems.size());
    user.lastProblems.assign(run.problems.begin(), run.problems.begin() + static_cast<std::ptrdiff_t>(keep));
    user.lastProblemsLeftOut = run.problemsLeftOut + (run.problems.size() - keep);
    keptProblems_ += keep;
    user.lastOrder = order;
    user.lastDriversNeeded = run.driversNeeded;
  }
}

void Tally::FoldDriverNeeds(const Run& run) {
  summary_.driverNeedsNotShown += run.driverNeedsLeftOut;
  for (const auto& [driver, server] : run.driversNeeded) {
    const std::string key = UpperAscii(driver) + '\t' + UpperAscii(server);
    auto found = summary_.driversNeeded.find(key);
    if (found == summary_.driversNeeded.end()) {
      if (summary_.driversNeeded.size() >= kKeptDrivers) {
        ++summary_.driverNeedsNotShown;
        continue;
      }
      found = summary_.driversNeeded.emplace(key, DriverNeedCounts{driver, server, 0, 0}).first;
    }
    ++found->second.runs;
  }
}

void Tally::FoldPrintServers(Run& run) {
  summary_.printServerLinesNotShown += run.printServerLinesLeftOut;
  for (const PrintServerTrouble& trouble : run.printServers) {
    const std::string key = UpperAscii(trouble.name);
    auto found = summary_.printServers.find(key);
    if (found == summary_.printServers.end()) {
      if (summary_.printServers.size() >= kKeptPrintServers) {
        ++summary_.printServerLinesNotShown;
        continue;
      }
      found = summary_.printServers.emplace(key, PrintServerTrouble{}).first;
      found->second.name = trouble.name;
    }
    PrintServerTrouble& server = found->second;
    server.unreachableRuns += trouble.unreachableRuns;
    server.callsNotMade += trouble.callsNotMade;
    server.slowCalls += trouble.slowCalls;
    server.longestMs = std::max(server.longestMs, trouble.longestMs);
    // Any file can claim any time: the sum stops short of overflowing.
    constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();
    server.totalMs = trouble.totalMs > kMost - server.totalMs ? kMost : server.totalMs + trouble.totalMs;
    if (trouble.slowCalls > 0) ++server.slowRuns;
  }
  run.printServers.clear();
}

// A staging run: one row per computer, its last run's lines kept within
// the bound every kept line shares.
void Tally::FoldStaging(const Run& run) {
  ++summary_.stagingRuns;
  const bool failed = run.GetOutcome() == Outcome::Failed;
  auto found = summary_.staging.find(LowerAscii(run.computer));
  if (found == summary_.staging.end()) {
    if (summary_.staging.size() >= kKeptUsers) {
      ++summary_.stagingRunsNotShown;
      return;
    }
    found = summary_.staging.emplace(LowerAscii(run.computer), StagingSummary{}).first;
    found->second.computer = run.computer;
  }
  StagingSummary& computer = found->second;
  const bool first = computer.runs == 0;
  ++computer.runs;
  if (failed) ++computer.failed;
  if (!first && !NotEarlier(run.when, computer.lastTime)) return;
  computer.lastFailed = failed;
  computer.lastTime = run.when;
  computer.lastFile = run.file;
  computer.lastInstalled = run.installed;
  computer.lastAlreadyInstalled = run.alreadyInstalled;
  keptProblems_ -= computer.lastProblems.size() + computer.lastInstalledLines.size();
  std::size_t room = kKeptProblems - keptProblems_;
  const std::size_t problems = std::min(room, run.problems.size());
  computer.lastProblems.assign(run.problems.begin(),
                               run.problems.begin() + static_cast<std::ptrdiff_t>(problems));
  room -= problems;
  const std::size_t lines = std::min(room, run.installedLines.size());
  computer.lastInstalledLines.assign(
      run.installedLines.begin(), run.installedLines.begin() + static_cast<std::ptrdiff_t>(lines));
  keptProblems_ += problems + lines;
}

void Tally::FoldMoves(const Run& run) {
  summary_.movesNotShown += run.movesLeftOut;
  for (const Move& move : run.moves) {
    const std::string_view server = ServerOf(move.oldName);
    if (server.empty()) continue;
    const std::string key = UpperAscii(server);
    auto found = summary_.oldServers.find(key);
    if (found == summary_.oldServers.end()) {
      if (summary_.oldServers.size() >= kKeptServers) {
        ++summary_.movesNotShown;
        continue;
      }
      found = summary_.oldServers.emplace(key, ServerCounts{std::string(server), 0, 0}).first;
    }
    ++found->second.moves;
    if (move.failed) ++found->second.failedMoves;
  }
}

void Tally::Finish() {
  for (const auto& [key, user] : summary_.users) {
    for (const auto& [driver, server] : user.lastDriversNeeded) {
      auto found = summary_.driversNeeded.find(UpperAscii(driver) + '\t' + UpperAscii(server));
      if (found != summary_.driversNeeded.end()) ++found->second.users;
    }
  }
  std::set<std::string> computers;
  for (const auto& [key, user] : summary_.users) computers.insert(key.substr(0, key.find('\t')));
  summary_.computers = static_cast<long>(computers.size());
}

long Summary::UsersFailing() const {
  long count = 0;
  for (const auto& [key, user] : users) count += user.lastOutcome == Outcome::Failed ? 1 : 0;
  return count;
}

std::vector<const DriverNeedCounts*> Summary::DriverNeedsByUsers() const {
  std::vector<const DriverNeedCounts*> needs;
  for (const auto& [key, need] : driversNeeded) needs.push_back(&need);
  std::stable_sort(needs.begin(), needs.end(), [](const DriverNeedCounts* a, const DriverNeedCounts* b) {
    return a->users != b->users ? a->users > b->users : a->runs > b->runs;
  });
  return needs;
}

std::vector<const PrintServerTrouble*> Summary::PrintServersByTrouble() const {
  std::vector<const PrintServerTrouble*> servers;
  for (const auto& [key, server] : printServers) servers.push_back(&server);
  std::stable_sort(servers.begin(), servers.end(), [](const PrintServerTrouble* a, const PrintServerTrouble* b) {
    if (a->unreachableRuns != b->unreachableRuns) return a->unreachableRuns > b->unreachableRuns;
    if (a->slowRuns != b->slowRuns) return a->slowRuns > b->slowRuns;
    return a->totalMs > b->totalMs;
  });
  return servers;
}

std::string Grouped(long long number) {
  std::string digits = std::to_string(number < 0 ? -number : number);
  std::string result;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) result += ',';
    result += digits[i];
  }
  return number < 0 ? "-" + result : result;
}

}  // namespace quillon::tools::report
