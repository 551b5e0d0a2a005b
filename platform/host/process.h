// Facts about the running process that come from the host itself, whatever
// client (real or simulated) the engine works on.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quillon::platform {

// The command line after the program name: on Windows as the system hands it
// over, on POSIX the arguments joined by single blanks.
std::string CommandLineText(int argc, char** argv);
// The program's arguments after its name, in UTF-8 (on Windows taken from the
// wide command line, since argv holds them in the ANSI code page).
std::vector<std::string> CommandLineArguments(int argc, char** argv);
// Lets std::cout and std::cerr take UTF-8 text. On Windows a console shows
// every character; output redirected to a file or pipe is converted to the
// ANSI code page, as the system's own programs write, unless `outputIsUtf8`
// (JSON, CSV), which concerns std::cout only. Nothing changes on POSIX.
void UseUtf8StandardStreams(bool outputIsUtf8);
// The folder that holds the running program file.
std::string RunningProgramFolder();
// Host computer and login names, the simulated client's defaults.
std::string HostComputerName();
std::string HostLoginName();
// The system's table of mounted file systems (/proc/mounts, else /etc/mtab),
// empty when neither can be read; nullopt on Windows, which names network
// folders by their shares and has no such table.
std::optional<std::string> ReadMountTable();
bool StandardErrorIsTerminal();
void SleepMilliseconds(int milliseconds);
// Writes a line of ASCII text where whoever started the program sees it: its
// standard output, or for a Windows program without a console (the engine,
// the windowed programs) the console of the command prompt that started it.
void WriteOutputLine(const std::string& line);

}  // namespace quillon::platform
