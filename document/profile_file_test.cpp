// Tests of the profile file: lookup rules, in-place editing, CR LF output and
// robustness against input that is no INI text at all.
#include "document/profile_file.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <string>

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
      {"a\r\r\nb", "a\r\r\nb\r\n"},  // only the one CR before LF belongs to the line end
      {"[S]\nk=v\n\n[T]", "[S]\r\nk=v\r\n\r\n[T]\r\n"},
  };
  for (const Case& c : cases) {
    const std::string once = ProfileFile::Parse(c.input).Serialize();
    EXPECT_EQ(once, c.expected);
    EXPECT_EQ(ProfileFile::Parse(once).Serialize(), once);
  }
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

}  // namespace
}  // namespace quillon::document
