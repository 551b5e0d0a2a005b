// Where the toolkit's directory comes from: the simulated client named by
// QUILLON_CLIENT (its "directory" key; a client file without one leaves the
// question to the real directory, as the engine does), or else the real
// directory over LDAP with the administrator's own credentials: Negotiate
// through wldap32 on Windows, Kerberos (GSSAPI) then anonymous on Linux.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/directory.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/ldap/ldap_directory.h"
#include "platform/sim/sim_platform.h"

namespace quillon::toolkit {

inline constexpr const char* kClientVariable = "QUILLON_CLIENT";

class ToolkitHost {
 public:
  // `clientPath`: the simulated client's file, or empty for the real
  // directory. A client file that cannot be read gives null and the reason
  // in `error`. The file is only read: nothing the toolkit does belongs in it.
  static std::unique_ptr<ToolkitHost> Open(const std::string& clientPath, std::string* error);
  // As Open, with the file that QUILLON_CLIENT names (unset or empty: none).
  static std::unique_ptr<ToolkitHost> FromEnvironment(std::string* error);

  ToolkitHost(const ToolkitHost&) = delete;
  ToolkitHost& operator=(const ToolkitHost&) = delete;

  platform::Directory& directory() {
    return client_ ? static_cast<platform::Directory&>(*client_) : ldap_;
  }
  bool simulated() const { return client_ != nullptr; }

 private:
  ToolkitHost() = default;

  platform::LdapDirectory ldap_;
  platform::HostFileSystem files_;
  platform::HostClock clock_;
  std::optional<platform::sim::SimClientState> state_;
  std::unique_ptr<platform::sim::SimPlatform> client_;
};

}  // namespace quillon::toolkit
