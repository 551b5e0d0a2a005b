// A whole engine run with every channel on, its mail delivered to a real SMTP
// server (aiosmtpd) on loopback; and mail through a real relay (Postfix)
// hardened as sites harden it, read back from the mailboxes it delivered to.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "engine/core/engine_test_support.h"
#include "engine/notification/notification.h"
#include "engine/notification/smtp_mail.h"
#include "engine/notification/smtp_test_server.h"
#include "testing/require_server.h"

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
  const std::size_t idAt = content.find("\r\nMessage-ID: <");
  ASSERT_NE(idAt, std::string::npos) << content;
  const std::string messageId = content.substr(idAt + 2, content.find("\r\n", idAt + 2) - idAt - 2);
  const std::string headers =
      "From: <quillon@corp.example>\r\n"
      "To: ops@corp.example, desk@corp.example\r\n"
      "Subject: Computer (PC042-alice) Printer moves\r\n"
      "Date: Tue, 08 Dec 2026 09:30:15 +0100\r\n" +
      messageId + "\r\n"
      "X-Mailer: Quillon\r\n"
      "Mime-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\n";
  ASSERT_EQ(content.substr(0, headers.size()), headers) << content;
  EXPECT_EQ(messageId.substr(messageId.size() - 13), "@[127.0.0.1]>") << messageId;
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

// What Postfix stored: the header block and the body, LF line ends.
struct StoredMail {
  std::string headers, body;
};

StoredMail Split(const std::string& stored) {
  const std::size_t end = stored.find("\n\n");
  if (end == std::string::npos) return {stored, ""};
  return {stored.substr(0, end + 1), stored.substr(end + 2)};
}

std::string WithLf(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

std::string DecodeQuotedPrintable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;  // a soft break
    } else {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
  }
  return out;
}

std::unique_ptr<RunContext> MailContext(testing::EngineWorld& world, const std::string& port,
                                        std::vector<std::string> to, std::string report) {
  auto context = world.NewContext();
  document::MigrationDocument& doc = context->document;
  doc.UseSMTP = true;
  doc.SMTPServerNameOrIP = "127.0.0.1";
  doc.ServerPort = port;
  doc.EmailFrom = "quillon@corp.example";
  doc.EmailTo = std::move(to);
  doc.EmailSubject = "Printer moves";
  context->RunMessage = std::move(report);
  return context;
}

TEST(NotificationServerTest, AHardenedPostfixDeliversAn8BitReportToTheRecipientsItAccepts) {
  testing::EngineWorld world;
  smtp_test::PostfixServer server(world.Path("postfix"));
  REQUIRE_SERVER(server);
  // PC042 has no DNS suffix: HELO must give the address the connection came from.
  const std::string report =
      "\r\nComputer: PC042 User: alice"
      "\r\nAdded printer: \\\\NEWSRV\\\xC3\x89tiquettes salle caf\xC3\xA9"
      "\r\n." + std::string(1200, 'x') + "\r\n.\r\nLast line";
  auto context = MailContext(world, server.port(),
                             {"ops@corp.example", "nobody@corp.example", "desk@corp.example",
                              "far@elsewhere.example", ""},
                             report);
  // strict_8bitmime refuses 8-bit headers as well.
  context->document.EmailSubject = "Imprimantes d\xC3\xA9plac\xC3\xA9" "es";
  SendSmtpMail(*context);

  const std::vector<std::string> ops = server.Delivered("ops", 1, std::chrono::seconds(30));
  const std::vector<std::string> desk = server.Delivered("desk", 1, std::chrono::seconds(30));
  ASSERT_EQ(ops.size(), 1u) << context->debugLog.text() << server.Log();
  ASSERT_EQ(desk.size(), 1u) << server.Log();
  const StoredMail mail = Split(ops[0]);
  for (const char* header :
       {"\nSubject: =?UTF-8?B?Q29tcHV0ZXIgKFBDMDQyLWFsaWNlKSBJbXByaW1hbnRlcyBkw6lwbGFjw6ll?=\n"
        " =?UTF-8?B?cw==?=\n",
        "\nDate: Tue, 08 Dec 2026 09:30:15 +0100\n", "\nMessage-ID: <20261208093015.",
        "\nMime-Version: 1.0\nContent-Type: text/plain; charset=UTF-8\n"
        "Content-Transfer-Encoding: quoted-printable\n"}) {
    EXPECT_NE(mail.headers.find(header), std::string::npos) << header << "\n" << mail.headers;
  }
  EXPECT_NE(mail.headers.find("@[127.0.0.1]>\n"), std::string::npos) << mail.headers;
  // Postfix names the HELO it took in its Received line.
  EXPECT_NE(mail.headers.find("\nReceived: from [127.0.0.1] (localhost [127.0.0.1])"),
            std::string::npos)
      << mail.headers;

  // Each refused address is named in the debug log and in the report, which
  // the mail carries to the others.
  const std::string refusals =
      "\r\nE-mail recipient refused: nobody@corp.example (550 5.1.1 <nobody@corp.example>: "
      "Recipient address rejected: User unknown in virtual mailbox table)"
      "\r\nE-mail recipient refused: far@elsewhere.example (554 5.7.1 "
      "<far@elsewhere.example>: Relay access denied)";
  EXPECT_EQ(context->RunMessage, report + refusals);
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: SMTP server refused recipient nobody@corp.example <<\r\n"
                     "ERROR: 550\r\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("ERROR: SMTP server refused recipient far@elsewhere.example <<\r\n"
                     "ERROR: 554\r\n"),
            std::string::npos)
      << log;

  // Short 7-bit lines on the way; the report itself once decoded.
  std::size_t start = 0, longest = 0;
  for (std::size_t end; (end = mail.body.find('\n', start)) != std::string::npos; start = end + 1) {
    longest = std::max(longest, end - start);
  }
  EXPECT_LE(longest, 76u) << mail.body;
  EXPECT_TRUE(std::all_of(mail.body.begin(), mail.body.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 128; }));
  EXPECT_EQ(DecodeQuotedPrintable(mail.body), WithLf(report + refusals) + "\n");
  EXPECT_EQ(Split(desk[0]).body, mail.body);
  EXPECT_TRUE(world.files.ListFiles(world.ProgramFolder(), "_EmailFailure.txt").empty());
}

TEST(NotificationServerTest, AHardenedPostfixTakesTheDnsNameAndA7BitReportAsItIs) {
  testing::EngineWorld world;
  smtp_test::PostfixServer server(world.Path("postfix"));
  REQUIRE_SERVER(server);
  world.state.dnsFullName = std::optional<std::string>("pc042.corp.example");
  const std::string report = "\r\nComputer: PC042 User: alice\r\nDeleted printer: \\\\OLDSRV\\HP4";
  auto context = MailContext(world, server.port(), {"ops@corp.example", ""}, report);
  SendSmtpMail(*context);

  const std::vector<std::string> ops = server.Delivered("ops", 1, std::chrono::seconds(30));
  ASSERT_EQ(ops.size(), 1u) << context->debugLog.text() << server.Log();
  const StoredMail mail = Split(ops[0]);
  EXPECT_NE(mail.headers.find("\nMessage-ID: <20261208093015."), std::string::npos) << mail.headers;
  EXPECT_NE(mail.headers.find("@pc042.corp.example>\n"), std::string::npos) << mail.headers;
  EXPECT_NE(mail.headers.find("\nContent-Type: text/plain; charset=us-ascii\n"), std::string::npos)
      << mail.headers;
  EXPECT_EQ(mail.headers.find("Content-Transfer-Encoding"), std::string::npos) << mail.headers;
  EXPECT_EQ(mail.body, WithLf(report) + "\n");
  EXPECT_NE(mail.headers.find("\nReceived: from pc042.corp.example (localhost [127.0.0.1])"),
            std::string::npos)
      << mail.headers;

  // A mail no recipient is accepted for stays in the back-up file.
  auto refused = MailContext(world, server.port(), {"nobody@corp.example"}, report);
  SendSmtpMail(*refused);
  const std::vector<std::string> backups =
      world.files.ListFiles(world.ProgramFolder(), "_EmailFailure.txt");
  ASSERT_EQ(backups.size(), 1u) << refused->debugLog.text();
  EXPECT_EQ(world.files.ReadFile(world.Path("PC042_12.08.2026_09.30.15_EmailFailure.txt")),
            refused->RunMessage + "\r\n");
  EXPECT_NE(refused->RunMessage.find("E-mail recipient refused: nobody@corp.example (550 "),
            std::string::npos);
  EXPECT_NE(refused->debugLog.text().find(">> The SMTP server accepted none of the recipients."),
            std::string::npos)
      << refused->debugLog.text();
}

}  // namespace
}  // namespace quillon::engine
