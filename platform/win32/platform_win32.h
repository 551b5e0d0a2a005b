// The real Windows client: one object that owns a Windows implementation of
// every service of the seam and hands the engine the bundle.
#pragma once

#include <memory>

#include "platform/host/host_file_system.h"
#include "platform/ldap/ldap_directory.h"
#include "platform/platform.h"
#include "platform/win32/clock_win32.h"
#include "platform/win32/event_log_win32.h"
#include "platform/win32/profile_strings_win32.h"
#include "platform/win32/registry_win32.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"
#include "platform/win32/user_interface_win32.h"

namespace quillon::platform::win32 {

class Win32Platform {
 public:
  Win32Platform();
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Platform AsPlatform();

 private:
  Win32SystemInfo system_;
  Win32Registry registry_;
  Win32ProfileStrings profileStrings_;
  HostFileSystem files_;
  Win32UserInterface ui_;
  Win32Clock clock_;
  Win32Spooler spooler_;
  LdapDirectory directory_;
  Win32EventLog eventLog_;
  std::unique_ptr<net::Network> network_;
};

}  // namespace quillon::platform::win32
