#include "engine/core/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_sequence.h"
#include "platform/text.h"

namespace quillon::engine {
namespace {

TEST(DebugScrambleTest, ReordersFrontAndBackThenSumsBytes) {
  // "abc" is a,0,b,0,c,0; the order 0,1,5,2,4,3 gives a,0,0,b,c,0, whose
  // running sums modulo 256 are 97,97,97,195,38,38.
  const std::string expected = {char(97), char(97), char(97), char(195), char(38), char(38)};
  EXPECT_EQ(ScrambleDebugText("abc"), expected);
  // Five and four bytes cannot come from whole characters; the order rule is
  // exercised through odd text lengths in the round trip below.
  EXPECT_EQ(ScrambleDebugText(""), "");
  EXPECT_EQ(ScrambleDebugText("A"), std::string({char(65), char(65)}));
}

TEST(DebugScrambleTest, DecodesBackToTheTextAtEveryLength) {
  std::mt19937 random(7);
  for (std::size_t length : {1u, 2u, 3u, 4u, 5u, 17u, 80u, 81u, 4096u, 100001u}) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>(32 + random() % 95);
    const std::string bytes = ScrambleDebugText(text);
    EXPECT_EQ(bytes.size(), 2 * length);
    EXPECT_EQ(testing::DecodeDebugBytes(bytes), text) << "length " << length;
  }
}

TEST(DebugScrambleTest, NonAsciiTextBecomesUtf16CodeUnits) {
  // In UTF-8, U+00E9 and U+1F5A8 (a surrogate pair): one, then two code units.
  // Windows reads the same bytes in its ANSI code page, one unit per byte.
  const std::string text = "caf\xC3\xA9 \xF0\x9F\x96\xA8";
  const std::u16string units = platform::NarrowToUtf16(text);
#ifndef _WIN32
  EXPECT_EQ(units, (std::u16string{u'c', u'a', u'f', 0xE9, u' ', 0xD83D, 0xDDA8}));
#endif
  const std::string bytes = ScrambleDebugText(text);
  ASSERT_EQ(bytes.size(), 2 * units.size());
  // Unscramble without the ASCII-only decoder: undo the sums, then the order.
  std::string plain(bytes.size(), '\0');
  unsigned char previous = 0;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    plain[k] = static_cast<char>(static_cast<unsigned char>(bytes[k]) - previous);
    previous = static_cast<unsigned char>(bytes[k]);
  }
  std::string utf16(bytes.size(), '\0');
  std::size_t k = 0, front = 1, back = bytes.size() - 1;
  utf16[0] = plain[k++];
  for (; front < back; ++front, --back) {
    utf16[front] = plain[k++];
    utf16[back] = plain[k++];
  }
  if (front == back) utf16[front] = plain[k++];
  std::string expected;
  for (char16_t unit : units) {
    expected += static_cast<char>(unit & 0xFF);
    expected += static_cast<char>(unit >> 8);
  }
  EXPECT_EQ(utf16, expected);
}

TEST(TextTest, MalformedUtf8BecomesReplacementCharacters) {
#ifndef _WIN32
  struct Case {
    std::string text;
    std::u16string expected;
  } cases[] = {
      {"a\xFF" "b", u"a\uFFFDb"},          // a byte that starts nothing
      {"\xC3", u"\uFFFD"},              // cut short at the end
      {"\xE2\x82x", u"\uFFFDx"},        // cut short before a plain byte
      {"\xC0\xAF", u"\uFFFD"},          // overlong form of "/"
      {"\xED\xA0\x80", u"\uFFFD"},      // a lone surrogate
      {"\xE2\x82\xAC", u"\u20AC"},      // the euro sign, well-formed
  };
  for (const Case& c : cases) EXPECT_EQ(platform::NarrowToUtf16(c.text), c.expected) << c.text;
#else
  GTEST_SKIP() << "Windows converts through its ANSI code page";
#endif
}

TEST(DebugLogTest, LinesAreKeptOnlyWhileDebugIsOn) {
  testing::EngineWorld world;
  auto context = world.Run("");  // no document: debugging stays on
  ClearDebugText(*context);
  WriteDebugLine(*context, ">> one");
  context->document.DebugOn = false;
  WriteDebugLine(*context, ">> dropped");
  context->document.DebugOn = true;
  WriteDebugLine(*context, "ERROR: two");
  EXPECT_EQ(context->debugLog.text(), ">> one\r\nERROR: two\r\n");
}

TEST(DebugLogTest, FlushWritesReplacesOrSkipsTheComputersFile) {
  testing::EngineWorld world;
  auto context = world.Run("");
  const std::string path = world.DebugFilePath();
  EXPECT_EQ(path, world.Path("PC042.debug"));

  // A longer file from an earlier run is replaced, not overwritten in part.
  world.WriteFile(path, std::string(100000, 'x'));
  ClearDebugText(*context);
  WriteDebugLine(*context, "short");
  ASSERT_TRUE(FlushDebugLog(*context).ok);
  EXPECT_EQ(world.DebugFileText(), std::optional<std::string>("short\r\n"));

  // Debugging off or nothing collected: the file is left as it is.
  WriteDebugLine(*context, "kept out");
  context->document.DebugOn = false;
  ASSERT_TRUE(FlushDebugLog(*context).ok);
  context->document.DebugOn = true;
  ClearDebugText(*context);
  ASSERT_TRUE(FlushDebugLog(*context).ok);
  EXPECT_EQ(world.DebugFileText(), std::optional<std::string>("short\r\n"));

  // A computer without a name writes to "Computer UNKNOWN.debug".
  world.state.computerName = std::optional<std::string>();
  auto unnamed = world.Run("");
  EXPECT_TRUE(std::filesystem::exists(world.Path("Computer UNKNOWN.debug")));
  EXPECT_TRUE(unnamed->debugFlushStatus.ok);
}

TEST(DebugLogTest, FlushFailureIsReportedNotThrown) {
  testing::EngineWorld world;
  world.WriteFile(world.Path("blocker"), "a file, not a folder");
  world.host.programFolder = world.Path("blocker");
  auto context = world.Run("");
  EXPECT_FALSE(context->debugFlushStatus.ok);
  EXPECT_FALSE(context->debugFlushStatus.description.empty());
}

}  // namespace
}  // namespace quillon::engine
