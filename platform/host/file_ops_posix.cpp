// File operations on POSIX: paths are passed through as bytes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/host/file_ops.h"
#include "platform/host/host_file_system.h"

namespace quillon::platform {
namespace fs = std::filesystem;

namespace {
Status ErrorCodeStatus(const std::string& what, const std::error_code& ec) {
  return Status::Error(static_cast<std::uint32_t>(ec.value()), what + ": " + ec.message());
}
}  // namespace

Status ReplaceFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    int number = errno;
    return Status::Error(static_cast<std::uint32_t>(number),
                         "Renaming " + from + " to " + to + ": " + std::strerror(number));
  }
  return Status::Ok();
}

namespace file_ops {

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}

std::vector<std::string> ListRegularFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_regular_file(typeError)) names.push_back(it->path().filename().native());
  }
  return names;
}

std::vector<std::string> ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) names.push_back(it->path().filename().native());
  }
  return names;
}

std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  DIR* listing = ::opendir(folder.empty() ? "." : folder.c_str());
  if (!listing) return std::nullopt;
  const int descriptor = ::dirfd(listing);
  std::vector<FolderEntry> entries;
  while (true) {
    errno = 0;
    const dirent* found = ::readdir(listing);
    if (!found) break;
    const std::string name = found->d_name;
    if (name == "." || name == "..") continue;
    FolderEntry entry;
    entry.name = name;
    struct stat own {};
    if (::fstatat(descriptor, found->d_name, &own, AT_SYMLINK_NOFOLLOW) != 0) {
      entries.push_back(std::move(entry));
      continue;
    }
    struct stat target = own;
    const bool link = S_ISLNK(own.st_mode);
    // A link is read when it leads to a file, never entered when it leads to
    // a folder: a link to a folder above would make the walk endless.
    if (link && ::fstatat(descriptor, found->d_name, &target, 0) != 0) {
      entries.push_back(std::move(entry));
      continue;
    }
    if (S_ISREG(target.st_mode)) {
      entry.kind = FolderEntry::Kind::File;
      entry.size = static_cast<std::uint64_t>(target.st_size);
    } else if (S_ISDIR(target.st_mode) && !link) {
      entry.kind = FolderEntry::Kind::Folder;
    }
    std::tm local{};
    const std::time_t written = target.st_mtime;
    if (::localtime_r(&written, &local)) {
      entry.modified = LocalTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                 local.tm_hour,        local.tm_min,     local.tm_sec};
    }
    entries.push_back(std::move(entry));
  }
  // A listing that broke off is not passed on as if it were whole.
  const bool broken = errno != 0;
  ::closedir(listing);
  if (broken) return std::nullopt;
  return entries;
}

std::vector<std::string> ListDrives() { return {"/"}; }

Status CreateFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(fs::path(path), ec);
  if (ec) return ErrorCodeStatus("Creating folder " + path, ec);
  return Status::Ok();
}

Status CopyReplacing(const std::string& from, const std::string& to) {
  if (!IsRegularFile(from)) {
    return Status::Error(ENOENT, "Copying " + from + ": " + std::strerror(ENOENT));
  }
  std::error_code ec;
  fs::copy_file(fs::path(from), fs::path(to), fs::copy_options::overwrite_existing, ec);
  if (ec) return ErrorCodeStatus("Copying " + from + " to " + to, ec);
  return Status::Ok();
}

Status SyncToDisk(std::FILE* file, const std::string& path) {
  if (fsync(fileno(file)) != 0) {
    int number = errno;
    return Status::Error(static_cast<std::uint32_t>(number),
                         "Writing " + path + ": " + std::strerror(number));
  }
  return Status::Ok();
}

unsigned long ProcessId() { return static_cast<unsigned long>(getpid()); }

Status TryLockExclusive(const std::string& path, LockHandle& handle, bool& busy) {
  handle = -1;
  busy = false;
  const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (descriptor < 0) {
    const int number = errno;
    return Status::Error(static_cast<std::uint32_t>(number),
                         "Opening " + path + ": " + std::strerror(number));
  }
  int result;
  do {
    result = ::flock(descriptor, LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int number = errno;
    busy = number == EWOULDBLOCK;
    ::close(descriptor);
    return Status::Error(static_cast<std::uint32_t>(number),
                         "Locking " + path + ": " + std::strerror(number));
  }
  handle = descriptor;
  return Status::Ok();
}

void Unlock(LockHandle handle) {
  if (handle >= 0) ::close(static_cast<int>(handle));  // closing releases the lock
}

}  // namespace file_ops
}  // namespace quillon::platform
