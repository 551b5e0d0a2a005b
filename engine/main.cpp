// QuillonEngine: one migration run on this client, then exit.
#include <iostream>

#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "platform/sim/sim_platform.h"
#ifndef _WIN32
#include "platform/ldap/ldap_directory.h"
#endif

int main(int argc, char** argv) {
  namespace platform = quillon::platform;
  namespace sim = quillon::platform::sim;

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

  std::string error;
  if (!sim::SaveClient(clientPath, loaded.state, &error)) {
    std::cerr << "QuillonEngine: " << error << "\n";
    return 1;
  }
  return status;
}
