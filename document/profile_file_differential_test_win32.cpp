// Our profile reader against the system's (GetPrivateProfileStringW) on the
// same hand-edited documents, with the buffer sizes the document reader uses,
// and on a document our writer saved with a name the code page lacks.
// The system here is Wine; where Wine is known to answer otherwise than
// Windows, the case pins Wine's answer (so a change in Wine shows up) and is
// not compared:
// - A UTF-8 byte order mark: Wine decodes the file as UTF-8; Windows takes the
//   three bytes as text of the first line (a section header there is lost), as
//   we do.
// - A UTF-16BE byte order mark: Wine reads the file; Windows does not, nor do we.
// - A quoted value whose text between the quotes is exactly one character less
//   than the buffer: Wine drops its last character; Windows and we return it.
// - A line without "=" followed by the same key with one: Wine stops at the
//   first and returns the default; we ignore lines without "=", as before.
//   (Windows' answer has not been checked here.)
// Not in the corpus, as we keep our own rule and the documents do not need
// them: Wine also trims control and Unicode blanks, which we do not, and takes
// a section name up to the last "]" of its line, where we take the first.
#include "platform/host/windows_api.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/profile_file.h"

namespace quillon::document {
namespace {

// The document reader's buffers: strings, booleans and integers, lists.
constexpr DWORD kBufferSizes[] = {1000, 100, 10000};
constexpr const char* kMissing = "<missing>";

struct Query {
  const char* section;
  const char* key;
};

struct Document {
  const char* name;
  std::string bytes;
  std::vector<Query> queries;
};

// A known Wine answer that differs from Windows' (see above); size 0 is every size.
struct WineQuirk {
  const char* document;
  const char* key;
  DWORD size;
  std::optional<std::string> wine;
};

std::string Utf16Le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

std::string Utf16Be(std::u16string_view text) {
  std::string bytes = "\xFE\xFF";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit >> 8);
    bytes += static_cast<char>(unit & 0xFF);
  }
  return bytes;
}

std::string WithLineEnds(std::string_view text, std::string_view end) {
  std::string out;
  for (char c : text) c == '\n' ? out += end : out += c;
  return out;
}

// Every line ends differently: LF, CR, CR LF in turn.
std::string MixedLineEnds(std::string_view text) {
  static constexpr const char* kEnds[] = {"\n", "\r", "\r\n"};
  std::string out;
  int line = 0;
  for (char c : text) c == '\n' ? out += kEnds[line++ % 3] : out += c;
  return out;
}

const char kQuotes[] = R"(; quotes as administrators write them
[DEPLOYMENT]
DeploymentPath="\\srv\deploy\my folder\"
Single='\\srv\share'
Padded =   "  blanks inside  "   
Tabbed=	"x"	
EmptyDouble=""
EmptySingle=''
BlankQuoted=" "
Lone="
LoneSingle='
Unbalanced="abc
UnbalancedEnd=abc"
Mixed="abc'
MixedReverse='abc"
Inner=a "b" c
Nested="'x'"
Twice=""x""
QuoteThenText="a"b
Empty=
Blanks=   

[SET_DEFAULT]
DefaultType="2"

[MANUAL DEFINITIONS SERVERS]
FromServers="A, B"
ToServers='C,D'
)";

const std::vector<Query> kQuoteQueries = {
    {"DEPLOYMENT", "DeploymentPath"}, {"DEPLOYMENT", "Single"},
    {"DEPLOYMENT", "Padded"},         {"DEPLOYMENT", "Tabbed"},
    {"DEPLOYMENT", "EmptyDouble"},    {"DEPLOYMENT", "EmptySingle"},
    {"DEPLOYMENT", "BlankQuoted"},    {"DEPLOYMENT", "Lone"},
    {"DEPLOYMENT", "LoneSingle"},     {"DEPLOYMENT", "Unbalanced"},
    {"DEPLOYMENT", "UnbalancedEnd"},  {"DEPLOYMENT", "Mixed"},
    {"DEPLOYMENT", "MixedReverse"},   {"DEPLOYMENT", "Inner"},
    {"DEPLOYMENT", "Nested"},         {"DEPLOYMENT", "Twice"},
    {"DEPLOYMENT", "QuoteThenText"},  {"DEPLOYMENT", "Empty"},
    {"DEPLOYMENT", "Blanks"},         {"DEPLOYMENT", "Missing"},
    {"SET_DEFAULT", "DefaultType"},   {"MANUAL DEFINITIONS SERVERS", "FromServers"},
    {"MANUAL DEFINITIONS SERVERS", "ToServers"},
};

const char kStructure[] = R"(; comment before any section
Orphan=before any section
[GENERAL]
;UseSMTP=True
   ; indented comment
UseSMTP = False
usesmtp=True
NoEquals
Twice
Twice=after a line without equals
 Spaced Key  =  spaced value  
[ Spaced Section ]
Key=in spaced section
[general]
UseSMTP=True
OnlyInDuplicate=x
[SUPPORT]
DebugOn=True
)";

const std::vector<Query> kStructureQueries = {
    {"GENERAL", "UseSMTP"},         {"general", "USESMTP"},
    {"GENERAL", "NoEquals"},        {"GENERAL", "Twice"},
    {"GENERAL", "Spaced Key"},      {"GENERAL", "OnlyInDuplicate"},
    {"GENERAL", "Orphan"},          {"Spaced Section", "Key"},
    {"SUPPORT", "DebugOn"},         {"support", "debugon"},
    {"MISSING", "DebugOn"},
};

std::string LongValues() {
  std::string text = "[LONG]\n";
  for (std::size_t length : {98, 99, 100, 998, 999, 1000, 9998, 9999, 10000}) {
    const std::string digits = std::to_string(length);
    text += "Plain" + digits + "=" + std::string(length, 'p') + "\n";
    text += "Quoted" + digits + "=\"" + std::string(length, 'q') + "\"\n";
  }
  // The cut falls inside the blanks that reading would trim.
  text += "BlanksAtCut=\"" + std::string(97, 'b') + "   x\"\n";
  return text;
}

std::vector<Query> LongQueries() {
  static std::vector<std::string> names;  // the queries point into it
  if (names.empty()) {
    for (std::size_t length : {98, 99, 100, 998, 999, 1000, 9998, 9999, 10000}) {
      names.push_back("Plain" + std::to_string(length));
      names.push_back("Quoted" + std::to_string(length));
    }
    names.push_back("BlanksAtCut");
  }
  std::vector<Query> queries;
  for (const std::string& name : names) queries.push_back({"LONG", name.c_str()});
  return queries;
}

const char16_t kUnicode[] =
    u"; saved by Notepad as Unicode\r\n"
    u"[NOTIFICATION SMTP]\r\n"
    u"EmailSubject=\"Drucker umgezogen \u00FC\"\r\n"
    u"EmailFrom=caf\u00E9@example\r\n"
    u"Outside=\u03A9 \u0101\r\n"
    u"LoneSurrogate=a\xD800z\r\n"
    u"[SET_DEFAULT]\r\n"
    u"DefaultType='2'\r\n";

const std::vector<Query> kUnicodeQueries = {
    {"NOTIFICATION SMTP", "EmailSubject"}, {"NOTIFICATION SMTP", "EmailFrom"},
    {"NOTIFICATION SMTP", "Outside"},      {"NOTIFICATION SMTP", "LoneSurrogate"},
    {"SET_DEFAULT", "DefaultType"},
};

// A code page document in which our writer set "\u0141\u00f3d\u017a": saved as
// UTF-16, which the system must read as well.
std::string WrittenWithLodz() {
  ProfileFile file = ProfileFile::Parse("; c\r\n[S]\r\nK=1\r\nOwner=caf\xE9\r\n");
  file.SetValue("S", "Printer", "\\\\srv\\\xC5\x81\xC3\xB3" "d\xC5\xBA");
  return file.Serialize();
}

const char kNulInside[] = "[S]\r\nK=\"a\0b\"\r\nL= x\0 \r\n";

std::vector<Document> Corpus() {
  const std::u16string unicode(kUnicode);
  std::u16string unicodeCrOnly;
  for (std::size_t i = 0; i < unicode.size(); ++i) {
    if (unicode[i] == u'\r' && i + 1 < unicode.size() && unicode[i + 1] == u'\n') continue;
    unicodeCrOnly += unicode[i] == u'\n' ? u'\r' : unicode[i];
  }
  return {
      {"quotes, LF", kQuotes, kQuoteQueries},
      {"quotes, CR LF", WithLineEnds(kQuotes, "\r\n"), kQuoteQueries},
      {"quotes, CR", WithLineEnds(kQuotes, "\r"), kQuoteQueries},
      {"quotes, mixed", MixedLineEnds(kQuotes), kQuoteQueries},
      {"structure, LF", kStructure, kStructureQueries},
      {"structure, CR", WithLineEnds(kStructure, "\r"), kStructureQueries},
      {"structure, mixed", MixedLineEnds(kStructure), kStructureQueries},
      {"long values", LongValues(), LongQueries()},
      {"long values, CR", WithLineEnds(LongValues(), "\r"), LongQueries()},
      {"UTF-16LE", Utf16Le(unicode), kUnicodeQueries},
      {"UTF-16LE, CR", Utf16Le(unicodeCrOnly), kUnicodeQueries},
      {"UTF-16LE, quotes", Utf16Le(std::u16string(kQuotes, kQuotes + sizeof kQuotes - 1)),
       kQuoteQueries},
      {"UTF-16BE", Utf16Be(u"[SUPPORT]\r\nDebugOn=True\r\n"), {{"SUPPORT", "DebugOn"}}},
      {"UTF-8 mark before a header", "\xEF\xBB\xBF[SUPPORT]\r\nDebugOn=True\r\n",
       {{"SUPPORT", "DebugOn"}}},
      {"UTF-8 mark before a comment",
       "\xEF\xBB\xBF; c\r\n[SUPPORT]\r\nDebugOn=True\r\nOwner=caf\xC3\xA9\r\n",
       {{"SUPPORT", "DebugOn"}, {"SUPPORT", "Owner"}}},
      {"NUL inside quotes", std::string(kNulInside, sizeof kNulInside - 1),
       {{"S", "K"}, {"S", "L"}}},
      {"written with a name the code page lacks", WrittenWithLodz(),
       {{"S", "K"}, {"S", "Printer"}, {"S", "Owner"}}},
  };
}

const WineQuirk kWineQuirks[] = {
    {"UTF-16BE", "DebugOn", 0, "True"},
    {"UTF-8 mark before a header", "DebugOn", 0, "True"},
    {"UTF-8 mark before a comment", "Owner", 0, "caf\xC3\xA9"},
    {"structure, LF", "Twice", 0, std::nullopt},
    {"structure, CR", "Twice", 0, std::nullopt},
    {"structure, mixed", "Twice", 0, std::nullopt},
    {"long values", "Quoted99", 100, std::string(98, 'q')},
    {"long values", "Quoted999", 1000, std::string(998, 'q')},
    {"long values", "Quoted9999", 10000, std::string(9998, 'q')},
    {"long values, CR", "Quoted99", 100, std::string(98, 'q')},
    {"long values, CR", "Quoted999", 1000, std::string(998, 'q')},
    {"long values, CR", "Quoted9999", 10000, std::string(9998, 'q')},
};

const WineQuirk* FindQuirk(std::string_view document, std::string_view key, DWORD size) {
  for (const WineQuirk& quirk : kWineQuirks) {
    if (document == quirk.document && key == quirk.key && (quirk.size == 0 || quirk.size == size)) {
      return &quirk;
    }
  }
  return nullptr;
}

// What the document reader takes from our reader: the value cut to the buffer
// less its terminator, and at a NUL, as a C buffer ends there.
std::optional<std::string> OurAnswer(const ProfileFile& file, const Query& query, DWORD size) {
  std::optional<std::string> value = file.GetValue(query.section, query.key);
  if (!value) return std::nullopt;
  if (value->size() > size - 1) value->resize(size - 1);
  if (std::size_t nul = value->find('\0'); nul != std::string::npos) value->resize(nul);
  return value;
}

std::optional<std::string> SystemAnswer(const std::string& path, const Query& query, DWORD size) {
  using platform::win32::Wide;
  std::wstring buffer(size, L'\0');
  const DWORD length =
      GetPrivateProfileStringW(Wide(query.section).c_str(), Wide(query.key).c_str(),
                               Wide(kMissing).c_str(), buffer.data(), size, Wide(path).c_str());
  buffer.resize(length);
  const std::string value = platform::win32::Utf8(buffer);
  if (value == kMissing) return std::nullopt;
  return value;
}

std::string Shown(const std::optional<std::string>& value) {
  if (!value) return "(missing)";
  std::string shown = "\"";
  for (char c : value->size() > 40 ? value->substr(0, 20) + "..." + value->substr(value->size() - 20)
                                   : *value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte);
      shown += hex;
    } else {
      shown += c;
    }
  }
  return shown + "\" (" + std::to_string(value->size()) + " bytes)";
}

class ProfileDifferentialTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    folder_ = std::string(temp) + "quillon-profile-" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
  }
  void TearDown() override {
    for (const std::string& path : written_) DeleteFileA(path.c_str());
    RemoveDirectoryA(folder_.c_str());
  }
  std::string Write(std::size_t index, const std::string& bytes) {
    const std::string path = folder_ + "\\document" + std::to_string(index) + ".ini";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return path;
    EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    written_.push_back(path);
    return path;
  }

 private:
  std::string folder_;
  std::vector<std::string> written_;
};

TEST_F(ProfileDifferentialTest, OurReaderAnswersAsTheSystemDoes) {
  const std::vector<Document> corpus = Corpus();
  int compared = 0, quirks = 0;
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    const Document& document = corpus[i];
    const std::string path = Write(i, document.bytes);
    const ProfileFile ours = ProfileFile::Parse(document.bytes);
    for (const Query& query : document.queries) {
      for (DWORD size : kBufferSizes) {
        const std::optional<std::string> system = SystemAnswer(path, query, size);
        const std::optional<std::string> our = OurAnswer(ours, query, size);
        const std::string where = std::string(document.name) + ": [" + query.section + "] " +
                                  query.key + ", buffer " + std::to_string(size);
        if (const WineQuirk* quirk = FindQuirk(document.name, query.key, size)) {
          EXPECT_EQ(Shown(system), Shown(quirk->wine)) << where << ": Wine's known answer";
          EXPECT_NE(Shown(our), Shown(system)) << where << ": no longer a difference";
          ++quirks;
          continue;
        }
        EXPECT_EQ(Shown(our), Shown(system)) << where;
        ++compared;
      }
    }
  }
  EXPECT_GT(compared, 500);
  EXPECT_EQ(quirks, 24);
}

}  // namespace
}  // namespace quillon::document
