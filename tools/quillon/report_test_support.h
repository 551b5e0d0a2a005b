// What the tests of `quillon report` share: running the command, the files
// of a share as real clients and as a hostile user write them, a strict CSV
// reader, and the share that real engine runs and damaged files fill.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/engine_test_support.h"
#include "testing/memory_file_system.h"
#include "tools/quillon/quillon_cli.h"
#include "tools/quillon/report.h"

namespace quillon::tools::report_tests {

using engine::testing::EngineWorld;
using nlohmann::json;

struct Output {
  int code;
  std::string out;
  std::string err;
};

Output RunReport(platform::FileSystem& files, const std::vector<std::string>& args,
                 const ReportHost& host = {});

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// The last outcome the engine stored in a world's status file.
std::string StoredOutcome(const EngineWorld& world);

// One client whose engine runs from the share, as at logon: its debug file
// and e-mail back-ups land in the share beside the engine.
struct Client {
  Client(const std::string& share, const std::string& computer, const std::string& user);
  // A connection the user has, the first one the default printer.
  void Connect(const std::string& server, const std::string& share);
  void Run(const std::string& document, platform::LocalTime at);
  EngineWorld world;
};

// A document whose runs write output files into `folder`, one per user or one
// for all.
std::string OutputDocument(const std::string& folder, const std::string& name, bool perUser,
                           std::vector<std::pair<std::string, std::string>> more = {});

// The entry of a user, or with `computer` of the computer whose user no file named.
const json* UserNamed(const json& report, const std::string& user, const std::string& computer = "");

// "12/<day>/2026 <hour>:00:00 AM"
std::string Dated(int day, int hour);
// An output file's report of one move from \\OLDSRV to \\NEWSRV.
std::string SuccessReport(const std::string& when, const std::string& computer, const std::string& user);
// An output file's report with `body` after its "Computer:" line.
std::string Report(const std::string& when, const std::string& computer, const std::string& user,
                   const std::string& body);

// A strict RFC 4180 reader: fields quoted or not, a quoted field may hold
// separators, doubled quotes and line ends, every record ends in CR LF. Fails
// the test on anything else.
std::vector<std::vector<std::string>> StrictCsv(const std::string& text);

// A share "share" as a user who can write it fills it: names a spreadsheet
// would take for formulas, a C1 control sequence (`c1`) and an overlong line,
// a date with negative numbers, an unreadable FAILED_ file, more servers and
// users than the summary keeps, a Windows client's bytes and an e-mail
// back-up of endless runs.
void FillHostileShare(platform::MemoryFileSystem& files);
std::string HostileC1();

// A share filled by real engine runs (output files, an e-mail back-up, debug
// files) and by damaged files, read once for all its tests: eight users'
// runs, the files a crash or a Windows client leaves, files named as
// reports that hold none, and other files of the share.
class QuillonReportEngineRuns : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  // A file's name under the share's "reports" folder.
  static std::string InReports(const char* name);

  static inline std::unique_ptr<EngineWorld> scratch;  // only for its temporary folder
  static inline std::string share;
  static inline std::map<std::string, std::unique_ptr<Client>> clients;  // by user
  static inline Output jsonRun, textRun;  // `quillon report --json` and plain
  static inline json report;              // jsonRun's
  // The sentence of the files skipped, which differs where links and pipes
  // cannot be made.
  static inline std::string skipped;
};

}  // namespace quillon::tools::report_tests
