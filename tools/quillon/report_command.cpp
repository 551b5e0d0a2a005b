// `quillon report`: its arguments, its progress on standard error, its output
// forms and its exit status.
#include <chrono>
#include <sstream>

#include "platform/host/process.h"
#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report.h"
#include "tools/quillon/report_format.h"

namespace quillon::tools {

namespace {

constexpr const char* kReportUsage =
    "Usage: quillon report [--csv | --json] [--html OUT.html] FOLDER\n"
    "\n"
    "Summarises what the engine reported under FOLDER (a deployment share) and\n"
    "its sub-folders: the notification output files, the e-mail back-ups\n"
    "(<computer>_<date>_<time>_EmailFailure.txt) and the debug files\n"
    "(<computer>.debug). Per computer and user: the last run's outcome and time,\n"
    "its lines that failed and the number of runs; then the runs per day and the\n"
    "connections moved away from each old print server.\n"
    "\n"
    "Connections refused for want of their driver (error 3019, 5 or 1223, with the\n"
    "engine's \"Driver needed: X from \\\\SERVER\" line) are counted per driver and\n"
    "server: the users whose last run was refused it and the runs in all. Start-up\n"
    "staging runs (QuillonEngine /StageDrivers, user SYSTEM) are shown apart, one\n"
    "row per computer with its last run's drivers installed, already installed and\n"
    "failures; they are not counted among the users' runs, nor in the exit status.\n"
    "\n"
    "Slow or unreachable print servers come from the debug files (each holds its\n"
    "computer's last run): per server, the runs whose probe found it not\n"
    "answering and the calls they did not make for it, and the spooler calls on\n"
    "it that took over a second (count, longest and total milliseconds, runs with\n"
    "such calls); calls on local printers count as \"(this computer)\".\n"
    "\n"
    "A run failed when its file is named FAILED_, or it was aborted (a directory\n"
    "error), or a printer operation failed (\"Error (N) ...\"; earlier versions\n"
    "named such a run's file SUCCESS_): it runs again at the next logon. A\n"
    "run the run-once guard stopped is \"already done\". A run that two files\n"
    "report (an output file and its e-mail back-up, a debug file and the output\n"
    "file it wrote) counts once. Dates are read in the client's own date form; a\n"
    "date that cannot be read counts under \"unknown day\". Files that do not\n"
    "begin as the engine's reports and are not named as its files are ignored;\n"
    "damaged ones are skipped or read around the damage, and counted.\n"
    "\n"
    "Users can write into a share, so only regular files inside FOLDER are read:\n"
    "links (never followed), pipes and devices are listed as skipped. An output\n"
    "file or e-mail back-up is read up to 512 MB (a back-up up to its 16th run),\n"
    "a debug file only when it holds at most 64 MB. The summary keeps at most\n"
    "100,000 computers and users, 1,000 old servers, 1,000 slow or unreachable\n"
    "print servers (100 of one run), 50 lines of 512 bytes of each user's last\n"
    "run and 100,000 such lines in all; every output form says what it left out.\n"
    "Control characters from the files are shown as ^[ or \\x9b in the text form.\n"
    "\n"
    "  --csv            one CSV table (UTF-8) whose first column says what a row\n"
    "                   is: summary, user, staging (a computer's staging runs;\n"
    "                   failed counts runs that left a driver missing),\n"
    "                   driver_needed (runs refused it; failed counts the users\n"
    "                   whose last run was), day, server, print_server (runs\n"
    "                   with slow calls; failed counts the runs that found it\n"
    "                   unreachable; detail says the rest), not_shown, skipped,\n"
    "                   read_in_part or repaired; a cell that begins with = + - @\n"
    "                   is prefixed with ' so that a spreadsheet keeps it as text\n"
    "  --json           one JSON object (UTF-8)\n"
    "  --html OUT.html  also write a page with a chart of the outcomes per day and\n"
    "                   tables that sort by any column; it loads nothing from\n"
    "                   elsewhere, so it works offline\n"
    "\n"
    "Without --csv or --json the summary is printed as text. Progress goes to\n"
    "standard error when that is a terminal and reading takes over a second.\n"
    "\n"
    "Exit status: 0 no user's last run failed, 1 some user's last run failed,\n"
    "or a failure may be hidden (a file named FAILED_ that could not be read),\n"
    "2 bad arguments, a FOLDER that is missing or cannot be read, or a page that\n"
    "cannot be written.\n";

constexpr int kFine = 0;
constexpr int kBad = 2;

int Bad(std::ostream& err, const std::string& problem) {
  err << "quillon report: " << problem << "\n"
      << "Run 'quillon report --help' for usage.\n";
  return kBad;
}

// One line on a terminal, rewritten in place; shown only once the work has
// taken a second, and wiped before anything else is printed.
class ProgressLine {
 public:
  ProgressLine(const ReportHost& host, std::ostream& err)
      : host_(host), err_(err), start_(Now()) {}

  void Update(long done, long total) {
    if (!host_.progressToTerminal) return;
    const double now = Now();
    if (now - start_ < 1.0) return;
    if (shown_ && now - lastShown_ < 0.1 && !(total > 0 && done == total)) return;
    std::string text = total == 0 ? "Looking for files: " + report::Grouped(done) + " found"
                                  : "Reading files: " + report::Grouped(done) + " of " +
                                        report::Grouped(total);
    const std::size_t width = text.size();
    if (text.size() < width_) text.append(width_ - text.size(), ' ');
    err_ << "\r" << text << std::flush;
    width_ = width;
    shown_ = true;
    lastShown_ = now;
  }

  void Clear() {
    if (shown_) err_ << "\r" << std::string(width_, ' ') << "\r" << std::flush;
    shown_ = false;
  }

 private:
  double Now() const { return host_.seconds ? host_.seconds() : 0.0; }

  const ReportHost& host_;
  std::ostream& err_;
  double start_;
  double lastShown_ = 0;
  bool shown_ = false;
  std::size_t width_ = 0;
};

}  // namespace

ReportHost ThisHostsReportHost() {
  return {platform::StandardErrorIsTerminal(), [] {
            return std::chrono::duration<double>(
                       std::chrono::steady_clock::now().time_since_epoch())
                .count();
          }};
}

int Report(const std::vector<std::string>& args, platform::FileSystem& files,
           const ReportHost& host, std::ostream& out, std::ostream& err) {
  enum class Form { Text, Csv, Json } form = Form::Text;
  std::optional<std::string> html;
  std::vector<std::string> folders;
  bool options = true;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options && arg == "--") {
      options = false;
    } else if (options && (arg == "--help" || arg == "-h")) {
      out << kReportUsage;
      return kFine;
    } else if (options && (arg == "--csv" || arg == "--json")) {
      const Form chosen = arg == "--csv" ? Form::Csv : Form::Json;
      if (form != Form::Text && form != chosen) return Bad(err, "--csv and --json exclude each other");
      form = chosen;
    } else if (options && (arg == "--html" || arg.rfind("--html=", 0) == 0)) {
      if (arg == "--html") {
        if (i + 1 >= args.size()) return Bad(err, "--html needs the name of the page to write");
        html = args[++i];
      } else {
        html = arg.substr(7);
      }
      if (html->empty()) return Bad(err, "--html needs the name of the page to write");
    } else if (options && arg.size() > 1 && arg[0] == '-') {
      return Bad(err, "unknown option '" + arg + "'");
    } else {
      folders.push_back(arg);
    }
  }
  if (folders.size() != 1) {
    return Bad(err, folders.empty() ? "no folder given" : "one folder at a time");
  }
  const std::string& folder = folders.front();
  if (!files.ListFolder(folder)) {
    const char* problem = files.FolderExists(folder) ? "cannot be read"
                          : files.FileExists(folder) ? "is not a folder"
                                                     : "does not exist";
    err << "quillon report: " << VisibleText(folder) << ": " << problem << "\n";
    return kBad;
  }

  if (html) {
    // The page replaces its name whole: a device, pipe or link there would be
    // replaced by a file, so such a name is refused before anything is read.
    const std::string parent = platform::ParentFolder(*html);
#ifdef _WIN32
    const std::string name = html->substr(html->find_last_of("\\/") + 1);
#else
    const std::string name = html->substr(html->find_last_of('/') + 1);
#endif
    if (const auto entries = files.ListFolder(parent)) {
      for (const platform::FolderEntry& entry : *entries) {
        if (entry.name == name && (entry.kind == platform::FolderEntry::Kind::Other || entry.link)) {
          err << "quillon report: " << VisibleText(*html)
              << ": is not a regular file; the page is written only as a file of its own\n";
          return kBad;
        }
      }
    }
  }

  ProgressLine progress(host, err);
  report::ReadOptions readOptions;
  readOptions.progress = [&progress](long done, long total) { progress.Update(done, total); };
  const report::Summary summary = report::ReadShare(files, folder, readOptions);
  progress.Clear();

  if (html) {
    const platform::Status written = files.WriteFileAtomic(*html, report::HtmlPage(summary));
    if (!written.ok) {
      err << "quillon report: " << VisibleText(*html) << ": cannot be written: "
          << VisibleText(written.description) << "\n";
      return kBad;
    }
  }
  switch (form) {
    case Form::Csv: report::WriteCsv(summary, out); break;
    case Form::Json: report::WriteJson(summary, out); break;
    case Form::Text:
      if (html) {
        out << "Wrote " << VisibleText(*html) << ": " << report::Grouped(summary.runs) << " runs by "
            << report::Grouped(static_cast<long>(summary.users.size())) << " users, "
            << report::Grouped(summary.UsersFailing()) << " failed at their last run; "
            << report::IssuesSentence(summary.issues, report::IssueGroup::Skipped) << "\n";
      } else {
        report::WriteText(summary, out);
      }
      break;
  }
  out.flush();
  return report::ExitCode(summary);
}

}  // namespace quillon::tools
