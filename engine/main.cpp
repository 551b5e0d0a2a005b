// QuillonEngine: one migration run on this client, then exit.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "platform/sim/sim_platform.h"
#include "quillon_version.h"
#ifndef _WIN32
#include "platform/ldap/ldap_directory.h"
#endif

int main(int argc, char** argv) {
  namespace platform = quillon::platform;
  namespace sim = quillon::platform::sim;

  if (quillon::engine::AsksForVersion(platform::CommandLineText(argc, argv))) {
    std::cout << "QuillonEngine " << quillon::kVersion << "\n";
    return 0;
  }
  const std::string clientPath = sim::DefaultClientPath();
  sim::LoadResult loaded = sim::LoadClient(clientPath);
  if (!loaded.ok) {
    std::cerr << "QuillonEngine: " << loaded.error << "\n";
    return 2;
  }

  platform::HostFileSystem files;
  platform::HostClock clock;
  sim::SimHost host;
  host.clientPath = clientPath;
  host.programFolder = platform::RunningProgramFolder();
  host.hostComputerName = platform::HostComputerName();
  host.hostLoginName = platform::HostLoginName();
  host.echoProgress = platform::StandardErrorIsTerminal();
#ifndef _WIN32
  // A client file without a "directory" key is answered by the real directory.
  platform::LdapDirectory directory;
  host.realDirectory = &directory;
#endif
  // The client file's "elevated" is the logon user's; a start-up script runs as
  // the system account. QUILLON_ELEVATED=1 (or 0) says which account this run
  // has, without changing the file.
  const std::optional<bool> fileElevated = loaded.state.elevated;
  if (const char* elevated = std::getenv("QUILLON_ELEVATED"); elevated && *elevated) {
    loaded.state.elevated = std::string(elevated) != "0";
  }
  sim::SimPlatform client(loaded.state, host, files, clock);
  platform::Platform services = client.AsPlatform();

  quillon::engine::RunContext context(services);
  const std::string commandLine = platform::CommandLineText(argc, argv);
  int status = 0;
  if (auto staging = quillon::engine::StagingCommandLine(commandLine)) {
    status = quillon::engine::RunStagingEngine(context, *staging);
  } else {
    quillon::engine::RunEngine(context, commandLine);
  }

  loaded.state.elevated = fileElevated;
  std::string error;
  if (!sim::SaveClient(clientPath, loaded.state, &error)) {
    std::cerr << "QuillonEngine: " << error << "\n";
    return 1;
  }
  return status;
}
