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
  std::set<std::string> unreadableFolders;  // exist, but cannot be listed
  std::map<std::string, LocalTime> modified;  // a file's last write, when a test gives one
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
  // The folder's files and the folders named by `folders` or by the paths of
  // files below it, in name order; a folder exists when either names it.
  std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override {
    if (unreadableFolders.count(folder) != 0) return std::nullopt;
    const std::string prefix = JoinPath(folder, "");
    std::map<std::string, FolderEntry> found;
    bool exists = folders.count(folder) != 0;
    auto add = [&](const std::string& path, bool isFolder) {
      if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return;
      exists = true;
      const std::string rest = path.substr(prefix.size());
      const std::size_t separator = rest.find(PathSeparator());
      FolderEntry entry;
      entry.name = rest.substr(0, separator);
      if (isFolder || separator != std::string::npos) {
        entry.kind = FolderEntry::Kind::Folder;
      } else {
        entry.kind = FolderEntry::Kind::File;
        auto content = files.find(path);
        entry.size = content == files.end() ? 0 : content->second.size();
        auto time = modified.find(path);
        if (time != modified.end()) entry.modified = time->second;
      }
      found.emplace(entry.name, std::move(entry));
    };
    for (const auto& [path, content] : files) add(path, false);
    for (const std::string& path : unreadable) add(path, false);
    for (const std::string& path : folders) add(path, true);
    if (!exists) return std::nullopt;
    std::vector<FolderEntry> entries;
    for (auto& [name, entry] : found) entries.push_back(std::move(entry));
    return entries;
  }
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
