// Process facts on Windows hosts.
#include "platform/host/windows_api.h"
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <streambuf>

#include "platform/file_system.h"
#include "platform/host/process.h"
#include "platform/text.h"

namespace quillon::platform {

std::string CommandLineText(int, char**) {
  // The text after the program name, as the system hands it over: a quoted
  // program name ends at its closing quote, a plain one at the first blank.
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    ++line;
    while (*line && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return win32::Utf8(line);
}

std::vector<std::string> CommandLineArguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(win32::Utf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

namespace {

// UTF-8 text to a console through WriteConsoleW, or to the C runtime's
// stream (a file or pipe) in the ANSI code page or as it is. Text is passed
// on at each flush, whole characters only, so a character never splits in two.
class StandardStreamBuffer : public std::streambuf {
 public:
  StandardStreamBuffer(std::FILE* stream, DWORD handleId, bool utf8)
      : stream_(stream), console_(GetStdHandle(handleId)), utf8_(utf8) {
    DWORD mode = 0;
    if (console_ == INVALID_HANDLE_VALUE || !GetConsoleMode(console_, &mode)) console_ = nullptr;
  }

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return sync() == 0 ? 0 : c;
    pending_ += traits_type::to_char_type(c);
    if (c == '\n' || pending_.size() >= 4096) return sync() == 0 ? c : traits_type::eof();
    return c;
  }
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    pending_.append(text, static_cast<std::size_t>(count));
    if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos) {
      if (sync() != 0) return 0;
    }
    return count;
  }
  int sync() override {
    // A character cut at the end waits for its remaining bytes.
    std::size_t whole = pending_.size();
    for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
      const auto byte = static_cast<unsigned char>(pending_[pending_.size() - back]);
      if ((byte & 0xC0) == 0x80) continue;
      const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
      if (length > back) whole = pending_.size() - back;
      break;
    }
    const std::string text = pending_.substr(0, whole);
    pending_.erase(0, whole);
    if (text.empty()) return 0;
    if (console_) {
      const std::wstring wide = win32::Wide(text);
      for (std::size_t done = 0; done < wide.size();) {
        DWORD written = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(wide.size() - done, 8192));
        if (!WriteConsoleW(console_, wide.data() + done, chunk, &written, nullptr) ||
            written == 0) {
          return -1;
        }
        done += written;
      }
      return 0;
    }
    const std::string bytes = utf8_ ? text : NarrowToCodePage(text).text;
    if (std::fwrite(bytes.data(), 1, bytes.size(), stream_) != bytes.size()) return -1;
    return std::fflush(stream_) == 0 ? 0 : -1;
  }

 private:
  std::FILE* stream_;
  HANDLE console_;
  bool utf8_;
  std::string pending_;
};

}  // namespace

void UseUtf8StandardStreams(bool outputIsUtf8) {
  static StandardStreamBuffer output(stdout, STD_OUTPUT_HANDLE, outputIsUtf8);
  static StandardStreamBuffer error(stderr, STD_ERROR_HANDLE, false);
  std::cout.flush();
  std::cerr.flush();
  std::cout.rdbuf(&output);
  std::cerr.rdbuf(&error);
  // std::cerr writes through at once, as before.
  std::cerr.setf(std::ios::unitbuf);
}

std::string RunningProgramFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);  // characters
  return ParentFolder(win32::Utf8(std::wstring_view(path, length)));
}

std::string HostComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;  // characters
  if (!GetComputerNameW(name, &size)) return "LOCALHOST";
  return win32::Utf8(std::wstring_view(name, size));
}

std::string HostLoginName() {
  wchar_t name[257] = {};
  DWORD size = 257;  // characters
  if (!GetUserNameW(name, &size)) return "user";
  return win32::Utf8(name);
}

std::optional<std::string> ReadMountTable() { return std::nullopt; }

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

void WriteOutputLine(const std::string& line) {
  const std::string text = line + "\r\n";
  DWORD written = 0;
  // Redirected to a file or a pipe, a GUI-subsystem program still has the handle.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output && output != INVALID_HANDLE_VALUE &&
      WriteFile(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    return;
  }
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  HANDLE console = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (console != INVALID_HANDLE_VALUE) {
    WriteFile(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(console);
  }
  FreeConsole();
}

void SleepMilliseconds(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

}  // namespace quillon::platform
