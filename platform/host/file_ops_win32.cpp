// File operations on Windows through the wide entry points: paths are UTF-8
// inside and UTF-16 for the system, which the C runtime's fopen would read in
// the ANSI code page instead.
#include "platform/host/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <random>

#include "platform/file_system.h"
#include "platform/host/file_ops.h"
#include "platform/host/host_file_system.h"

namespace quillon::platform {
namespace {

using win32::Wide;

Status LastErrorStatus(const std::string& what) {
  const DWORD number = GetLastError();
  wchar_t text[512] = {};  // characters
  DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, number, 0, text, 512, nullptr);
  while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n' ||
                        text[length - 1] == L' ')) {
    text[--length] = L'\0';
  }
  std::string description = length > 0 ? win32::Utf8(std::wstring_view(text, length))
                                        : "error " + std::to_string(number);
  return Status::Error(number, what + ": " + description);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

// Every file in `folder` ("." when empty), "." and ".." included.
HANDLE FindFirst(const std::string& folder, WIN32_FIND_DATAW& found) {
  return FindFirstFileW(Wide(JoinPath(folder.empty() ? "." : folder, "*")).c_str(), &found);
}

}  // namespace

// A virus scanner or the indexer opens a file just written, and the old one,
// for a moment without sharing its deletion: the rename meets a sharing
// violation or access denied. It is tried again in short pauses for about a
// second before the failure stands.
Status ReplaceFile(const std::string& from, const std::string& to) {
  constexpr int kPauseMilliseconds = 50;
  constexpr int kPauses = 20;
  for (int pause = 0;; ++pause) {
    if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Status::Ok();
    }
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || pause == kPauses) {
      return LastErrorStatus("Renaming " + from + " to " + to);
    }
    Sleep(kPauseMilliseconds);
  }
}

namespace file_ops {

bool IsRegularFile(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDirectory(const std::string& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListRegularFiles(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirst(folder, found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      names.push_back(win32::Utf8(found.cFileName));
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::vector<std::string> ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirst(folder, found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = win32::Utf8(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") {
      names.push_back(name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirst(folder, found);
  if (search == INVALID_HANDLE_VALUE) {
    // A drive's empty root has not even "." and "..".
    if (GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder)) {
      return std::vector<FolderEntry>{};
    }
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  do {
    const std::string name = win32::Utf8(found.cFileName);
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = name;
    const DWORD attributes = found.dwFileAttributes;
    // Links and junctions are neither read nor entered: one may lead out of
    // the folder (to a private file) or above it (an endless walk).
    entry.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (entry.link) {
      entry.kind = FolderEntry::Kind::Other;
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      entry.kind = FolderEntry::Kind::Folder;
    } else if (!(attributes & FILE_ATTRIBUTE_DEVICE)) {
      entry.kind = FolderEntry::Kind::File;
      entry.size = (static_cast<std::uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    SYSTEMTIME utc{}, local{};
    if (FileTimeToSystemTime(&found.ftLastWriteTime, &utc) &&
        SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) {
      entry.modified = LocalTime{local.wYear, local.wMonth, local.wDay,
                                 local.wHour, local.wMinute, local.wSecond};
    }
    entries.push_back(std::move(entry));
  } while (FindNextFileW(search, &found));
  const bool broken = GetLastError() != ERROR_NO_MORE_FILES;
  FindClose(search);
  if (broken) return std::nullopt;
  return entries;
}

std::vector<std::string> ListDrives() {
  std::vector<std::string> drives;
  const DWORD mask = GetLogicalDrives();
  for (int letter = 0; letter < 26; ++letter) {
    if (mask & (1U << letter)) drives.push_back(std::string(1, static_cast<char>('A' + letter)) + ":");
  }
  return drives;
}

Status CreateFolders(const std::string& path) {
  if (path.empty() || IsDirectory(path)) return Status::Ok();
  const std::string parent = ParentFolder(path);
  if (parent != path && parent != "." && !IsDirectory(parent)) {
    Status status = CreateFolders(parent);
    if (!status.ok) return status;
  }
  if (!CreateDirectoryW(Wide(path).c_str(), nullptr) && !IsDirectory(path)) {
    return LastErrorStatus("Creating folder " + path);
  }
  return Status::Ok();
}

std::FILE* OpenRegularForReading(const std::string& path, bool followLink, std::uint64_t& size,
                                 Status& status) {
  // Without FILE_FLAG_OPEN_REPARSE_POINT a link is opened at its target.
  HANDLE handle = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                              nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = LastErrorStatus(path);
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(handle);
    status = Status::Error(ERROR_INVALID_PARAMETER, path + ": is not a regular file");
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), _O_RDONLY);
  if (descriptor < 0) {
    CloseHandle(handle);
    status = Status::Error(ERROR_TOO_MANY_OPEN_FILES, path + ": cannot be opened");
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "rb");
  if (!file) {
    _close(descriptor);
    status = Status::Error(ERROR_TOO_MANY_OPEN_FILES, path + ": cannot be opened");
    return nullptr;
  }
  size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status = Status::Ok();
  return file;
}

std::FILE* OpenRegularForWriting(const std::string& path, bool append, Status& status) {
  // FILE_FLAG_OPEN_REPARSE_POINT opens a link itself, which is then refused;
  // OPEN_ALWAYS truncates nothing, so a file is emptied only once known to
  // be a regular one.
  HANDLE handle =
      CreateFileW(Wide(path).c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = LastErrorStatus("Opening " + path);
    return nullptr;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
    CloseHandle(handle);
    status = Status::Error(ERROR_INVALID_PARAMETER,
                           "Opening " + path + ": is a link or not a regular file, which is not written");
    return nullptr;
  }
  if (!append && !SetEndOfFile(handle)) {
    status = LastErrorStatus("Emptying " + path);
    CloseHandle(handle);
    return nullptr;
  }
  const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle),
                                         append ? _O_APPEND : 0);
  std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, append ? "ab" : "wb");
  if (!file) {
    if (descriptor < 0) CloseHandle(handle); else _close(descriptor);
    status = Status::Error(ERROR_TOO_MANY_OPEN_FILES, "Opening " + path);
    return nullptr;
  }
  status = Status::Ok();
  return file;
}

std::FILE* CreateNewTemporary(const std::string& stem, std::string& created, Status& status) {
  // CREATE_NEW never opens what a user put there beforehand, a link included.
  static std::mt19937_64 random{std::random_device{}() ^
                                (static_cast<std::uint64_t>(GetCurrentProcessId()) << 32)};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char part[24];
    std::snprintf(part, sizeof part, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    const std::string name = stem + part;
    HANDLE handle = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS) continue;
      status = LastErrorStatus("Creating " + name);
      return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<std::intptr_t>(handle), 0);
    std::FILE* file = descriptor < 0 ? nullptr : _fdopen(descriptor, "wb");
    if (!file) {
      if (descriptor < 0) CloseHandle(handle); else _close(descriptor);
      DeleteFileW(Wide(name).c_str());
      status = Status::Error(ERROR_TOO_MANY_OPEN_FILES, "Opening " + name);
      return nullptr;
    }
    created = name;
    status = Status::Ok();
    return file;
  }
  status = Status::Error(ERROR_FILE_EXISTS, "Creating a temporary file beside " + stem +
                                                ": every name tried was already taken");
  return nullptr;
}

Status CopyReplacing(const std::string& from, const std::string& to) {
  if (!CopyFileW(Wide(from).c_str(), Wide(to).c_str(), FALSE)) {
    return LastErrorStatus("Copying " + from + " to " + to);
  }
  return Status::Ok();
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}

void RemoveFile(const std::string& path) { DeleteFileW(Wide(path).c_str()); }

// Windows' rename refuses a read-only target by itself, and its documents keep
// no mode or owner to carry over; links are left as they are.
Status DocumentTarget(const std::string& path, std::string& target, KeptFileFacts&) {
  target = path;
  return Status::Ok();
}

void KeepFacts(std::FILE*, const KeptFileFacts&) {}

bool MayBeRun(const std::string&) { return false; }

void LetRun(std::FILE*) {}

Status SyncToDisk(std::FILE* file, const std::string& path) {
  HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
  if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
    return LastErrorStatus("Writing " + path);
  }
  return Status::Ok();
}

unsigned long ProcessId() { return GetCurrentProcessId(); }

Status TryLockExclusive(const std::string& path, LockHandle& handle, bool& busy) {
  handle = -1;
  busy = false;
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorStatus("Opening " + path);
  OVERLAPPED start = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &start)) {
    const DWORD number = GetLastError();
    busy = number == ERROR_LOCK_VIOLATION || number == ERROR_SHARING_VIOLATION;
    SetLastError(number);
    Status status = LastErrorStatus("Locking " + path);
    CloseHandle(file);
    return status;
  }
  handle = reinterpret_cast<LockHandle>(file);
  return Status::Ok();
}

// Released before the handle is closed: the locks of a closed handle go only
// when the system gets round to them, and the next run may try before then.
void Unlock(LockHandle handle) {
  if (handle == -1) return;
  HANDLE file = reinterpret_cast<HANDLE>(handle);
  OVERLAPPED start = {};
  UnlockFileEx(file, 0, 1, 0, &start);
  CloseHandle(file);
}

}  // namespace file_ops
}  // namespace quillon::platform
