// Reading a migration document as it comes: edited by hand (quoted values,
// CR line ends, UTF-16), missing, read again over a used record, and bad
// input that must not crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "document/document_file.h"
#include "document/document_reader_test_support.h"
#include "document/profile_file.h"

namespace quillon::document {
namespace {

using namespace reader_tests;

std::string Replaced(std::string text, const std::vector<std::pair<std::string, std::string>>& edits) {
  for (const auto& [from, to] : edits) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
  }
  return text;
}

std::string WithLineEnds(const std::string& text, const std::string& end) {
  std::string out;
  for (char c : text) c == '\n' ? out += end : out += c;
  return out;
}

// Bytes of a UTF-16LE file with its mark; the text is ASCII.
std::string AsUtf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes += c;
    bytes += '\0';
  }
  return bytes;
}

// The same document as an administrator edits it by hand: quoted values, CR
// line ends of an old Mac editor, or saved by Notepad as "Unicode". Each reads
// to the record the plain document gives.
TEST(DocumentReaderTest, HandEditedDocumentsReadAsTheirPlainForm) {
  const std::string quoted = Replaced(
      kCompleteDocument,
      {{"DomainName=corp.example", "DomainName = \" corp.example \""},
       {"FromServers=OLDSRV,OLD2", "FromServers=\"OLDSRV, OLD2\""},
       {"EmailTo=admin@example,help@example", "EmailTo='admin@example , help@example'"},
       {"SuccessMessage=Done.^CRLFThank you.", "SuccessMessage=\"Done.^CRLFThank you.\""},
       {"DeploymentPath=\\\\files\\deploy\\", "DeploymentPath=\"\\\\files\\deploy\\\""},
       {"MDACOption=2", "MDACOption='2'"},
       {"DebugOn=True", "DebugOn=\"True\""},
       {"DefaultType=1", "DefaultType=\"1\""}});
  ASSERT_NE(quoted, kCompleteDocument);
  struct Case {
    const char* name;
    std::string text;
  };
  const Case cases[] = {
      {"quoted", quoted},
      {"quoted, CR LF", WithLineEnds(quoted, "\r\n")},
      {"quoted, CR only", WithLineEnds(quoted, "\r")},
      {"CR only", WithLineEnds(kCompleteDocument, "\r")},
      {"UTF-16LE", AsUtf16(WithLineEnds(kCompleteDocument, "\r\n"))},
      {"UTF-16LE, quoted", AsUtf16(WithLineEnds(quoted, "\r\n"))},
  };
  for (const Case& c : cases) {
    const ReadResult r = Read(c.text);
    EXPECT_FALSE(r.readError) << c.name;
    EXPECT_TRUE(r.errors.empty()) << c.name;
    EXPECT_EQ(r.document, CompleteRecord()) << c.name;
  }
}

TEST(DocumentReaderTest, MissingFileLeavesAFreshRecord) {
  MigrationDocument d = CompleteRecord();
  std::vector<std::string> lines;
  EXPECT_TRUE(ReadDocumentText(nullptr, d, [&](const std::string& l) { lines.push_back(l); }));
  EXPECT_EQ(d, MigrationDocument{});
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), ">> UseActiveDirectory: False") << "only the settings are logged";
  EXPECT_EQ(lines.back(), ">> DebugOn: False");
}

TEST(DocumentReaderTest, EveryReadReplacesTheWholeRecord) {
  MigrationDocument d = CompleteRecord();
  d.ServerPairs.resize(7);
  const std::string text = CompleteWith({{"MANUAL DEFINITIONS SERVERS", "FromServers", "X"},
                                         {"MANUAL DEFINITIONS SERVERS", "ToServers", "Y"}});
  EXPECT_FALSE(ReadDocumentText(&text, d));
  EXPECT_EQ(d.ServerPairs, (std::vector<ServerPair>{{"X", "Y"}, {}}));
}

TEST(DocumentReaderTest, BadInputDoesNotCrash) {
  std::vector<std::string> inputs = {
      "",
      "\n\n\n",
      std::string("\0\0\0[SUPPORT]\0\nDebugOn=\0True", 28),
      std::string(3'000'000, 'x'),
      "[SUPPORT]\nDebugOn=" + std::string(3'000'000, 'T'),
      "[MANUAL DEFINITIONS SERVERS]\nFromServers=" + std::string(100'000, ','),
  };
  for (const std::string& input : inputs) {
    MigrationDocument d;
    EXPECT_TRUE(ReadDocumentText(&input, d, [](const std::string&) {}));
  }
  std::mt19937 random(4711);
  const std::string complete = kCompleteDocument;
  for (int i = 0; i < 100; ++i) {
    std::string junk(static_cast<std::size_t>(random() % 20000), '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    const std::string input = i % 2 == 0 ? junk : complete.substr(0, random() % 2000) + junk;
    MigrationDocument d;
    std::vector<std::string> lines;
    ReadDocumentText(&input, d, [&](const std::string& l) { lines.push_back(l); });
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), d.DebugOn ? ">> DebugOn: True" : ">> DebugOn: False");
  }
  MigrationDocument empty;
  const std::string nothing;
  EXPECT_TRUE(ReadDocumentText(&nothing, empty));
  EXPECT_EQ(empty, MigrationDocument{});

  // The last line needs no line end, and CR LF ends are read like LF.
  std::string crlf = ProfileFile::Parse(kCompleteDocument).Serialize();
  crlf.erase(crlf.size() - 2);
  ASSERT_EQ(crlf.substr(crlf.size() - 12), "DebugOn=True");
  const ReadResult r = Read(crlf);
  EXPECT_FALSE(r.readError);
  EXPECT_EQ(r.document, CompleteRecord());
}

}  // namespace
}  // namespace quillon::document
