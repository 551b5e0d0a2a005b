#include "engine/notification/smtp_mail.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"
#include "platform/text.h"

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

// A reply as one line for the debug log and the report.
std::string OneLine(const std::string& reply) {
  std::string line;
  for (char c : Trimmed(reply)) {
    if (c == '\r') continue;
    line += c == '\n' ? ' ' : c;
  }
  return line;
}

// Every line of `text`, the last one included even when empty.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  lines.push_back(text.substr(start));
  return lines;
}

const char* const kWeekdays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsHostNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '.';
}

std::uint64_t RandomNumber() {
  std::random_device device;
  std::uint64_t value = (static_cast<std::uint64_t>(device()) << 32) ^ device();
  // Should the device be a fixed sequence, the moment still tells runs apart.
  value ^= static_cast<std::uint64_t>(
      std::chrono::high_resolution_clock::now().time_since_epoch().count());
  return value;
}

}  // namespace

std::string HeloName(const std::optional<std::string>& dnsFullName,
                     const std::string& localAddress, const std::string& hostName) {
  if (dnsFullName) {
    std::string name = *dnsFullName;
    if (!name.empty() && name.back() == '.') name.pop_back();
    bool valid = !name.empty() && name.front() != '.' && name.find("..") == std::string::npos;
    for (char c : name) valid = valid && IsHostNameCharacter(c);
    if (valid && name.find('.') != std::string::npos) return name;
  }
  if (!localAddress.empty()) return localAddress;
  return hostName;
}

std::string SmtpDate(const platform::ZonedTime& at) {
  const platform::LocalTime& t = at.local;
  const int month = t.month >= 1 && t.month <= 12 ? t.month - 1 : 0;
  const int offset = at.utcOffsetMinutes < 0 ? -at.utcOffsetMinutes : at.utcOffsetMinutes;
  char text[64];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02d%02d",
                kWeekdays[platform::DayOfWeek(t)], t.day, kMonths[month], t.year, t.hour,
                t.minute, t.second, at.utcOffsetMinutes < 0 ? '-' : '+', offset / 60,
                offset % 60);
  return text;
}

std::string SmtpMessageId(const platform::ZonedTime& at, std::uint64_t random,
                          const std::string& host) {
  const platform::LocalTime& t = at.local;
  char text[64];
  std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d.%016llx", t.year, t.month, t.day,
                t.hour, t.minute, t.second, static_cast<unsigned long long>(random));
  return std::string(text) + "@" + host;
}

bool NeedsQuotedPrintable(std::string_view text) {
  for (std::string_view line : Lines(text)) {
    // A leading dot is doubled on the way, and the doubled line must still fit.
    if (line.size() + (line.starts_with('.') ? 1 : 0) > 998) return true;
    for (char c : line) {
      if (static_cast<unsigned char>(c) > 127) return true;
    }
  }
  return false;
}

std::string HeaderText(std::string_view text, const std::string& charset) {
  const auto high = [](char c) { return static_cast<unsigned char>(c) > 127; };
  if (std::none_of(text.begin(), text.end(), high)) return std::string(text);
  // Each encoded word holds whole characters, so the text is walked by
  // character from its start: in the multi-byte sets a later byte may look
  // like 7-bit text, so no boundary can be found by looking back.
  const auto characterSize = [&](std::size_t i) -> std::size_t {
    const auto byte = static_cast<unsigned char>(text[i]);
    std::size_t size = 1;
    if (charset == "UTF-8") {
      size = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    } else if (byte > 127) {
      if (charset == "Shift_JIS") {
        size = byte >= 0xA1 && byte <= 0xDF ? 1 : 2;  // half-width katakana are one byte
      } else if (charset == "GB18030") {
        const bool four = i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
        size = four ? 4 : 2;
      } else if (charset == "EUC-JP") {
        size = byte == 0x8F ? 3 : 2;
      } else if (charset == "GBK" || charset == "EUC-KR" || charset == "Big5") {
        size = 2;
      }
    }
    return std::min(size, text.size() - i);
  };
  static const char kBase64[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const std::string prefix = "=?" + charset + "?B?";
  const std::size_t room = 75 > prefix.size() + 2 ? 75 - prefix.size() - 2 : 4;
  const std::size_t most = std::max<std::size_t>(room / 4 * 3, 3);
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    while (end < text.size()) {
      const std::size_t size = characterSize(end);
      if (end > at && end + size - at > most) break;  // a word holds at least one character
      end += size;
    }
    if (!out.empty()) out += "\r\n ";
    out += prefix;
    for (std::size_t i = at; i < end; i += 3) {
      const std::size_t n = std::min<std::size_t>(3, end - i);
      unsigned value = 0;
      for (std::size_t k = 0; k < 3; ++k) {
        value = (value << 8) | (k < n ? static_cast<unsigned char>(text[i + k]) : 0u);
      }
      for (std::size_t k = 0; k < 4; ++k) {
        out += k <= n ? kBase64[(value >> (18 - 6 * k)) & 0x3F] : '=';
      }
    }
    out += "?=";
    at = end;
  }
  return out;
}

std::string QuotedPrintable(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  const std::vector<std::string_view> lines = Lines(text);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string_view line = lines[n];
    std::size_t length = 0;  // of the encoded line written so far
    for (std::size_t i = 0; i < line.size(); ++i) {
      const auto c = static_cast<unsigned char>(line[i]);
      const bool last = i + 1 == line.size();
      // Blanks are literal but at the end of a line, where transport may drop them.
      const bool literal = (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last);
      char token[4] = {static_cast<char>(c), 0, 0, 0};
      if (!literal) {
        token[0] = '=';
        token[1] = kHex[c >> 4];
        token[2] = kHex[c & 0xF];
      }
      const std::size_t size = literal ? 1 : 3;
      // A soft break "=" must still fit within 76 when more follows.
      if (length + size > (last ? 76u : 75u)) {
        out += "=\r\n";
        length = 0;
      }
      out.append(token, size);
      length += size;
    }
    if (n + 1 < lines.size()) out += "\r\n";
  }
  return out;
}

std::vector<std::string> SmtpRecipients(const std::vector<std::string>& emailTo) {
  std::vector<std::string> recipients;
  for (const std::string& address : emailTo) {
    if (!address.empty()) recipients.push_back(address);
  }
  return recipients;
}

std::string SmtpMessage(RunContext& context, const std::string& subject,
                        const SmtpMessageFacts& facts) {
  const document::MigrationDocument& doc = context.document;
  std::string to;
  for (const std::string& address : SmtpRecipients(doc.EmailTo)) {
    if (!to.empty()) to += ", ";
    to += address;
  }
  const bool encoded = NeedsQuotedPrintable(context.RunMessage);
  std::string message;
  message += "From: <" + doc.EmailFrom + ">\r\n";
  message += "To: " + to + "\r\n";
  message += "Subject: " + HeaderText(subject, facts.charset) + "\r\n";
  message += "Date: " + SmtpDate(facts.date) + "\r\n";
  message += "Message-ID: <" + facts.messageId + ">\r\n";
  message += "X-Mailer: Quillon\r\n";
  message += "Mime-Version: 1.0\r\n";
  if (encoded) {
    message += "Content-Type: text/plain; charset=" + facts.charset + "\r\n";
    message += "Content-Transfer-Encoding: quoted-printable\r\n";
  } else {
    message += "Content-Type: text/plain; charset=us-ascii\r\n";
  }
  message += "\r\n";
  message += encoded ? QuotedPrintable(context.RunMessage) : context.RunMessage;
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

SmtpConversation::SmtpConversation(RunContext& context)
    : context_(context), wnsMain_(context.platform.network.CreateSocketLoop(*this)) {}

void SmtpConversation::Connect(const std::string& host, const std::string& port) {
  wnsMain_->Connect(host, port);
}

void SmtpConversation::WaitForReply(std::int16_t expected) {
  std::string reply;
  if (!AwaitReply(expected, &reply)) return;
  if (ReplyCode(reply) != expected) {
    wnsMain_->Close();
    if (!failed_) {
      failureDetail_ = "The SMTP server refused the step: expected " + std::to_string(expected) +
                       ", received \"" + Trimmed(reply) + "\".";
    }
    failed_ = true;
  }
}

bool SmtpConversation::AwaitReply(std::int16_t expected, std::string* reply) {
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
  if (ended_) return false;

  *reply = std::move(receiveBuffer_);
  receiveBuffer_.clear();
  const bool complete = replyComplete_;
  replyComplete_ = false;
  // A connection closed while waiting: whatever arrived is no complete reply.
  return complete;
}

int SmtpConversation::SendRecipients(const std::vector<std::string>& recipients) {
  int accepted = 0;
  for (const std::string& address : recipients) {
    if (failed_) break;
    const std::string to = "RCPT TO:<" + address + ">";
    WriteDebugLine(context_, ">> Sending TO list: " + to);
    Send(to + "\r\n");
    std::string reply;
    if (!AwaitReply(250, &reply)) break;
    const int code = ReplyCode(reply);
    // 251: not local, but the server forwards it.
    if (code == 250 || code == 251) {
      ++accepted;
      continue;
    }
    // One refused address does not keep the mail from the others.
    const std::string text = OneLine(reply);
    WriteErrorLines(context_, "ERROR: SMTP server refused recipient " + address + " <<", code,
                    text);
    context_.AppendRunMessage("E-mail recipient refused: " + address + " (" + text + ")");
  }
  if (!failed_ && !ended_ && accepted == 0) {
    wnsMain_->Close();
    failed_ = true;
    failureDetail_ = recipients.empty() ? "The document names no e-mail recipient."
                                        : "The SMTP server accepted none of the recipients.";
  }
  return accepted;
}

void SmtpConversation::Send(std::string_view text) {
  wnsMain_->SendData(text);
  wnsMain_->ProcessEvents();
}

void SmtpConversation::Step(const std::string& debugLine, const std::string& command,
                               std::int16_t expected) {
  if (failed_) return;
  WriteDebugLine(context_, debugLine);
  Send(command + "\r\n");
  WaitForReply(expected);
}

void SmtpConversation::OnConnect() {
  const document::MigrationDocument& doc = context_.document;
  connected_ = true;
  WriteDebugLine(context_, ">> Connected to SMTP Server << ");
  WaitForReply(220);

  // Relays that insist on a fully qualified name take an address literal too.
  const std::string helloName =
      HeloName(context_.platform.system.GetDnsFullName(), wnsMain_->LocalAddress(),
               wnsMain_->LocalHostName());
  const std::string hello = "HELO " + helloName;
  Step(">> Sending HELLO: " + hello, hello, 250);
  const std::string from = "MAIL FROM:<" + doc.EmailFrom + ">";
  Step(">> Sending FROM list: " + from, from, 250);
  // One command per address: a single command holding several is refused.
  if (!failed_) SendRecipients(SmtpRecipients(doc.EmailTo));
  Step(">> Sending DATA start <<", "DATA", 354);

  if (!failed_) {
    const std::string subject = "Computer (" + GetComputerName(context_) + "-" +
                                GetLoggedOnUserName(context_) + ") " + doc.EmailSubject;
    SmtpMessageFacts facts;
    facts.date = context_.platform.clock.NowWithOffset();
    facts.messageId = SmtpMessageId(facts.date, RandomNumber(), helloName);
    facts.charset = platform::NarrowCharsetName();
    WriteDebugLine(context_, ">> Sending DATA: " + SmtpMessage(context_, doc.EmailSubject, facts));
    wnsMain_->SendData(SmtpDataText(SmtpMessage(context_, subject, facts)));
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

void SmtpConversation::OnDataArrival(const std::string& data) {
  receiveBuffer_ += data;
  if (IsCompleteReply(receiveBuffer_)) replyComplete_ = true;
}

void SmtpConversation::OnError(std::uint32_t number, const std::string& description) {
  wnsMain_->SetTimerEnabled(false);
  wnsMain_->Close();
  failed_ = true;
  errorNumber_ = number;
  errorDescription_ = description;
  End();
}

void SmtpConversation::OnTick() {
  if (++tickCount_ < kSmtpWatchdogTicks) return;
  wnsMain_->Close();
  wnsMain_->SetTimerEnabled(false);
  failed_ = true;
  errorNumber_ = platform::net::kErrorTimedOut;
  errorDescription_ = connected_ ? "The SMTP server did not answer within 30 seconds."
                                : "The SMTP server did not accept the connection within 30 seconds.";
  End();
}

void SmtpConversation::End() {
  if (wnsMain_->IsOpen()) wnsMain_->Close();
  wnsMain_->SetTimerEnabled(false);
  ended_ = true;
}

void SmtpConversation::ReportFailure() {
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
  SmtpConversation form(context);
  form.Connect(doc.SMTPServerNameOrIP, doc.ServerPort);
  while (!form.Ended()) form.ProcessEvents();
  form.ReportFailure();
}

}  // namespace quillon::engine
