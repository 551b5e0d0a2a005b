// quillon: the administrator's command line beside the engine.
#include <iostream>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "tools/quillon/quillon_cli.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  quillon::platform::HostFileSystem files;
  return quillon::tools::RunQuillon(args, files, std::cout, std::cerr);
}
