#include "engine/core/debug_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_sequence.h"

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
  // U+00E9 and U+1F5A8 (a surrogate pair): one, then two UTF-16 code units.
  const std::string text = "caf\xC3\xA9 \xF0\x9F\x96\xA8";
  const std::string bytes = ScrambleDebugText(text);
  ASSERT_EQ(bytes.size(), 2u * 7u);
  // Unscramble without the ASCII-only decoder: undo the sums, then the order.
  std::string plain(bytes.size(), '\0');
  unsigned char previous = 0;
  for (std::size_t k = 0; k < bytes.size(); ++k) {
    plain[k] = static_cast<char>(static_cast<unsigned char>(bytes[k]) - previous);
    previous = static_cast<unsigned char>(bytes[k]);
  }
  const std::size_t order[] = {0, 1, 13, 2, 12, 3, 11, 4, 10, 5, 9, 6, 8, 7};
  std::string utf16(bytes.size(), '\0');
  for (std::size_t k = 0; k < bytes.size(); ++k) utf16[order[k]] = plain[k];
  const unsigned char expected[] = {'c', 0, 'a', 0, 'f', 0, 0xE9, 0, ' ', 0,
                                    0x3D, 0xD8, 0xA8, 0xDD};
  EXPECT_EQ(utf16, std::string(reinterpret_cast<const char*>(expected), sizeof expected));
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
