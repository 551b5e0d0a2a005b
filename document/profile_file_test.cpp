// Tests of the profile file: lookup rules, in-place editing, CR LF output and
// robustness against input that is no INI text at all.
#include "document/profile_file.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace quillon::document {
namespace {

TEST(ProfileFileTest, GetValueFollowsLookupRules) {
  const std::string text =
      "Orphan=before any section\n"
      "[General]\r\n"
      "  UseSMTP \t=\t True  \r\n"
      "; Commented=yes\n"
      "   ;Indented=comment\n"
      "no equals sign here\n"
      "Equation=a=b\n"
      "Empty=\n"
      "Twice=first\n"
      "TWICE=second\n"
      "[ Spaced Name ]\n"
      "Key=spaced\n"
      "[Unclosed\n"
      "Hidden=still in Spaced Name\n"
      "[GENERAL]\n"
      "UseSMTP=from the duplicate section\n"
      "OnlyInDuplicate=x\n"
      "[Last]\n"
      "NoLineEnd=end";
  const ProfileFile file = ProfileFile::Parse(text);
  struct Case {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"general", "usesmtp", "True"},
      {"GENERAL", "UseSMTP", "True"},  // first section wins over the duplicate
      {"General", "OnlyInDuplicate", std::nullopt},
      {"General", "Commented", std::nullopt},
      {"General", "Indented", std::nullopt},
      {"General", "no equals sign here", std::nullopt},
      {"General", "Equation", "a=b"},
      {"General", "Empty", ""},
      {"General", "Twice", "first"},
      {"General", "Orphan", std::nullopt},
      {"Spaced Name", "Key", "spaced"},
      {"Spaced Name", "Hidden", "still in Spaced Name"},
      {"Unclosed", "Hidden", std::nullopt},
      {"Last", "NoLineEnd", "end"},
      {"Missing", "Key", std::nullopt},
      {"", "Orphan", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(file.GetValue(c.section, c.key), c.expected) << c.section << " / " << c.key;
  }
}

TEST(ProfileFileTest, SetValueEditsInPlaceAndAppendsWhereExpected) {
  struct Case {
    const char* name;
    std::string input;
    const char* section;
    const char* key;
    const char* value;
    std::string expected;
  };
  const Case cases[] = {
      {"replace keeps spelling, comments and neighbours", "; head\n[Gen]\n  useSMTP = old\nX=1\n",
       "GEN", "UseSMTP", "True", "; head\r\n[Gen]\r\nuseSMTP=True\r\nX=1\r\n"},
      {"missing key goes after the last non-empty line", "[A]\nX=1\n; note\n\n\n[B]\nY=2\n", "A",
       "Z", "3", "[A]\r\nX=1\r\n; note\r\nZ=3\r\n\r\n\r\n[B]\r\nY=2\r\n"},
      {"missing key in a section with only its header", "[A]\n\n[B]\n", "a", "K", "v",
       "[A]\r\nK=v\r\n\r\n[B]\r\n"},
      {"missing section at the end, after an empty line", "[A]\nX=1", "B", "Y", "2",
       "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n"},
      {"no second empty line when the file ends with one", "[A]\nX=1\n\n", "B", "Y", "2",
       "[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n"},
      {"empty file gets no leading empty line", "", "B", "Y", "2", "[B]\r\nY=2\r\n"},
      {"preamble only", "; just a comment", "B", "Y", "2",
       "; just a comment\r\n\r\n[B]\r\nY=2\r\n"},
      {"only the first of duplicate sections changes", "[A]\nX=1\n[a]\nX=2\n", "A", "X", "9",
       "[A]\r\nX=9\r\n[a]\r\nX=2\r\n"},
      {"only the first of duplicate keys changes", "[A]\nX=1\nx=2\n", "A", "X", "9",
       "[A]\r\nX=9\r\nx=2\r\n"},
      {"commented key is not replaced", "[A]\n;X=1\n", "A", "X", "9", "[A]\r\n;X=1\r\nX=9\r\n"},
      {"line breaks in a value become blanks", "[A]\n", "A", "X", "one\r\ntwo\n[B]",
       "[A]\r\nX=one  two [B]\r\n"},
      {"single blank value is kept", "[A]\nX=1\n", "A", "X", " ", "[A]\r\nX= \r\n"},
  };
  for (const Case& c : cases) {
    ProfileFile file = ProfileFile::Parse(c.input);
    file.SetValue(c.section, c.key, c.value);
    EXPECT_EQ(file.Serialize(), c.expected) << c.name;
  }
}

TEST(ProfileFileTest, ValuesSetAreFoundAgainBeforeAndAfterSerializing) {
  ProfileFile file = ProfileFile::Parse("[A]\nK1=old\n\n[C]\n");
  file.SetValue("A", "K1", "new");
  file.SetValue("A", "K2", "added");
  file.SetValue("B", "K3", "new section");
  file.SetValue("B", "K4", "second key");
  file.SetValue("C", "K5", "under header only");
  const ProfileFile reread = ProfileFile::Parse(file.Serialize());
  for (const ProfileFile* f : {static_cast<const ProfileFile*>(&file), &reread}) {
    EXPECT_EQ(f->GetValue("A", "K1"), "new");
    EXPECT_EQ(f->GetValue("A", "K2"), "added");
    EXPECT_EQ(f->GetValue("B", "K3"), "new section");
    EXPECT_EQ(f->GetValue("B", "K4"), "second key");
    EXPECT_EQ(f->GetValue("C", "K5"), "under header only");
  }
  EXPECT_EQ(file.Serialize(), "[A]\r\nK1=new\r\nK2=added\r\n\r\n[C]\r\nK5=under header only\r\n"
                              "\r\n[B]\r\nK3=new section\r\nK4=second key\r\n");
}

TEST(ProfileFileTest, SerializeWritesEveryLineWithCrLf) {
  struct Case {
    std::string input;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"\n", "\r\n"},
      {"a", "a\r\n"},
      {"a\nb\n", "a\r\nb\r\n"},
      {"a\r\nb\r\n\r\n", "a\r\nb\r\n\r\n"},
      {"a\r\r\nb", "a\r\n\r\nb\r\n"},  // a CR alone ends a line too
      {"a\rb\r", "a\r\nb\r\n"},
      {"[S]\nk=v\n\n[T]", "[S]\r\nk=v\r\n\r\n[T]\r\n"},
  };
  for (const Case& c : cases) {
    const std::string once = ProfileFile::Parse(c.input).Serialize();
    EXPECT_EQ(once, c.expected);
    EXPECT_EQ(ProfileFile::Parse(once).Serialize(), once);
  }
}

// UTF-16LE bytes with the byte order mark, as Notepad saves "Unicode".
std::string Utf16File(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

// What administrators write by hand, read as the system's profile functions
// read it: one pair of matching quotes stripped after trimming, CR, LF and
// CR LF each ending a line, a UTF-16LE file with its mark taken as text.
TEST(ProfileFileTest, HandWrittenValuesReadAsOnWindows) {
  struct Case {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"double quotes", "[S]\nK=\"\\\\srv\\deploy\\my folder\"\n", "S", "K",
       "\\\\srv\\deploy\\my folder"},
      {"single quotes", "[S]\nK='2'\n", "S", "K", "2"},
      {"quotes after trimming", "[S]\nK =  \"A, B\" \t\n", "S", "K", "A, B"},
      {"blanks inside quotes kept", "[S]\nK=\"  a  \"\n", "S", "K", "  a  "},
      {"empty quotes", "[S]\nK=\"\"\n", "S", "K", ""},
      {"one pair only", "[S]\nK=\"\"x\"\"\n", "S", "K", "\"x\""},
      {"other kind inside", "[S]\nK=\"'x'\"\n", "S", "K", "'x'"},
      {"lone quote", "[S]\nK=\"\n", "S", "K", "\""},
      {"unbalanced", "[S]\nK=\"abc\n", "S", "K", "\"abc"},
      {"different kinds", "[S]\nK=\"abc'\n", "S", "K", "\"abc'"},
      {"quotes inside", "[S]\nK=a\"b\"c\n", "S", "K", "a\"b\"c"},
      {"quote then text", "[S]\nK=\"a\"b\n", "S", "K", "\"a\"b"},
      {"judged before a NUL", std::string("[S]\nK=\"a\0b\"\n", 12), "S", "K",
       std::string("\"a\0b\"", 5)},
      {"CR only", "[S]\rA=1\rK=2\r", "S", "K", "2"},
      {"CR only, no end", "[S]\rK=2", "S", "K", "2"},
      {"CR only, section follows", "[S]\rK=1\r[T]\rK=2\r", "T", "K", "2"},
      {"CR then LF lines", "[S]\rA=1\nK=2\n", "S", "A", "1"},
      {"LF then CR lines", "[S]\nA=1\rK=2\r", "S", "K", "2"},
      {"CR CR LF", "[S]\nK=2\r\r\nB=3\n", "S", "B", "3"},
      {"CR CR LF value", "[S]\nK=2\r\r\nB=3\n", "S", "K", "2"},
      {"UTF-16LE", Utf16File(u"[S]\r\nK=\"v\"\r\n[T]\r\nK=w"), "T", "K", "w"},
      {"UTF-16LE quoted", Utf16File(u"[S]\r\nK=\"v\"\r\n"), "S", "K", "v"},
      {"UTF-16LE CR only", Utf16File(u"[S]\rK=v\r"), "S", "K", "v"},
      {"UTF-16LE odd byte", Utf16File(u"[S]\nK=v\n") + "x", "S", "K", "v"},
      {"UTF-16LE mark only", "\xFF\xFE", "S", "K", std::nullopt},
      // Windows takes no UTF-8 mark: it is text of the first line, which is
      // then no section header.
      {"UTF-8 mark before a header", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", std::nullopt},
      {"UTF-8 mark before a comment", "\xEF\xBB\xBF; c\n[S]\nK=1\n", "S", "K", "1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProfileFile::Parse(c.text).GetValue(c.section, c.key), c.expected) << c.name;
  }
  const ProfileFile wide = ProfileFile::Parse(Utf16File(u"[S]\nK=caf\u00E9 \u20AC\n"));
  const std::optional<std::string> value = wide.GetValue("S", "K");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(*value, "caf\xC3\xA9 \xE2\x82\xAC");
  // A surrogate pair is one character; a lone surrogate is none.
  const char16_t pairs[] = {u'[', u'S', u']', u'\n', u'K', u'=', 0xD83D, 0xDDA8,
                            u'|', 0xDC00, u'|', 0xD83D};
  EXPECT_EQ(ProfileFile::Parse(Utf16File(std::u16string_view(pairs, std::size(pairs))))
                .GetValue("S", "K"),
            "\xF0\x9F\x96\xA8|\xEF\xBF\xBD|\xEF\xBF\xBD");
}

// The writer never leaves a value whose quotes reading would take off: a value
// read back is the value set, blanks around it aside (reading trims them).
TEST(ProfileFileTest, ValuesThatReadingWouldChangeAreQuoted) {
  struct Case {
    std::string value;
    std::string line;  // as written
    std::string read;
  };
  const Case cases[] = {
      {"plain", "K=plain", "plain"},
      {"a\"b\"c", "K=a\"b\"c", "a\"b\"c"},
      {"\"open", "K=\"open", "\"open"},
      {"\"", "K=\"", "\""},
      {"\"x\"", "K=\"\"x\"\"", "\"x\""},
      {"'x'", "K=\"'x'\"", "'x'"},
      {"''", "K=\"''\"", "''"},
      {"'A,B'", "K=\"'A,B'\"", "'A,B'"},
      {" \"x\" ", "K=\" \"x\" \"", " \"x\" "},
      {"\"x\"\t", "K=\"\"x\"\t\"", "\"x\"\t"},
      {"'x\"", "K='x\"", "'x\""},
      // Blanks around a value without quotes are written as they are and
      // trimmed on reading; blanks alone are the document's empty string.
      {" lead", "K= lead", "lead"},
      {"trail\t", "K=trail\t", "trail"},
      {" ", "K= ", ""},
  };
  for (const Case& c : cases) {
    ProfileFile file = ProfileFile::Parse("[S]\nK=old\n");
    file.SetValue("S", "K", c.value);
    EXPECT_EQ(file.Serialize(), "[S]\r\n" + c.line + "\r\n") << '"' << c.value << '"';
    EXPECT_EQ(file.GetValue("S", "K"), c.read) << '"' << c.value << '"';
    EXPECT_EQ(ProfileFile::Parse(file.Serialize()).GetValue("S", "K"), c.read)
        << '"' << c.value << '"';
  }
}

// A Unicode document stays Unicode when it is saved, as the system's profile
// writer keeps it.
TEST(ProfileFileTest, Utf16DocumentIsWrittenBackAsUtf16) {
  ProfileFile file = ProfileFile::Parse(Utf16File(u"; note\r\n[S]\r\nK=old\r\nX=1\r"));
  file.SetValue("S", "K", "new");
  file.SetValue("T", "Y", "'quoted'");
  EXPECT_EQ(file.Serialize(),
            Utf16File(u"; note\r\n[S]\r\nK=new\r\nX=1\r\n\r\n[T]\r\nY=\"'quoted'\"\r\n"));
  const ProfileFile reread = ProfileFile::Parse(file.Serialize());
  EXPECT_EQ(reread.GetValue("S", "K"), "new");
  EXPECT_EQ(reread.GetValue("T", "Y"), "'quoted'");
  EXPECT_EQ(reread.Serialize(), file.Serialize());
  // Lines that were not edited keep their own characters, also those the
  // 8-bit text cannot hold (a lone surrogate anywhere, "Ω" in a Western code
  // page on Windows).
  const std::u16string foreign = u"; \xD800 \x03A9 floor\r\n[S]\r\nOwner=\x03A9\xD800\r\nK=1\r\n";
  ProfileFile kept = ProfileFile::Parse(Utf16File(foreign));
  kept.SetValue("S", "K", "2");
  EXPECT_EQ(kept.Serialize(),
            Utf16File(u"; \xD800 \x03A9 floor\r\n[S]\r\nOwner=\x03A9\xD800\r\nK=2\r\n"));
  // An 8-bit document stays 8-bit, a UTF-8 mark and all.
  ProfileFile narrow = ProfileFile::Parse("\xEF\xBB\xBF; c\n[S]\nK=1\n");
  narrow.SetValue("S", "K", "2");
  EXPECT_EQ(narrow.Serialize(), "\xEF\xBB\xBF; c\r\n[S]\r\nK=2\r\n");
}

// An 8-bit document is the host's code page text (ANSI on Windows, read as
// UTF-8 inside); a value the code page cannot hold is not saved as "?" but
// turns the file into UTF-16, and lines nobody edited keep their bytes.
TEST(ProfileFileTest, CodePageDocumentTakesAnyTextWithoutLoss) {
  const std::string buero = "B\xC3\xBCro";                  // "Büro"
  const std::string lodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA";  // "Łódź"
  const platform::NarrowText stored = platform::NarrowToCodePage(buero);
  if (!stored.exact) GTEST_SKIP() << "the host's code page has no \"\u00fc\"";
  const std::string head = "; " + stored.text + "\r\n[S]\r\nK=" + stored.text + "\r\n";
  ProfileFile file = ProfileFile::Parse(head + "X=1\r\n");
  EXPECT_EQ(file.GetValue("S", "K"), buero);
  file.SetValue("S", "X", buero);
  EXPECT_EQ(file.Serialize(), head + "X=" + stored.text + "\r\n");

  file.SetValue("S", "X", lodz);
  const std::string written = file.Serialize();
  const platform::NarrowText lodzStored = platform::NarrowToCodePage(lodz);
  if (lodzStored.exact) {
    EXPECT_EQ(written, head + "X=" + lodzStored.text + "\r\n");
  } else {
    EXPECT_EQ(written, Utf16File(u"; B\u00fcro\r\n[S]\r\nK=B\u00fcro\r\nX=\u0141\u00f3d\u017a\r\n"));
  }
  ProfileFile again = ProfileFile::Parse(written);
  EXPECT_EQ(again.GetValue("S", "X"), lodz);
  EXPECT_EQ(again.GetValue("S", "K"), buero);
  again.SetValue("S", "K", "plain");
  EXPECT_EQ(ProfileFile::Parse(again.Serialize()).GetValue("S", "X"), lodz);
  // A new document is written alike.
  ProfileFile fresh;
  fresh.SetValue("S", "X", lodz);
  EXPECT_EQ(ProfileFile::Parse(fresh.Serialize()).GetValue("S", "X"), lodz);
}

TEST(ProfileFileTest, SurvivesBinaryAndOversizedInput) {
  std::string nul("[S]\nKey=ab\0cd\n", 14);
  EXPECT_EQ(ProfileFile::Parse(nul).GetValue("S", "Key"), std::string("ab\0cd", 5));

  std::mt19937 random(12345);
  for (int round = 0; round < 200; ++round) {
    std::string junk(static_cast<std::size_t>(random() % 4096), '\0');
    for (char& c : junk) c = static_cast<char>(random() % 256);
    if (round % 2 == 0) junk = "[S]\n" + junk + "\nK=v";
    ProfileFile file = ProfileFile::Parse(junk);
    const std::string text = file.Serialize();
    EXPECT_EQ(ProfileFile::Parse(text).Serialize(), text);
    file.SetValue("S", "K", "x");
    EXPECT_EQ(file.GetValue("S", "K"), "x");
  }

  const std::string longValue(2'000'000, 'v');
  const ProfileFile big = ProfileFile::Parse("[S]\nK=" + longValue);
  EXPECT_EQ(big.GetValue("S", "K"), longValue);
  EXPECT_EQ(ProfileFile::Parse(std::string(1'000'000, '[')).GetValue("[", "K"), std::nullopt);
}

TEST(ProfileFileTest, LinesOfKeysAndSectionsCountEveryParsedLine) {
  // Mixed line ends, a preamble, blank and comment lines, a duplicate section
  // and key: the numbers are those of the lines GetValue reads.
  const std::string text =
      "; comment\r\n"
      "\n"
      "[General]\r"
      "first=1\n"
      "; note\r\n"
      "Second = 2\r\n"
      "first=shadowed\n"
      "[Other]\n"
      "key\n"
      "key=3\n"
      "[general]\n"
      "third=4\n";
  const ProfileFile file = ProfileFile::Parse(text);
  EXPECT_EQ(file.LineOfSection("GENERAL"), 3u);
  EXPECT_EQ(file.LineOfKey("general", "FIRST"), 4u);
  EXPECT_EQ(file.LineOfKey("General", "second"), 6u);
  EXPECT_EQ(file.LineOfSection("Other"), 8u);
  EXPECT_EQ(file.LineOfKey("Other", "key"), 10u);
  // The second [general] is never read, as for GetValue.
  EXPECT_EQ(file.GetValue("General", "third"), std::nullopt);
  EXPECT_EQ(file.LineOfKey("General", "third"), 0u);
  EXPECT_EQ(file.LineOfKey("Missing", "first"), 0u);
  EXPECT_EQ(file.LineOfSection("Missing"), 0u);

  // A UTF-16LE file counts its lines the same way.
  std::u16string wide = u"[A]\r\n\r\nk=v\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : wide) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  const ProfileFile utf16 = ProfileFile::Parse(bytes);
  EXPECT_EQ(utf16.LineOfKey("a", "K"), 3u);
}

}  // namespace
}  // namespace quillon::document
