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

TEST(SmtpMessageTest, MessageLayout) {
  testing::EngineWorld world;
  auto context = world.NewContext();
  context->document.EmailFrom = "quillon@corp.example";
  context->document.EmailTo = {"a@corp.example", "b@corp.example", ""};
  context->RunMessage = "\r\nComputer: PC042";
  EXPECT_EQ(SmtpMessage(*context, "Moves"),
            "From: <quillon@corp.example>\r\n"
            "To: a@corp.example, b@corp.example\r\n"
            "Subject: Moves\r\n"
            "X-Mailer: Quillon\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=us-ascii\r\n"
            "\r\n"
            "\r\nComputer: PC042");
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
