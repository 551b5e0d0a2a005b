// Process facts on POSIX hosts.
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/file_system.h"
#include "platform/host/process.h"

namespace quillon::platform {

std::string CommandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

std::string RunningProgramFolder() {
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec).string();
  return ParentFolder(exe.string());
}

std::string HostComputerName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "LOCALHOST";
  return name;
}

std::string HostLoginName() {
  if (const char* user = std::getenv("USER"); user && *user) return user;
  if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) return entry->pw_name;
  return "user";
}

std::optional<std::string> ReadMountTable() {
  for (const char* table : {"/proc/mounts", "/etc/mtab"}) {
    // /proc files report no size: read as a stream.
    std::ifstream file(table, std::ios::binary);
    if (!file) continue;
    std::ostringstream text;
    text << file.rdbuf();
    if (!text.str().empty()) return text.str();
  }
  return std::string();
}

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void UseUtf8StandardStreams(bool) {}

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

void WriteOutputLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void SleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quillon::platform
