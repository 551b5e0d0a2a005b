// Tests of `quillon check`'s warnings: each class points at its key, moves
// that need drivers want the start-up batch file, and targeting that is
// refused or can never hold.
#include "tools/quillon/quillon_cli_test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quillon::tools {
namespace {

using namespace cli_tests;

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
