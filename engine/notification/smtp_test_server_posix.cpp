#include <arpa/inet.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/notification/smtp_test_server.h"
#include "testing/test_process.h"

namespace quillon::engine::smtp_test {
namespace {

// No script step waits longer than this for the client.
constexpr int kReadLimitMs = 10000;

int ListenOnLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(fd, 4) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(address.sin_port);
  return fd;
}

// Reads until `done` says the buffer holds what is wanted; false on close or time-out.
template <typename Done>
bool ReadUntil(int fd, std::string& buffer, Done done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(kReadLimitMs);
  while (!done(buffer)) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        limit - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[4096];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    buffer.append(chunk, static_cast<std::size_t>(got));
  }
  return true;
}

}  // namespace

ServerAction Send(std::string text) { return {ServerAction::kSend, std::move(text), 0}; }
ServerAction Pause(int milliseconds) { return {ServerAction::kPause, {}, milliseconds}; }
ServerAction ReadLine() { return {ServerAction::kReadLine, {}, 0}; }
ServerAction ReadData() { return {ServerAction::kReadData, {}, 0}; }
ServerAction Close() { return {ServerAction::kClose, {}, 0}; }
ServerAction Reset() { return {ServerAction::kReset, {}, 0}; }
ServerAction WaitForClose() { return {ServerAction::kWaitForClose, {}, 0}; }

std::vector<ServerAction> WillingServer(int recipients) {
  std::vector<ServerAction> script = {Send("220 mail.example ready\r\n"), ReadLine(),
                                      Send("250 mail.example\r\n"),       ReadLine(),
                                      Send("250 2.1.0 Ok\r\n")};
  for (int i = 0; i < recipients; ++i) {
    script.push_back(ReadLine());
    script.push_back(Send("250 2.1.5 Ok\r\n"));
  }
  for (ServerAction action : {ReadLine(), Send("354 End data with <CR><LF>.<CR><LF>\r\n"),
                              ReadData(), Send("250 2.0.0 Ok: queued\r\n"), ReadLine(),
                              Send("221 2.0.0 Bye\r\n"), WaitForClose()}) {
    script.push_back(action);
  }
  return script;
}

ScriptedSmtpServer::ScriptedSmtpServer(std::vector<ServerAction> script) {
  listener_ = ListenOnLoopback(&port_);
  if (listener_ >= 0) thread_ = std::thread(&ScriptedSmtpServer::Play, this, std::move(script));
}

ScriptedSmtpServer::~ScriptedSmtpServer() {
  Join();
  if (listener_ >= 0) ::close(listener_);
}

void ScriptedSmtpServer::Join() {
  if (thread_.joinable()) thread_.join();
}

void ScriptedSmtpServer::Play(std::vector<ServerAction> script) {
  pollfd waiting{listener_, POLLIN, 0};
  if (::poll(&waiting, 1, kReadLimitMs) <= 0) return;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  accepted_ = true;
  std::string buffer;
  auto take = [&](std::size_t end, std::size_t skip) {
    received_.push_back(buffer.substr(0, end));
    buffer.erase(0, end + skip);
  };
  bool open = true;
  for (const ServerAction& action : script) {
    if (!open) break;
    switch (action.kind) {
      case ServerAction::kSend:
        ::send(fd, action.text.data(), action.text.size(), MSG_NOSIGNAL);
        break;
      case ServerAction::kPause:
        std::this_thread::sleep_for(std::chrono::milliseconds(action.milliseconds));
        break;
      case ServerAction::kReadLine:
        open = ReadUntil(fd, buffer, [](const std::string& b) {
          return b.find("\r\n") != std::string::npos;
        });
        if (open) take(buffer.find("\r\n"), 2);
        break;
      case ServerAction::kReadData: {
        // The end mark may follow the message's own last line end.
        auto end = [](const std::string& b) {
          if (b.rfind(".\r\n", 0) == 0) return std::size_t{0};
          const std::size_t at = b.find("\r\n.\r\n");
          return at == std::string::npos ? std::string::npos : at + 2;
        };
        open = ReadUntil(fd, buffer,
                         [&](const std::string& b) { return end(b) != std::string::npos; });
        if (open) take(end(buffer), 3);
        break;
      }
      case ServerAction::kClose:
        open = false;
        break;
      case ServerAction::kReset: {
        const linger abort{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        open = false;
        break;
      }
      case ServerAction::kWaitForClose:
        ReadUntil(fd, buffer, [](const std::string&) { return false; });
        open = false;
        break;
    }
  }
  if (!buffer.empty()) received_.push_back(buffer);
  ::close(fd);
}

std::string UnusedPort() { return std::to_string(platform::test_process::UnusedLoopbackPort()); }

AiosmtpdServer::AiosmtpdServer(const std::string& outputFile) {
  const char* python = "/usr/bin/python3";
  if (::access(python, X_OK) != 0) {
    failure_ = "/usr/bin/python3 is not installed";
    return;
  }
  port_ = std::stoi(UnusedPort());
  const std::string listen = "127.0.0.1:" + std::to_string(port_);
  const std::string log = outputFile + ".log";
  pid_ = platform::test_process::Spawn(
      {"/usr/bin/env", std::string("PYTHONPATH=") + QUILLON_SMTP_RECORDER_DIR, python, "-m",
       "aiosmtpd", "-n", "-l", listen, "-c", "smtp_recorder.Recorder", outputFile},
      log);
  if (pid_ < 0) {
    pid_ = 0;
    failure_ = "cannot start aiosmtpd";
    return;
  }
  const auto started =
      platform::test_process::WaitUntilListening(pid_, port_, std::chrono::seconds(15));
  if (started == platform::test_process::StartOutcome::kListening) return;
  failure_ = started == platform::test_process::StartOutcome::kExited
                 ? "aiosmtpd exited at start (is python3-aiosmtpd installed?), see " + log
                 : "aiosmtpd did not listen on " + listen + " within 15 s";
  pid_ = 0;
}

AiosmtpdServer::~AiosmtpdServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    platform::test_process::WaitFor(pid_, std::chrono::seconds(5));  // then killed outright
  }
}

namespace {

constexpr const char* kPostfix = "/usr/sbin/postfix";
// Debian's daemon_directory.
constexpr const char* kPostfixMaster = "/usr/lib/postfix/sbin/master";

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return static_cast<bool>(out);
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

PostfixServer::PostfixServer(const std::string& folder) : folder_(folder) {
  namespace fs = std::filesystem;
  if (::access(kPostfix, X_OK) != 0 || ::access(kPostfixMaster, X_OK) != 0) {
    failure_ = "postfix is not installed";
    return;
  }
  if (::geteuid() != 0) {
    failure_ = "postfix's master starts as root only; this test runs as another user";
    return;
  }
  const passwd* owner = ::getpwnam("postfix");
  if (!owner || !::getgrnam("postdrop")) {
    failure_ = "the postfix user or the postdrop group is missing";
    return;
  }
  const std::string etc = folder + "/etc", queue = folder + "/queue", data = folder + "/data",
                    mail = folder + "/mail";
  std::error_code error;
  for (const std::string& dir : {etc, queue, data, mail}) fs::create_directories(dir, error);
  // Postfix's processes run as its own user: they must reach these folders.
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec,
                  error);
  if (::chown(data.c_str(), owner->pw_uid, owner->pw_gid) != 0 ||
      ::chown(mail.c_str(), owner->pw_uid, owner->pw_gid) != 0) {
    failure_ = "cannot give " + folder + " to the postfix user";
    return;
  }
  port_ = platform::test_process::UnusedLoopbackPort();
  const std::string uid = std::to_string(owner->pw_uid), gid = std::to_string(owner->pw_gid);
  const std::string mainCf =
      "compatibility_level = 3.6\n"
      "config_directory = " + etc + "\n"
      "queue_directory = " + queue + "\n"
      "data_directory = " + data + "\n"
      "mail_owner = postfix\n"
      "setgid_group = postdrop\n"
      "myhostname = relay.quillon.test\n"
      "mydomain = quillon.test\n"
      "mydestination =\n"
      "inet_interfaces = 127.0.0.1\n"
      "inet_protocols = ipv4\n"
      // Nobody may relay, loopback clients included: a refused recipient is one
      // outside corp.example.
      "mynetworks =\n"
      "smtpd_relay_restrictions = reject_unauth_destination\n"
      "smtpd_helo_required = yes\n"
      "smtpd_helo_restrictions = reject_invalid_helo_hostname, reject_non_fqdn_helo_hostname\n"
      "strict_8bitmime = yes\n"
      // As for mail from any other machine: the sender's own headers or none.
      "local_header_rewrite_clients =\n"
      "virtual_mailbox_domains = corp.example\n"
      "virtual_mailbox_base = " + mail + "\n"
      "virtual_mailbox_maps = texthash:" + etc + "/mailboxes\n"
      "virtual_uid_maps = static:" + uid + "\n"
      "virtual_gid_maps = static:" + gid + "\n"
      "virtual_minimum_uid = 1\n"
      "alias_maps =\n"
      "alias_database =\n"
      "local_recipient_maps =\n"
      "fast_flush_domains =\n"
      "biff = no\n"
      "smtputf8_enable = no\n"
      "maillog_file = " + folder + "/maillog\n"
      "maillog_file_prefixes = " + folder + "\n";
  // Only what a delivery on this machine needs; no pickup, no chroot.
  const std::string masterCf =
      "127.0.0.1:" + std::to_string(port_) + " inet n - n - - smtpd\n"
      "cleanup unix n - n - 0 cleanup\n"
      "qmgr unix n - n 300 1 qmgr\n"
      "rewrite unix - - n - - trivial-rewrite\n"
      "bounce unix - - n - 0 bounce\n"
      "defer unix - - n - 0 bounce\n"
      "trace unix - - n - 0 bounce\n"
      "verify unix - - n - 1 verify\n"
      "proxymap unix - - n - - proxymap\n"
      "anvil unix - - n - 1 anvil\n"
      "scache unix - - n - 1 scache\n"
      "virtual unix - n n - - virtual\n"
      "error unix - - n - - error\n"
      "retry unix - - n - - error\n"
      "discard unix - - n - - discard\n"
      "postlog unix-dgram n - n - 1 postlogd\n";
  if (!WriteText(etc + "/main.cf", mainCf) || !WriteText(etc + "/master.cf", masterCf) ||
      !WriteText(etc + "/mailboxes", "ops@corp.example ops/\ndesk@corp.example desk/\n")) {
    failure_ = "cannot write postfix's configuration in " + etc;
    return;
  }
  // "postfix check" makes the queue's folders with their owners and modes.
  const std::string log = folder + "/postfix.log";
  const int check = platform::test_process::Spawn({kPostfix, "-c", etc, "check"}, log);
  if (check < 0 || platform::test_process::WaitFor(check, std::chrono::seconds(60)) != 0) {
    failure_ = "postfix check failed: " + ReadText(folder + "/maillog") + ReadText(log);
    return;
  }
  pid_ = platform::test_process::Spawn({kPostfixMaster, "-c", etc, "-d"}, log);
  if (pid_ < 0) {
    pid_ = 0;
    failure_ = "cannot start postfix's master";
    return;
  }
  const auto started =
      platform::test_process::WaitUntilListening(pid_, port_, std::chrono::seconds(30));
  if (started == platform::test_process::StartOutcome::kListening) return;
  failure_ = (started == platform::test_process::StartOutcome::kExited
                  ? "postfix's master exited at start: "
                  : "postfix did not listen on 127.0.0.1:" + port() + " within 30 s: ") +
             ReadText(folder + "/maillog") + ReadText(log);
  pid_ = 0;
}

PostfixServer::~PostfixServer() {
  if (pid_ > 0) {
    // The master stops its children before it exits.
    ::kill(pid_, SIGTERM);
    platform::test_process::WaitFor(pid_, std::chrono::seconds(10));  // then killed outright
  }
}

std::vector<std::string> PostfixServer::Delivered(const std::string& mailbox, std::size_t count,
                                                  std::chrono::milliseconds limit) const {
  namespace fs = std::filesystem;
  const fs::path folder = fs::path(folder_) / "mail" / mailbox / "new";
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::vector<std::string> names;
  for (;;) {
    names.clear();
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      names.push_back(it->path().string());
    }
    if (names.size() >= count || std::chrono::steady_clock::now() > deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Maildir names begin with the delivery time: their order is the arrival order.
  std::sort(names.begin(), names.end());
  std::vector<std::string> messages;
  for (const std::string& name : names) messages.push_back(ReadText(name));
  return messages;
}

std::string PostfixServer::Log() const { return ReadText(folder_ + "/maillog"); }

}  // namespace quillon::engine::smtp_test
