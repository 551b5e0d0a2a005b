// Tests of writing a migration document: key encodings, list joining, editing
// an existing file, failures, and write-then-read round trips through files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "document/profile_file.h"
#include "testing/memory_file_system.h"

namespace quillon::document {
namespace {

using platform::MemoryFileSystem;

const std::string kPath = "C:\\Docs\\move.ini";

// Every field set, nothing that reading would change (no blanks around
// values, no commas in items, no trailing "\" on the two paths).
MigrationDocument PopulatedRecord() {
  MigrationDocument d;
  d.UseActiveDirectory = true;
  d.AlwaysRun = true;
  d.DomainName = "corp.example";
  d.ServerPairs = {{"OLD1", "NEW1"}, {"OLD2", "NEW2"}, {"OLD3", "NEW3"}};
  d.PrinterPairs = {{"\\\\O\\P1", "\\\\N\\P1"}, {"\\\\O\\P2", "\\\\N\\P2"}};
  d.MixedPairs = {{"FS1", "FP1", "TP1", "TS1"}, {"FS2", "FP2", "TP2", "TS2"}};
  d.UseSMTP = true;
  d.SMTPServerNameOrIP = "10.0.0.25";
  d.ServerPort = "2525";
  d.EmailSubject = "Printers moved";
  d.EmailTo = {"a@example", "b@example"};
  d.EmailFrom = "quillon@example";
  d.UseFileOutput = true;
  d.FileOutputPath = "\\\\files\\out";
  d.FileOutputName = "result.txt";
  d.IncludeOutcome = true;
  d.UseClientPopup = true;
  d.UseFailureClientPopup = true;
  d.SuccessMessage = "All done.^CRLFBye.";
  d.FailureMessage = "Call 1234.";
  d.DeploymentPath = "\\\\files\\deploy";
  d.CreateBatchFile = true;
  d.MDACOption = -32768;
  d.PopulateRules = {{"PS1", "PP1"}, {"PS2", "PP2"}};
  d.PruneRules = {{"RS1", "RP1"}, {"RS2", "RP2"}};
  d.DeleteAllNonNetworked = true;
  d.PrinterDrivers = {{"DP1", "DN1", "df1.dll", "LPT1:"}, {"DP2", "DN2", "df2.dll", "LPT2:"}};
  d.DriverSharePath = "\\\\files\\drivers";
  d.DefaultType = 32767;
  d.DefaultPrinterName = "\\\\N\\P1";
  d.DebugOn = true;
  return d;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The raw line of `key` in `section` of a written file, or "" when absent.
std::string KeyLine(const std::string& text, const std::string& section, const std::string& key) {
  std::size_t at = text.find("[" + section + "]\r\n");
  if (at == std::string::npos) return "";
  std::size_t end = text.find("\r\n[", at);
  std::size_t line = text.find("\r\n" + key + "=", at);
  if (line == std::string::npos || line > end) return "";
  line += 2;
  return text.substr(line, text.find("\r\n", line) - line);
}

TEST(DocumentWriterTest, NewFileHasEverySectionInOrder) {
  MemoryFileSystem fs;
  MigrationDocument d = PopulatedRecord();
  EXPECT_FALSE(WriteDocument(fs, kPath, d));
  EXPECT_EQ(fs.writes, 1);
  EXPECT_EQ(fs.files[kPath], Lines({
                                 "[GENERAL]",
                                 "UseActiveDirectory=True",
                                 "UseManualDefinitions=False",
                                 "AlwaysRun=True",
                                 "ShowProgress=False",
                                 "",
                                 "[ACTIVE DIRECTORY]",
                                 "DomainName=corp.example",
                                 "",
                                 "[MANUAL DEFINITIONS SERVERS]",
                                 "FromServers=OLD1,OLD2,OLD3",
                                 "ToServers=NEW1,NEW2,NEW3",
                                 "",
                                 "[MANUAL DEFINITIONS PRINTERS]",
                                 "FromPrinters=\\\\O\\P1,\\\\O\\P2",
                                 "ToPrinters=\\\\N\\P1,\\\\N\\P2",
                                 "",
                                 "[MANUAL DEFINITIONS MIXED]",
                                 "FromServers=FS1,FS2",
                                 "FromPrinters=FP1,FP2",
                                 "ToServers=TS1,TS2",
                                 "ToPrinters=TP1,TP2",
                                 "",
                                 "[NOTIFICATION SMTP]",
                                 "UseSMTP=True",
                                 "SMTPServerNameOrIP=10.0.0.25",
                                 "ServerPort=2525",
                                 "EmailSubject=Printers moved",
                                 "EmailTo=a@example,b@example",
                                 "EmailFrom=quillon@example",
                                 "",
                                 "[NOTIFICATION FILE OUTPUT]",
                                 "UseFileOutput=True",
                                 "FileOutputPath=\\\\files\\out",
                                 "FileOutputName=result.txt",
                                 "IncludeComputerName=False",
                                 "IncludeOutcome=True",
                                 "WriteToEventLog=False",
                                 "",
                                 "[NOTIFICATION CLIENT POP-UP]",
                                 "UseClientPopup=True",
                                 "UseSuccessClientPopup=False",
                                 "SuccessMessage=All done.^CRLFBye.",
                                 "UseFailureClientPopup=True",
                                 "FailureMessage=Call 1234.",
                                 "",
                                 "[DEPLOYMENT]",
                                 "DeploymentPath=\\\\files\\deploy",
                                 "CreateWebLaunchPage=False",
                                 "CreateBatchFile=True",
                                 "IncludeMDAC=False",
                                 "MDACOption=-32768",
                                 "",
                                 "[POPULATE]",
                                 "ServerNames=PS1,PS2",
                                 "PrinterNames=PP1,PP2",
                                 "",
                                 "[PRUNE]",
                                 "ServerNames=RS1,RS2",
                                 "PrinterNames=RP1,RP2",
                                 "DeleteADOrphans=False",
                                 "DeleteAllNonNetworked=True",
                                 "",
                                 "[PRINTER_DRIVER]",
                                 "PrinterName=DP1,DP2",
                                 "DriverName=DN1,DN2",
                                 "DriverFileName=df1.dll,df2.dll",
                                 "PortName=LPT1:,LPT2:",
                                 "DriverSharePath=\\\\files\\drivers",
                                 "",
                                 "[SET_DEFAULT]",
                                 "DefaultType=32767",
                                 "DefaultPrinterName=\\\\N\\P1",
                                 "",
                                 "[SUPPORT]",
                                 "DebugOn=True",
                             }));
}

TEST(DocumentWriterTest, WriteThenReadGivesTheSameRecord) {
  struct Case {
    const char* name;
    MigrationDocument record;
  };
  const Case cases[] = {{"populated", PopulatedRecord()}, {"fresh", MigrationDocument{}}};
  for (const Case& c : cases) {
    MemoryFileSystem fs;
    MigrationDocument written = c.record;
    ASSERT_FALSE(WriteDocument(fs, kPath, written)) << c.name;
    MigrationDocument read;
    std::vector<std::string> errors;
    EXPECT_FALSE(ReadDocument(fs, kPath, read, [&](const std::string& line) {
      if (line.rfind("ERROR", 0) == 0) errors.push_back(line);
    })) << c.name;
    EXPECT_TRUE(errors.empty()) << c.name << ": " << errors.front();
    EXPECT_EQ(read, c.record) << c.name;
  }
}

TEST(DocumentWriterTest, FreshRecordIsWrittenWithBlanks) {
  MemoryFileSystem fs;
  MigrationDocument d;
  ASSERT_FALSE(WriteDocument(fs, kPath, d));
  const ProfileFile file = ProfileFile::Parse(fs.files[kPath]);
  EXPECT_NE(fs.files[kPath].find("DomainName= \r\n"), std::string::npos);
  EXPECT_NE(fs.files[kPath].find("FromServers= \r\n"), std::string::npos);
  EXPECT_NE(fs.files[kPath].find("MDACOption=0\r\n"), std::string::npos);
  EXPECT_NE(fs.files[kPath].find("DebugOn=False\r\n"), std::string::npos);
  // Every empty string of the record now holds what the file holds.
  EXPECT_EQ(d.DomainName, " ");
  EXPECT_EQ(d.ServerPort, " ");
  EXPECT_EQ(d.SuccessMessage, " ");
  EXPECT_EQ(d.FileOutputPath, " ");
  EXPECT_EQ(d.DefaultPrinterName, " ");
  EXPECT_EQ(d.ServerPairs, (std::vector<ServerPair>{{}}));  // list items stay as they are
}

TEST(DocumentWriterTest, ListKeysJoinTheirFields) {
  struct Case {
    const char* name;
    std::function<void(MigrationDocument&)> set;
    const char* section;
    const char* key;
    std::string expected;
  };
  const Case cases[] = {
      {"pairs by position",
       [](MigrationDocument& d) { d.ServerPairs = {{"A", "B"}, {"C", "D"}}; },
       "MANUAL DEFINITIONS SERVERS", "FromServers", "A,C"},
      {"pairs by position, second key",
       [](MigrationDocument& d) { d.ServerPairs = {{"A", "B"}, {"C", "D"}}; },
       "MANUAL DEFINITIONS SERVERS", "ToServers", "B,D"},
      {"empty values dropped per key",
       [](MigrationDocument& d) { d.ServerPairs = {{"A", ""}, {"", "D"}, {"E", "F"}}; },
       "MANUAL DEFINITIONS SERVERS", "ToServers", "D,F"},
      {"blank second record disappears",
       [](MigrationDocument& d) { d.PrinterPairs = {{"P", "Q"}, {"", ""}}; },
       "MANUAL DEFINITIONS PRINTERS", "FromPrinters", "P"},
      {"all empty gives a blank",
       [](MigrationDocument& d) { d.MixedPairs = {{}, {}}; }, "MANUAL DEFINITIONS MIXED",
       "ToPrinters", " "},
      {"mixed key order",
       [](MigrationDocument& d) { d.MixedPairs = {{"FS", "FP", "TP", "TS"}}; },
       "MANUAL DEFINITIONS MIXED", "ToServers", "TS"},
      {"email addresses drop empties",
       [](MigrationDocument& d) { d.EmailTo = {"", "a@x", "", "b@x", ""}; }, "NOTIFICATION SMTP",
       "EmailTo", "a@x,b@x"},
      {"populate drops empties",
       [](MigrationDocument& d) { d.PopulateRules = {{"S", "P"}, {"", ""}}; }, "POPULATE",
       "PrinterNames", "P"},
      {"prune keeps the blank second record",
       [](MigrationDocument& d) { d.PruneRules = {{"A", ""}, {"", ""}}; }, "PRUNE",
       "ServerNames", "A,"},
      {"prune keeps empty items",
       [](MigrationDocument& d) { d.PruneRules = {{"A", ""}, {"", ""}}; }, "PRUNE",
       "PrinterNames", ","},
      {"one empty port name is a blank",
       [](MigrationDocument& d) { d.PrinterDrivers = {{"P", "D", "F", ""}}; }, "PRINTER_DRIVER",
       "PortName", " "},
      {"two empty port names are a comma",
       [](MigrationDocument& d) { d.PrinterDrivers = {{"P", "D", "F", ""}, {"Q", "E", "G", ""}}; },
       "PRINTER_DRIVER", "PortName", ","},
      {"driver files keep positions",
       [](MigrationDocument& d) { d.PrinterDrivers = {{"P", "D", "", ""}, {"Q", "E", "G", ""}}; },
       "PRINTER_DRIVER", "DriverFileName", ",G"},
      {"negative integer",
       [](MigrationDocument& d) { d.DefaultType = -12; }, "SET_DEFAULT", "DefaultType", "-12"},
      {"string unchanged", [](MigrationDocument& d) { d.EmailSubject = " two  blanks "; },
       "NOTIFICATION SMTP", "EmailSubject", " two  blanks "},
  };
  for (const Case& c : cases) {
    MemoryFileSystem fs;
    MigrationDocument d;
    c.set(d);
    ASSERT_FALSE(WriteDocument(fs, kPath, d)) << c.name;
    EXPECT_EQ(KeyLine(fs.files[kPath], c.section, c.key), std::string(c.key) + "=" + c.expected)
        << c.name;
  }
}

TEST(DocumentWriterTest, SavingOverADocumentKeepsItsOtherContent) {
  MemoryFileSystem fs;
  fs.files[kPath] =
      "; Migration of the second floor\n"
      "[general]\n"
      "usesmtp_note=kept\n"
      "ALWAYSRUN = True\n"
      "; last comment of general\n"
      "\n"
      "[Custom]\n"
      "Anything=kept as is\n"
      "\n"
      "[SUPPORT]\n"
      "DebugOn=True\n"
      "Owner=helpdesk\n";
  MigrationDocument d;
  d.DebugOn = false;
  d.UseSMTP = true;
  ASSERT_FALSE(WriteDocument(fs, kPath, d));
  const std::string& text = fs.files[kPath];
  EXPECT_EQ(text.substr(0, text.find("[ACTIVE DIRECTORY]")),
            Lines({"; Migration of the second floor", "[general]", "usesmtp_note=kept",
                   "ALWAYSRUN=False", "; last comment of general", "UseActiveDirectory=False",
                   "UseManualDefinitions=False", "ShowProgress=False", "", "[Custom]",
                   "Anything=kept as is", "", "[SUPPORT]", "DebugOn=False", "Owner=helpdesk",
                   ""}));
  // No bare LF anywhere: every line ends in CR LF.
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
    ASSERT_GT(at, 0u);
    ASSERT_EQ(text[at - 1], '\r') << "at " << at;
  }
  MigrationDocument read;
  EXPECT_FALSE(ReadDocument(fs, kPath, read));
  EXPECT_TRUE(read.UseSMTP);
  EXPECT_FALSE(read.DebugOn);
}

// Values that begin and end with a quote, or with blanks around a quote, are
// written so that reading strips nothing of them.
TEST(DocumentWriterTest, QuotedValuesReadBackUnchanged) {
  MigrationDocument d = PopulatedRecord();
  d.DomainName = "'corp'";
  d.EmailSubject = "\"Printers moved\"";
  d.SuccessMessage = "\"Done\" ";  // the reader trims the blank, nothing else
  d.DeploymentPath = "\"\\\\files\\deploy\"";
  d.ServerPairs = {{"\"OLD1", "NEW1"}, {"OLD2\"", "NEW2"}};
  d.EmailTo = {"'a@example", "b@example'"};
  MemoryFileSystem fs;
  MigrationDocument written = d;
  ASSERT_FALSE(WriteDocument(fs, kPath, written));
  MigrationDocument read;
  EXPECT_FALSE(ReadDocument(fs, kPath, read));
  d.SuccessMessage = "\"Done\"";
  EXPECT_EQ(read, d);
}

// A document saved as "Unicode" stays UTF-16LE with its mark, comments and
// foreign keys kept.
TEST(DocumentWriterTest, Utf16DocumentStaysUtf16) {
  auto utf16 = [](const std::string& text) {
    std::string bytes = "\xFF\xFE";
    for (char c : text) {
      bytes += c;
      bytes += '\0';
    }
    return bytes;
  };
  MemoryFileSystem fs;
  fs.files[kPath] = utf16("; second floor\r\n[SUPPORT]\r\nDebugOn=True\r\nOwner=helpdesk\r\n");
  MigrationDocument d = PopulatedRecord();
  d.DebugOn = false;
  ASSERT_FALSE(WriteDocument(fs, kPath, d));
  const std::string& bytes = fs.files[kPath];
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
  EXPECT_EQ(bytes.size() % 2, 0u);
  EXPECT_EQ(bytes.find(utf16("; second floor\r\n[SUPPORT]\r\nDebugOn=False\r\nOwner=helpdesk\r\n")
                           .substr(2)),
            2u);
  MigrationDocument read;
  EXPECT_FALSE(ReadDocument(fs, kPath, read));
  EXPECT_EQ(read, d);
}

TEST(DocumentWriterTest, FailuresLeaveTheFileAlone) {
  {
    MemoryFileSystem fs;
    fs.unreadable.insert(kPath);
    MigrationDocument d = PopulatedRecord();
    EXPECT_TRUE(WriteDocument(fs, kPath, d));
    EXPECT_EQ(fs.writes, 0);
  }
  {
    MemoryFileSystem fs;
    fs.files[kPath] = "[SUPPORT]\nDebugOn=True\n";
    fs.failWrites = true;
    MigrationDocument d;
    EXPECT_TRUE(WriteDocument(fs, kPath, d));
    EXPECT_EQ(fs.files[kPath], "[SUPPORT]\nDebugOn=True\n");
    EXPECT_EQ(d.DomainName, " ");
  }
}

TEST(DocumentWriterTest, ReadingAMissingFileLogsAFreshRecord) {
  MemoryFileSystem fs;
  MigrationDocument d = PopulatedRecord();
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadDocument(fs, kPath, d, [&](const std::string& l) { lines.push_back(l); }));
  EXPECT_EQ(d, MigrationDocument{});
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) { return l.rfind("ERROR", 0) == 0; }),
            0);
  EXPECT_EQ(lines[0], ">> UseActiveDirectory: False");
}

TEST(DocumentWriterTest, TargetingIsWrittenOnlyWhereUsedAndKeepsItsText) {
  MemoryFileSystem files;
  MigrationDocument d = PopulatedRecord();
  ASSERT_FALSE(WriteDocument(files, kPath, d));
  const std::string plain = files.files[kPath];
  EXPECT_EQ(plain.find("TARGETING"), std::string::npos);
  // Saved again unchanged: the same bytes, still without the section.
  ASSERT_FALSE(WriteDocument(files, kPath, d));
  EXPECT_EQ(files.files[kPath], plain);

  d.Targeting.UseTargeting = true;
  d.Targeting.RolloutPercent = "10";
  d.Targeting.UserGroups = "Floor2-Pilot,IT";
  ASSERT_FALSE(WriteDocument(files, kPath, d));
  MigrationDocument back;
  EXPECT_FALSE(ReadDocument(files, kPath, back));
  EXPECT_EQ(back, d);
  EXPECT_NE(files.files[kPath].find("[TARGETING]\r\nUseTargeting=True\r\nUserGroups=Floor2-Pilot,IT\r\n"
                                    "RolloutPercent=10\r\n"),
            std::string::npos);

  // The administrator's own spelling of a key survives raising the percentage.
  files.files[kPath] += "[targeting]\r\n";  // a later duplicate section is ignored
  std::string& text = files.files[kPath];
  text.replace(text.find("UserGroups=Floor2-Pilot,IT"), 26, "UserGroups = Floor2-Pilot,IT ");
  ReadDocument(files, kPath, d);
  d.Targeting.RolloutPercent = "100";
  ASSERT_FALSE(WriteDocument(files, kPath, d));
  EXPECT_NE(files.files[kPath].find("UserGroups = Floor2-Pilot,IT \r\nRolloutPercent=100\r\n"),
            std::string::npos);
  // Cleared: the keys stay, blank, and read back as no condition.
  d.Targeting = TargetingSettings{};
  ASSERT_FALSE(WriteDocument(files, kPath, d));
  EXPECT_FALSE(ReadDocument(files, kPath, back));
  EXPECT_EQ(back.Targeting, TargetingSettings{});
}

}  // namespace
}  // namespace quillon::document
