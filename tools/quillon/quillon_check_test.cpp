// Tests of `quillon check`: refusals with their lines and the engine's words,
// exactly what the engine refuses, names and values from the share shown, not
// obeyed, and the command's exit codes, text and JSON.
#include "tools/quillon/quillon_cli_test_support.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "document/document_file.h"
#include "platform/text.h"

namespace quillon::tools {
namespace {

using namespace cli_tests;

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

}  // namespace
}  // namespace quillon::tools
