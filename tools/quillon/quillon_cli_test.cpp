// Tests of the quillon command: debug files the engine wrote, documents with
// each refusal and each warning, exit codes and the JSON shape, and a
// deployment compared with the toolkit generator's own in a real folder.
#include "tools/quillon/quillon_cli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "document/document_file.h"
#include "document/profile_file.h"
#include "engine/core/debug_log.h"
#include "engine/core/engine_test_support.h"
#include "platform/host/host_file_system.h"
#include "platform/text.h"
#include "testing/memory_file_system.h"
#include "toolkit/deployment.h"
#include "tools/quillon/deployment_audit.h"
#include "tools/quillon/report.h"

#include <chrono>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

using engine::testing::CompleteDocument;

struct Output {
  int code;
  std::string out;
  std::string err;
};

Output Quillon(platform::FileSystem& files, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunQuillon(args, files, out, err);
  return {code, out.str(), err.str()};
}

// The document with `key` of `section` set to `value` (added when missing).
std::string With(std::string text, const char* section, const char* key, const std::string& value) {
  document::ProfileFile file = document::ProfileFile::Parse(text);
  file.SetValue(section, key, value);
  return file.Serialize();
}

// The 1-based number of the first line that is exactly `line`, counted here
// on its own, apart from the profile file's counting.
std::size_t LineNumber(const std::string& text, const std::string& line, std::size_t after = 0) {
  std::istringstream lines(text);
  std::string current;
  for (std::size_t number = 1; std::getline(lines, current); ++number) {
    if (!current.empty() && current.back() == '\r') current.pop_back();
    if (number > after && current == line) return number;
  }
  return 0;
}

std::vector<Finding> Check(const std::string& text) {
  platform::MemoryFileSystem files;
  return CheckDocumentText(text, files);
}

TEST(QuillonDecodeTest, ReadsWhatTheEngineWrites) {
  // A whole engine run's debug file, as the engine wrote it beside itself.
  engine::testing::EngineWorld world;
  world.WriteFile(world.Path("doc.ini"), CompleteDocument());
  world.Run(world.Path("doc.ini"));
  std::optional<std::string> bytes = world.files.ReadFile(world.DebugFilePath());
  ASSERT_TRUE(bytes.has_value());
  std::optional<std::string> text = DecodeDebugBytes(*bytes);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, engine::testing::DecodeDebugBytes(*bytes));
  EXPECT_NE(text->find(">> From Server: OLDSRV\r\n"), std::string::npos);

  // Every length, so that front and back meet at every parity; and text
  // beyond ASCII, as the host's 8-bit text.
  for (std::size_t length = 0; length < 40; ++length) {
    const std::string line = std::string(length, 'a' + static_cast<char>(length % 26)) + "\r\n";
    EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(line)), line) << length;
  }
  const std::string accented = platform::Utf16ToNarrow(u"Gr\u00fc\u00dfe \u00e9t\u00e9\r\n");
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(accented)), accented);

  // What is no debug file: nothing, an odd size, plain text, scrambled text
  // without its line end, scrambled text holding a NUL.
  EXPECT_EQ(DecodeDebugBytes(""), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText("line\r\n") + "x"), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(CompleteDocument()), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText("no line end")), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(std::string("a\0b\r\n", 5))),
            std::nullopt);
}

TEST(QuillonDecodeTest, CommandPrintsEachFileAndNamesTheBadOnes) {
  platform::MemoryFileSystem files;
  files.files["one.debug"] = engine::ScrambleDebugText("first\r\nsecond\r\n");
  files.files["two.debug"] = engine::ScrambleDebugText("third\r\n");
  files.files["doc.ini"] = CompleteDocument();
  files.unreadable.insert("locked.debug");

  Output one = Quillon(files, {"decode", "one.debug"});
  EXPECT_EQ(one.code, 0);
  EXPECT_EQ(one.out, "first\nsecond\n");
  EXPECT_EQ(one.err, "");

  Output both = Quillon(files, {"decode", "one.debug", "two.debug"});
  EXPECT_EQ(both.code, 0);
  EXPECT_EQ(both.out, "==> one.debug <==\nfirst\nsecond\n==> two.debug <==\nthird\n");

  // The bad files are named; the good one is still printed.
  Output bad = Quillon(files, {"decode", "locked.debug", "doc.ini", "missing.debug", "two.debug"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "==> two.debug <==\nthird\n");
  EXPECT_EQ(bad.err,
            "quillon decode: locked.debug: cannot be read\n"
            "quillon decode: doc.ini: is not a debug file of the engine\n"
            "quillon decode: missing.debug: cannot be read\n");

  Output none = Quillon(files, {"decode"});
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("no debug file given"), std::string::npos);
  Output option = Quillon(files, {"decode", "--fast", "one.debug"});
  EXPECT_EQ(option.code, 2);
  EXPECT_NE(option.err.find("unknown option '--fast'"), std::string::npos);
  files.files["-odd.debug"] = engine::ScrambleDebugText("dash\r\n");
  Output dashed = Quillon(files, {"decode", "--", "-odd.debug"});
  EXPECT_EQ(dashed.code, 0);
  EXPECT_EQ(dashed.out, "dash\n");
  Output help = Quillon(files, {"decode", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillon decode", 0), 0u);
}

TEST(QuillonDecodeTest, HostileFilesAreRefusedOrBoundedAndTheirControlsShownNotObeyed) {
  platform::MemoryFileSystem files;
  const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  // A line that would clear the screen and print a line of its own, a bell,
  // a carriage return that would overwrite, and a C1 control sequence introducer.
  files.files["evil.debug"] = engine::ScrambleDebugText(
      "ERROR: \x1b[2J\x1b[Hquillon decode: all clear\r\n\tindented\x07 bell\r\nover\rwritten\r\n" +
      platform::Utf16ToNarrow(u"C1 \u009b31m red\r\n"));
  Output evil = Quillon(files, {"decode", "evil.debug"});
  EXPECT_EQ(evil.code, 0);
  EXPECT_EQ(evil.out, std::string("ERROR: ^[[2J^[[Hquillon decode: all clear\n\tindented^G bell\nover^Mwritten\n") +
                          (utf8 ? "C1 \\x9b31m red\n" : platform::Utf16ToNarrow(u"C1 \u009b31m red\n")));
  EXPECT_EQ(evil.out.find('\x1b'), std::string::npos);

  // Larger than a debug file can be: refused without decoding it.
  files.files["big.debug"] = std::string(report::kLargestDebugFile + 2, 'x');
  Output big = Quillon(files, {"decode", "big.debug", "evil\x1b]0;title\x07.debug"});
  EXPECT_EQ(big.code, 2);
  EXPECT_EQ(big.out, "");
  EXPECT_EQ(big.err,
            "quillon decode: big.debug: is larger than 64 MB, more than a debug file of the engine holds\n"
            "quillon decode: evil^[]0;title^G.debug: cannot be read\n");
  files.files.erase("big.debug");

#ifndef _WIN32
  // A pipe is not waited on and a link is not followed, on the host's own files.
  engine::testing::EngineWorld scratch;
  const std::string folder = scratch.ProgramFolder();
  const std::string pipe = platform::JoinPath(folder, "pipe.debug");
  const std::string real = platform::JoinPath(folder, "real.debug");
  const std::string link = platform::JoinPath(folder, "link.debug");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::ofstream(real, std::ios::binary) << engine::ScrambleDebugText("real\r\n");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  platform::HostFileSystem host;
  const auto start = std::chrono::steady_clock::now();
  Output hostile = Quillon(host, {"decode", pipe, link, real});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(hostile.code, 2);
  EXPECT_EQ(hostile.out, "==> " + real + " <==\nreal\n");
  EXPECT_EQ(hostile.err, "quillon decode: " + pipe + ": cannot be read\nquillon decode: " + link +
                             ": cannot be read\n");
#endif
}

// A document planted in the share, named and filled to command the terminal
// that checks it: every name and value is shown, none obeyed; the same for the
// direction controls that make a name read backwards.
TEST(QuillonCheckTest, NamesAndValuesFromTheShareAreShownNotObeyed) {
  platform::MemoryFileSystem files;
  const std::string name = "e\x1b]0;PWN\x07.ini";
  files.files[name] = With(CompleteDocument(), "NOTIFICATION", "ServerPort", "\x1b[2J25");
  const Output checked = Quillon(files, {"check", name});
  EXPECT_EQ(checked.out.find('\x1b'), std::string::npos) << checked.out;
  EXPECT_EQ(checked.out.find('\x07'), std::string::npos) << checked.out;
  EXPECT_NE(checked.out.find("e^[]0;PWN^G.ini"), std::string::npos) << checked.out;
  if (platform::NarrowCharsetName() == "UTF-8") {
    EXPECT_EQ(VisibleText("OLD\xe2\x80\xaegnp.exe"), "OLD<U+202E>gnp.exe");
    EXPECT_EQ(VisibleText("a\xe2\x81\xa6" "b\xef\xbb\xbf"), "a<U+2066>b<U+FEFF>");
    EXPECT_EQ(VisibleText("B\xc3\xbcro \xe2\x80\x94 ok"), "B\xc3\xbcro \xe2\x80\x94 ok");
  }
}

TEST(QuillonCheckTest, RefusalsCarryTheirLinesAndTheEnginesWords) {
  std::string text = CompleteDocument({{"ShowProgress=", ""},
                                       {"AlwaysRun=", "AlwaysRun=Maybe"},
                                       {"MDACOption=", "MDACOption=40000"},
                                       {"FromServers=OLDSRV", "FromServers=A,B"},
                                       {"ToServers=NEWSRV", "ToServers=X,Y,Z"},
                                       {"[SUPPORT]", ""},
                                       {"DebugOn=", ""}});
  std::vector<Finding> findings = Check(text);
  ASSERT_EQ(findings.size(), 5u);
  for (const Finding& f : findings) EXPECT_TRUE(f.refusal) << f.message;

  // The whole missing section once, without a line; then by line.
  EXPECT_EQ(findings[0].section, "SUPPORT");
  EXPECT_EQ(findings[0].line, 0u);
  EXPECT_EQ(findings[0].message, "Section [SUPPORT] is missing.");

  // A missing key points at its section's header.
  EXPECT_EQ(findings[1].key, "ShowProgress");
  EXPECT_EQ(findings[1].line, LineNumber(text, "[GENERAL]"));
  EXPECT_EQ(findings[1].message, "[GENERAL] ShowProgress is missing.");

  EXPECT_EQ(findings[2].key, "AlwaysRun");
  EXPECT_EQ(findings[2].line, LineNumber(text, "AlwaysRun=Maybe"));
  EXPECT_EQ(findings[2].message, "[GENERAL] AlwaysRun: \"Maybe\" is neither True nor False.");

  EXPECT_EQ(findings[3].line, LineNumber(text, "ToServers=X,Y,Z"));
  EXPECT_EQ(findings[3].message,
            "Reading INI file, section [MANUAL DEFINITIONS SERVERS] key ToServers holds 3 items "
            "but the list has 2 records.");
  EXPECT_EQ(findings[4].line, LineNumber(text, "MDACOption=40000"));
  EXPECT_EQ(findings[4].message,
            "Reading INI file, section [DEPLOYMENT] key MDACOption: \"40000\" is outside the "
            "range -32768 to 32767.");

  // One record's list takes two items; an empty first key makes one record.
  std::vector<Finding> two = Check(CompleteDocument({{"ToServers=NEWSRV", "ToServers=X,Y"}}));
  ASSERT_EQ(two.size(), 1u);
  EXPECT_FALSE(two[0].refusal);
  std::vector<Finding> three = Check(CompleteDocument({{"ToServers=NEWSRV", "ToServers=X,Y,Z"}}));
  ASSERT_FALSE(three.empty());
  EXPECT_TRUE(three[0].refusal);
  EXPECT_EQ(three[0].message,
            "Reading INI file, section [MANUAL DEFINITIONS SERVERS] key ToServers holds 3 items "
            "but the list has 2 records.");
  std::vector<Finding> one = Check(CompleteDocument({{"FromServers=OLDSRV", "FromServers= "},
                                                     {"ToServers=NEWSRV", "ToServers=X,Y"}}));
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(one[0].message,
            "Reading INI file, section [MANUAL DEFINITIONS SERVERS] key ToServers holds 2 items "
            "but the list has 1 record.");

  // A file that does not parse into any section is refused for every section.
  std::vector<Finding> empty = Check("");
  ASSERT_FALSE(empty.empty());
  for (const Finding& f : empty) {
    EXPECT_TRUE(f.refusal);
    EXPECT_EQ(f.message, "Section [" + f.section + "] is missing.");
  }
  EXPECT_EQ(empty.size(), 14u);
}

TEST(QuillonCheckTest, RefusesExactlyWhatTheEngineRefuses) {
  const std::string base = CompleteDocument();
  const std::string longTrue = std::string(98, 'x') + "true";  // cut before "true"
  const std::string shortTrue = std::string(95, 'x') + "true";
  const std::vector<std::string> documents = {
      base,
      With(base, "GENERAL", "AlwaysRun", "untrue"),
      With(base, "GENERAL", "AlwaysRun", "TRUE!"),
      With(base, "GENERAL", "AlwaysRun", "yes"),
      With(base, "GENERAL", "AlwaysRun", ""),
      With(base, "GENERAL", "AlwaysRun", longTrue),
      With(base, "GENERAL", "AlwaysRun", shortTrue),
      With(base, "GENERAL", "AlwaysRun", std::string("fal\0se", 6)),
      With(base, "DEPLOYMENT", "MDACOption", "32767.5"),
      With(base, "DEPLOYMENT", "MDACOption", "32767.4"),
      With(base, "DEPLOYMENT", "MDACOption", "-32768"),
      With(base, "DEPLOYMENT", "MDACOption", "-32769"),
      With(base, "DEPLOYMENT", "MDACOption", "1e9"),
      With(base, "DEPLOYMENT", "MDACOption", "abc"),
      With(base, "SET_DEFAULT", "DefaultType", "9e99999"),
      With(With(base, "PRINTER_DRIVER", "PrinterName", "A,B"), "PRINTER_DRIVER", "PortName",
           "1,2,3"),
      With(With(base, "PRUNE", "ServerNames", "A,B,C"), "PRUNE", "PrinterNames", "1,2,3"),
      With(base, "NOTIFICATION SMTP", "EmailTo", "a@x,b@x,c@x"),
      "[GENERAL]\r\nUseActiveDirectory=True\r\n",
      "\xFF\xFE",
  };
  for (std::size_t i = 0; i < documents.size(); ++i) {
    document::MigrationDocument read;
    const bool refused = document::ReadDocumentText(&documents[i], read);
    std::vector<Finding> findings = Check(documents[i]);
    const bool anyRefusal = std::any_of(findings.begin(), findings.end(),
                                        [](const Finding& f) { return f.refusal; });
    EXPECT_EQ(anyRefusal, refused) << "document " << i;
  }
  // Not every case above is one way: some are refused, some are not.
  document::MigrationDocument read;
  EXPECT_TRUE(document::ReadDocumentText(&documents[5], read));
  EXPECT_FALSE(document::ReadDocumentText(&documents[6], read));
}

struct WarningCase {
  std::string name;
  std::string text;
  std::string section, key;
  std::string expectedLine;  // the line the warning points at
  std::string message;
};

TEST(QuillonCheckTest, EachWarningClassPointsAtItsKey) {
  const std::string base = CompleteDocument({{"DeploymentPath=", "DeploymentPath=\\\\srv\\deploy\\"}});
  const std::string longList(10'050, 'p');
  std::vector<WarningCase> cases = {
      {"shifted pairs",
       With(With(With(With(base, "MANUAL DEFINITIONS MIXED", "FromServers", "S1,S2"),
                      "MANUAL DEFINITIONS MIXED", "FromPrinters", "P1"),
                 "MANUAL DEFINITIONS MIXED", "ToServers", "T1,T2"),
            "MANUAL DEFINITIONS MIXED", "ToPrinters", "Q1,Q2"),
       "MANUAL DEFINITIONS MIXED", "FromPrinters", "FromPrinters=P1",
       "[MANUAL DEFINITIONS MIXED] FromPrinters has 1 items but FromServers has 2: items pair by "
       "position, so one left out pairs every later item with the wrong partner."},
      {"placeholder",
       With(With(base, "MANUAL DEFINITIONS PRINTERS", "FromPrinters", "A, ,C"),
            "MANUAL DEFINITIONS PRINTERS", "ToPrinters", "X,Y,Z"),
       "MANUAL DEFINITIONS PRINTERS", "FromPrinters", "FromPrinters=A, ,C",
       "[MANUAL DEFINITIONS PRINTERS] FromPrinters item 2 is empty and will read as \"Error in "
       "From Printer Name\"."},
      {"mail without server",
       With(With(base, "NOTIFICATION SMTP", "UseSMTP", "True"), "NOTIFICATION SMTP", "EmailTo",
            "it@example.com"),
       "NOTIFICATION SMTP", "SMTPServerNameOrIP", "SMTPServerNameOrIP= ",
       "Mail is switched on (UseSMTP) but SMTPServerNameOrIP is empty."},
      {"mail without recipients",
       With(With(base, "NOTIFICATION SMTP", "UseSMTP", "True"), "NOTIFICATION SMTP",
            "SMTPServerNameOrIP", "mail.example.com"),
       "NOTIFICATION SMTP", "EmailTo", "EmailTo= ",
       "Mail is switched on (UseSMTP) but EmailTo names no recipient."},
      {"file output without folder",
       With(With(base, "NOTIFICATION FILE OUTPUT", "UseFileOutput", "True"),
            "NOTIFICATION FILE OUTPUT", "FileOutputName", "report"),
       "NOTIFICATION FILE OUTPUT", "FileOutputPath", "FileOutputPath= ",
       "File output is switched on (UseFileOutput) but FileOutputPath is empty."},
      {"file output without name",
       With(With(base, "NOTIFICATION FILE OUTPUT", "UseFileOutput", "True"),
            "NOTIFICATION FILE OUTPUT", "FileOutputPath", "\\\\srv\\reports\\"),
       "NOTIFICATION FILE OUTPUT", "FileOutputName", "FileOutputName= ",
       "File output is switched on (UseFileOutput) but FileOutputName is empty."},
      {"forced default without name", With(base, "SET_DEFAULT", "DefaultType", "2"),
       "SET_DEFAULT", "DefaultPrinterName", "DefaultPrinterName= ",
       "DefaultType 2 forces a default printer but DefaultPrinterName is empty."},
      {"local populate without driver",
       With(With(With(base, "POPULATE", "ServerNames", ".,srv"), "POPULATE", "PrinterNames",
                 "HP Color,Laser"),
            "PRINTER_DRIVER", "PrinterName", "hp color"),
       "POPULATE", "PrinterNames", "PrinterNames=HP Color,Laser",
       "The local printer \"HP Color\" (server \".\") has no [PRINTER_DRIVER] record of exactly "
       "that name; it will not be created."},
      {"list cut", With(With(base, "PRUNE", "ServerNames", longList), "PRUNE", "PrinterNames", "x"),
       "PRUNE", "ServerNames", "ServerNames=" + longList,
       "[PRUNE] ServerNames is 10050 characters long; the engine reads only the first 9999 and "
       "cuts the rest off."},
      {"missing deployment folder", With(base, "DEPLOYMENT", "DeploymentPath", "\\\\srv\\gone"),
       "DEPLOYMENT", "DeploymentPath", "DeploymentPath=\\\\srv\\gone",
       "The deployment folder \"\\\\srv\\gone\" does not exist here."},
      {"missing output folder",
       With(With(base, "NOTIFICATION FILE OUTPUT", "FileOutputPath", "\\\\srv\\gone\\"),
            "NOTIFICATION FILE OUTPUT", "FileOutputName", "report"),
       "NOTIFICATION FILE OUTPUT", "FileOutputPath", "FileOutputPath=\\\\srv\\gone\\",
       "The output folder \"\\\\srv\\gone\" does not exist here."},
  };
  auto port = [&base](const std::string& value) {
    return WarningCase{"port " + value, With(base, "NOTIFICATION SMTP", "ServerPort", value),
                       "NOTIFICATION SMTP", "ServerPort", "ServerPort=" + value,
                       "ServerPort \"" + value +
                           "\" is not a port the mail can go through: give decimal digits "
                           "naming 1 to 65535."};
  };
  for (const char* value : {"99999999999999999999999", "0", "65536", "+25", "2 5", "smtp"}) {
    cases.push_back(port(value));
  }
  platform::MemoryFileSystem files;
  files.folders.insert("\\\\srv\\deploy");
  files.folders.insert("\\\\srv\\reports");

  // The base document itself is clean, with its folder present.
  EXPECT_TRUE(CheckDocumentText(base, files).empty());

  for (const WarningCase& c : cases) {
    std::vector<Finding> findings = CheckDocumentText(c.text, files);
    std::string all;
    for (const Finding& f : findings) all += "\n  " + f.message;
    ASSERT_EQ(findings.size(), 1u) << c.name << ":" << all;
    const Finding& f = findings.front();
    EXPECT_FALSE(f.refusal) << c.name;
    EXPECT_EQ(f.section, c.section) << c.name;
    EXPECT_EQ(f.key, c.key) << c.name;
    std::size_t line = c.section == "PRUNE" ? LineNumber(c.text, c.expectedLine,
                                                         LineNumber(c.text, "[PRUNE]"))
                                            : LineNumber(c.text, c.expectedLine);
    EXPECT_NE(line, 0u) << c.name;
    EXPECT_EQ(f.line, line) << c.name;
    EXPECT_EQ(f.message, c.message) << c.name;
  }

  // With the driver record's exact name the local rule is fine.
  std::string exact = With(With(With(base, "POPULATE", "ServerNames", "."), "POPULATE",
                                "PrinterNames", "HP Color"),
                           "PRINTER_DRIVER", "PrinterName", "HP Color");
  EXPECT_TRUE(CheckDocumentText(exact, files).empty());

  // Ports the connect can use; no port at all while mail is off.
  for (const char* value : {"1", "025", "65535"}) {
    EXPECT_TRUE(CheckDocumentText(With(base, "NOTIFICATION SMTP", "ServerPort", value), files)
                    .empty())
        << value;
  }
  EXPECT_TRUE(CheckDocumentText(With(base, "NOTIFICATION SMTP", "ServerPort", ""), files).empty());
  EXPECT_EQ(CheckDocumentText(With(With(base, "NOTIFICATION SMTP", "ServerPort", ""),
                                   "NOTIFICATION SMTP", "UseSMTP", "True"),
                              files)
                .size(),
            3u);  // no server, no recipient, no port

  // A NUL inside a value: the engine reads up to it, and says nothing.
  struct NulCase {
    const char *section, *key;
    std::string value, message;
  };
  const NulCase nuls[] = {
      {"NOTIFICATION SMTP", "EmailSubject", std::string("Printer\0moves", 13),
       "holds a NUL character after 7 characters; the engine reads the value only up to it, "
       "as \"Printer\"."},
      {"MANUAL DEFINITIONS SERVERS", "ToServers", std::string("NEWSRV\0,X", 9),
       "holds a NUL character after 6 characters; the engine reads the value only up to it, "
       "as \"NEWSRV\"."},
      {"GENERAL", "AlwaysRun", std::string("True\0", 5),
       "holds a NUL character after 4 characters; the engine reads the value only up to it, "
       "as \"True\"."},
  };
  for (const NulCase& c : nuls) {
    const std::string text = With(base, c.section, c.key, c.value);
    ASSERT_NE(text.find(std::string(c.key) + "=" + c.value), std::string::npos) << c.key;
    std::vector<Finding> findings = CheckDocumentText(text, files);
    ASSERT_EQ(findings.size(), 1u) << c.key;
    const std::size_t line = LineNumber(text, std::string(c.key) + "=" + c.value);
    EXPECT_FALSE(findings[0].refusal);
    EXPECT_EQ(findings[0].section, c.section);
    EXPECT_EQ(findings[0].key, c.key);
    EXPECT_EQ(findings[0].line, line);
    EXPECT_EQ(findings[0].message, std::string("[") + c.section + "] " + c.key + " (line " +
                                       std::to_string(line) + ") " + c.message);
  }
  // Past what the engine reads, a NUL changes nothing.
  const std::string late = std::string(1200, 's') + '\0';
  EXPECT_TRUE(CheckDocumentText(With(base, "NOTIFICATION SMTP", "EmailSubject", late), files)
                  .empty());
}

// A document whose moves need drivers, deployed to a folder without its
// start-up batch file: check says what to do; moves that need none, or a
// deployment that has it, are not warned of.
TEST(QuillonCheckTest, MovesThatNeedDriversWantTheStartUpBatchFile) {
  platform::MemoryFileSystem files;
  files.folders = {"share", "docs"};
  const std::string doc = platform::JoinPath("docs", "moves.ini");
  const std::string script = platform::JoinPath("share", "moves.ini-StageDrivers.bat");
  const std::string base =
      With(engine::testing::CompleteDocument(), "DEPLOYMENT", "DeploymentPath", "share");
  const auto check = [&](const std::string& text) {
    files.files[doc] = text;
    std::ostringstream out, err;
    const int code = RunQuillon({"check", doc}, files, out, err);
    return std::make_pair(code, out.str());
  };
  const auto warned = [](const std::string& out) {
    return out.find("has no start-up batch file moves.ini-StageDrivers.bat") != std::string::npos;
  };

  // The server pair OLDSRV to NEWSRV.
  auto [code, out] = check(base);
  EXPECT_EQ(code, 1) << out;
  EXPECT_TRUE(warned(out)) << out;
  EXPECT_NE(out.find(": warning: The moves of this document need the new printers' drivers"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("as a Group Policy computer start-up script"), std::string::npos) << out;

  // Deployed with it: nothing to say.
  files.files[script] = "REM\r\n";
  std::tie(code, out) = check(base);
  EXPECT_EQ(code, 0) << out;
  files.files.erase(script);

  // A pair that stays on its server moves nothing; the directory method,
  // a printer pair and a networked populate rule each do.
  const std::string same = With(base, "MANUAL DEFINITIONS SERVERS", "ToServers", "oldsrv");
  EXPECT_FALSE(warned(check(same).second));
  EXPECT_TRUE(warned(check(With(same, "GENERAL", "UseActiveDirectory", "True")).second));
  EXPECT_TRUE(warned(check(With(With(same, "MANUAL DEFINITIONS PRINTERS", "FromPrinters",
                                     "\\\\OLDSRV\\A"),
                                "MANUAL DEFINITIONS PRINTERS", "ToPrinters", "\\\\NEWSRV\\A"))
                         .second));
  const std::string populate = With(With(same, "POPULATE", "ServerNames", "NEWSRV"), "POPULATE",
                                    "PrinterNames", "Lobby");
  EXPECT_TRUE(warned(check(populate).second));
  // A local printer populated is no connection.
  EXPECT_FALSE(warned(check(With(populate, "POPULATE", "ServerNames", ".")).second));
}

TEST(QuillonCheckTest, CommandExitCodesTextAndJson) {
  platform::MemoryFileSystem files;
  files.files["clean.ini"] = CompleteDocument();
  files.files["warned.ini"] = CompleteDocument({{"DefaultType=", "DefaultType=2"}});
  files.files["refused.ini"] =
      CompleteDocument({{"DefaultType=", "DefaultType=2"}, {"AlwaysRun=", "AlwaysRun=no"}});
  files.unreadable.insert("locked.ini");

  Output clean = Quillon(files, {"check", "clean.ini"});
  EXPECT_EQ(clean.code, 0);
  EXPECT_EQ(clean.out, "clean.ini: no problems found\n");

  Output warned = Quillon(files, {"check", "warned.ini"});
  EXPECT_EQ(warned.code, 1);
  const std::size_t nameLine = LineNumber(files.files["warned.ini"], "DefaultPrinterName= ");
  EXPECT_EQ(warned.out, "warned.ini:" + std::to_string(nameLine) +
                            ": warning: DefaultType 2 forces a default printer but "
                            "DefaultPrinterName is empty.\nwarned.ini: readable, 1 warning\n");

  Output refused = Quillon(files, {"check", "refused.ini"});
  EXPECT_EQ(refused.code, 2);
  EXPECT_EQ(refused.out.rfind("refused.ini:4: refused: [GENERAL] AlwaysRun: \"no\"", 0), 0u);
  EXPECT_NE(refused.out.find("refused.ini: the engine would refuse this document (1 reason, 1 "
                             "warning)\n"),
            std::string::npos);

  Output json = Quillon(files, {"check", "--json", "refused.ini"});
  EXPECT_EQ(json.code, 2);
  nlohmann::json parsed = nlohmann::json::parse(json.out);
  EXPECT_EQ(parsed["document"], "refused.ini");
  EXPECT_EQ(parsed["status"], "refused");
  EXPECT_EQ(parsed["exit"], 2);
  ASSERT_EQ(parsed["findings"].size(), 2u);
  EXPECT_EQ(parsed["findings"][0]["severity"], "refusal");
  EXPECT_EQ(parsed["findings"][0]["section"], "GENERAL");
  EXPECT_EQ(parsed["findings"][0]["key"], "AlwaysRun");
  EXPECT_EQ(parsed["findings"][0]["line"], 4);
  EXPECT_EQ(parsed["findings"][0]["message"],
            "[GENERAL] AlwaysRun: \"no\" is neither True nor False.");
  EXPECT_EQ(parsed["findings"][1]["severity"], "warning");
  EXPECT_EQ(parsed["findings"][1]["line"], nameLine);

  // A finding without a line has null there; the status of the others.
  files.files["nosupport.ini"] = CompleteDocument({{"[SUPPORT]", ""}, {"DebugOn=", ""}});
  nlohmann::json missing = nlohmann::json::parse(Quillon(files, {"check", "nosupport.ini", "--json"}).out);
  EXPECT_TRUE(missing["findings"][0]["line"].is_null());
  EXPECT_EQ(nlohmann::json::parse(Quillon(files, {"check", "--json", "clean.ini"}).out)["status"],
            "clean");
  EXPECT_EQ(nlohmann::json::parse(Quillon(files, {"check", "--json", "warned.ini"}).out)["status"],
            "warnings");

  // Text that is no valid UTF-8 (a code page document) still gives valid JSON,
  // with quotes, backslashes and control characters escaped.
  files.files["cp.ini"] =
      CompleteDocument({{"AlwaysRun=", std::string("AlwaysRun=caf\xE9 \"\\\x01")}});
  nlohmann::json cp;
  ASSERT_NO_THROW(cp = nlohmann::json::parse(Quillon(files, {"check", "--json", "cp.ini"}).out));
  const std::string message = cp["findings"][0]["message"];
  EXPECT_EQ(message.rfind("[GENERAL] AlwaysRun: \"caf", 0), 0u) << message;
  EXPECT_NE(message.find(" \"\\\x01\" is neither"), std::string::npos) << message;

  // Unreadable input and bad arguments: exit 2 and a message, nothing on stdout.
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"check", "locked.ini"},
                                             {"check", "absent.ini"},
                                             {"check"},
                                             {"check", "clean.ini", "warned.ini"},
                                             {"check", "--yaml", "clean.ini"},
                                             {"frobnicate"},
                                             {}}) {
    Output bad = Quillon(files, args);
    EXPECT_EQ(bad.code, 2) << testing::PrintToString(args);
    EXPECT_EQ(bad.out, "") << testing::PrintToString(args);
    EXPECT_FALSE(bad.err.empty()) << testing::PrintToString(args);
  }
  EXPECT_EQ(Quillon(files, {"check", "locked.ini"}).err, "quillon check: locked.ini: cannot be read\n");
  EXPECT_EQ(Quillon(files, {"frobnicate"}).err.rfind("quillon: unknown command 'frobnicate'", 0), 0u);
  Output help = Quillon(files, {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("decode FILE.debug"), std::string::npos);
  EXPECT_EQ(Quillon(files, {"check", "-h"}).out.rfind("Usage: quillon check", 0), 0u);
}

namespace fs = std::filesystem;

class FixedClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return {2005, 3, 15, 14, 5, 9}; }
  platform::ZonedTime NowWithOffset() override { return {Now(), 0}; }
  void Sleep(int) override {}
};

// What the generator shows, to compare with what the command prints.
class RecordingDialogs : public gui::Dialogs {
 public:
  gui::MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                                    gui::MessageIcon, gui::MessageButtons) override {
    messages.push_back(title + ": " + text);
    return gui::MessageAnswer::Ok;
  }
  std::string ShowSaveDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string ShowOpenDialog(const gui::SaveFileOptions&) override { return {}; }
  std::string BrowseForFolder() override { return {}; }
  std::string BrowseForNetworkFolder() override { return {}; }
  bool ShowHelp(const std::string&, int) override { return false; }
  bool OpenWebPage(const std::string&) override { return false; }
  bool OpenGuide(const std::string&) override { return false; }
  std::vector<std::string> messages;
};

class RecordingProgress : public toolkit::DeploymentProgress {
 public:
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void Advance() override {}
  void ProcessEvents() override {}
  std::vector<std::string> captions;
};

std::map<std::string, std::string> FolderContents(const fs::path& folder) {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    contents[entry.path().filename().string()] =
        std::string(std::istreambuf_iterator<char>(in), {});
  }
  return contents;
}

void Empty(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder)) fs::remove_all(entry.path());
}

TEST(QuillonDeployTest, WritesWhatTheToolkitGeneratorWritesAndSaysWhatItSays) {
  const fs::path root = fs::path(::testing::TempDir()) /
                        ("quillon-deploy-" +
                         std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const fs::path program = root / "program", deploy = root / "deploy";
  fs::create_directories(program);
  fs::create_directories(deploy);
  fs::create_directories(root / "documents");
  const auto write = [](const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  };
  write(program / toolkit::kEngineFileName, "engine program");
  for (const char* installer : toolkit::kMdacInstallers) write(program / installer, installer);
  const std::string document = (root / "documents" / "office move.ini").string();
  write(document, CompleteDocument());

  platform::HostFileSystem files;
  FixedClock clock;
#ifdef _WIN32
  const std::optional<std::string> mountTable;
#else
  // A table with no share: the folder is named to the clients as typed.
  const std::optional<std::string> mountTable = "/dev/sda1 / ext4 rw 0 0\n";
#endif
  const CommandHost host{clock, "ann", "PC042", mountTable, program.string(), nullptr, {}};
  const auto quillon = [&](std::vector<std::string> args) {
    args.insert(args.begin(), "deploy");
    std::ostringstream out, err;
    const int code = RunQuillon(args, files, host, out, err);
    return Output{code, out.str(), err.str()};
  };
  // The generator itself, run as Deploy Now runs it on the same inputs.
  const auto generate = [&](RecordingDialogs& dialogs, RecordingProgress& progress) {
    toolkit::DeploymentInputs inputs;
    inputs.deploymentFolder = deploy.string();
    inputs.includeInstaller = true;
    inputs.installerOption = 1;
    inputs.DocumentPath = document;
    inputs.DocumentFileName = "office move.ini";
    inputs.toolkitFolder = program.string();
    toolkit::Deployment deployment({dialogs, files, clock, progress, "ann", "PC042", mountTable},
                                   inputs);
    deployment.DeploymentSucceeded = true;
    return deployment.Deploy(true, true);
  };

  RecordingDialogs generatorDialogs;
  RecordingProgress generatorProgress;
  ASSERT_TRUE(generate(generatorDialogs, generatorProgress));
  const std::map<std::string, std::string> expected = FolderContents(deploy);
  ASSERT_EQ(expected.size(), 6u);
  EXPECT_EQ(expected.count("office move.ini.bat"), 1u);
  EXPECT_EQ(expected.count("office move.ini-StageDrivers.bat"), 1u);
  EXPECT_EQ(expected.count("MDAC_TYP2.7SP1.EXE"), 1u);
  Empty(deploy);

  Output done = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "1"});
  EXPECT_EQ(done.out, "");
  EXPECT_EQ(FolderContents(deploy), expected);
  std::string progress = "Initializing deployment process ...\n";
  for (const std::string& caption : generatorProgress.captions) progress += caption + "\n";
  // The folder's audit comes after deploy's own outcome.
  std::ostringstream audit;
  PrintDeploymentAudit(AuditDeploymentFolder(deploy.string(), files, mountTable), audit);
  EXPECT_NE(audit.str().find(deploy.string() + ": "), std::string::npos);
#ifdef _WIN32
  EXPECT_EQ(done.code, 0) << done.err;
  EXPECT_EQ(done.err,
            progress + "Deployment Complete.\nSucess: Deployment successfull.\n" + audit.str());
#else
  // A folder of this computer on no share: written, but the batch files name
  // it as no client can, so the deployment is not called a success.
  EXPECT_EQ(done.code, 1) << done.err;
  EXPECT_EQ(done.err.find("Deployment successfull."), std::string::npos) << done.err;
  EXPECT_EQ(done.err.rfind(progress + "Deployment Complete.\nDeployment Incomplete: The deployment "
                                      "folder " + deploy.string() + " is on no mounted network share",
                           0),
            0u)
      << done.err;
#endif

  // Without --page and --batch, and without an installer: the copies only.
  Empty(deploy);
  EXPECT_EQ(quillon({document, deploy.string()}).code, 0);
  const std::map<std::string, std::string> copies = FolderContents(deploy);
  EXPECT_EQ(copies.size(), 2u);
  EXPECT_EQ(copies.count(toolkit::kEngineFileName), 1u);
  EXPECT_EQ(copies.count("office move.ini"), 1u);

  // No engine beside the program: the generator's own message, exit 1.
  Empty(deploy);
  fs::remove(program / toolkit::kEngineFileName);
  RecordingDialogs failedDialogs;
  RecordingProgress failedProgress;
  ASSERT_FALSE(generate(failedDialogs, failedProgress));
  ASSERT_FALSE(failedDialogs.messages.empty());
  Empty(deploy);
  Output failed = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "1"});
  EXPECT_EQ(failed.code, 1);
  for (const std::string& message : failedDialogs.messages) {
    std::string printed;
    for (const char c : message) printed += c == '\n' ? std::string("\n    ") : std::string(1, c);
    EXPECT_NE(failed.err.find(printed + "\n"), std::string::npos) << failed.err;
  }
  EXPECT_EQ(failed.err.find("Deployment successfull."), std::string::npos);
  // The failed copy stops it: nothing that would start the missing engine,
  // and the deployment is not called complete.
  EXPECT_EQ(FolderContents(deploy).size(), 1u) << "the installer alone";
  EXPECT_EQ(failed.err.find("Deployment Complete."), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("\nDeployment failed.\n"), std::string::npos) << failed.err;
  write(program / toolkit::kEngineFileName, "engine program");

  // The installer missing: nothing is copied or written after it.
  Empty(deploy);
  fs::remove(program / "MDAC_TYP2.8.EXE");
  Output noInstaller = quillon({document, deploy.string(), "--batch", "--page", "--mdac", "2"});
  EXPECT_EQ(noInstaller.code, 1);
  EXPECT_NE(noInstaller.err.find("Error: Error copying MDAC file to deployment folder."),
            std::string::npos)
      << noInstaller.err;
  EXPECT_TRUE(fs::is_empty(deploy));
  EXPECT_NE(noInstaller.err.find("Copying MDAC file ...\nError: "), std::string::npos);
  EXPECT_EQ(noInstaller.err.find("Deployment Complete."), std::string::npos);
  EXPECT_NE(noInstaller.err.find("\nDeployment failed.\n"), std::string::npos) << noInstaller.err;
  EXPECT_NE(noInstaller.err.find(deploy.string() + ": ",
                                 noInstaller.err.find("\nDeployment failed.\n")),
            std::string::npos)
      << "the folder is audited after a failed deployment too: " << noInstaller.err;

#ifndef _WIN32
  // A name the batch file cannot hold (Windows names cannot hold a double
  // quote, Samba's can): refused before anything is written.
  const std::string quoted = (root / "documents" / "x\" & calc & \"y.ini").string();
  write(quoted, CompleteDocument());
  Output unsafe = quillon({quoted, deploy.string(), "--batch", "--page"});
  EXPECT_EQ(unsafe.code, 2);
  EXPECT_EQ(unsafe.err,
            "Error: Error: Quillon cannot write the batch file, because the document name cannot "
            "be written into it safely:\n    x\" & calc & \"y.ini\n    It holds a double quote "
            "(\").\n    \n    Please use a name without it, or deploy without the batch file.\n"
            "    Nothing was deployed.\n");
  EXPECT_TRUE(fs::is_empty(deploy));
  // Without the batch file it is only a file name.
  EXPECT_EQ(quillon({quoted, deploy.string(), "--page"}).code, 0);
  EXPECT_EQ(FolderContents(deploy).size(), 3u);
  Empty(deploy);

  // DOC must be a regular file of its own: a pipe is refused at once, not
  // waited on, and a link is not followed.
  const fs::path pipe = root / "documents" / "pipe.ini", link = root / "documents" / "link.ini";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  fs::create_symlink(document, link);
  for (const fs::path& doc : {pipe, link}) {
    const auto started = std::chrono::steady_clock::now();
    Output refused = quillon({doc.string(), deploy.string(), "--batch"});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(refused.code, 2) << doc;
    EXPECT_EQ(refused.err.rfind("quillon deploy: " + doc.string() + ": is ", 0), 0u)
        << refused.err;
    EXPECT_TRUE(fs::is_empty(deploy));
  }
#endif

  // Refused before anything is written: exit 2, the folder untouched.
  Empty(deploy);
  Output missing = quillon({document, (root / "nowhere").string(), "--batch"});
  EXPECT_EQ(missing.code, 2);
  EXPECT_EQ(missing.err,
            "Error: The deployment folder does not exist. Please check your deployment folder "
            "and try again.\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {document, deploy.string(), "--mdac", "3"},
           {document, deploy.string(), "--mdac"},
           {document, deploy.string(), "--zip"},
           {document},
           {document, deploy.string(), "extra"},
           {(root / "documents" / "absent.ini").string(), deploy.string()}}) {
    Output bad = quillon(args);
    EXPECT_EQ(bad.code, 2) << testing::PrintToString(args);
    EXPECT_EQ(bad.out, "") << testing::PrintToString(args);
    EXPECT_FALSE(bad.err.empty()) << testing::PrintToString(args);
  }
  EXPECT_TRUE(fs::is_empty(deploy));
  EXPECT_EQ(quillon({"--help"}).out.rfind("Usage: quillon deploy DOC FOLDER", 0), 0u);
  fs::remove_all(root);
}

TEST(QuillonCheckTest, TargetingRefusalsAndConditionsThatCanNeverHold) {
  const std::string base = CompleteDocument() + "[TARGETING]\r\nUseTargeting=True\r\n";
  EXPECT_TRUE(Check(base + "ComputerNames=PC*\r\nExcludeComputerNames=PC9*\r\nRolloutPercent=10\r\n").empty());

  std::vector<Finding> bad = Check(base + "Subnets=10.0.0.0/8, 10.0.0.0/40\r\nNotBefore=1.3.2027\r\n");
  ASSERT_EQ(bad.size(), 2u);
  EXPECT_TRUE(bad[0].refusal);
  EXPECT_EQ(bad[0].key, "Subnets");
  EXPECT_EQ(bad[0].line, LineNumber(base, "[TARGETING]") + 2);
  EXPECT_EQ(bad[0].message,
            "Reading INI file, section [TARGETING] key Subnets: \"10.0.0.0/40\" is not a network "
            "in CIDR form (192.0.2.0/24, 2001:db8::/32).");
  EXPECT_EQ(bad[1].key, "NotBefore");

  struct Case {
    std::string keys;
    std::string warning;  // empty: none
  } cases[] = {
      {"RolloutPercent=0\r\n", "RolloutPercent is 0: the document applies to no computer until it is raised."},
      {"ExcludeComputerNames=*\r\n",
       "ExcludeComputerNames \"*\" excludes every computer (no ComputerNames limit them): the "
       "document applies to no computer."},
      {"ComputerNames=LAB-1,lab-2?\r\nExcludeComputerNames=X,LAB-*\r\n",
       "ExcludeComputerNames \"LAB-*\" excludes every computer that ComputerNames includes: the "
       "document applies to no computer."},
      {"ComputerNames=LAB-1,PC*\r\nExcludeComputerNames=LAB-*\r\n", ""},
      {"ComputerNames=L*\r\nExcludeComputerNames=LAB-*\r\n", ""},
      {"ComputerGroups=Pilot-PCs\r\n",
       "ComputerGroups needs the computer's groups, which Windows clients read from the "
       "directory that DomainName names; this document names none, so on Windows the condition "
       "never holds and no computer is targeted."},
      {"UserGroups=Floor2\r\n", ""},
  };
  for (const Case& c : cases) {
    std::vector<Finding> found = Check(base + c.keys);
    if (c.warning.empty()) {
      EXPECT_TRUE(found.empty()) << c.keys << found[0].message;
      continue;
    }
    ASSERT_EQ(found.size(), 1u) << c.keys;
    EXPECT_FALSE(found[0].refusal);
    EXPECT_EQ(found[0].message, c.warning);
  }
  // With a directory named, the computer's groups can be read.
  std::string named = base + "ComputerGroups=Pilot-PCs\r\n";
  named.replace(named.find("DomainName= "), 12, "DomainName=corp.example");
  EXPECT_TRUE(Check(named).empty());
  // Not in use: neither refused nor warned about.
  EXPECT_TRUE(Check(CompleteDocument() + "[TARGETING]\r\nUseTargeting=False\r\nRolloutPercent=0\r\n"
                                         "Subnets=nonsense\r\n").empty());
}

}  // namespace
}  // namespace quillon::tools
