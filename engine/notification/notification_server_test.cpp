// A whole engine run with every channel on, its mail delivered to a real SMTP
// server (aiosmtpd) on loopback.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <sstream>

#include "engine/core/engine_test_support.h"
#include "engine/notification/notification.h"
#include "engine/notification/smtp_test_server.h"
#include "platform/require_server.h"

namespace quillon::engine {
namespace {

TEST(NotificationServerTest, AFullRunReportsThroughAllFourChannels) {
  testing::EngineWorld world;
  const std::string mailbox = world.Path("received.jsonl");
  smtp_test::AiosmtpdServer server(mailbox);
  REQUIRE_SERVER(server);

  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("OLDSRV", "HP4");
  world.files.CreateFolders(world.Path("reports"));
  world.WriteFile(world.Path("move.ini"),
                  testing::CompleteDocument({
                      {"UseSMTP=", "UseSMTP=True"},
                      {"SMTPServerNameOrIP=", "SMTPServerNameOrIP=127.0.0.1"},
                      {"ServerPort=", "ServerPort=" + server.port()},
                      {"EmailSubject=", "EmailSubject=Printer moves"},
                      {"EmailTo=", "EmailTo=ops@corp.example,desk@corp.example"},
                      {"EmailFrom=", "EmailFrom=quillon@corp.example"},
                      {"UseFileOutput=", "UseFileOutput=True"},
                      {"FileOutputPath=", "FileOutputPath=" + world.Path("reports")},
                      {"FileOutputName=", "FileOutputName=moves.txt"},
                      {"IncludeOutcome=", "IncludeOutcome=True"},
                      {"WriteToEventLog=", "WriteToEventLog=True"},
                      {"UseClientPopup=", "UseClientPopup=True"},
                      {"UseSuccessClientPopup=", "UseSuccessClientPopup=True"},
                      {"SuccessMessage=", "SuccessMessage=Your printers moved.^CRLFThank you."},
                  }));
  auto context = world.Run("");
  ASSERT_FALSE(context->AbortStatus);
  // The report mailed is the one before the file step put its header in front.
  const std::string mailed = context->RunMessage.substr(context->RunMessage.find("Report At: "));
  const std::string report = mailed.substr(mailed.find("\r\n\r\n") + 4);

  std::optional<std::string> received = world.files.ReadFile(mailbox);
  ASSERT_TRUE(received.has_value()) << "aiosmtpd received no message";
  std::istringstream lines(*received);
  std::string line;
  std::vector<nlohmann::json> messages;
  while (std::getline(lines, line)) messages.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(messages.size(), 1u);
  const nlohmann::json& mail = messages[0];
  EXPECT_EQ(mail["mail_from"], "quillon@corp.example");
  EXPECT_EQ(mail["rcpt_tos"], nlohmann::json::array({"ops@corp.example", "desk@corp.example"}));
  const std::string content = mail["content"];
  const std::string headers =
      "From: <quillon@corp.example>\r\n"
      "To: ops@corp.example, desk@corp.example\r\n"
      "Subject: Computer (PC042-alice) Printer moves\r\n"
      "X-Mailer: Quillon\r\n"
      "Mime-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
  ASSERT_EQ(content.substr(0, headers.size()), headers) << content;
  // The server undid the dot doubling: the body is the report as the engine wrote it.
  EXPECT_EQ(content.substr(headers.size()), report + "\r\n");
  EXPECT_NE(report.find("\\\\NEWSRV\\HP4"), std::string::npos) << report;

  EXPECT_EQ(world.files.ReadFile(world.Path("reports/SUCCESS_moves.txt")),
            context->RunMessage + "\r\n");
  ASSERT_EQ(world.state.messageBoxes.size(), 1u);
  EXPECT_EQ(world.state.messageBoxes[0].text, "Your printers moved.\r\nThank you.");
  ASSERT_EQ(world.state.eventLog.size(), 1u);
  EXPECT_EQ(world.state.eventLog[0].eventId, 20001);
  EXPECT_EQ(world.state.eventLog[0].type, 4);
  EXPECT_EQ(world.state.eventLog[0].message, context->RunMessage);
  EXPECT_TRUE(world.files.ListFiles(world.ProgramFolder(), "_EmailFailure.txt").empty());
}

TEST(NotificationServerTest, AReportLineStartingWithADotArrivesWhole) {
  testing::EngineWorld world;
  const std::string mailbox = world.Path("received.jsonl");
  smtp_test::AiosmtpdServer server(mailbox);
  REQUIRE_SERVER(server);
  auto context = world.NewContext();
  document::MigrationDocument& doc = context->document;
  doc.UseSMTP = true;
  doc.SMTPServerNameOrIP = "127.0.0.1";
  doc.ServerPort = server.port();
  doc.EmailFrom = "quillon@corp.example";
  doc.EmailTo = {"ops@corp.example", ""};
  // Without the doubling, the lone "." would end the message and the rest be
  // taken as commands.
  context->RunMessage = "\r\nFirst line\r\n.\r\n.hidden\r\nLast line";
  SendNotifications(*context);

  std::optional<std::string> received = world.files.ReadFile(mailbox);
  ASSERT_TRUE(received.has_value()) << context->debugLog.text();
  const nlohmann::json mail = nlohmann::json::parse(*received);
  EXPECT_EQ(mail["rcpt_tos"], nlohmann::json::array({"ops@corp.example"}));
  const std::string content = mail["content"];
  const std::string body = content.substr(content.find("\r\n\r\n") + 4);
  EXPECT_EQ(body, "\r\nFirst line\r\n.\r\n.hidden\r\nLast line\r\n");
}

}  // namespace
}  // namespace quillon::engine
