// Mailing the run's report through one SMTP server: the event-driven
// conversation and, when it fails, the back-up file beside the engine.
#pragma once

#include <cstdint>
#include <memory>
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
// The message as sent: headers, an empty line and the report. `subject` is the
// whole subject line's text.
std::string SmtpMessage(RunContext& context, const std::string& subject);
// Every line starting with "." gets a second one, and lone CR or LF become
// CR LF, so that the text can only end where the sender ends it.
std::string SmtpDataText(std::string_view message);
// <computer>_mm.dd.yyyy_hh.nn.ss_EmailFailure.txt
std::string EmailFailureFileName(const std::string& computerName, const platform::LocalTime& at);

// The hidden conversation object of one run: the socket, the watchdog and the
// reply being assembled.
class frmWinsockContainer : public platform::net::SocketEvents {
 public:
  explicit frmWinsockContainer(RunContext& context);

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
