// Files in memory for tests and fuzzers: records what was written, and can
// make files unreadable or writes fail, so that a test checks what the code did
// to the files rather than its internals.
#pragma once

#include <map>
#include <set>

#include "platform/file_system.h"

namespace quillon::platform {

class MemoryFileSystem : public FileSystem {
 public:
  std::map<std::string, std::string> files;
  std::set<std::string> unreadable;  // exist, but cannot be opened
  bool failWrites = false;
  int writes = 0;
  std::set<std::string> locked;  // held by someone else
  std::set<std::string> folders;

  std::optional<std::string> ReadFile(const std::string& path) override {
    if (unreadable.count(path) != 0) return std::nullopt;
    auto found = files.find(path);
    if (found == files.end()) return std::nullopt;
    return found->second;
  }
  bool FileExists(const std::string& path) override {
    return files.count(path) != 0 || unreadable.count(path) != 0;
  }
  bool FolderExists(const std::string& path) override { return folders.count(path) != 0; }
  Status WriteFileAtomic(const std::string& path, std::string_view content) override {
    ++writes;
    if (failWrites) return Status::Error(5, "Access is denied.");
    files[path] = std::string(content);
    return Status::Ok();
  }
  Status AppendToFile(const std::string& path, std::string_view content) override {
    ++writes;
    if (failWrites) return Status::Error(5, "Access is denied.");
    files[path] += std::string(content);
    return Status::Ok();
  }
  std::unique_ptr<WritableFile> OpenForWriting(const std::string&, Status* status) override {
    if (status != nullptr) *status = Status::Error(1, "not supported in memory");
    return nullptr;
  }
  std::vector<std::string> ListFiles(const std::string&, std::string_view) override { return {}; }
  Status CreateFolders(const std::string&) override { return Status::Ok(); }
  Status CopyFile(const std::string& from, const std::string& to) override {
    auto found = files.find(from);
    if (found == files.end()) return Status::Error(2, "The system cannot find the file specified.");
    files[to] = found->second;
    return Status::Ok();
  }
  std::unique_ptr<FileLock> TryLockFile(const std::string& path, Status* status,
                                        bool* busy) override {
    if (busy != nullptr) *busy = locked.count(path) != 0;
    if (locked.count(path) != 0) {
      if (status != nullptr) *status = Status::Error(33, "The process cannot access the file because another process has locked a portion of the file.");
      return nullptr;
    }
    if (status != nullptr) *status = Status::Ok();
    return std::make_unique<FileLock>();
  }
};

}  // namespace quillon::platform
