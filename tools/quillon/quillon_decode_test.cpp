// Tests of `quillon decode`: debug files the engine wrote, and hostile ones
// that are refused or bounded, their controls shown, not obeyed.
#include "tools/quillon/quillon_cli_test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "engine/core/debug_log.h"
#include "platform/host/host_file_system.h"
#include "platform/text.h"
#include "tools/quillon/report.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

using namespace cli_tests;

TEST(QuillonDecodeTest, ReadsWhatTheEngineWrites) {
  // A whole engine run's debug file, as the engine wrote it beside itself.
  engine::testing::EngineWorld world;
  world.WriteFile(world.Path("doc.ini"), CompleteDocument());
  world.Run(world.Path("doc.ini"));
  std::optional<std::string> bytes = world.files.ReadFile(world.DebugFilePath());
  ASSERT_TRUE(bytes.has_value());
  std::optional<std::string> text = DecodeDebugBytes(*bytes);
  ASSERT_TRUE(text.has_value());
  EXPECT_EQ(*text, engine::testing::DecodeDebugBytes(*bytes));
  EXPECT_NE(text->find(">> From Server: OLDSRV\r\n"), std::string::npos);

  // Every length, so that front and back meet at every parity; and text
  // beyond ASCII, as the host's 8-bit text.
  for (std::size_t length = 0; length < 40; ++length) {
    const std::string line = std::string(length, 'a' + static_cast<char>(length % 26)) + "\r\n";
    EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(line)), line) << length;
  }
  const std::string accented = platform::Utf16ToNarrow(u"Gr\u00fc\u00dfe \u00e9t\u00e9\r\n");
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(accented)), accented);

  // What is no debug file: nothing, an odd size, plain text, scrambled text
  // without its line end, scrambled text holding a NUL.
  EXPECT_EQ(DecodeDebugBytes(""), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText("line\r\n") + "x"), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(CompleteDocument()), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText("no line end")), std::nullopt);
  EXPECT_EQ(DecodeDebugBytes(engine::ScrambleDebugText(std::string("a\0b\r\n", 5))),
            std::nullopt);
}

TEST(QuillonDecodeTest, CommandPrintsEachFileAndNamesTheBadOnes) {
  platform::MemoryFileSystem files;
  files.files["one.debug"] = engine::ScrambleDebugText("first\r\nsecond\r\n");
  files.files["two.debug"] = engine::ScrambleDebugText("third\r\n");
  files.files["doc.ini"] = CompleteDocument();
  files.unreadable.insert("locked.debug");

  Output one = Quillon(files, {"decode", "one.debug"});
  EXPECT_EQ(one.code, 0);
  EXPECT_EQ(one.out, "first\nsecond\n");
  EXPECT_EQ(one.err, "");

  Output both = Quillon(files, {"decode", "one.debug", "two.debug"});
  EXPECT_EQ(both.code, 0);
  EXPECT_EQ(both.out, "==> one.debug <==\nfirst\nsecond\n==> two.debug <==\nthird\n");

  // The bad files are named; the good one is still printed.
  Output bad = Quillon(files, {"decode", "locked.debug", "doc.ini", "missing.debug", "two.debug"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.out, "==> two.debug <==\nthird\n");
  EXPECT_EQ(bad.err,
            "quillon decode: locked.debug: cannot be read\n"
            "quillon decode: doc.ini: is not a debug file of the engine\n"
            "quillon decode: missing.debug: cannot be read\n");

  Output none = Quillon(files, {"decode"});
  EXPECT_EQ(none.code, 2);
  EXPECT_NE(none.err.find("no debug file given"), std::string::npos);
  Output option = Quillon(files, {"decode", "--fast", "one.debug"});
  EXPECT_EQ(option.code, 2);
  EXPECT_NE(option.err.find("unknown option '--fast'"), std::string::npos);
  files.files["-odd.debug"] = engine::ScrambleDebugText("dash\r\n");
  Output dashed = Quillon(files, {"decode", "--", "-odd.debug"});
  EXPECT_EQ(dashed.code, 0);
  EXPECT_EQ(dashed.out, "dash\n");
  Output help = Quillon(files, {"decode", "--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_EQ(help.out.rfind("Usage: quillon decode", 0), 0u);
}

TEST(QuillonDecodeTest, HostileFilesAreRefusedOrBoundedAndTheirControlsShownNotObeyed) {
  platform::MemoryFileSystem files;
  const bool utf8 = platform::NarrowCharsetName() == "UTF-8";
  // A line that would clear the screen and print a line of its own, a bell,
  // a carriage return that would overwrite, and a C1 control sequence introducer.
  files.files["evil.debug"] = engine::ScrambleDebugText(
      "ERROR: \x1b[2J\x1b[Hquillon decode: all clear\r\n\tindented\x07 bell\r\nover\rwritten\r\n" +
      platform::Utf16ToNarrow(u"C1 \u009b31m red\r\n"));
  Output evil = Quillon(files, {"decode", "evil.debug"});
  EXPECT_EQ(evil.code, 0);
  EXPECT_EQ(evil.out, std::string("ERROR: ^[[2J^[[Hquillon decode: all clear\n\tindented^G bell\nover^Mwritten\n") +
                          (utf8 ? "C1 \\x9b31m red\n" : platform::Utf16ToNarrow(u"C1 \u009b31m red\n")));
  EXPECT_EQ(evil.out.find('\x1b'), std::string::npos);

  // Larger than a debug file can be: refused without decoding it.
  files.files["big.debug"] = std::string(report::kLargestDebugFile + 2, 'x');
  Output big = Quillon(files, {"decode", "big.debug", "evil\x1b]0;title\x07.debug"});
  EXPECT_EQ(big.code, 2);
  EXPECT_EQ(big.out, "");
  EXPECT_EQ(big.err,
            "quillon decode: big.debug: is larger than 64 MB, more than a debug file of the engine holds\n"
            "quillon decode: evil^[]0;title^G.debug: cannot be read\n");
  files.files.erase("big.debug");

#ifndef _WIN32
  // A pipe is not waited on and a link is not followed, on the host's own files.
  engine::testing::EngineWorld scratch;
  const std::string folder = scratch.ProgramFolder();
  const std::string pipe = platform::JoinPath(folder, "pipe.debug");
  const std::string real = platform::JoinPath(folder, "real.debug");
  const std::string link = platform::JoinPath(folder, "link.debug");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  std::ofstream(real, std::ios::binary) << engine::ScrambleDebugText("real\r\n");
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  platform::HostFileSystem host;
  const auto start = std::chrono::steady_clock::now();
  Output hostile = Quillon(host, {"decode", pipe, link, real});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(hostile.code, 2);
  EXPECT_EQ(hostile.out, "==> " + real + " <==\nreal\n");
  EXPECT_EQ(hostile.err, "quillon decode: " + pipe + ": cannot be read\nquillon decode: " + link +
                             ": cannot be read\n");
#endif
}

}  // namespace
}  // namespace quillon::tools
