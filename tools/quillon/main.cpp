// quillon: the administrator's command line beside the engine.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "tools/quillon/quillon_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
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
