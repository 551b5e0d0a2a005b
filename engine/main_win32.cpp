// QuillonEngine on Windows: one migration run on this computer's own spooler,
// registry, files and directory, then exit. A GUI-subsystem program, so that a
// logon script opens no console; its only windows are the progress window and
// the message boxes.
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/driver_staging.h"
#include "platform/host/process.h"
#include "platform/win32/platform_win32.h"
#include "quillon_version.h"

int main(int argc, char** argv) {
  if (quillon::engine::AsksForVersion(quillon::platform::CommandLineText(argc, argv))) {
    quillon::platform::WriteOutputLine(std::string("QuillonEngine ") + quillon::kVersion);
    return 0;
  }
  quillon::platform::win32::Win32Platform client;
  quillon::platform::Platform services = client.AsPlatform();
  quillon::engine::RunContext context(services);
  const std::string commandLine = quillon::platform::CommandLineText(argc, argv);
  if (auto staging = quillon::engine::StagingCommandLine(commandLine)) {
    return quillon::engine::RunStagingEngine(context, *staging);
  }
  quillon::engine::RunEngine(context, commandLine);
  return 0;
}
