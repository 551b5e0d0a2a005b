// Times one probe of the print servers named on the command line, on one port.
// Usage: server_probe_bench.exe PORT SERVER... Prints each answer and the
// whole probe's time in milliseconds on the last line.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/server_probe_win32.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: server_probe_bench PORT SERVER...\n");
    return 2;
  }
  const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
  const std::vector<std::string> servers(argv + 2, argv + argc);
  const auto start = std::chrono::steady_clock::now();
  const auto probed = quillon::platform::win32::ProbePrintServers(
      servers, {port}, quillon::platform::kServerProbeTimeoutMs);
  const auto took = std::chrono::duration<double, std::milli>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  for (const auto& answer : probed) {
    std::printf("%s %s %u\n", answer.server.c_str(), answer.answers ? "answers" : "no-answer",
                answer.milliseconds);
  }
  std::printf("total %.1f\n", took);
  return 0;
}
