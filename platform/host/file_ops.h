// The operating-system half of HostFileSystem. Paths are 8-bit text: UTF-8 on
// POSIX, the ANSI code page on Windows, where only the ANSI entry points read
// them the way fopen does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <optional>

#include "platform/file_system.h"
#include "platform/status.h"

namespace quillon::platform {

// What a saved document keeps of the file it replaces (POSIX).
struct KeptFileFacts {
  bool known = false;
  unsigned mode = 0;
  long long owner = -1, group = -1;
};

}  // namespace quillon::platform

namespace quillon::platform::file_ops {

bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
// Names of the regular files in `folder`, in the order the listing returns them.
std::vector<std::string> ListRegularFiles(const std::string& folder);
std::vector<std::string> ListSubfolders(const std::string& folder);
// Every entry with its kind, size and time of last write; nullopt when the
// folder cannot be listed.
std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);
std::vector<std::string> ListDrives();
Status CreateFolders(const std::string& path);
// Opens a regular file for reading without waiting on a pipe or device (those
// are refused); with `followLink` false, a link in the last component is
// refused too. The file's size, when the system knows it, goes to `size`.
std::FILE* OpenRegularForReading(const std::string& path, bool followLink, std::uint64_t& size,
                                 Status& status);
// Opens `path` for appending (`append`) or for writing from its start,
// creating it when missing; refused when its last component is a link or it
// is not a regular file (a pipe, a device), so that a name a user placed in a
// shared folder never turns a write of ours onto another file.
std::FILE* OpenRegularForWriting(const std::string& path, bool append, Status& status);
// Creates a file that did not exist (never opening an existing file or link)
// for writing, named `stem` followed by a random part and ".tmp"; its name
// goes to `created`.
std::FILE* CreateNewTemporary(const std::string& stem, std::string& created, Status& status);
Status CopyReplacing(const std::string& from, const std::string& to);
// fopen and remove for a UTF-8 path (on Windows through the wide entry points).
std::FILE* OpenFile(const std::string& path, const char* mode);
void RemoveFile(const std::string& path);
// The file a document save replaces: `path`, or the file its links lead to
// (into `target`), with what the new file keeps of it. Refused, with the
// reason, when it is not a regular file or may not be written (a read-only
// file, as Windows marks one: no write permission for anyone, whoever runs).
// A name that does not exist yet is its own target.
Status DocumentTarget(const std::string& path, std::string& target, KeptFileFacts& kept);
// Gives the open new file the kept permissions, and owner and group as far
// as this account may.
void KeepFacts(std::FILE* file, const KeptFileFacts& kept);
// Whether the regular file may be run (an execute permission on POSIX; never
// on Windows, which marks no file so).
bool MayBeRun(const std::string& path);
// Lets the open file be run by whoever may read it (POSIX); nothing on Windows.
void LetRun(std::FILE* file);
// Forces the file's written data to the disk.
Status SyncToDisk(std::FILE* file, const std::string& path);
unsigned long ProcessId();

// An open lock file: a descriptor on POSIX (flock), a handle on Windows
// (LockFileEx); -1 when none.
using LockHandle = std::intptr_t;
// Opens or creates `path` and takes its exclusive lock if it is free;
// `busy` tells a lock held by another from a file that cannot be locked.
Status TryLockExclusive(const std::string& path, LockHandle& handle, bool& busy);
void Unlock(LockHandle handle);

}  // namespace quillon::platform::file_ops
