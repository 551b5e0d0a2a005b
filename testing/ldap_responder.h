// A scripted LDAP server on loopback for the cases slapd cannot show: it
// answers any bind, names a base, and hands out a subtree search's entries in
// pages whose cookie never changes, as some directory servers do. Test code.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace quillon::platform::ldap_test {

struct ResponderOptions {
  std::string base = "dc=corp,dc=example";
  // The print queues' "name" values; each gets the share name "S<index>".
  std::vector<std::string> queueNames;
  std::string cookie = "same-cookie";  // sent with every page but the last
  // Pages before which one empty page (no entries, cookie set) is sent.
  std::vector<int> emptyPagesBefore;
  bool endless = false;  // never send the last page: start the list again
};

class LdapResponder {
 public:
  explicit LdapResponder(ResponderOptions options);
  ~LdapResponder();
  LdapResponder(const LdapResponder&) = delete;
  LdapResponder& operator=(const LdapResponder&) = delete;

  bool listening() const { return socket_ >= 0; }
  int port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  // Subtree search requests answered so far (one per page asked for).
  int pagesServed() const { return pagesServed_.load(); }

 private:
  void Serve();
  void Converse(int connection);

  ResponderOptions options_;
  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> pagesServed_{0};
  std::thread thread_;
};

}  // namespace quillon::platform::ldap_test
