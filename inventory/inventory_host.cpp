// InventoryHost: picks the driver source once, at start.
#include "inventory/inventory_host.h"

#include "platform/sim/sim_driver_info.h"
#include "platform/sim/sim_platform.h"
#ifdef _WIN32
#include "platform/win32/driver_info_win32.h"
#else
#include "platform/cups/cups_driver_info.h"
#endif

namespace quillon::inventory {

std::unique_ptr<InventoryHost> InventoryHost::Open(const std::string& clientPath,
                                                   std::string* error) {
  std::unique_ptr<InventoryHost> host(new InventoryHost());
  if (clientPath.empty()) {
#ifdef _WIN32
    host->drivers_ = std::make_unique<platform::win32::Win32DriverInfoSource>();
#else
    host->drivers_ = std::make_unique<platform::cups::CupsDriverInfoSource>();
#endif
    return host;
  }
  platform::sim::LoadResult loaded = platform::sim::LoadClient(clientPath);
  if (!loaded.ok) {
    if (error) *error = loaded.error;
    return nullptr;
  }
  host->client_ = std::move(loaded.state);
  host->simFiles_ =
      std::make_unique<platform::sim::SimFileSystem>(host->hostFiles_, *host->client_);
  host->drivers_ = std::make_unique<platform::sim::SimDriverInfoSource>(*host->client_);
  return host;
}

}  // namespace quillon::inventory
