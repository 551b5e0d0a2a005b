// The share walk: every file under a folder, its sub-folders too, listed in
// a fixed order and never followed through a link; the e-mail back-ups and
// debug files read first, then the output files, each run handed to the
// summary as soon as it has been read.
//
// A run that these files report twice (an output file and the e-mail back-up
// of the same run, or a debug file whose run went into an output file under
// the folder) is counted once.
#include "tools/quillon/report.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report_dates.h"
#include "tools/quillon/report_lines.h"
#include "tools/quillon/report_run.h"
#include "tools/quillon/report_summary.h"
#include "tools/quillon/report_text.h"

namespace quillon::tools::report {

namespace {

// "<computer>_MM.DD.YYYY_HH.NN.SS_EmailFailure.txt"
bool ParseBackupName(std::string_view name, std::string* computer, DateTime* when) {
  constexpr std::string_view kSuffix = "_EmailFailure.txt";
  constexpr std::size_t kStamp = 19;  // MM.DD.YYYY_HH.NN.SS
  if (!EndsWithIgnoringCase(name, kSuffix) || name.size() < kSuffix.size() + kStamp + 2) return false;
  const std::string_view stamp = name.substr(name.size() - kSuffix.size() - kStamp, kStamp);
  if (name[name.size() - kSuffix.size() - kStamp - 1] != '_') return false;
  constexpr std::string_view kShape = "00.00.0000_00.00.00";
  int fields[6] = {};
  int field = 0;
  for (std::size_t i = 0; i < kStamp; ++i) {
    if (kShape[i] == '0') {
      if (stamp[i] < '0' || stamp[i] > '9') return false;
      fields[field] = fields[field] * 10 + (stamp[i] - '0');
    } else {
      if (stamp[i] != kShape[i]) return false;
      ++field;
    }
  }
  *computer = std::string(name.substr(0, name.size() - kSuffix.size() - kStamp - 1));
  *when = {fields[2], fields[0], fields[1], fields[3], fields[4], fields[5]};
  return !computer->empty();
}

class ShareReader {
 public:
  ShareReader(platform::FileSystem& files, const std::string& folder, const ReadOptions& options)
      : files_(files), folder_(folder), options_(options) {
    summary_.folder = folder;
  }

  Summary Read() {
    // First the e-mail back-ups and the debug files, at most one per computer
    // or failed mail: the output files' runs that they hold too are then known
    // as such when they are read, and nothing need be kept per output file.
    Walk(/*first=*/true);
    total_ = summary_.filesFound;
    Walk(/*first=*/false);
    Finish();
    return std::move(summary_);
  }

 private:
  struct PendingBackup {
    Run run;
    bool matched = false;
  };
  struct PendingDebug {
    Run run;
    bool covered = false;
  };

  template <typename Visit>
  void WalkFolders(bool first, Visit visit) {
    std::vector<std::string> pending{""};
    while (!pending.empty()) {
      const std::string relative = pending.back();
      pending.pop_back();
      const std::string path = relative.empty() ? folder_ : platform::JoinPath(folder_, relative);
      std::optional<std::vector<platform::FolderEntry>> entries = files_.ListFolder(path);
      if (!entries) {
        if (first && !relative.empty()) {
          Issue(relative, FileIssue::FolderUnreadable);
          ++summary_.foldersUnread;
        }
        continue;
      }
      std::sort(entries->begin(), entries->end(),
                [](const auto& a, const auto& b) { return a.name < b.name; });
      std::vector<std::string> below;
      for (const platform::FolderEntry& entry : *entries) {
        const std::string entryRelative =
            relative.empty() ? entry.name : platform::JoinPath(relative, entry.name);
        if (entry.kind == platform::FolderEntry::Kind::Folder) {
          below.push_back(entryRelative);
        } else if (entry.kind == platform::FolderEntry::Kind::File) {
          visit(platform::JoinPath(folder_, entryRelative), entryRelative, entry);
        } else if (first) {
          // A link could lead out of the share to a file its user may not
          // see; a pipe or device could stall the read. Named, never opened.
          Issue(entryRelative, entry.link ? FileIssue::Link : FileIssue::NotAFile);
        }
      }
      pending.insert(pending.end(), below.rbegin(), below.rend());
    }
  }

  void Walk(bool first) {
    WalkFolders(first, [&](const std::string& path, const std::string& relative,
                           const platform::FolderEntry& entry) {
      std::string computer;
      DateTime stamp;
      const bool backup = ParseBackupName(entry.name, &computer, &stamp);
      const bool debug = EndsWithIgnoringCase(entry.name, ".debug");
      if (first) {
        ++summary_.filesFound;
        if (backup) {
          ReadBackup(path, relative, entry.name, computer, stamp);
          ++done_;
        } else if (debug) {
          ReadDebugFile(path, relative, entry);
          ++done_;
        }
        Progress(summary_.filesFound, 0);
        return;
      }
      if (backup || debug) return;
      ReadOutputFile(path, relative, entry.name);
      ++done_;
      Progress(done_, total_);
    });
    if (!first) Progress(done_, total_, /*last=*/true);
  }

  void Progress(long done, long total, bool last = false) {
    if (!options_.progress) return;
    // Often enough for a display, seldom enough to cost nothing.
    // Files written meanwhile may make the second pass the longer.
    if (last || done % 64 == 0) options_.progress(done, total > 0 ? std::max(done, total) : 0);
  }

  void Issue(const std::string& relative, FileIssue issue) {
    ++summary_.issues.counts[issue];
    std::size_t markerAt = 0;
    bool namedFailed = false;
    if (IssueSkips(issue) && FindOutcomeMarker(BaseName(relative), &markerAt, &namedFailed) &&
        namedFailed) {
      ++summary_.failedFilesUnread;
    }
    if (summary_.issues.files.size() < kListedIssueFiles) {
      summary_.issues.files.emplace_back(relative, issue);
    }
  }

  // ------------------------------------------------------------ output files

  void ReadOutputFile(const std::string& path, const std::string& relative, const std::string& name) {
    std::size_t markerAt = 0;
    bool namedFailed = false;
    const bool named = FindOutcomeMarker(name, &markerAt, &namedFailed);
    std::unique_ptr<platform::ReadableFile> file = files_.OpenForReading(path);
    if (!file) {
      Issue(relative, FileIssue::CannotBeRead);
      return;
    }
    LineSource lines(*file, options_.largestReportFile);

    // The engine's own bytes open every output file: two line ends, then the
    // first report's "Report At: " line. A file that opens otherwise is not a
    // report, and is passed over in silence unless its name says it is one.
    std::optional<LineSource::Line> line;
    int emptyLines = 0;
    while ((line = lines.Next()) && !line->junk && line->text.empty() && emptyLines < 8) ++emptyLines;
    if (!line || line->junk || !StartsWith(line->text, "Report At: ")) {
      if (lines.readError() && lines.bytes() == 0) {
        Issue(relative, FileIssue::CannotBeRead);
      } else if (!named) {
        ++summary_.ignoredFiles;
      } else if (lines.bytes() == 0) {
        Issue(relative, FileIssue::Empty);
      } else {
        Issue(relative, FileIssue::NotAReport);
      }
      return;
    }
    ++summary_.outputFiles;

    // Who wrote a report without its "Computer:" line (the run-once guard's):
    // the name's "<computer>_<user>_" when the file is one user's, known from
    // another report of the same file or, failing that, from the name alone.
    std::optional<std::pair<std::string, std::string>> byName, byReport;
    if (named && markerAt > 1) {
      const std::string_view prefix = std::string_view(name).substr(0, markerAt - 1);
      const std::size_t split = prefix.find('_');
      if (split != std::string_view::npos && split > 0 && split + 1 < prefix.size()) {
        byName.emplace(std::string(prefix.substr(0, split)), std::string(prefix.substr(split + 1)));
      }
    }
    std::map<std::string, DateOrder> orders;
    TextRepair repair;
    bool junk = false;
    std::optional<Run> run;
    auto commit = [&] {
      if (!run) return;
      // A time with nothing after it says nothing of how the run went.
      if (!run->hasBody) {
        run.reset();
        return;
      }
      if (!run->identified) {
        const auto& who = byReport ? byReport : byName;
        if (who) run->computer = who->first, run->user = who->second;
      } else if (StartsWithIgnoringCase(name, run->computer + "_" + run->user + "_")) {
        byReport.emplace(run->computer, run->user);
      }
      MatchBackup(*run);
      CoverDebugRun(*run);
      tally_.Fold(*run);
      run.reset();
    };
    for (; line; line = lines.Next()) {
      if (line->junk) {
        // The run the junk broke into counts as far as it went; a damaged
        // line of text may have been a failure, so that run counts as failed.
        // Reading goes on at the next report.
        junk = true;
        if (run && line->damagedText) run->AddProblem(true, kUnreadableRest);
        commit();
        continue;
      }
      if (StartsWith(line->text, "Report At: ")) {
        commit();
        run.emplace();
        run->source = Source::OutputFile;
        run->file = relative;
        run->fileName = name;
        run->namedFailed = named && namedFailed;
        run->whenText = std::string(repair.Text(line->text.substr(11)));
        run->when = ParseGeneralDate(run->whenText, &orders);
        continue;
      }
      if (run) AddReportLine(*run, repair.Text(line->text));
    }
    // The engine appends each report whole, ending it with a line end: a file
    // that ends otherwise, or with a report that has nothing after its time,
    // was cut.
    const bool cut = (lines.cutLine() && !lines.truncated()) || lines.readError() ||
                     (run && !run->hasBody && !lines.truncated());
    commit();
    if (junk) Issue(relative, FileIssue::Junk);
    if (cut) Issue(relative, FileIssue::CutShort);
    if (lines.truncated()) Issue(relative, FileIssue::Truncated);
    if (repair.repaired()) Issue(relative, FileIssue::NotUtf8);
  }

  // ------------------------------------------------------------ e-mail back-ups

  void ReadBackup(const std::string& path, const std::string& relative, const std::string& name,
                  const std::string& computer, const DateTime& stamp) {
    std::unique_ptr<platform::ReadableFile> file = files_.OpenForReading(path);
    if (!file) {
      Issue(relative, FileIssue::CannotBeRead);
      return;
    }
    LineSource lines(*file, options_.largestReportFile);
    TextRepair repair;
    std::optional<Run> run;
    std::size_t runs = 0;
    auto commit = [&] {
      if (!run) return;
      if (run->hasBody) {
        ++runs;
        const std::string key = LowerAscii(run->computer);
        backupsByComputer_[key].push_back(backups_.size());
        backups_.push_back({std::move(*run), false});
      }
      run.reset();
    };
    // The back-up holds the report without a "Report At: " line; two runs of
    // one second on one computer are appended to the same back-up.
    bool junk = false, tooMany = false;
    while (std::optional<LineSource::Line> line = lines.Next()) {
      if (line->junk) {
        junk = true;
        if (run && line->damagedText) run->AddProblem(true, kUnreadableRest);
        continue;
      }
      const std::string_view text = repair.Text(line->text);
      const bool starts =
          StartsWith(text, kIdentityStart) || text == kAlreadySucceeded || text == kStagingTitle;
      if (!run || (starts && run->hasBody)) {
        commit();
        // Back-ups are held until the output files are read: a file of
        // endless runs must not fill memory.
        if (runs >= kRunsPerBackup) {
          tooMany = true;
          break;
        }
        run.emplace();
        run->source = Source::MailBackup;
        run->computer = computer;
        // A name anyone can give a file: an impossible time is no time.
        if (PossibleDate(stamp)) run->when = stamp;
        run->whenText = stamp.Iso();
        run->file = relative;
        run->fileName = name;
        run->mailFailed = true;
      }
      AddReportLine(*run, text);
    }
    commit();
    if (runs == 0) {
      Issue(relative, lines.bytes() == 0 ? FileIssue::Empty : FileIssue::NotAReport);
      return;
    }
    ++summary_.mailBackups;
    if (junk) Issue(relative, FileIssue::Junk);
    if (tooMany) {
      Issue(relative, FileIssue::TooManyRuns);
    } else {
      if ((lines.cutLine() && !lines.truncated()) || lines.readError()) Issue(relative, FileIssue::CutShort);
      if (lines.truncated()) Issue(relative, FileIssue::Truncated);
    }
    if (repair.repaired()) Issue(relative, FileIssue::NotUtf8);
  }

  // An output file's run that an e-mail back-up also holds: the back-up's
  // copy is dropped and the run marked as one whose mail failed.
  void MatchBackup(Run& run) {
    if (backups_.empty() || run.computer.empty()) return;
    auto found = backupsByComputer_.find(LowerAscii(run.computer));
    if (found == backupsByComputer_.end()) return;
    for (std::size_t index : found->second) {
      PendingBackup& backup = backups_[index];
      if (backup.matched || backup.run.hash != run.hash) continue;
      // The back-up is written just before the output file, in the same minute
      // or so; two identical reports days apart are two runs.
      if (run.when && backup.run.when) {
        const long long apart = run.when->Seconds() - backup.run.when->Seconds();
        if (apart < -60 || apart > 300) continue;
      }
      backup.matched = true;
      run.mailFailed = true;
      return;
    }
  }

  // ------------------------------------------------------------ debug files

  void ReadDebugFile(const std::string& path, const std::string& relative,
                     const platform::FolderEntry& entry) {
    const std::uint64_t limit = options_.largestDebugFile;
    if (entry.size > limit) {
      Issue(relative, FileIssue::TooLarge);
      return;
    }
    // Read whole, but never beyond the bound: the file may have grown, or
    // been swapped for a link or a pipe, since it was listed.
    platform::Status status;
    std::optional<std::string> bytes = files_.ReadRegularFile(path, limit, &status);
    if (!bytes) {
      Issue(relative, status.description == platform::TooLargeText(path, limit) ? FileIssue::TooLarge
                                                                                 : FileIssue::CannotBeRead);
      return;
    }
    std::optional<std::string> text = DecodeDebugBytes(*bytes);
    bytes.reset();
    if (!text || text->find("     BEGIN DEBUG     ") == std::string::npos) {
      Issue(relative, FileIssue::NotADebugFile);
      return;
    }
    ++summary_.debugFiles;
    Run run;
    run.source = Source::DebugFile;
    run.computer = entry.name.substr(0, entry.name.size() - 6);
    run.file = relative;
    run.fileName = entry.name;
    // The file is written once, as the run ends.
    if (entry.modified) {
      const platform::LocalTime& t = *entry.modified;
      run.when = DateTime{t.year, t.month, t.day, t.hour, t.minute, t.second};
      run.whenText = run.when->Iso();
    }
    TextRepair repair;
    DebugMoves moves;
    std::string_view rest = *text;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      AddDebugLine(run, moves, repair.Text(line));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    if (repair.repaired()) Issue(relative, FileIssue::NotUtf8);
    // Only a debug file tells of print servers: folded here, whether or not
    // an output file stands for the rest of its run.
    tally_.FoldPrintServers(run);
    debugsByComputer_[LowerAscii(run.computer)].push_back(debugRuns_.size());
    debugRuns_.push_back({std::move(run), false});
  }

  // A debug file's run whose report went to this run's output file is in
  // that file: this computer's run read from it stands for it.
  void CoverDebugRun(const Run& run) {
    if (debugRuns_.empty()) return;
    auto found = debugsByComputer_.find(LowerAscii(run.computer));
    if (found == debugsByComputer_.end()) return;
    for (std::size_t index : found->second) {
      PendingDebug& debug = debugRuns_[index];
      if (!debug.covered && debug.run.wroteOutput == LowerAscii(run.fileName)) debug.covered = true;
    }
  }

  void Finish() {
    for (PendingBackup& backup : backups_) {
      if (!backup.matched) tally_.Fold(backup.run);
    }
    // A debug file's run is counted only when no output file or e-mail
    // back-up read here holds its report.
    for (PendingDebug& debug : debugRuns_) {
      if (!debug.covered && !debug.run.wroteBackup.empty()) {
        auto found = backupsByComputer_.find(LowerAscii(debug.run.computer));
        if (found != backupsByComputer_.end()) {
          for (std::size_t index : found->second) {
            if (LowerAscii(backups_[index].run.fileName) == debug.run.wroteBackup) debug.covered = true;
          }
        }
      }
      if (!debug.covered) tally_.Fold(debug.run);
    }
    tally_.Finish();
  }

  platform::FileSystem& files_;
  const std::string folder_;
  const ReadOptions& options_;
  Summary summary_;
  Tally tally_{summary_};
  long done_ = 0, total_ = 0;
  std::vector<PendingBackup> backups_;
  std::unordered_map<std::string, std::vector<std::size_t>> backupsByComputer_;
  std::vector<PendingDebug> debugRuns_;
  std::unordered_map<std::string, std::vector<std::size_t>> debugsByComputer_;
};

}  // namespace

const char* IssueName(FileIssue issue) {
  switch (issue) {
    case FileIssue::CannotBeRead: return "cannot be read";
    case FileIssue::FolderUnreadable: return "folder cannot be listed";
    case FileIssue::Empty: return "empty";
    case FileIssue::NotAReport: return "not a report of the engine";
    case FileIssue::NotADebugFile: return "not a debug file of the engine";
    case FileIssue::TooLarge: return "too large for a debug file";
    case FileIssue::Link: return "link, not followed";
    case FileIssue::NotAFile: return "not a regular file";
    case FileIssue::Truncated: return "larger than a report file can be, read up to the bound";
    case FileIssue::TooManyRuns: return "more runs than an e-mail back-up holds, read the first ones";
    case FileIssue::CutShort: return "cut short, read up to the cut";
    case FileIssue::Junk: return "binary junk, read around it";
    case FileIssue::NotUtf8: return "not UTF-8, read as Windows-1252";
  }
  return "";
}

bool IssueSkips(FileIssue issue) {
  return issue != FileIssue::CutShort && issue != FileIssue::Junk && issue != FileIssue::Truncated &&
         issue != FileIssue::TooManyRuns && issue != FileIssue::NotUtf8;
}

long IssueList::Skipped() const {
  long count = 0;
  for (const auto& [issue, n] : counts) count += IssueSkips(issue) ? n : 0;
  return count;
}

long IssueList::ReadInPart() const {
  long count = 0;
  for (const auto& [issue, n] : counts) {
    count += (!IssueSkips(issue) && issue != FileIssue::NotUtf8) ? n : 0;
  }
  return count;
}

long IssueList::Repaired() const {
  auto found = counts.find(FileIssue::NotUtf8);
  return found == counts.end() ? 0 : found->second;
}

Summary ReadShare(platform::FileSystem& files, const std::string& folder,
                  const ReadOptions& options) {
  return ShareReader(files, folder, options).Read();
}

}  // namespace quillon::tools::report
