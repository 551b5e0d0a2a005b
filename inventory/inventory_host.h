// Where the inventory's printers and files come from: the simulated client
// named by QUILLON_CLIENT, or else the computer's own print system (the
// Windows spooler, or CUPS on other hosts).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/driver_info.h"
#include "platform/file_system.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_client.h"

namespace quillon::inventory {

class InventoryHost {
 public:
  // `clientPath`: the simulated client's file, or empty for the host's printers.
  // A client file that cannot be read gives null and the reason in `error`.
  // The inventory only reads a client: the file is never written back, as
  // nothing the inventory does belongs in it (its dialogs are real ones).
  static std::unique_ptr<InventoryHost> Open(const std::string& clientPath, std::string* error);

  platform::DriverInfoSource& drivers() { return *drivers_; }
  // Copies on a simulated client honour its injected "CopyFile" failures.
  platform::FileSystem& files() { return simFiles_ ? *simFiles_ : hostFiles_; }
  bool simulated() const { return client_.has_value(); }

 private:
  InventoryHost() = default;

  platform::HostFileSystem hostFiles_;
  std::optional<platform::sim::SimClientState> client_;
  std::unique_ptr<platform::FileSystem> simFiles_;
  std::unique_ptr<platform::DriverInfoSource> drivers_;
};

}  // namespace quillon::inventory
