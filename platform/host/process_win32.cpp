// Process facts on Windows hosts.
#include "platform/host/windows_api.h"
#include <io.h>

#include <cstdio>

#include "platform/file_system.h"
#include "platform/host/process.h"

namespace quillon::platform {

std::string CommandLineText(int, char**) {
  // The text after the program name, as the system hands it over: a quoted
  // program name ends at its closing quote, a plain one at the first blank.
  const char* line = GetCommandLineA();
  if (*line == '"') {
    ++line;
    while (*line && *line != '"') ++line;
    if (*line == '"') ++line;
  } else {
    while (*line && *line != ' ' && *line != '\t') ++line;
  }
  while (*line == ' ' || *line == '\t') ++line;
  return line;
}

std::string RunningProgramFolder() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return ParentFolder(std::string(path, length));
}

std::string HostComputerName() {
  char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof name;
  if (!GetComputerNameA(name, &size)) return "LOCALHOST";
  return std::string(name, size);
}

std::string HostLoginName() {
  char name[257] = {};
  DWORD size = sizeof name;
  if (!GetUserNameA(name, &size)) return "user";
  return name;
}

std::optional<std::string> ReadMountTable() { return std::nullopt; }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void SleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace quillon::platform
