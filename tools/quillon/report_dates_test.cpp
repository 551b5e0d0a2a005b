// Tests of the run lines' times: the general date forms of the clients'
// locales, the day and month order a file's dates show, and times no clock
// shows.
#include "tools/quillon/report_test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "platform/text.h"

namespace quillon::tools {
namespace {

using namespace report_tests;

TEST(QuillonReportDatesTest, GeneralDatesInEachLocalesForm) {
  using report::ParseGeneralDate;
  struct Case {
    const char* text;
    const char* iso;  // nullptr: unreadable
  };
  for (const Case& c : {
           Case{"12/8/2026 6:22:18 PM", "2026-12-08 18:22:18"},   // United States
           Case{"12/1/2024 12:30:00 AM", "2024-12-01 00:30:00"},
           Case{"3/15/2005 12:05:09 PM", "2005-03-15 12:05:09"},
           Case{"08.12.2026 18:22:18", "2026-12-08 18:22:18"},    // German
           Case{"08/12/2026 18:22:18", "2026-12-08 18:22:18"},    // British, French
           Case{"8-12-2026 18:22:18", "2026-12-08 18:22:18"},     // Dutch
           Case{"2026-12-08 18:22:18", "2026-12-08 18:22:18"},    // Swedish, ISO
           Case{"2026/12/8 18:22:18", "2026-12-08 18:22:18"},     // Chinese, Japanese
           Case{"2026. 12. 08. 18:22:18", "2026-12-08 18:22:18"}, // Hungarian
           Case{"8/12/26 6:22 p.m.", "2026-08-12 18:22:00"},      // a custom short form
           Case{"25/12/2026 09:00:00", "2026-12-25 09:00:00"},    // day told by its value
           Case{"12/25/2026 9:00:00 AM", "2026-12-25 09:00:00"},
           Case{"2/29/2024 1:00:00 PM", "2024-02-29 13:00:00"},
           Case{"8/12/2569 18:22:18", nullptr},   // Thai Buddhist era: no plausible year
           Case{"2/29/2023 1:00:00 PM", nullptr},
           Case{"13/13/2026 10:00:00", nullptr},
           Case{"12/8/2026 25:00:00", nullptr},
           Case{"12/8/2026 13:00:00 PM", nullptr},
           Case{"yesterday at noon", nullptr},
           Case{"", nullptr},
           Case{"20261208 182218", nullptr},
           Case{"-1/-1/2026 9:00:00 AM", nullptr},  // negative numbers are no day
           Case{"12/-8/2026 9:00:00 AM", nullptr},
       }) {
    const std::optional<report::DateTime> date = ParseGeneralDate(c.text);
    if (c.iso) {
      ASSERT_TRUE(date.has_value()) << c.text;
      EXPECT_EQ(date->Iso(), c.iso) << c.text;
    } else {
      EXPECT_FALSE(date.has_value()) << c.text << " read as " << date->Iso();
    }
  }
}

TEST(QuillonReportDatesTest, EastAsianAfternoonsInTheHostsOwnText) {
  using report::ParseGeneralDate;
  // Korean and Japanese afternoons, in the host's own text where its code
  // page has them (a Windows of that code page; UTF-8 elsewhere).
  int eastAsian = 0;
  for (const std::u16string& text : {std::u16string(u"2026-12-08 \uC624\uD6C4 6:22:18"),
                                     std::u16string(u"2026/12/08 \u5348\u5F8C 6:22:18")}) {
    const std::string narrow = platform::Utf16ToNarrow(text);
    if (platform::NarrowToUtf16(narrow) != text) continue;
    const std::optional<report::DateTime> date = ParseGeneralDate(narrow);
    ASSERT_TRUE(date.has_value()) << narrow;
    EXPECT_EQ(date->Iso(), "2026-12-08 18:22:18") << narrow;
    ++eastAsian;
  }
  if (platform::NarrowCharsetName() == "UTF-8") {
    EXPECT_EQ(eastAsian, 2);
  }
}

TEST(QuillonReportDatesTest, AnOrderLearntFromOneDateHoldsForTheFileAndItsFormOnly) {
  using report::ParseGeneralDate;
  // A client with day-first dates and a 12-hour clock (Australia): once one
  // of its dates shows the order, the file's others are read that way too;
  // an order learnt for one form says nothing of another.
  std::map<std::string, report::DateOrder> orders;
  EXPECT_EQ(ParseGeneralDate("3/12/2026 9:00:00 AM", &orders)->Iso(), "2026-03-12 09:00:00");
  EXPECT_EQ(ParseGeneralDate("25/11/2026 9:00:00 AM", &orders)->Iso(), "2026-11-25 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3/12/2026 9:00:00 AM", &orders)->Iso(), "2026-12-03 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3.12.2026 09:00:00", &orders)->Iso(), "2026-12-03 09:00:00");
  EXPECT_EQ(ParseGeneralDate("12.25.2026 09:00:00", &orders)->Iso(), "2026-12-25 09:00:00");
  EXPECT_EQ(ParseGeneralDate("3.12.2026 09:00:00", &orders)->Iso(), "2026-03-12 09:00:00");
}

TEST(QuillonReportDatesTest, ABackUpNamedWithATimeNoClockShowsIsOfNoKnownDay) {
  platform::MemoryFileSystem files;
  const std::string share = "share";
  const auto at = [&](const std::string& name) { return platform::JoinPath(share, name); };
  files.folders.insert(share);
  // A back-up named with a time no clock shows is a run of no known day, not
  // the newest run of all.
  files.files[at("PC2_99.99.9999_99.99.99_EmailFailure.txt")] =
      "\r\n\r\n* ----- Computer: PC2 Username: bo Printers ----- *\r\n";
  const json dated = json::parse(RunReport(files, {"--json", share}).out);
  ASSERT_EQ(dated["days"].size(), 1u) << dated["days"];
  EXPECT_EQ(dated["days"][0]["day"], nullptr) << "under the unknown day";
}

}  // namespace
}  // namespace quillon::tools
