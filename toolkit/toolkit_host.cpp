#include "toolkit/toolkit_host.h"

#include <cstdlib>

namespace quillon::toolkit {

std::unique_ptr<ToolkitHost> ToolkitHost::Open(const std::string& clientPath, std::string* error) {
  std::unique_ptr<ToolkitHost> host(new ToolkitHost());
  if (clientPath.empty()) return host;
  platform::sim::LoadResult loaded = platform::sim::LoadClient(clientPath);
  if (!loaded.ok) {
    if (error) *error = loaded.error;
    return nullptr;
  }
  host->state_ = std::move(loaded.state);
  platform::sim::SimHost simHost;
  simHost.clientPath = clientPath;
  simHost.echoMessageBoxes = false;
  simHost.realDirectory = &host->ldap_;
  host->client_ = std::make_unique<platform::sim::SimPlatform>(*host->state_, std::move(simHost),
                                                               host->files_, host->clock_);
  return host;
}

std::unique_ptr<ToolkitHost> ToolkitHost::FromEnvironment(std::string* error) {
  const char* client = std::getenv(kClientVariable);
  return Open(client ? client : "", error);
}

}  // namespace quillon::toolkit
