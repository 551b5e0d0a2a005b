// The shared helpers and the engine-run share of the report's tests.
#include "tools/quillon/report_test_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/host/host_file_system.h"
#include "platform/text.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools::report_tests {

namespace fs = std::filesystem;
using engine::testing::CompleteDocument;

Output RunReport(platform::FileSystem& files, const std::vector<std::string>& args,
                 const ReportHost& host) {
  std::ostringstream out, err;
  const int code = Report(args, files, host, out, err);
  return {code, out.str(), err.str()};
}

std::string ReadBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string StoredOutcome(const EngineWorld& world) {
  const std::string status = ReadBytes(platform::JoinPath(world.ProfileFolder(), "Quillon_status.log"));
  const std::size_t comma = status.rfind(',');
  return comma == std::string::npos ? "" : status.substr(comma + 1, status.find('\r', comma) - comma - 1);
}

Client::Client(const std::string& share, const std::string& computer, const std::string& user) {
  world.host.programFolder = share;
  world.state.computerName = std::optional<std::string>(computer);
  world.state.userName = user;
  world.AddQueue("NEWSRV", "HP4");
  world.AddQueue("NEWSRV", "HP5");
}

void Client::Connect(const std::string& server, const std::string& share) {
  if (!world.state.defaultPrinter) world.state.defaultPrinter = "\\\\" + server + "\\" + share;
  world.AddConnection(server, share);
}

void Client::Run(const std::string& document, platform::LocalTime at) {
  world.clock.now = at;
  world.WriteFile(world.Path("doc.ini"), document);
  world.Run(world.Path("doc.ini"));
}

std::string OutputDocument(const std::string& folder, const std::string& name, bool perUser,
                           std::vector<std::pair<std::string, std::string>> more) {
  more.insert(more.end(), {{"UseFileOutput=", "UseFileOutput=True"},
                           {"FileOutputPath=", "FileOutputPath=" + folder},
                           {"FileOutputName=", "FileOutputName=" + name},
                           {"IncludeComputerName=", perUser ? "IncludeComputerName=True"
                                                            : "IncludeComputerName=False"},
                           {"IncludeOutcome=", perUser ? "IncludeOutcome=True" : "IncludeOutcome=False"}});
  return CompleteDocument(more);
}

const json* UserNamed(const json& report, const std::string& user, const std::string& computer) {
  for (const json& entry : report["users"]) {
    if (computer.empty() ? entry["user"] == user : entry["computer"] == computer && entry["user"].is_null()) {
      return &entry;
    }
  }
  return nullptr;
}

std::string Dated(int day, int hour) {
  return "12/" + std::to_string(day) + "/2026 " + std::to_string(hour) + ":00:00 AM";
}

std::string SuccessReport(const std::string& when, const std::string& computer, const std::string& user) {
  return "\r\n\r\nReport At: " + when + "\r\n\r\n\r\n* ----- Computer: " + computer + " Username: " + user +
         " Printers ----- *\r\n\\\\OLDSRV\\HP4 (\\\\OLDSRV)\r\n\r\n"
         "* ----- Migrating Networked Printers Between Servers ----- *\r\n"
         "Migrating: \\\\OLDSRV\\HP4 to \\\\NEWSRV\\HP4\r\nPopulated networked printer: \\\\NEWSRV\\HP4\r\n"
         "Deleted networked printer: \\\\OLDSRV\\HP4\r\n";
}

std::vector<std::vector<std::string>> StrictCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record(1);
  std::size_t i = 0;
  while (i < text.size()) {
    std::string& field = record.back();
    if (text[i] == '"' && field.empty()) {
      for (++i;; ++i) {
        if (i >= text.size()) {
          ADD_FAILURE() << "a quoted field without its end";
          return records;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
      if (i < text.size() && text[i] != ',' && text[i] != '\r') {
        ADD_FAILURE() << "text after a quoted field at byte " << i;
        return records;
      }
      continue;
    }
    if (text[i] == ',') {
      record.emplace_back();
      ++i;
    } else if (text[i] == '\r') {
      if (i + 1 >= text.size() || text[i + 1] != '\n') {
        ADD_FAILURE() << "a bare CR at byte " << i;
        return records;
      }
      records.push_back(record);
      record.assign(1, "");
      i += 2;
    } else if (text[i] == '"' || text[i] == '\n') {
      ADD_FAILURE() << "a quote or line feed inside an unquoted field at byte " << i;
      return records;
    } else {
      field += text[i++];
    }
  }
  EXPECT_TRUE(record.size() == 1 && record[0].empty()) << "the last record lacks its CR LF";
  return records;
}

std::string Report(const std::string& when, const std::string& computer, const std::string& user,
                   const std::string& body) {
  return "\r\n\r\nReport At: " + when + "\r\n\r\n\r\n* ----- Computer: " + computer + " Username: " + user +
         " Printers ----- *\r\n" + body;
}

std::string HostileC1() { return platform::Utf16ToNarrow(u"\u009b2J"); }

void FillHostileShare(platform::MemoryFileSystem& files) {
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // Names a spreadsheet would take for formulas, a C1 control sequence and
  // an overlong line, a date with negative numbers.
  const std::string c1 = HostileC1();
  files.files[at("PC1_=HYPERLINK(1)_SUCCESS_moves.txt")] =
      Report(Dated(1, 9), "@SUM(A1)", "=HYPERLINK(1)",
             "Migrating: \\\\+EVIL\\HP4 to \\\\NEWSRV\\HP4\r\nError (5) deleting network printer: \\\\+EVIL\\HP4\r\n"
             "Warning " + c1 + " fake\r\nWarning " + std::string(5000, 'w') + "\r\n");
  files.files[at("PC2_-2+3_SUCCESS_moves.txt")] = Report("-1/-1/2026 9:00:00 AM", "PC2", "-2+3", "\r\n");
  // Files named as failed runs that cannot be read: a failure may be hidden.
  files.unreadable.insert(at("PC3_zed_FAILED_moves.txt"));
  // More users than the page lists, each moving from a server of its own:
  // more servers than the summary keeps; one run with more moves than any
  // run makes.
  std::string many;
  for (std::size_t i = 0; i < report::kKeptServers + 200; ++i) {
    many += "Migrating: \\\\S" + std::to_string(i) + "\\P to \\\\NEWSRV\\P\r\n";
  }
  files.files[at("PC4_bulk_SUCCESS_moves.txt")] = Report(Dated(2, 9), "PC4", "bulk", many);
  std::string users;
  for (int i = 0; i < 5'100; ++i) {
    users += Report(Dated(3, 9), "U" + std::to_string(i), "u",
                    "Migrating: \\\\T" + std::to_string(i) + "\\P to \\\\NEWSRV\\P\r\n");
  }
  files.files[at("site.txt")] = users;
  // A Windows client's bytes: its CSV row names an issue with a comma in it.
  files.files[at("PC8_kim_SUCCESS_moves.txt")] =
      Report(Dated(4, 9), "PC8", "kim", "Warning: \\\\OLD\\\xC9tiquettes\r\n");
  // An e-mail back-up of endless runs: only the first are held.
  std::string backup;
  for (int i = 0; i < 40; ++i) {
    backup += "* ----- Computer: PC9 Username: b" + std::to_string(i) + " Printers ----- *\r\nLocal Printer: Fax\r\n";
  }
  files.files[at("PC9_12.08.2026_18.22.18_EmailFailure.txt")] = backup;
}

void QuillonReportEngineRuns::SetUpTestSuite() {
  scratch = std::make_unique<EngineWorld>();
  share = platform::JoinPath(scratch->ProgramFolder(), "share");
  const std::string reports = platform::JoinPath(share, "reports");
  fs::create_directories(reports);
  const std::string perUser = OutputDocument(reports, "moves.txt", true);

  // Two connections moved, then the run-once guard.
  Client& alice = *(clients["alice"] = std::make_unique<Client>(share, "PC001", "alice"));
  alice.Connect("OLDSRV", "HP4");
  alice.Connect("OLDSRV", "HP5");
  alice.Run(perUser, {2026, 12, 1, 8, 55, 0});
  alice.Run(perUser, {2026, 12, 2, 9, 5, 0});
  // The new server lacks the queue: a failed move, stored and named as a
  // failure, so it runs again the next day.
  Client& bob = *(clients["bob"] = std::make_unique<Client>(share, "PC002", "bob"));
  bob.Connect("OLDSRV", "HP6");
  bob.Run(perUser, {2026, 12, 1, 9, 10, 0});
  bob.Run(perUser, {2026, 12, 2, 9, 12, 0});
  // One file for every user, and mail that no server takes: the run is in the
  // shared file and in an e-mail back-up beside the engine.
  Client& carol = *(clients["carol"] = std::make_unique<Client>(share, "PC003", "carol"));
  carol.Connect("OLDSRV", "HP4");
  carol.Run(OutputDocument(reports, "site.txt", false,
                           {{"UseSMTP=", "UseSMTP=True"},
                            {"SMTPServerNameOrIP=", "SMTPServerNameOrIP=127.0.0.1"},
                            {"ServerPort=", "ServerPort=1"},
                            {"EmailTo=", "EmailTo=ops@corp.example"},
                            {"EmailFrom=", "EmailFrom=quillon@corp.example"}}),
            {2026, 12, 2, 10, 0, 0});
  // No output file at all, and a directory that does not answer: the debug
  // file alone tells of this run.
  Client& dave = *(clients["dave"] = std::make_unique<Client>(share, "PC004", "dave"));
  dave.Connect("OLDSRV", "HP4");
  dave.world.Publish("other.example", "NEWSRV-HP4", {"HP4"});
  dave.Run(CompleteDocument({{"UseActiveDirectory=", "UseActiveDirectory=True"},
                             {"DomainName=", "DomainName=corp.example"}}),
           {2026, 12, 3, 7, 0, 0});
  // A file cut inside its second report, and one where a crash left zeros
  // between two reports (more than any line holds).
  Client& hank = *(clients["hank"] = std::make_unique<Client>(share, "PC008", "hank"));
  hank.Connect("OLDSRV", "HP4");
  hank.Run(perUser, {2026, 12, 3, 9, 0, 0});
  hank.Run(perUser, {2026, 12, 4, 9, 0, 0});
  const std::string hankFile = platform::JoinPath(reports, "PC008_hank_SUCCESS_moves.txt");
  std::string hankBytes = ReadBytes(hankFile);
  const std::size_t guard = hankBytes.rfind("This INI file has already");
  ASSERT_NE(guard, std::string::npos);
  WriteBytes(hankFile, hankBytes.substr(0, guard + 12));
  Client& judy = *(clients["judy"] = std::make_unique<Client>(share, "PC010", "judy"));
  judy.Connect("OLDSRV", "HP5");
  judy.Run(perUser, {2026, 12, 3, 11, 0, 0});
  const std::string judyFile = platform::JoinPath(reports, "PC010_judy_SUCCESS_moves.txt");
  WriteBytes(judyFile, ReadBytes(judyFile) + std::string(100000, '\0'));
  judy.Run(perUser, {2026, 12, 4, 11, 0, 0});

  // Written as a Windows client writes them: a date in no form a client
  // writes, and a printer name in Windows-1252.
  WriteBytes(platform::JoinPath(reports, "PC006_frank_SUCCESS_moves.txt"),
             "\r\n\r\nReport At: yesterday at noon\r\n\r\n\r\n"
             "* ----- Computer: PC006 Username: frank Printers ----- *\r\nLocal Printer: Fax\r\n");
  WriteBytes(platform::JoinPath(reports, "PC011_kim_SUCCESS_moves.txt"),
             "\r\n\r\nReport At: 04.12.2026 15:30:00\r\n\r\n\r\n"
             "* ----- Computer: PC011 Username: kim Printers ----- *\r\n"
             "\\\\OLDSRV2\\\xC9tiquettes (\\\\OLDSRV2)\r\n\r\n"
             "* ----- Migrating Networked Printers Between Servers ----- *\r\n"
             "Migrating: \\\\OLDSRV2\\\xC9tiquettes to \\\\NEWSRV\\\xC9tiquettes\r\n"
             "Error (1797) populating network printer: \\\\NEWSRV\\\xC9tiquettes\r\n"
             "What error 1797 means: the printer's driver is not installed on the client.\r\n"
             "Not removing \\\\OLDSRV2\\\xC9tiquettes: the new connection \\\\NEWSRV\\\xC9tiquettes "
             "could not be added.\r\n");
  // Named as the engine's, but nothing of it can be read.
  WriteBytes(platform::JoinPath(reports, "PC007_gina_SUCCESS_moves.txt"), "");
  WriteBytes(platform::JoinPath(reports, "PC009_ivan_FAILED_moves.txt"),
             std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  WriteBytes(platform::JoinPath(share, "PC012.debug"), "scrambled? no: plain text\r\n");
  // The share's other files are no reports and pass in silence.
  WriteBytes(platform::JoinPath(share, "migration.ini"), CompleteDocument());
  WriteBytes(platform::JoinPath(share, "QuillonEngine.exe"), std::string("MZ\x90\0\3\0\0\0", 8));
  WriteBytes(platform::JoinPath(share, "notes.txt"), "Moved the Plan Room plotter by hand.\r\n");
#ifndef _WIN32
  // Neither a pipe nor a link back up may stop the walk.
  ASSERT_EQ(::mkfifo(platform::JoinPath(reports, "PC013_lou_SUCCESS_moves.txt").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("..", platform::JoinPath(reports, "up").c_str()), 0);
#endif

  platform::HostFileSystem files;
  jsonRun = RunReport(files, {"--json", share});
  report = json::parse(jsonRun.out);
  textRun = RunReport(files, {share});
#ifndef _WIN32
  skipped =
      "5 files skipped: 1 empty, 1 not a report of the engine, 1 not a debug file of the engine, "
      "1 link, not followed, 1 not a regular file";
#else
  skipped = "3 files skipped: 1 empty, 1 not a report of the engine, 1 not a debug file of the engine";
#endif
}

void QuillonReportEngineRuns::TearDownTestSuite() {
  clients.clear();
  scratch.reset();
}

std::string QuillonReportEngineRuns::InReports(const char* name) { return platform::JoinPath("reports", name); }

}  // namespace quillon::tools::report_tests
