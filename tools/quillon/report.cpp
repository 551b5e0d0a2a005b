// Reads the engine's output files, e-mail back-ups and debug files under a
// folder and folds each run into the summary as soon as it has been read.
//
// What a run's lines mean comes from the engine's own texts: the report lines
// of engine/printers and engine/migration, the debug lines beside them. A run
// that one of these files reports twice (an output file and the e-mail back-up
// of the same run, or a debug file whose run went into an output file under
// the folder) is counted once.
#include "tools/quillon/report.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>
#include <set>
#include <unordered_map>

#include "engine/core/targeting.h"
#include "engine/migration/driver_staging.h"
#include "platform/text.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools::report {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
// No line the engine writes comes near this; a longer one is binary junk.
constexpr std::size_t kLongestLine = 64 * 1024;

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = LowerAscii(c);
  return result;
}

std::string Upper(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = UpperAscii(c);
  return result;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         StartsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithIgnoringCase(a, b);
}

// The last part of a path as a client wrote it (either separator).
std::string_view BaseName(std::string_view path) {
  const std::size_t at = path.find_last_of("\\/");
  return at == std::string_view::npos ? path : path.substr(at + 1);
}

// The server of a printer name "\\SERVER\share".
std::string_view ServerOf(std::string_view printer) {
  if (!StartsWith(printer, "\\\\")) return {};
  printer.remove_prefix(2);
  return printer.substr(0, printer.find('\\'));
}

// ---------------------------------------------------------------- text

// A line as the summary keeps it: at most kLongestKeptLine bytes, cut at a
// character's start and marked, so that no user's file can fill memory.
std::string Kept(std::string_view line) {
  if (line.size() <= kLongestKeptLine) return std::string(line);
  std::size_t end = kLongestKeptLine - 3;
  while (end > 0 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
  return std::string(line.substr(0, end)) + "...";
}

bool IsUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Sequence(text.substr(i));
    if (length == 0) return false;
    i += length;
  }
  return true;
}

// An earlier Windows client wrote its reports in its ANSI code page. On
// Windows a line that is not UTF-8 is read in this host's ANSI code page (a
// client of the same site); elsewhere as Windows-1252, the code page of
// Western European and American clients.
std::string FromClientCodePage(std::string_view text) {
#ifdef _WIN32
  return platform::CodePageToNarrow(text);
#else
  static constexpr std::array<char16_t, 32> kHigh = {
      0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
  std::u16string units;
  units.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    units += byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte);
  }
  // Only called on a host whose 8-bit text is UTF-8.
  return platform::Utf16ToNarrow(units);
#endif
}

bool HostTextIsUtf8() {
  static const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  return utf8;
}

// Bytes no text of the engine holds: NUL and the other controls but tab.
bool IsJunk(std::string_view line) {
  for (char c : line) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\t') || byte == 0x7F) return true;
  }
  return false;
}

// 64-bit FNV-1a over a run's non-empty lines: the same report in an output
// file and in an e-mail back-up gives the same value.
constexpr std::uint64_t kHashStart = 14695981039346656037ull;
std::uint64_t HashLine(std::uint64_t hash, std::string_view line) {
  for (char c : line) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  hash ^= 0x0A;
  return hash * 1099511628211ull;
}

// ---------------------------------------------------------------- reading lines

// The lines of a file read piece by piece, without their line ends. A line
// with bytes no text holds, or longer than any the engine writes, comes back
// as junk, without its bytes and without ever being held whole: a client that
// crashed while appending leaves zeros, and the reports after them still count.
class LineSource {
 public:
  struct Line {
    std::string_view text;
    bool junk = false;
    // Junk that is text with control characters in it, not the zeros or the
    // endless bytes a crash leaves: a report line someone or something changed.
    bool damagedText = false;
  };

  // Reads at most `limit` bytes of the file.
  LineSource(platform::ReadableFile& file, std::uint64_t limit) : file_(file), limit_(limit) {}

  // The next line; nullopt at the end of the file or after a read error.
  std::optional<Line> Next() {
    while (true) {
      const std::size_t end = buffer_.find('\n', at_);
      if (end != std::string::npos) {
        std::string_view line(buffer_.data() + at_, end - at_);
        at_ = end + 1;
        if (overlong_) {
          overlong_ = false;
          return Line{{}, true};
        }
        return Checked(line);
      }
      if (buffer_.size() - at_ > kLongestLine) {
        buffer_.clear();
        at_ = 0;
        overlong_ = true;
      }
      if (ended_) {
        if (at_ == buffer_.size() && !overlong_) return std::nullopt;
        std::string_view line(buffer_.data() + at_, buffer_.size() - at_);
        at_ = buffer_.size();
        if (overlong_) {
          overlong_ = false;
          return Line{{}, true};
        }
        const Line last = Checked(line);
        cutLine_ = !last.junk;
        return last;
      }
      buffer_.erase(0, at_);
      at_ = 0;
      if (bytes_ >= limit_) {
        // Whether anything lies beyond the bound, without reading it.
        char beyond;
        const std::optional<std::size_t> more = file_.Read(&beyond, 1);
        truncated_ = more && *more > 0;
        ended_ = true;
        continue;
      }
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, limit_ - bytes_));
      const std::size_t had = buffer_.size();
      buffer_.resize(had + want);
      const std::optional<std::size_t> got = file_.Read(buffer_.data() + had, want);
      buffer_.resize(had + got.value_or(0));
      bytes_ += got.value_or(0);
      if (!got) {
        readError_ = true;
        ended_ = true;
      } else if (*got == 0) {
        ended_ = true;
      }
    }
  }

  bool readError() const { return readError_; }
  // The last line had no line end: the file was cut inside it (or at the bound).
  bool cutLine() const { return cutLine_; }
  // The file holds more than the bound; what lies beyond was not read.
  bool truncated() const { return truncated_; }
  std::uint64_t bytes() const { return bytes_; }

 private:
  static Line Checked(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (IsJunk(line)) {
      const bool zeros = line.find_first_not_of('\0') == std::string_view::npos;
      return Line{{}, true, !zeros};
    }
    return Line{line, false};
  }

  platform::ReadableFile& file_;
  const std::uint64_t limit_;
  std::string buffer_;
  std::size_t at_ = 0;
  bool ended_ = false;
  bool overlong_ = false;
  bool readError_ = false;
  bool cutLine_ = false;
  bool truncated_ = false;
  std::uint64_t bytes_ = 0;
};

// ---------------------------------------------------------------- runs

enum class Source { OutputFile, MailBackup, DebugFile };

struct Move {
  std::string oldName, newName;
  bool failed = false;
};

// Said of a run whose report holds a line of text with control characters.
constexpr std::string_view kUnreadableRest =
    "(the rest of this report cannot be read: a failure may be hidden in it)";

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

  void AddProblem(bool isFailure, std::string_view line) {
    if (isFailure) failure = true;
    if (problems.size() >= kProblemsPerRun) {
      ++problemsLeftOut;
      return;
    }
    problems.push_back({isFailure, Kept(line), {}});
  }

  // Detail that belongs to the problem before it.
  void Explain(std::string_view text) {
    if (problems.empty() || problemsLeftOut > 0) return;
    std::string& explanation = problems.back().explanation;
    if (explanation.size() >= kLongestKeptLine) return;
    if (!explanation.empty()) explanation += " ";
    explanation = Kept(explanation + std::string(text));
  }

  void AddMove(std::string_view oldName, std::string_view newName, bool failed) {
    if (moves.size() >= kMovesPerRun || oldName.size() > kLongestKeptLine ||
        newName.size() > kLongestKeptLine) {
      ++movesLeftOut;
      return;
    }
    moves.push_back({std::string(oldName), std::string(newName), failed});
  }

  // "X from \\\\SERVER", once per driver and server.
  void AddDriverNeed(std::string_view text) {
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

  void AddInstalled(std::string_view line) {
    ++installed;
    if (installedLines.size() < kProblemsPerRun) installedLines.push_back(Kept(line));
  }

  // The entry of `server` (without its "\\\\", empty for this computer);
  // nullptr, counted as left out, beyond the bounds.
  PrintServerTrouble* PrintServer(std::string_view server) {
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

  Move* MoveNamed(std::string_view name, bool byNewName) {
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
      if (EqualsIgnoringCase(byNewName ? it->newName : it->oldName, name)) return &*it;
    }
    return nullptr;
  }
};

// The report's first line when the run got past the run-once guard.
constexpr std::string_view kIdentityStart = "* ----- Computer: ";
constexpr std::string_view kIdentityUser = " Username: ";
constexpr std::string_view kIdentityEnd = " Printers ----- *";
constexpr std::string_view kAlreadySucceeded = "This INI file has already succeeded on this machine.";
// The staging run's first line.
constexpr std::string_view kStagingTitle = "* ----- Staging Printer Drivers ----- *";
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

// Follows a debug log through a move: the match, the new connection's add,
// then the old one's removal (or its keeping when the add failed).
struct DebugMoves {
  enum class State { Idle, Matched, Added } state = State::Idle;
  std::string newName;
  bool addFailed = false;
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
  } else if (StartsWith(line, ">> Writing to notification output file: ")) {
    run.wroteOutput = Lower(BaseName(line.substr(41)));
  } else if (StartsWith(line, "ERROR: Saving notification output file <<")) {
    run.wroteOutput.clear();
    run.AddProblem(false, line);
  } else if (StartsWith(line, ">> Writing to back-up file: ")) {
    run.wroteBackup = Lower(BaseName(line.substr(28)));
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

// Years outside 1980 to 2100 (a Buddhist-era year, a broken line) and
// impossible dates are no date of a run.
bool PossibleDate(const DateTime& date) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  return !(date.year < 1980 || date.year > 2100 || date.month < 1 || date.month > 12 ||
           date.day < 1 || date.day > kDays[date.month - 1] ||
           (date.month == 2 && date.day == 29 && !leap) || date.hour < 0 || date.hour > 23 ||
           date.minute < 0 || date.minute > 59 || date.second < 0 || date.second > 59);
}

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

// ---------------------------------------------------------------- the reader

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

  // A line as the summary keeps it: on a UTF-8 host, a line that is no UTF-8
  // is read in a client's code page and the file noted once.
  std::string_view Text(std::string_view line, bool* repaired) {
    if (!HostTextIsUtf8() || IsUtf8(line)) return line;
    *repaired = true;
    repairedLine_ = FromClientCodePage(line);
    return repairedLine_;
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
    bool repaired = false, junk = false;
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
      Fold(*run);
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
        run->whenText = std::string(Text(line->text.substr(11), &repaired));
        run->when = ParseGeneralDate(run->whenText, &orders);
        continue;
      }
      if (run) AddReportLine(*run, Text(line->text, &repaired));
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
    if (repaired) Issue(relative, FileIssue::NotUtf8);
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
    bool repaired = false;
    std::optional<Run> run;
    std::size_t runs = 0;
    auto commit = [&] {
      if (!run) return;
      if (run->hasBody) {
        ++runs;
        const std::string key = Lower(run->computer);
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
      const std::string_view text = Text(line->text, &repaired);
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
    if (repaired) Issue(relative, FileIssue::NotUtf8);
  }

  // An output file's run that an e-mail back-up also holds: the back-up's
  // copy is dropped and the run marked as one whose mail failed.
  void MatchBackup(Run& run) {
    if (backups_.empty() || run.computer.empty()) return;
    auto found = backupsByComputer_.find(Lower(run.computer));
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
    bool repaired = false;
    DebugMoves moves;
    std::string_view rest = *text;
    while (!rest.empty()) {
      const std::size_t end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      AddDebugLine(run, moves, Text(line, &repaired));
      if (end == std::string_view::npos) break;
      rest.remove_prefix(end + 1);
    }
    if (repaired) Issue(relative, FileIssue::NotUtf8);
    // Only a debug file tells of print servers: folded here, whether or not
    // an output file stands for the rest of its run.
    FoldPrintServers(run);
    debugsByComputer_[Lower(run.computer)].push_back(debugRuns_.size());
    debugRuns_.push_back({std::move(run), false});
  }

  // ------------------------------------------------------------ folding

  void Fold(const Run& run) {
    if (!run.notTargeted.empty()) {
      ++summary_.notTargeted;
      ++summary_.notTargetedByReason[engine::TargetingReasonKind(run.notTargeted)];
      return;
    }
    if (run.staging) {
      FoldStaging(run);
      if (run.source == Source::OutputFile) CoverDebugRun(run);
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
    if (run.source == Source::OutputFile) CoverDebugRun(run);

    const std::string key = Lower(run.computer) + '\t' + Lower(run.user);
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
    bool later = first;
    if (!first) {
      if (run.when && user.lastTime) {
        later = run.when->Seconds() >= user.lastTime->Seconds();
      } else {
        later = run.when.has_value() || !user.lastTime.has_value();
      }
    }
    if (later) {
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

  void FoldDriverNeeds(const Run& run) {
    summary_.driverNeedsNotShown += run.driverNeedsLeftOut;
    for (const auto& [driver, server] : run.driversNeeded) {
      const std::string key = Upper(driver) + '\t' + Upper(server);
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

  void FoldPrintServers(Run& run) {
    summary_.printServerLinesNotShown += run.printServerLinesLeftOut;
    for (const PrintServerTrouble& trouble : run.printServers) {
      const std::string key = Upper(trouble.name);
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
  void FoldStaging(const Run& run) {
    ++summary_.stagingRuns;
    const bool failed = run.GetOutcome() == Outcome::Failed;
    auto found = summary_.staging.find(Lower(run.computer));
    if (found == summary_.staging.end()) {
      if (summary_.staging.size() >= kKeptUsers) {
        ++summary_.stagingRunsNotShown;
        return;
      }
      found = summary_.staging.emplace(Lower(run.computer), StagingSummary{}).first;
      found->second.computer = run.computer;
    }
    StagingSummary& computer = found->second;
    const bool first = computer.runs == 0;
    ++computer.runs;
    if (failed) ++computer.failed;
    bool later = first;
    if (!first) {
      later = run.when && computer.lastTime ? run.when->Seconds() >= computer.lastTime->Seconds()
                                            : run.when.has_value() || !computer.lastTime.has_value();
    }
    if (!later) return;
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

  void FoldMoves(const Run& run) {
    summary_.movesNotShown += run.movesLeftOut;
    for (const Move& move : run.moves) {
      const std::string_view server = ServerOf(move.oldName);
      if (server.empty()) continue;
      const std::string key = Upper(server);
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

  // A debug file's run whose report went to this run's output file is in
  // that file: this computer's run read from it stands for it.
  void CoverDebugRun(const Run& run) {
    if (debugRuns_.empty()) return;
    auto found = debugsByComputer_.find(Lower(run.computer));
    if (found == debugsByComputer_.end()) return;
    for (std::size_t index : found->second) {
      PendingDebug& debug = debugRuns_[index];
      if (!debug.covered && debug.run.wroteOutput == Lower(run.fileName)) debug.covered = true;
    }
  }

  void Finish() {
    for (PendingBackup& backup : backups_) {
      if (!backup.matched) Fold(backup.run);
    }
    // A debug file's run is counted only when no output file or e-mail
    // back-up read here holds its report.
    for (PendingDebug& debug : debugRuns_) {
      if (!debug.covered && !debug.run.wroteBackup.empty()) {
        auto found = backupsByComputer_.find(Lower(debug.run.computer));
        if (found != backupsByComputer_.end()) {
          for (std::size_t index : found->second) {
            if (Lower(backups_[index].run.fileName) == debug.run.wroteBackup) debug.covered = true;
          }
        }
      }
      if (!debug.covered) Fold(debug.run);
    }
    for (const auto& [key, user] : summary_.users) {
      for (const auto& [driver, server] : user.lastDriversNeeded) {
        auto found = summary_.driversNeeded.find(Upper(driver) + '\t' + Upper(server));
        if (found != summary_.driversNeeded.end()) ++found->second.users;
      }
    }
    std::set<std::string> computers;
    for (const auto& [key, user] : summary_.users) computers.insert(key.substr(0, key.find('\t')));
    summary_.computers = static_cast<long>(computers.size());
  }

  platform::FileSystem& files_;
  const std::string folder_;
  const ReadOptions& options_;
  Summary summary_;
  long done_ = 0, total_ = 0;
  std::uint64_t order_ = 0;
  std::size_t keptProblems_ = 0;
  std::string repairedLine_;
  std::vector<PendingBackup> backups_;
  std::unordered_map<std::string, std::vector<std::size_t>> backupsByComputer_;
  std::vector<PendingDebug> debugRuns_;
  std::unordered_map<std::string, std::vector<std::size_t>> debugsByComputer_;
};

}  // namespace

// ---------------------------------------------------------------- public

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Succeeded: return "succeeded";
    case Outcome::Failed: return "failed";
    case Outcome::AlreadyDone: return "already done";
  }
  return "";
}

long long DateTime::Day() const { return platform::DaysSinceEpoch(year, month, day); }

long long DateTime::Seconds() const {
  return Day() * 86400 + hour * 3600 + minute * 60 + second;
}

std::string DateTime::Iso() const {
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::string IsoDay(long long day) {
  // Howard Hinnant's civil_from_days.
  const long long z = day + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", y, m, d);
  return text;
}

std::optional<DateTime> ParseGeneralDate(std::string_view text,
                                         std::map<std::string, DateOrder>* orders) {
  struct Number {
    int value;
    std::size_t digits, at;
  };
  std::vector<Number> numbers;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    // "-1/-1/2026": a minus before a number that follows no other number
    // makes it negative, which no field of a date is.
    if (i > 0 && text[i - 1] == '-' && (i == 1 || text[i - 2] < '0' || text[i - 2] > '9')) {
      return std::nullopt;
    }
    const std::size_t start = i;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (i - start >= 4) return std::nullopt;  // no field of a general date is that long
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    numbers.push_back({value, i - start, start});
    if (numbers.size() > 6) return std::nullopt;
  }
  if (numbers.size() < 3) return std::nullopt;

  // Markers beyond ASCII are compared as UTF-8, whatever the host's code page.
  const std::string lower = Lower(Utf8(text));
  auto has = [&lower](std::initializer_list<std::string_view> markers) {
    for (std::string_view marker : markers) {
      if (lower.find(marker) != std::string::npos) return true;
    }
    return false;
  };
  // The 12-hour clock's markers: English, Spanish and Portuguese forms, and
  // Japanese, Chinese and Korean (as UTF-8).
  const bool pm = has({"pm", "p.m", "p. m", "\xE5\x8D\x88\xE5\xBE\x8C", "\xE4\xB8\x8B\xE5\x8D\x88",
                       "\xEC\x98\xA4\xED\x9B\x84"});
  const bool am = !pm && has({"am", "a.m", "a. m", "\xE5\x8D\x88\xE5\x89\x8D",
                              "\xE4\xB8\x8A\xE5\x8D\x88", "\xEC\x98\xA4\xEC\xA0\x84"});

  DateTime date;
  if (numbers[0].digits == 4) {
    date.year = numbers[0].value, date.month = numbers[1].value, date.day = numbers[2].value;
  } else if (numbers[2].digits == 4 || numbers[2].digits == 2) {
    date.year = numbers[2].digits == 4 ? numbers[2].value
                                       : numbers[2].value + (numbers[2].value < 80 ? 2000 : 1900);
    const int a = numbers[0].value, b = numbers[1].value;
    std::string shape(text.substr(numbers[0].at + numbers[0].digits,
                                  numbers[1].at - numbers[0].at - numbers[0].digits));
    shape += (am || pm) ? "|12" : "|24";
    DateOrder order;
    if (a > 12 && b > 12) return std::nullopt;
    if (a > 12 || b > 12) {
      order = a > 12 ? DateOrder::DayFirst : DateOrder::MonthFirst;
      if (orders) (*orders)[shape] = order;
    } else if (orders && orders->count(shape) != 0) {
      order = orders->at(shape);
    } else {
      order = (shape[0] == '/' && (am || pm)) ? DateOrder::MonthFirst : DateOrder::DayFirst;
    }
    date.month = order == DateOrder::MonthFirst ? a : b;
    date.day = order == DateOrder::MonthFirst ? b : a;
  } else {
    return std::nullopt;
  }
  if (numbers.size() >= 5) {
    date.hour = numbers[3].value;
    date.minute = numbers[4].value;
    date.second = numbers.size() >= 6 ? numbers[5].value : 0;
  } else if (numbers.size() == 4) {
    return std::nullopt;  // an hour without its minutes
  }
  if (pm || am) {
    if (date.hour < 1 || date.hour > 12) return std::nullopt;
    if (pm && date.hour < 12) date.hour += 12;
    if (am && date.hour == 12) date.hour = 0;
  }
  if (!PossibleDate(date)) return std::nullopt;
  return date;
}

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

Summary ReadShare(platform::FileSystem& files, const std::string& folder,
                  const ReadOptions& options) {
  return ShareReader(files, folder, options).Read();
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

std::string Utf8(std::string_view narrow) {
  // Reports are mostly UTF-8 already on a UTF-8 host: no conversion then.
  if (HostTextIsUtf8() && IsUtf8(narrow)) return std::string(narrow);
  return Utf8Text(narrow);
}

}  // namespace quillon::tools::report
