// The mail conversation against scripted servers on loopback: the willing
// server, refusals, split replies, silence, a dropped connection and a port
// nobody listens on.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/core/engine_test_support.h"
#include "engine/notification/notification.h"
#include "engine/notification/smtp_mail.h"
#include "engine/notification/smtp_test_server.h"

namespace quillon::engine {
namespace {

using namespace smtp_test;

const char* const kReport = "\r\nComputer: PC042 User: alice\r\n.\r\n..two dots";

class SmtpMailTest : public ::testing::Test {
 protected:
  std::unique_ptr<RunContext> Context(const std::string& host, const std::string& port,
                                      std::vector<std::string> to) {
    auto context = world_.NewContext();
    document::MigrationDocument& doc = context->document;
    doc.UseSMTP = true;
    doc.SMTPServerNameOrIP = host;
    doc.ServerPort = port;
    doc.EmailFrom = "quillon@corp.example";
    doc.EmailTo = std::move(to);
    doc.EmailSubject = "Printer moves";
    context->RunMessage = kReport;
    return context;
  }
  std::vector<std::string> BackupFiles() {
    return world_.files.ListFiles(world_.ProgramFolder(), "_EmailFailure.txt");
  }
  std::string BackupPath() { return world_.Path("PC042_12.08.2026_09.30.15_EmailFailure.txt"); }
  // The failure lines and the back-up file's line after the given detail.
  std::string FailureLines(const std::string& number, const std::string& description,
                           const std::string& detail) {
    std::string lines = "ERROR: Sending SMTP email <<\r\nERROR: " + number +
                        "\r\nERROR DESCRIPTION: " + description + "\r\n";
    if (!detail.empty()) lines += ">> " + detail + "\r\n";
    return lines + ">> Writing to back-up file: " + BackupPath() + "\r\n";
  }

  testing::EngineWorld world_;
};

TEST_F(SmtpMailTest, AWillingServerReceivesTheWholeConversationInOrder) {
  ScriptedSmtpServer server(WillingServer(2));
  ASSERT_TRUE(server.listening());
  // "localhost" may resolve to ::1 first, where nothing listens: the next address is tried.
  auto context = Context("localhost", server.port(), {"a@corp.example", "b@corp.example", ""});
  SendSmtpMail(*context);
  server.Join();

  const std::vector<std::string>& got = server.received();
  ASSERT_EQ(got.size(), 7u) << ::testing::PrintToString(got);
  // The client file names no DNS name: the address the connection went out from.
  EXPECT_EQ(got[0], "HELO [127.0.0.1]");
  EXPECT_EQ(got[1], "MAIL FROM:<quillon@corp.example>");
  EXPECT_EQ(got[2], "RCPT TO:<a@corp.example>");
  EXPECT_EQ(got[3], "RCPT TO:<b@corp.example>");
  EXPECT_EQ(got[4], "DATA");
  // "<date and time>.<16 hex digits>@<the HELO name>"
  const std::size_t idAt = got[5].find("Message-ID: <20261208093015.");
  ASSERT_NE(idAt, std::string::npos) << got[5];
  const std::string messageId = got[5].substr(idAt, got[5].find("\r\n", idAt) - idAt);
  EXPECT_EQ(messageId.size(), std::string("Message-ID: <20261208093015.0123456789abcdef@[127.0.0.1]>").size())
      << messageId;
  EXPECT_EQ(messageId.substr(messageId.size() - 13), "@[127.0.0.1]>") << messageId;
  EXPECT_EQ(got[5],
            "From: <quillon@corp.example>\r\n"
            "To: a@corp.example, b@corp.example\r\n"
            "Subject: Computer (PC042-alice) Printer moves\r\n"
            "Date: Tue, 08 Dec 2026 09:30:15 +0100\r\n" +
                messageId + "\r\n"
            "X-Mailer: Quillon\r\n"
            "Mime-Version: 1.0\r\n"
            "Content-Type: text/plain; charset=us-ascii\r\n"
            "\r\n"
            "\r\nComputer: PC042 User: alice\r\n..\r\n...two dots\r\n");
  EXPECT_EQ(got[6], "QUIT");

  const std::string message =
      "From: <quillon@corp.example>\r\nTo: a@corp.example, b@corp.example\r\n"
      "Subject: Printer moves\r\nDate: Tue, 08 Dec 2026 09:30:15 +0100\r\n" + messageId +
      "\r\nX-Mailer: Quillon\r\nMime-Version: 1.0\r\n"
      "Content-Type: text/plain; charset=us-ascii\r\n\r\n" +
      std::string(kReport);
  EXPECT_EQ(context->debugLog.text(),
            ">> Sending nofication via STMP, server (port): localhost(" + server.port() +
                ")\r\n"
                ">> Connected to SMTP Server << \r\n"
                ">> Sending HELLO: " + got[0] + "\r\n"
                ">> Sending FROM list: MAIL FROM:<quillon@corp.example>\r\n"
                ">> Sending TO list: RCPT TO:<a@corp.example>\r\n"
                ">> Sending TO list: RCPT TO:<b@corp.example>\r\n"
                ">> Sending DATA start <<\r\n"
                ">> Sending DATA: " + message + "\r\n"
                ">> Sending QUIT <<\r\n");
  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_FALSE(context->AbortStatus);
}

TEST_F(SmtpMailTest, ARefusedRecipientStopsBeforeDataAndKeepsTheReport) {
  ScriptedSmtpServer server({Send("220 ready\r\n"), ReadLine(), Send("250 hi\r\n"), ReadLine(),
                             Send("250 ok\r\n"), ReadLine(),
                             Send("550 5.1.1 No such user\r\n"), WaitForClose()});
  // The reader holds a one-address list as the address and an empty entry.
  auto context = Context("127.0.0.1", server.port(), {"nobody@corp.example", ""});
  SendSmtpMail(*context);
  server.Join();

  ASSERT_EQ(server.received().size(), 3u) << ::testing::PrintToString(server.received());
  EXPECT_EQ(server.received()[2], "RCPT TO:<nobody@corp.example>");
  const std::string& log = context->debugLog.text();
  EXPECT_EQ(log.find(">> Sending DATA start <<"), std::string::npos);
  const std::string tail =
      ">> Sending TO list: RCPT TO:<nobody@corp.example>\r\n"
      "ERROR: SMTP server refused recipient nobody@corp.example <<\r\n"
      "ERROR: 550\r\nERROR DESCRIPTION: 550 5.1.1 No such user\r\n" +
      FailureLines("0", "", "The SMTP server accepted none of the recipients.");
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail) << log;
  const std::string report =
      std::string(kReport) + "\r\nE-mail recipient refused: nobody@corp.example (550 5.1.1 No such user)";
  EXPECT_EQ(context->RunMessage, report);
  EXPECT_EQ(world_.files.ReadFile(BackupPath()), report + "\r\n");
}

TEST_F(SmtpMailTest, RefusedRecipientsAreReportedAndTheOthersStillGetTheMail) {
  ScriptedSmtpServer server(
      {Send("220 ready\r\n"), ReadLine(), Send("250 hi\r\n"), ReadLine(), Send("250 ok\r\n"),
       ReadLine(), Send("550 5.1.1 <gone@corp.example>: User unknown\r\n"),
       ReadLine(), Send("250 2.1.5 Ok\r\n"),
       // A several-line refusal, and a temporary one.
       ReadLine(), Send("450-4.2.0 <busy@corp.example>: mailbox busy\r\n450 4.2.0 try later\r\n"),
       ReadLine(), Send("251 2.1.5 forwarded\r\n"),
       ReadLine(), Send("354 go\r\n"), ReadData(), Send("250 queued\r\n"), ReadLine(),
       Send("221 bye\r\n"), WaitForClose()});
  auto context = Context("127.0.0.1", server.port(),
                         {"gone@corp.example", "ops@corp.example", "busy@corp.example",
                          "far@elsewhere.example", ""});
  SendSmtpMail(*context);
  server.Join();

  const std::vector<std::string>& got = server.received();
  ASSERT_EQ(got.size(), 9u) << ::testing::PrintToString(got);
  EXPECT_EQ(got[6], "DATA");
  EXPECT_EQ(got[8], "QUIT");
  const std::string refusals =
      "\r\nE-mail recipient refused: gone@corp.example (550 5.1.1 <gone@corp.example>: User "
      "unknown)"
      "\r\nE-mail recipient refused: busy@corp.example (450-4.2.0 <busy@corp.example>: mailbox "
      "busy 450 4.2.0 try later)";
  EXPECT_EQ(context->RunMessage, std::string(kReport) + refusals);
  // The mail itself tells its readers who did not get it.
  const std::string& message = got[7];
  EXPECT_EQ(message.substr(message.size() - refusals.size() - 2), refusals + "\r\n") << message;

  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find(">> Sending TO list: RCPT TO:<gone@corp.example>\r\n"
                     "ERROR: SMTP server refused recipient gone@corp.example <<\r\n"
                     "ERROR: 550\r\n"
                     "ERROR DESCRIPTION: 550 5.1.1 <gone@corp.example>: User unknown\r\n"
                     ">> Sending TO list: RCPT TO:<ops@corp.example>\r\n"
                     ">> Sending TO list: RCPT TO:<busy@corp.example>\r\n"
                     "ERROR: SMTP server refused recipient busy@corp.example <<\r\n"
                     "ERROR: 450\r\n"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("ERROR: Sending SMTP email"), std::string::npos) << log;
  EXPECT_NE(log.find(">> Sending QUIT <<"), std::string::npos) << log;
  EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(SmtpMailTest, TheHelloNameIsTheDnsFullNameOrElseTheConnectionsAddress) {
  const std::vector<std::pair<std::optional<std::string>, std::string>> cases = {
      {"pc042.corp.example", "HELO pc042.corp.example"},
      // A bare name, as a relay that wants a fully qualified one would refuse it.
      {"PC042", "HELO [127.0.0.1]"},
      {std::nullopt, "HELO [127.0.0.1]"},
  };
  for (const auto& [dnsName, hello] : cases) {
    world_.state.dnsFullName = dnsName;
    ScriptedSmtpServer server(WillingServer(1));
    auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
    SendSmtpMail(*context);
    server.Join();
    ASSERT_EQ(server.received().size(), 6u) << ::testing::PrintToString(server.received());
    EXPECT_EQ(server.received()[0], hello);
    EXPECT_NE(context->debugLog.text().find(">> Sending HELLO: " + hello + "\r\n"),
              std::string::npos);
    const std::string host = hello.substr(5);
    EXPECT_NE(server.received()[4].find("@" + host + ">\r\n"), std::string::npos)
        << server.received()[4];
  }
}

TEST_F(SmtpMailTest, An8BitReportWithALongLineGoesQuotedPrintableInShortLines) {
  ScriptedSmtpServer server(WillingServer(1));
  auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
  const std::string longLine = "." + std::string(1200, 'x');
  context->RunMessage =
      "\r\nAdded printer: \\\\NEWSRV\\\xC3\x89tiquettes salle caf\xC3\xA9\r\n" + longLine;
  SendSmtpMail(*context);
  server.Join();

  ASSERT_EQ(server.received().size(), 6u) << ::testing::PrintToString(server.received());
  const std::string& message = server.received()[4];
  EXPECT_NE(message.find("\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                         "Content-Transfer-Encoding: quoted-printable\r\n\r\n"
                         "\r\nAdded printer: \\\\NEWSRV\\=C3=89tiquettes salle caf=C3=A9\r\n"
                         "..xxx"),
            std::string::npos)
      << message;
  std::size_t start = 0, longest = 0;
  for (std::size_t end; (end = message.find("\r\n", start)) != std::string::npos; start = end + 2) {
    longest = std::max(longest, end - start);
  }
  // 76, and one more where a line starting with a dot had it doubled.
  EXPECT_LE(longest, 77u);
  EXPECT_TRUE(std::all_of(message.begin(), message.end(),
                          [](char c) { return static_cast<unsigned char>(c) < 128; }))
      << message;
  EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(SmtpMailTest, RepliesInSeveralChunksAndSeveralLinesAreTakenWhole) {
  std::vector<ServerAction> script = {
      Send("220 mail.exa"), Pause(80), Send("mple ready\r\n"), ReadLine(),
      // A several-line reply whose lines arrive apart.
      Send("250-mail.example\r\n"), Pause(80), Send("250 HELP\r\n"), ReadLine(),
      Send("250 ok\r\n"), ReadLine(), Send("250 ok\r\n"), ReadLine(), Send("354 go\r\n"),
      ReadData(), Send("250 queued\r\n"), ReadLine(), Send("221 bye\r\n"), WaitForClose()};
  ScriptedSmtpServer server(std::move(script));
  auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
  SendSmtpMail(*context);
  server.Join();

  ASSERT_EQ(server.received().size(), 6u) << ::testing::PrintToString(server.received());
  EXPECT_EQ(server.received()[3], "DATA");
  EXPECT_EQ(server.received()[5], "QUIT");
  EXPECT_EQ(context->debugLog.text().find("ERROR"), std::string::npos) << context->debugLog.text();
  EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(SmtpMailTest, ASilentServerTimesOutAndTheNextChannelStillRuns) {
  // 30 ticks of 5 ms: the watchdog gives up after about 150 ms.
  auto network = platform::net::CreateHostNetwork(std::chrono::milliseconds(5));
  world_.host.network = network.get();
  ScriptedSmtpServer server({WaitForClose()});
  auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
  document::MigrationDocument& doc = context->document;
  doc.UseFileOutput = true;
  doc.FileOutputPath = world_.ProgramFolder();
  doc.FileOutputName = "moves.txt";
  SendNotifications(*context);
  server.Join();

  EXPECT_TRUE(server.accepted());
  EXPECT_TRUE(server.received().empty()) << ::testing::PrintToString(server.received());
  const std::string& log = context->debugLog.text();
  const std::string failure =
      ">> Connected to SMTP Server << \r\n" +
      FailureLines("10060", "The SMTP server did not answer within 30 seconds.", "");
  EXPECT_NE(log.find(failure), std::string::npos) << log;
  EXPECT_LT(log.find(failure), log.find("NOTIFICATION VIA FILE OUTPUT"));
  EXPECT_EQ(world_.files.ReadFile(BackupPath()), std::string(kReport) + "\r\n");
  EXPECT_TRUE(world_.files.FileExists(world_.Path("moves.txt")));
  EXPECT_FALSE(context->AbortStatus);
}

TEST_F(SmtpMailTest, AConnectionClosedMidConversationKeepsTheReport) {
  ScriptedSmtpServer server({Send("220 ready\r\n"), ReadLine(), Send("250 hi\r\n"), ReadLine(),
                             Close()});
  auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
  SendSmtpMail(*context);
  server.Join();

  ASSERT_EQ(server.received().size(), 2u) << ::testing::PrintToString(server.received());
  EXPECT_EQ(server.received()[1], "MAIL FROM:<quillon@corp.example>");
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find(FailureLines(
                "0", "", "The SMTP server closed the connection while a 250 reply was awaited.")),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find(">> Sending TO list"), std::string::npos);
  EXPECT_TRUE(world_.files.FileExists(BackupPath()));
}

TEST_F(SmtpMailTest, AResetConnectionIsReportedAsTheSocketError) {
  ScriptedSmtpServer server({Send("220 ready\r\n"), ReadLine(), Reset()});
  auto context = Context("127.0.0.1", server.port(), {"a@corp.example"});
  SendSmtpMail(*context);
  server.Join();
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Sending SMTP email <<\r\nERROR: 10054\r\nERROR DESCRIPTION: "),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("closed the connection"), std::string::npos) << log;
  EXPECT_EQ(world_.files.ReadFile(BackupPath()), std::string(kReport) + "\r\n");
}

TEST_F(SmtpMailTest, ARefusedConnectionIsASocketErrorAndKeepsTheReport) {
  auto context = Context("127.0.0.1", UnusedPort(), {"a@corp.example"});
  SendSmtpMail(*context);
  const std::string& log = context->debugLog.text();
  EXPECT_EQ(log.find("Connected to SMTP Server"), std::string::npos);
  EXPECT_NE(log.find("ERROR: Sending SMTP email <<\r\nERROR: 10061\r\nERROR DESCRIPTION: "),
            std::string::npos)
      << log;
  EXPECT_NE(log.find(">> Writing to back-up file: " + BackupPath()), std::string::npos);
  EXPECT_EQ(world_.files.ReadFile(BackupPath()), std::string(kReport) + "\r\n");
}

TEST_F(SmtpMailTest, AnUnknownHostAndAnUnwritableBackupAreBothReported) {
  world_.host.programFolder = world_.Path("missing-folder");
  auto context = Context("no-such-host.invalid", "25", {"a@corp.example"});
  SendSmtpMail(*context);
  const std::string& log = context->debugLog.text();
  EXPECT_NE(log.find("ERROR: Sending SMTP email <<\r\nERROR: 11001\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("ERROR: Saving email failure file <<\r\nERROR: "), std::string::npos) << log;
}

}  // namespace
}  // namespace quillon::engine
