// A throw-away OpenLDAP server for the directory tests and the benchmark: its
// own configuration, test schema and database in a fresh temporary folder, on
// a free loopback port; stopped, and its folder removed, when the object goes.
#pragma once

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "testing/require_server.h"
#include "testing/test_process.h"

namespace quillon::platform::ldap_test {

struct SlapdEntry {
  std::string dn;
  std::vector<std::pair<std::string, std::string>> attributes;  // in the order written
};

// A printQueue entry named `name` (its cn and, unless `withName` is false, its
// name attribute) under `parentDn`, with the share names in this order.
SlapdEntry PrintQueueEntry(const std::string& parentDn, const std::string& name,
                           const std::vector<std::string>& shareNames, bool withName = true);
SlapdEntry OrganizationalUnitEntry(const std::string& parentDn, const std::string& ou);
// An account as the directory's users and computers have one: cn `name`,
// sAMAccountName `name` (with "$" for a computer).
SlapdEntry AccountEntry(const std::string& parentDn, const std::string& name, bool computer = false);
// A security group: cn and sAMAccountName `name`, these member DNs.
SlapdEntry GroupEntry(const std::string& parentDn, const std::string& name,
                      const std::vector<std::string>& members = {});

struct SlapdOptions {
  // One database per suffix, in this order (the root DSE's namingContexts).
  // Each suffix's own entry is created.
  std::vector<std::string> suffixes{"dc=corp,dc=example"};
  // Published in the root DSE when not empty.
  std::string defaultNamingContext;
  // Loaded in this order, parents first; each lies under one of the suffixes.
  std::vector<SlapdEntry> entries;
  // Entries one unpaged search may return (anonymous searches).
  int sizeLimit = 1000;
  // The memberOf overlay on every database: groups added through the running
  // server (Add, AddValues) give their members memberOf values.
  bool memberOf = false;
};

class SlapdFixture {
 public:
  explicit SlapdFixture(SlapdOptions options = {});
  ~SlapdFixture();
  SlapdFixture(const SlapdFixture&) = delete;
  SlapdFixture& operator=(const SlapdFixture&) = delete;

  bool running() const { return pid_ > 0; }
  // Why the server is not running.
  const std::string& failure() const { return failure_; }
  // Whether the slapd program is installed at all.
  static bool Installed();

  int port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url() const { return "ldap://" + HostPort(); }

  // Changes through the running server as its suffix's administrator, so that
  // overlays see them (slapadd's loading does not): "" or why it failed.
  std::string Add(const SlapdEntry& entry);
  // Adds these values to the existing entry `change.dn`.
  std::string AddValues(const SlapdEntry& change);

 private:
  bool Prepare(const SlapdOptions& options);
  bool Load(const SlapdOptions& options);
  bool Launch();
  void Stop();

  std::string Change(const SlapdEntry& entry, bool add);

  std::vector<std::string> suffixes_;
  std::string folder_;
  int pid_ = 0;
  int port_ = 0;
  std::string failure_;
};

// Shared with the other server tests.
using test_process::ScopedEnvironment;
using test_process::SilentServer;
using test_process::UnusedLoopbackPort;

}  // namespace quillon::platform::ldap_test
