// File operations on Windows through the ANSI entry points, so that every path
// is read in the same code page as fopen reads it.
#include "platform/host/windows_api.h"

#include <io.h>

#include "platform/file_system.h"
#include "platform/host/file_ops.h"
#include "platform/host/host_file_system.h"

namespace quillon::platform {
namespace {

Status LastErrorStatus(const std::string& what) {
  const DWORD number = GetLastError();
  char text[512] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, number, 0, text, sizeof text, nullptr);
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == ' ')) {
    text[--length] = '\0';
  }
  std::string description = length > 0 ? std::string(text, length)
                                        : "error " + std::to_string(number);
  return Status::Error(number, what + ": " + description);
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

}  // namespace

Status ReplaceFile(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return LastErrorStatus("Renaming " + from + " to " + to);
  }
  return Status::Ok();
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
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder.empty() ? "." : folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::vector<std::string> ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder.empty() ? "." : folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..") {
      names.push_back(name);
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(JoinPath(folder.empty() ? "." : folder, "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    // A drive's empty root has not even "." and "..".
    if (GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(folder)) {
      return std::vector<FolderEntry>{};
    }
    return std::nullopt;
  }
  std::vector<FolderEntry> entries;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = name;
    const DWORD attributes = found.dwFileAttributes;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      // Junctions and folder links are not entered: one that points above
      // would make a walk endless.
      entry.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? FolderEntry::Kind::Other
                                                               : FolderEntry::Kind::Folder;
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
  } while (FindNextFileA(search, &found));
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
  if (!CreateDirectoryA(path.c_str(), nullptr) && !IsDirectory(path)) {
    return LastErrorStatus("Creating folder " + path);
  }
  return Status::Ok();
}

Status CopyReplacing(const std::string& from, const std::string& to) {
  if (!CopyFileA(from.c_str(), to.c_str(), FALSE)) {
    return LastErrorStatus("Copying " + from + " to " + to);
  }
  return Status::Ok();
}

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
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
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

void Unlock(LockHandle handle) {
  if (handle != -1) CloseHandle(reinterpret_cast<HANDLE>(handle));  // closing releases the lock
}

}  // namespace file_ops
}  // namespace quillon::platform
