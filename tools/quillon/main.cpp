// quillon: the administrator's command line beside the engine.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "platform/host/process.h"
#include "tools/quillon/quillon_cli.h"

namespace {

// JSON (check --json, plan --json, snapshot) and CSV are UTF-8 wherever they
// go; plain text to a file or pipe is the host's text for other programs.
bool OutputIsUtf8(const std::vector<std::string>& args) {
  if (!args.empty() && args.front() == "snapshot") return true;
  for (const std::string& arg : args) {
    if (arg == "--json" || arg == "--csv") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args = quillon::platform::CommandLineArguments(argc, argv);
  quillon::platform::UseUtf8StandardStreams(OutputIsUtf8(args));
  quillon::platform::HostFileSystem files;
  const int code = quillon::tools::RunQuillon(args, files, std::cout, std::cerr);
  // A script that keeps the CSV or JSON must not take a cut output (a full
  // disk) for a whole one.
  std::cout.flush();
  if (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::cerr << "quillon: the output could not be written whole\n";
    return 2;
  }
  return code;
}
