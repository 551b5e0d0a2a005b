// SMTP peers for the mail tests, on loopback: a scripted server that answers
// exactly what a case needs, Debian's aiosmtpd as a real server, and Debian's
// Postfix as a real relay hardened as sites harden it.
#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace quillon::engine::smtp_test {

struct ServerAction {
  enum Kind {
    kSend,          // send `text` (as is: the case writes its own CR LF)
    kPause,         // wait `milliseconds`
    kReadLine,      // read one command line
    kReadData,      // read the message up to the lone "." line
    kClose,         // close the connection
    kReset,         // close it with a TCP reset
    kWaitForClose,  // read (and record) until the client closes
  };
  Kind kind;
  std::string text;
  int milliseconds = 0;
};

ServerAction Send(std::string text);
ServerAction Pause(int milliseconds);
ServerAction ReadLine();
ServerAction ReadData();
ServerAction Close();
ServerAction Reset();
ServerAction WaitForClose();

// Greeting, HELO, MAIL FROM, `recipients` RCPT TO, DATA, the message and QUIT,
// each answered as a willing server does.
std::vector<ServerAction> WillingServer(int recipients);

// Accepts one connection on a free loopback port and plays the script on its
// own thread. `received` holds every command line and each message whole
// (without their line ends) in arrival order; read it after Join().
class ScriptedSmtpServer {
 public:
  explicit ScriptedSmtpServer(std::vector<ServerAction> script);
  ~ScriptedSmtpServer();
  ScriptedSmtpServer(const ScriptedSmtpServer&) = delete;
  ScriptedSmtpServer& operator=(const ScriptedSmtpServer&) = delete;

  bool listening() const { return listener_ >= 0; }
  std::string port() const { return std::to_string(port_); }
  // Waits for the script to end (at most a few seconds after the client left).
  void Join();
  const std::vector<std::string>& received() const { return received_; }
  // Whether a client connected at all.
  bool accepted() const { return accepted_; }

 private:
  void Play(std::vector<ServerAction> script);

  int listener_ = -1;
  int port_ = 0;
  bool accepted_ = false;
  std::vector<std::string> received_;
  std::thread thread_;
};

// A loopback port on which nothing listens at the moment of the call.
std::string UnusedPort();

// /usr/bin/python3 -m aiosmtpd on a free loopback port with a handler that
// writes each message's envelope and content to `outputFile` as JSON lines.
class AiosmtpdServer {
 public:
  explicit AiosmtpdServer(const std::string& outputFile);
  ~AiosmtpdServer();
  AiosmtpdServer(const AiosmtpdServer&) = delete;
  AiosmtpdServer& operator=(const AiosmtpdServer&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& failure() const { return failure_; }
  std::string port() const { return std::to_string(port_); }

 private:
  int pid_ = 0;
  int port_ = 0;
  std::string failure_;
};

// A private Postfix instance (its own configuration, queue and mail under
// `folder`, none of the system's) on a free loopback port, run as the test's
// child: master(8) with -d, after "postfix check" has made the queue. It wants
// a fully qualified HELO (reject_non_fqdn_helo_hostname), refuses 8-bit text
// not declared (strict_8bitmime), relays nowhere, adds no Date or Message-ID
// for its clients, and delivers ops@ and desk@corp.example to maildirs
// `folder`/mail/ops and /desk; other corp.example addresses are unknown users.
// Postfix's master must start as root; otherwise it is not running.
class PostfixServer {
 public:
  explicit PostfixServer(const std::string& folder);
  ~PostfixServer();
  PostfixServer(const PostfixServer&) = delete;
  PostfixServer& operator=(const PostfixServer&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& failure() const { return failure_; }
  std::string port() const { return std::to_string(port_); }
  // The messages delivered to `mailbox` ("ops", "desk") as stored (LF line
  // ends), once `count` have come or `limit` has passed.
  std::vector<std::string> Delivered(const std::string& mailbox, std::size_t count,
                                     std::chrono::milliseconds limit) const;
  // Postfix's own log, for failure messages.
  std::string Log() const;

 private:
  std::string folder_;
  int pid_ = 0;
  int port_ = 0;
  std::string failure_;
};

}  // namespace quillon::engine::smtp_test
