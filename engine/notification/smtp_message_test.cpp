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

}  // namespace
}  // namespace quillon::engine
