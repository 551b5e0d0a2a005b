// A file system that passes every call to another one. A file system that
// changes a few calls derives from it and overrides only those, so the rest
// plainly reach the target instead of falling to FileSystem's defaults.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace quillon::platform {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

  std::optional<std::string> ReadFile(const std::string& path) override {
    return target_.ReadFile(path);
  }
  std::optional<std::string> ReadRegularFile(const std::string& path, std::uint64_t limit,
                                             Status* status) override {
    return target_.ReadRegularFile(path, limit, status);
  }
  bool FileExists(const std::string& path) override { return target_.FileExists(path); }
  bool FolderExists(const std::string& path) override { return target_.FolderExists(path); }
  Status WriteFileAtomic(const std::string& path, std::string_view content) override {
    return target_.WriteFileAtomic(path, content);
  }
  Status SaveDocumentFile(const std::string& path, std::string_view content) override {
    return target_.SaveDocumentFile(path, content);
  }
  Status AppendToFile(const std::string& path, std::string_view content) override {
    return target_.AppendToFile(path, content);
  }
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path, Status* status) override {
    return target_.OpenForWriting(path, status);
  }
  std::vector<std::string> ListFiles(const std::string& folder,
                                     std::string_view suffix) override {
    return target_.ListFiles(folder, suffix);
  }
  std::vector<std::string> ListFolders(const std::string& folder) override {
    return target_.ListFolders(folder);
  }
  std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override {
    return target_.ListFolder(folder);
  }
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override {
    return target_.OpenForReading(path);
  }
  std::vector<std::string> ListDrives() override { return target_.ListDrives(); }
  Status CreateFolders(const std::string& path) override { return target_.CreateFolders(path); }
  Status CopyFile(const std::string& from, const std::string& to) override {
    return target_.CopyFile(from, to);
  }
  Status CopyFileAnew(const std::string& from, const std::string& to,
                      std::uint64_t limit) override {
    return target_.CopyFileAnew(from, to, limit);
  }
  std::unique_ptr<FileLock> TryLockFile(const std::string& path, Status* status,
                                        bool* busy) override {
    return target_.TryLockFile(path, status, busy);
  }

 protected:
  FileSystem& target() { return target_; }

 private:
  FileSystem& target_;
};

}  // namespace quillon::platform
