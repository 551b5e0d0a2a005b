// Mailing the run's report through one SMTP server: the event-driven
// conversation and, when it fails, the back-up file beside the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/net/socket_loop.h"

namespace quillon::engine {

struct RunContext;

// The watchdog's ticks before a silent server is given up.
inline constexpr std::int16_t kSmtpWatchdogTicks = 30;

void SendSmtpMail(RunContext& context);

// The document's non-empty addresses, in list order.
std::vector<std::string> SmtpRecipients(const std::vector<std::string>& emailTo);

// The name HELO gives: the computer's DNS full name when it is fully qualified
// (a trailing dot dropped), else the address literal of the connection's local
// end, else (the system could not tell) `hostName`.
std::string HeloName(const std::optional<std::string>& dnsFullName,
                     const std::string& localAddress, const std::string& hostName);
// RFC 5322's date-time with a numeric zone: "Tue, 08 Dec 2026 09:30:15 +0100".
std::string SmtpDate(const platform::ZonedTime& at);

// What the message says beyond the document and the report.
struct SmtpMessageFacts {
  platform::ZonedTime date;
  std::string messageId;  // "unique@host", without the angle brackets
  std::string charset;    // the report's character set, named when it is 8-bit
};
// "<yyyymmddhhnnss>.<16 hex digits>@<host>" from the time and a random number.
std::string SmtpMessageId(const platform::ZonedTime& at, std::uint64_t random,
                          const std::string& host);
// The message as sent: headers, an empty line and the report. `subject` is the
// whole subject line's text. A report of 7-bit lines of at most 998 bytes goes
// as it is, declared us-ascii; any other as quoted-printable in `charset`.
std::string SmtpMessage(RunContext& context, const std::string& subject,
                        const SmtpMessageFacts& facts);
// Whether the text holds a byte over 127 or a line over 998 bytes (CR LF,
// lone CR and lone LF all end lines).
bool NeedsQuotedPrintable(std::string_view text);
// A header's text as it may travel: unchanged when 7-bit, else RFC 2047
// encoded words ("=?UTF-8?B?...?=") of at most 75 characters, folded onto
// continuation lines, none splitting a character.
std::string HeaderText(std::string_view text, const std::string& charset);
// RFC 2045's quoted-printable: lines end with CR LF as in the text, encoded
// lines are at most 76 characters, with "=" soft breaks.
std::string QuotedPrintable(std::string_view text);
// Every line starting with "." gets a second one, and lone CR or LF become
// CR LF, so that the text can only end where the sender ends it.
std::string SmtpDataText(std::string_view message);
// <computer>_mm.dd.yyyy_hh.nn.ss_EmailFailure.txt
std::string EmailFailureFileName(const std::string& computerName, const platform::LocalTime& at);

// One run's conversation with the mail server: the socket, the watchdog and the
// reply being assembled. It plays the part of the hidden form that hosted the
// socket and timer controls, hence the socket loop's name, wnsMain_.
class SmtpConversation : public platform::net::SocketEvents {
 public:
  explicit SmtpConversation(RunContext& context);

  // Asks for the connection; the conversation runs in OnConnect.
  void Connect(const std::string& host, const std::string& port);
  bool Ended() const { return ended_; }
  void ProcessEvents() { wnsMain_->ProcessEvents(); }
  // After the conversation: the error lines and the back-up file if it failed.
  void ReportFailure();

  // Waits for one complete reply and checks its code.
  void WaitForReply(std::int16_t expected);

  void OnConnect() override;
  void OnDataArrival(const std::string& data) override;
  void OnError(std::uint32_t number, const std::string& description) override;
  void OnTick() override;

 private:
  // Sends one command and processes pending events once.
  void Send(std::string_view text);
  void Step(const std::string& debugLine, const std::string& command, std::int16_t expected);
  // Waits for one complete reply into `reply`; false when the wait failed or
  // the conversation ended.
  bool AwaitReply(std::int16_t expected, std::string* reply);
  // RCPT TO for every address; the number the server accepted.
  int SendRecipients(const std::vector<std::string>& recipients);
  void End();

  RunContext& context_;
  std::unique_ptr<platform::net::SocketLoop> wnsMain_;
  std::int16_t tickCount_ = 0;
  bool replyComplete_ = false;
  std::string receiveBuffer_;
  bool failed_ = false;
  bool ended_ = false;
  bool connected_ = false;
  // Why it failed, for the debug log.
  std::uint32_t errorNumber_ = 0;
  std::string errorDescription_;
  std::string failureDetail_;
};

}  // namespace quillon::engine
