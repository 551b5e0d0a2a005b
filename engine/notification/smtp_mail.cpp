#include "engine/notification/smtp_mail.h"

#include <cstdio>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"

namespace quillon::engine {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The numeric value of the reply's first blank-separated part: its leading
// digits, 0 when it has none.
int ReplyCode(std::string_view reply) {
  const std::string_view first = reply.substr(0, reply.find(' '));
  int value = 0;
  for (std::size_t i = 0; i < first.size() && i < 9 && IsDigit(first[i]); ++i) {
    value = value * 10 + (first[i] - '0');
  }
  return value;
}

// A reply is complete when what has arrived ends with CR LF and its last line
// is not a "250-" continuation line; servers may send several-line replies in
// one chunk or in several.
bool IsCompleteReply(std::string_view buffer) {
  if (buffer.size() < 2 || buffer.substr(buffer.size() - 2) != "\r\n") return false;
  const std::string_view body = buffer.substr(0, buffer.size() - 2);
  const std::size_t lineEnd = body.rfind("\r\n");
  const std::string_view last = lineEnd == std::string_view::npos ? body : body.substr(lineEnd + 2);
  return !(last.size() >= 4 && IsDigit(last[0]) && IsDigit(last[1]) && IsDigit(last[2]) &&
           last[3] == '-');
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  return text;
}

std::string TwoDigits(int value) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", value);
  return text;
}

}  // namespace

std::vector<std::string> SmtpRecipients(const std::vector<std::string>& emailTo) {
  std::vector<std::string> recipients;
  for (const std::string& address : emailTo) {
    if (!address.empty()) recipients.push_back(address);
  }
  return recipients;
}

std::string SmtpMessage(RunContext& context, const std::string& subject) {
  const document::MigrationDocument& doc = context.document;
  std::string to;
  for (const std::string& address : SmtpRecipients(doc.EmailTo)) {
    if (!to.empty()) to += ", ";
    to += address;
  }
  std::string message;
  message += "From: <" + doc.EmailFrom + ">\r\n";
  message += "To: " + to + "\r\n";
  message += "Subject: " + subject + "\r\n";
  message += "X-Mailer: Quillon\r\n";
  message += "Mime-Version: 1.0\r\n";
  message += "Content-Type: text/plain; charset=us-ascii\r\n";
  message += "\r\n";
  message += context.RunMessage;
  return message;
}

std::string SmtpDataText(std::string_view message) {
  std::string data;
  data.reserve(message.size() + message.size() / 32 + 2);
  bool lineStart = true;
  for (std::size_t i = 0; i < message.size(); ++i) {
    const char c = message[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < message.size() && message[i + 1] == '\n') ++i;
      data += "\r\n";
      lineStart = true;
      continue;
    }
    if (lineStart && c == '.') data += '.';
    data += c;
    lineStart = false;
  }
  return data;
}

std::string EmailFailureFileName(const std::string& computerName, const platform::LocalTime& at) {
  return computerName + "_" + TwoDigits(at.month) + "." + TwoDigits(at.day) + "." +
         std::to_string(at.year) + "_" + TwoDigits(at.hour) + "." + TwoDigits(at.minute) + "." +
         TwoDigits(at.second) + "_EmailFailure.txt";
}

frmWinsockContainer::frmWinsockContainer(RunContext& context)
    : context_(context), wnsMain_(context.platform.network.CreateSocketLoop(*this)) {}

void frmWinsockContainer::Connect(const std::string& host, const std::string& port) {
  wnsMain_->Connect(host, port);
}

void frmWinsockContainer::WaitForReply(std::int16_t expected) {
  tickCount_ = 0;
  wnsMain_->SetTimerEnabled(true);
  while (!replyComplete_ && !ended_) {
    if (!wnsMain_->IsOpen()) {
      failed_ = true;
      failureDetail_ = "The SMTP server closed the connection while a " +
                       std::to_string(expected) + " reply was awaited.";
      break;
    }
    wnsMain_->ProcessEvents();
  }
  wnsMain_->SetTimerEnabled(false);
  // A time-out or a socket error has ended the conversation and said why.
  if (ended_) return;

  const std::string reply = std::move(receiveBuffer_);
  receiveBuffer_.clear();
  replyComplete_ = false;
  if (ReplyCode(reply) != expected) {
    wnsMain_->Close();
    if (!failed_) {
      failureDetail_ = "The SMTP server refused the step: expected " + std::to_string(expected) +
                       ", received \"" + Trimmed(reply) + "\".";
    }
    failed_ = true;
  }
}

void frmWinsockContainer::Send(std::string_view text) {
  wnsMain_->SendData(text);
  wnsMain_->ProcessEvents();
}

void frmWinsockContainer::Step(const std::string& debugLine, const std::string& command,
                               std::int16_t expected) {
  if (failed_) return;
  WriteDebugLine(context_, debugLine);
  Send(command + "\r\n");
  WaitForReply(expected);
}

void frmWinsockContainer::OnConnect() {
  const document::MigrationDocument& doc = context_.document;
  connected_ = true;
  WriteDebugLine(context_, ">> Connected to SMTP Server << ");
  WaitForReply(220);

  const std::string hello = "HELO " + wnsMain_->LocalHostName();
  Step(">> Sending HELLO: " + hello, hello, 250);
  const std::string from = "MAIL FROM:<" + doc.EmailFrom + ">";
  Step(">> Sending FROM list: " + from, from, 250);
  // One command per address: a single command holding several is refused.
  for (const std::string& address : SmtpRecipients(doc.EmailTo)) {
    const std::string to = "RCPT TO:<" + address + ">";
    Step(">> Sending TO list: " + to, to, 250);
  }
  Step(">> Sending DATA start <<", "DATA", 354);

  if (!failed_) {
    const std::string subject = "Computer (" + GetComputerName(context_) + "-" +
                                GetLoggedOnUserName(context_) + ") " + doc.EmailSubject;
    WriteDebugLine(context_, ">> Sending DATA: " + SmtpMessage(context_, doc.EmailSubject));
    wnsMain_->SendData(SmtpDataText(SmtpMessage(context_, subject)));
    Send("\r\n.\r\n");
    WaitForReply(250);
  }
  if (!failed_) {
    WriteDebugLine(context_, ">> Sending QUIT <<");
    wnsMain_->SendData("QUIT\r\n");
    wnsMain_->Close();
  }
  End();
}

void frmWinsockContainer::OnDataArrival(const std::string& data) {
  receiveBuffer_ += data;
  if (IsCompleteReply(receiveBuffer_)) replyComplete_ = true;
}

void frmWinsockContainer::OnError(std::uint32_t number, const std::string& description) {
  wnsMain_->SetTimerEnabled(false);
  wnsMain_->Close();
  failed_ = true;
  errorNumber_ = number;
  errorDescription_ = description;
  End();
}

void frmWinsockContainer::OnTick() {
  if (++tickCount_ < kSmtpWatchdogTicks) return;
  wnsMain_->Close();
  wnsMain_->SetTimerEnabled(false);
  failed_ = true;
  errorNumber_ = platform::net::kErrorTimedOut;
  errorDescription_ = connected_ ? "The SMTP server did not answer within 30 seconds."
                                : "The SMTP server did not accept the connection within 30 seconds.";
  End();
}

void frmWinsockContainer::End() {
  if (wnsMain_->IsOpen()) wnsMain_->Close();
  wnsMain_->SetTimerEnabled(false);
  ended_ = true;
}

void frmWinsockContainer::ReportFailure() {
  if (!failed_) return;
  WriteErrorLines(context_, "ERROR: Sending SMTP email <<", errorNumber_, errorDescription_);
  if (!failureDetail_.empty()) WriteDebugLine(context_, ">> " + failureDetail_);

  const std::string path = platform::JoinPath(
      context_.platform.system.GetProgramFolder(),
      EmailFailureFileName(GetComputerName(context_), context_.platform.clock.Now()));
  WriteDebugLine(context_, ">> Writing to back-up file: " + path);
  const platform::Status saved =
      context_.platform.files.AppendToFile(path, context_.RunMessage + "\r\n");
  if (!saved) {
    WriteErrorLines(context_, "ERROR: Saving email failure file <<", saved.errorNumber,
                    saved.description);
  }
}

void SendSmtpMail(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  WriteDebugLine(context, ">> Sending nofication via STMP, server (port): " +
                              doc.SMTPServerNameOrIP + "(" + doc.ServerPort + ")");
  frmWinsockContainer form(context);
  form.Connect(doc.SMTPServerNameOrIP, doc.ServerPort);
  while (!form.Ended()) form.ProcessEvents();
  form.ReportFailure();
}

}  // namespace quillon::engine
