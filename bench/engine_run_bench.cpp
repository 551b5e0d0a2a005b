// Times whole QuillonEngine processes, start to exit, on an empty simulated
// client with a document whose methods and progress window are off.
// Usage: engine_run_bench [runs]
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const fs::path folder = fs::temp_directory_path() / "quillon-engine-run-bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  // The engine runs from its own copy, as it does from a deployment share.
  const fs::path engine = folder / "QuillonEngine";
  fs::copy_file(QUILLON_ENGINE_PATH, engine);
  const fs::path document = folder / "all-off.ini";
  fs::copy_file(fs::path(QUILLON_EXAMPLES_DIR) / "bench" / "all-off.ini", document);
  const std::string client = "QUILLON_CLIENT=" + (folder / "client.json").string();

  std::vector<char*> environment;
  for (char** entry = environ; *entry; ++entry) {
    if (std::string(*entry).rfind("QUILLON_CLIENT=", 0) != 0) environment.push_back(*entry);
  }
  environment.push_back(const_cast<char*>(client.c_str()));
  environment.push_back(nullptr);

  std::string enginePath = engine.string(), documentPath = document.string();
  char* arguments[] = {enginePath.data(), documentPath.data(), nullptr};
  std::vector<double> milliseconds;
  for (int i = 0; i < runs; ++i) {
    auto start = std::chrono::steady_clock::now();
    pid_t child;
    if (posix_spawn(&child, enginePath.c_str(), nullptr, nullptr, arguments,
                    environment.data()) != 0) {
      std::perror("posix_spawn");
      return 1;
    }
    int status = 0;
    waitpid(child, &status, 0);
    auto stop = std::chrono::steady_clock::now();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "engine run %d failed (status %d)\n", i, status);
      return 1;
    }
    milliseconds.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
  }
  std::sort(milliseconds.begin(), milliseconds.end());
  const double median = milliseconds[milliseconds.size() / 2];
  const double p90 = milliseconds[milliseconds.size() * 9 / 10];
  std::printf("engine run, process start to exit, %d runs: median %.2f ms, p90 %.2f ms, "
              "max %.2f ms (target: under 20 ms) %s\n",
              runs, median, p90, milliseconds.back(), median < 20.0 ? "PASS" : "FAIL");
  fs::remove_all(folder);
  return 0;
}
