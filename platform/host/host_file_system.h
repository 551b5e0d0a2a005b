// The host's real files, on the standard library; only the atomic replace
// differs between POSIX and Windows.
#pragma once

#include "platform/file_system.h"

namespace quillon::platform {

struct KeptFileFacts;

class HostFileSystem : public FileSystem {
 public:
  std::optional<std::string> ReadFile(const std::string& path) override;
  std::optional<std::string> ReadRegularFile(const std::string& path, std::uint64_t limit,
                                             Status* status) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  Status WriteFileAtomic(const std::string& path, std::string_view content) override;
  Status SaveDocumentFile(const std::string& path, std::string_view content) override;
  Status AppendToFile(const std::string& path, std::string_view content) override;
  std::unique_ptr<WritableFile> OpenForWriting(const std::string& path,
                                               Status* status) override;
  std::vector<std::string> ListFolders(const std::string& folder) override;
  std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) override;
  std::unique_ptr<ReadableFile> OpenForReading(const std::string& path) override;
  std::vector<std::string> ListDrives() override;
  std::vector<std::string> ListFiles(const std::string& folder,
                                     std::string_view suffix) override;
  Status CreateFolders(const std::string& path) override;
  Status CopyFile(const std::string& from, const std::string& to) override;
  Status CopyFileAnew(const std::string& from, const std::string& to,
                      std::uint64_t limit) override;
  std::unique_ptr<FileLock> TryLockFile(const std::string& path, Status* status,
                                        bool* busy) override;

 private:
  // WriteFileAtomic's way, the new file marked to be run when `runnable`,
  // given the replaced file's permissions and owner when `kept` says them.
  Status WriteAnew(const std::string& path, std::string_view content, bool runnable,
                   const KeptFileFacts* kept = nullptr);
};

// Moves `from` over `to`, replacing it in one step.
Status ReplaceFile(const std::string& from, const std::string& to);

}  // namespace quillon::platform
