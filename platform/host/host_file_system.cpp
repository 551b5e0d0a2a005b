// Real files: contents through stdio, which reads paths as the platform's 8-bit
// text on both hosts; everything else through file_ops.
#include "platform/host/host_file_system.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/host/file_ops.h"

namespace quillon::platform {
namespace {

Status ErrnoStatus(const std::string& what) {
  int number = errno;
  return Status::Error(static_cast<std::uint32_t>(number),
                       what + ": " + std::strerror(number));
}

class StdioWritableFile : public WritableFile {
 public:
  StdioWritableFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  ~StdioWritableFile() override {
    if (file_) std::fclose(file_);
  }
  Status Append(std::string_view bytes) override {
    if (!file_) return Status::Error(EBADF, "Writing " + path_ + ": file is closed");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      return ErrnoStatus("Writing " + path_);
    }
    return Status::Ok();
  }
  // Flushes, and with `sync` forces the data to the disk, then closes.
  Status Finish(bool sync) {
    if (!file_) return Status::Ok();
    Status status = std::fflush(file_) == 0 ? Status::Ok() : ErrnoStatus("Writing " + path_);
    if (status.ok && sync) status = file_ops::SyncToDisk(file_, path_);
    if (std::fclose(file_) != 0 && status.ok) status = ErrnoStatus("Closing " + path_);
    file_ = nullptr;
    return status;
  }
  Status Close() override { return Finish(false); }

 private:
  std::FILE* file_;
  std::string path_;
};

class StdioReadableFile : public ReadableFile {
 public:
  explicit StdioReadableFile(std::FILE* file) : file_(file) {}
  ~StdioReadableFile() override { std::fclose(file_); }
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    // Bytes read before an error are handed over; the next call reports it.
    const std::size_t got = std::fread(buffer, 1, size, file_);
    if (got == 0 && std::ferror(file_) != 0) return std::nullopt;
    return got;
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<ReadableFile> HostFileSystem::OpenForReading(const std::string& path) {
  std::uint64_t size = 0;
  Status status;
  std::FILE* file = file_ops::OpenRegularForReading(path, /*followLink=*/false, size, status);
  if (!file) return nullptr;
  return std::make_unique<StdioReadableFile>(file);
}

namespace {
// Reads at most `limit` bytes, and one more to tell a file that goes on (a
// kernel pseudo-file says it holds nothing and never ends).
std::optional<std::string> ReadUpTo(std::FILE* file, std::uint64_t limit, bool& tooLarge) {
  std::string content;
  char buffer[65536];
  tooLarge = false;
  while (true) {
    const std::uint64_t room = limit + 1 - content.size();
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof buffer, room));
    const std::size_t got = std::fread(buffer, 1, want, file);
    if (got == 0) break;
    content.append(buffer, got);
    if (content.size() > limit) {
      tooLarge = true;
      break;
    }
  }
  const bool failed = !tooLarge && std::ferror(file) != 0;
  std::fclose(file);
  if (failed || tooLarge) return std::nullopt;
  return content;
}
}  // namespace

std::optional<std::string> HostFileSystem::ReadFile(const std::string& path) {
  std::uint64_t size = 0;
  Status status;
  std::FILE* file = file_ops::OpenRegularForReading(path, /*followLink=*/true, size, status);
  if (!file) return std::nullopt;
  bool tooLarge = false;
  return ReadUpTo(file, std::numeric_limits<std::uint64_t>::max() - 1, tooLarge);
}

std::optional<std::string> HostFileSystem::ReadRegularFile(const std::string& path,
                                                          std::uint64_t limit, Status* status) {
  std::uint64_t size = 0;
  Status opened;
  std::FILE* file = file_ops::OpenRegularForReading(path, /*followLink=*/false, size, opened);
  if (!file) {
    if (status) *status = opened;
    return std::nullopt;
  }
  if (size > limit) {
    std::fclose(file);
    if (status) *status = Status::Error(EFBIG, TooLargeText(path, limit));
    return std::nullopt;
  }
  bool tooLarge = false;
  std::optional<std::string> content = ReadUpTo(file, limit, tooLarge);
  if (status) {
    *status = content ? Status::Ok()
                      : Status::Error(tooLarge ? EFBIG : EIO,
                                      tooLarge ? TooLargeText(path, limit)
                                               : path + ": reading failed");
  }
  return content;
}

bool HostFileSystem::FileExists(const std::string& path) { return file_ops::IsRegularFile(path); }

Status HostFileSystem::WriteFileAtomic(const std::string& path, std::string_view content) {
  return WriteAnew(path, content, /*runnable=*/false);
}

Status HostFileSystem::SaveDocumentFile(const std::string& path, std::string_view content) {
  std::string target;
  KeptFileFacts kept;
  if (Status found = file_ops::DocumentTarget(path, target, kept); !found.ok) return found;
  return WriteAnew(target, content, /*runnable=*/false, &kept);
}

Status HostFileSystem::CopyFileAnew(const std::string& from, const std::string& to,
                                    std::uint64_t limit) {
  Status read;
  const std::optional<std::string> content = ReadRegularFile(from, limit, &read);
  if (!content) return read;
  return WriteAnew(to, *content, file_ops::MayBeRun(from));
}

Status HostFileSystem::WriteAnew(const std::string& path, std::string_view content,
                                 bool runnable, const KeptFileFacts* kept) {
  // The temporary file lies in the target's folder so that the rename never
  // crosses file systems, and is created anew under an unforeseeable name so
  // that neither another run nor a planted file or link can take it over. Its
  // data reaches the disk before the rename, or a power cut could leave the new
  // name on an empty file.
  std::string temporary;
  Status created;
  std::FILE* handle = file_ops::CreateNewTemporary(path, temporary, created);
  if (!handle) return created;
  if (runnable) file_ops::LetRun(handle);
  if (kept) file_ops::KeepFacts(handle, *kept);
  StdioWritableFile file(handle, temporary);
  Status status = file.Append(content);
  Status finished = file.Finish(/*sync=*/true);
  if (status.ok) status = finished;
  if (status.ok) status = ReplaceFile(temporary, path);
  if (!status.ok) file_ops::RemoveFile(temporary);
  return status;
}

Status HostFileSystem::AppendToFile(const std::string& path, std::string_view content) {
  Status opened;
  std::FILE* file = file_ops::OpenRegularForWriting(path, /*append=*/true, opened);
  if (!file) return opened;
  StdioWritableFile writer(file, path);
  Status status = writer.Append(content);
  Status closed = writer.Close();
  return status.ok ? closed : status;
}

std::unique_ptr<WritableFile> HostFileSystem::OpenForWriting(const std::string& path,
                                                             Status* status) {
  Status opened;
  std::FILE* file = file_ops::OpenRegularForWriting(path, /*append=*/false, opened);
  if (!file) {
    if (status) *status = opened;
    return nullptr;
  }
  if (status) *status = Status::Ok();
  return std::make_unique<StdioWritableFile>(file, path);
}

std::vector<std::string> HostFileSystem::ListFiles(const std::string& folder,
                                                   std::string_view suffix) {
  std::vector<std::string> names;
  for (std::string& name : file_ops::ListRegularFiles(folder)) {
    if (EndsWithIgnoringCase(name, suffix)) names.push_back(std::move(name));
  }
  return names;
}

std::vector<std::string> HostFileSystem::ListFolders(const std::string& folder) {
  return file_ops::ListSubfolders(folder);
}

std::optional<std::vector<FolderEntry>> HostFileSystem::ListFolder(const std::string& folder) {
  return file_ops::ListFolder(folder);
}

std::vector<std::string> HostFileSystem::ListDrives() { return file_ops::ListDrives(); }

bool HostFileSystem::FolderExists(const std::string& path) { return file_ops::IsDirectory(path); }

Status HostFileSystem::CreateFolders(const std::string& path) {
  return file_ops::CreateFolders(path);
}

Status HostFileSystem::CopyFile(const std::string& from, const std::string& to) {
  return file_ops::CopyReplacing(from, to);
}

namespace {
class HostFileLock : public FileLock {
 public:
  explicit HostFileLock(file_ops::LockHandle handle) : handle_(handle) {}
  ~HostFileLock() override { file_ops::Unlock(handle_); }

 private:
  file_ops::LockHandle handle_;
};
}  // namespace

std::unique_ptr<FileLock> HostFileSystem::TryLockFile(const std::string& path, Status* status,
                                                      bool* busy) {
  file_ops::LockHandle handle = -1;
  bool heldByOther = false;
  Status locked = file_ops::TryLockExclusive(path, handle, heldByOther);
  if (status) *status = locked;
  if (busy) *busy = heldByOther;
  if (!locked.ok) return nullptr;
  return std::make_unique<HostFileLock>(handle);
}

}  // namespace quillon::platform
