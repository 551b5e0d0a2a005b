// The mail's texts: recipients, message layout, the dot doubling on the wire
// and the back-up file's name.
#include <gtest/gtest.h>

#include "engine/core/engine_test_support.h"
#include "engine/notification/smtp_mail.h"

namespace quillon::engine {
namespace {

TEST(SmtpMessageTest, RecipientsAreTheNonEmptyEntriesInOrder) {
  EXPECT_EQ(SmtpRecipients({"ops@corp.example", ""}),
            (std::vector<std::string>{"ops@corp.example"}));
  EXPECT_EQ(SmtpRecipients({"a@x", "", "b@x", "Error in To Email Address"}),
            (std::vector<std::string>{"a@x", "b@x", "Error in To Email Address"}));
  EXPECT_TRUE(SmtpRecipients({""}).empty());
}

SmtpMessageFacts Facts() {
  return {{{2026, 12, 8, 9, 30, 15}, 60}, "20261208093015.00000000000000ff@pc042.corp.example",
          "UTF-8"};
}

TEST(SmtpMessageTest, MessageLayout) {
  testing::EngineWorld world;
  auto context = world.NewContext();
  context->document.EmailFrom = "quillon@corp.example";
  context->document.EmailTo = {"a@corp.example", "b@corp.example", ""};
  context->RunMessage = "\r\nComputer: PC042";
  EXPECT_EQ(SmtpMessage(*context, "Moves", Facts()),
            "From: <quillon@corp.example>\r\n"
            "To: a@corp.example, b@corp.example\r\n"
            "Subject: Moves\r\n"
            "Date: Tue, 08 Dec 2026 09:30:15 +0100\r\n"
            "Message-ID: <20261208093015.00000000000000ff@pc042.corp.example>\r\n"
            "X-Mailer: Quillon\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=us-ascii\r\n"
            "\r\n"
            "\r\nComputer: PC042");
}

TEST(SmtpMessageTest, An8BitOrLongReportGoesQuotedPrintableInItsCharacterSet) {
  testing::EngineWorld world;
  auto context = world.NewContext();
  context->document.EmailFrom = "quillon@corp.example";
  context->document.EmailTo = {"a@corp.example"};
  context->RunMessage = "\r\nAdded printer: \\\\NEWSRV\\\xC3\x89tiquettes salle caf\xC3\xA9";
  SmtpMessageFacts facts = Facts();
  facts.charset = "windows-1252";
  EXPECT_EQ(SmtpMessage(*context, "Moves", facts),
            "From: <quillon@corp.example>\r\n"
            "To: a@corp.example\r\n"
            "Subject: Moves\r\n"
            "Date: Tue, 08 Dec 2026 09:30:15 +0100\r\n"
            "Message-ID: <20261208093015.00000000000000ff@pc042.corp.example>\r\n"
            "X-Mailer: Quillon\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=windows-1252\r\n"
            "Content-Transfer-Encoding: quoted-printable\r\n"
            "\r\n"
            "\r\nAdded printer: \\\\NEWSRV\\=C3=89tiquettes salle caf=C3=A9");

  EXPECT_FALSE(NeedsQuotedPrintable("\r\nplain\r\n" + std::string(998, 'x') + "\r\n"));
  EXPECT_TRUE(NeedsQuotedPrintable("\r\nplain\r\n" + std::string(999, 'x') + "\r\n"));
  EXPECT_TRUE(NeedsQuotedPrintable(std::string(999, 'x')));
  EXPECT_TRUE(NeedsQuotedPrintable("." + std::string(997, 'x'))) << "998 once its dot is doubled";
  EXPECT_FALSE(NeedsQuotedPrintable("." + std::string(996, 'x')));
  // Lone CR and LF end lines too.
  EXPECT_FALSE(NeedsQuotedPrintable(std::string(998, 'x') + "\n" + std::string(998, 'x')));
  EXPECT_TRUE(NeedsQuotedPrintable("caf\xE9"));
  EXPECT_FALSE(NeedsQuotedPrintable(""));
}

TEST(SmtpMessageTest, An8BitHeaderTextBecomesEncodedWordsOfWholeCharacters) {
  EXPECT_EQ(HeaderText("Computer (PC042-alice) Printer moves", "UTF-8"),
            "Computer (PC042-alice) Printer moves");
  EXPECT_EQ(HeaderText("\xC3\x89tiquettes", "UTF-8"), "=?UTF-8?B?w4l0aXF1ZXR0ZXM=?=");
  // 45 bytes to a word at most, and "é" (C3 A9) is not cut between two.
  EXPECT_EQ(HeaderText("Computer (PC042-alice) Imprimantes d\xC3\xA9plac\xC3\xA9"
                       "es du b\xC3\xA2timent B au b\xC3\xA2timent C",
                       "UTF-8"),
            "=?UTF-8?B?Q29tcHV0ZXIgKFBDMDQyLWFsaWNlKSBJbXByaW1hbnRlcyBkw6lwbGFjw6ll?=\r\n"
            " =?UTF-8?B?cyBkdSBiw6J0aW1lbnQgQiBhdSBiw6J0aW1lbnQgQw==?=");
  // A single-byte code page is cut anywhere; every word stays within 75.
  EXPECT_EQ(HeaderText("Caf\xE9 " + std::string(50, '\xE9'), "windows-1252"),
            "=?windows-1252?B?Q2Fm6SDp6enp6enp6enp6enp6enp6enp6enp6enp6enp6enp6enp6enp?=\r\n"
            " =?windows-1252?B?6enp6enp6enp6enp6Q==?=");
  // Double-byte sets: words of at most 42 (Shift_JIS) or 45 (EUC-KR) bytes end
  // between two characters, whatever their bytes look like.
  const auto wordDigits = [](const std::string& text, const std::string& charset) {
    const std::string words = HeaderText(text, charset);
    const std::string prefix = "=?" + charset + "?B?";
    std::vector<std::size_t> digits;
    for (std::size_t at = 0; (at = words.find(prefix, at)) != std::string::npos;) {
      at += prefix.size();
      digits.push_back(words.find("?=", at) - at);
    }
    return digits;
  };
  std::string japanese = "Computer (PC042-", korean = japanese;
  for (int i = 0; i < 40; ++i) {
    japanese += "\x93\x40";  // a second byte that looks like "@"
    korean += "\xB0\xA1";
  }
  EXPECT_EQ(wordDigits(japanese, "Shift_JIS"), (std::vector<std::size_t>{56, 56, 16}));  // 42+42+12
  EXPECT_EQ(wordDigits(korean, "EUC-KR"), (std::vector<std::size_t>{60, 60, 12}));       // 44+44+8
}

TEST(SmtpMessageTest, QuotedPrintableFollowsRfc2045) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"plain text", "plain text"},
      {"caf\xC3\xA9 = 1", "caf=C3=A9 =3D 1"},
      // Blanks before a line end are encoded, elsewhere they stay.
      {"a \r\nb\t\r\n c", "a=20\r\nb=09\r\n c"},
      {"end ", "end=20"},
      // Control characters but TAB; lone CR and LF become CR LF.
      {"a\x01" "b\x7F", "a=01b=7F"},
      {"a\nb\rc\r\n", "a\r\nb\r\nc\r\n"},
      // Dots stay: the transport doubles them.
      {".\r\n..x", ".\r\n..x"},
      // 76 characters fit one line; 77 take a soft break after 75.
      {std::string(76, 'x'), std::string(76, 'x')},
      {std::string(77, 'x'), std::string(75, 'x') + "=\r\n" + "xx"},
      // An encoded byte is never split by a soft break.
      {std::string(74, 'x') + "\xE9", std::string(74, 'x') + "=\r\n=E9"},
      {std::string(73, 'x') + "\xE9", std::string(73, 'x') + "=E9"},
      {std::string(73, 'x') + "\xE9y", std::string(73, 'x') + "=\r\n=E9y"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(QuotedPrintable(text), expected) << text;
  }
  // A line of 2,000 bytes: every encoded line at most 76 characters, and
  // undoing the soft breaks gives the line back.
  const std::string line = std::string(1000, 'a') + std::string(1000, 'b');
  const std::string encoded = QuotedPrintable(line);
  std::string joined;
  std::size_t start = 0;
  while (start <= encoded.size()) {
    std::size_t end = encoded.find("\r\n", start);
    if (end == std::string::npos) end = encoded.size();
    const std::string piece = encoded.substr(start, end - start);
    EXPECT_LE(piece.size(), 76u);
    joined += piece.size() > 0 && piece.back() == '=' && end != encoded.size()
                  ? piece.substr(0, piece.size() - 1)
                  : piece;
    start = end + 2;
  }
  EXPECT_EQ(joined, line);
}

TEST(SmtpMessageTest, HeloNameDateAndMessageId) {
  EXPECT_EQ(HeloName(std::string("pc042.corp.example"), "[192.0.2.7]", "PC042"),
            "pc042.corp.example");
  EXPECT_EQ(HeloName(std::string("pc042.corp.example."), "[192.0.2.7]", "PC042"),
            "pc042.corp.example");
  // A bare name, none, or one no relay would take: the connection's address.
  EXPECT_EQ(HeloName(std::string("PC042"), "[192.0.2.7]", "PC042"), "[192.0.2.7]");
  EXPECT_EQ(HeloName(std::nullopt, "[IPv6:2001:db8::7]", "PC042"), "[IPv6:2001:db8::7]");
  EXPECT_EQ(HeloName(std::string(""), "[192.0.2.7]", "PC042"), "[192.0.2.7]");
  EXPECT_EQ(HeloName(std::string("pc 42.corp"), "[192.0.2.7]", "PC042"), "[192.0.2.7]");
  EXPECT_EQ(HeloName(std::string(".corp"), "[192.0.2.7]", "PC042"), "[192.0.2.7]");
  // The system could not tell the address: the host name, as before.
  EXPECT_EQ(HeloName(std::nullopt, "", "PC042"), "PC042");

  EXPECT_EQ(SmtpDate({{2026, 12, 8, 9, 30, 15}, 60}), "Tue, 08 Dec 2026 09:30:15 +0100");
  EXPECT_EQ(SmtpDate({{2005, 3, 15, 14, 5, 9}, -300}), "Tue, 15 Mar 2005 14:05:09 -0500");
  EXPECT_EQ(SmtpDate({{2024, 2, 29, 0, 0, 0}, 0}), "Thu, 29 Feb 2024 00:00:00 +0000");
  EXPECT_EQ(SmtpDate({{2000, 1, 1, 23, 59, 59}, 330}), "Sat, 01 Jan 2000 23:59:59 +0530");
  EXPECT_EQ(SmtpDate({{2026, 7, 5, 8, 0, 0}, -570}), "Sun, 05 Jul 2026 08:00:00 -0930");

  EXPECT_EQ(SmtpMessageId({{2026, 12, 8, 9, 30, 15}, 60}, 0x1234abcdULL, "pc042.corp.example"),
            "20261208093015.000000001234abcd@pc042.corp.example");
  EXPECT_EQ(SmtpMessageId({{2026, 12, 8, 9, 30, 15}, 60}, ~0ULL, "[192.0.2.7]"),
            "20261208093015.ffffffffffffffff@[192.0.2.7]");
}

TEST(SmtpMessageTest, DataTextDoublesLeadingDotsAndMendsLineEnds) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {".", ".."},
      {"a\r\n.\r\nb", "a\r\n..\r\nb"},
      {"a\r\n..b", "a\r\n...b"},
      {"a.b\r\n x.", "a.b\r\n x."},
      // Lone CR or LF would let a server see a line (and a "." line) we did not send.
      {"a\n.\nb", "a\r\n..\r\nb"},
      {"a\r.\rb", "a\r\n..\r\nb"},
      {"a\r\n\r\n", "a\r\n\r\n"},
      {"", ""},
  };
  for (const auto& [message, expected] : cases) {
    EXPECT_EQ(SmtpDataText(message), expected) << message;
  }
}

TEST(SmtpMessageTest, BackupFileNameUsesTwoDigitsAndA24HourClock) {
  EXPECT_EQ(EmailFailureFileName("PC17", {2005, 3, 15, 14, 5, 9}),
            "PC17_03.15.2005_14.05.09_EmailFailure.txt");
  EXPECT_EQ(EmailFailureFileName("PC17", {2026, 12, 1, 0, 0, 0}),
            "PC17_12.01.2026_00.00.00_EmailFailure.txt");
}

// A network whose connections never complete: only the watchdog's ticks come.
class UnansweredNetwork : public platform::net::Network {
 public:
  class Loop : public platform::net::SocketLoop {
   public:
    Loop(platform::net::SocketEvents& events, UnansweredNetwork& network)
        : events_(events), network_(network) {}
    void Connect(const std::string&, const std::string&) override { open_ = true; }
    void SendData(std::string_view) override { ++network_.sends; }
    void Close() override {
      open_ = false;
      ++network_.closes;
    }
    bool IsOpen() const override { return open_; }
    std::string LocalHostName() override { return "pc042"; }
    std::string LocalAddress() override { return {}; }
    void SetTimerEnabled(bool enabled) override { timer_ = enabled; }
    void ProcessEvents() override {
      if (timer_) events_.OnTick();
    }
   private:
    platform::net::SocketEvents& events_;
    UnansweredNetwork& network_;
    bool open_ = false, timer_ = true;
  };
  std::unique_ptr<platform::net::SocketLoop> CreateSocketLoop(
      platform::net::SocketEvents& events) override {
    return std::make_unique<Loop>(events, *this);
  }
  int sends = 0, closes = 0;
};

TEST(SmtpMessageTest, AConnectionNeverMadeTimesOutAfterThirtyTicksAndKeepsTheReport) {
  testing::EngineWorld world;
  UnansweredNetwork network;
  world.host.network = &network;
  auto context = world.NewContext();
  context->document.SMTPServerNameOrIP = "10.255.255.1";
  context->document.ServerPort = "25";
  context->document.EmailTo = {"ops@corp.example"};
  context->RunMessage = "\r\nReport";
  SendSmtpMail(*context);

  const std::string backup = world.Path("PC042_12.08.2026_09.30.15_EmailFailure.txt");
  EXPECT_EQ(context->debugLog.text(),
            ">> Sending nofication via STMP, server (port): 10.255.255.1(25)\r\n"
            "ERROR: Sending SMTP email <<\r\nERROR: 10060\r\n"
            "ERROR DESCRIPTION: The SMTP server did not accept the connection within 30 "
            "seconds.\r\n>> Writing to back-up file: " +
                backup + "\r\n");
  EXPECT_EQ(network.sends, 0);
  EXPECT_GE(network.closes, 1);
  EXPECT_EQ(world.files.ReadFile(backup), "\r\nReport\r\n");
}

}  // namespace
}  // namespace quillon::engine
