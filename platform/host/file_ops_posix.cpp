// File operations on POSIX: paths are passed through as bytes.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <random>

#include <cerrno>
#include <cstdlib>
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
    // A link is neither read nor entered: it may lead out of the folder
    // (to a private file) or above it (an endless walk).
    entry.link = S_ISLNK(own.st_mode);
    if (S_ISREG(own.st_mode)) {
      entry.kind = FolderEntry::Kind::File;
      entry.size = static_cast<std::uint64_t>(own.st_size);
    } else if (S_ISDIR(own.st_mode)) {
      entry.kind = FolderEntry::Kind::Folder;
    }
    std::tm local{};
    const std::time_t written = own.st_mtime;
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

std::FILE* OpenRegularForReading(const std::string& path, bool followLink, std::uint64_t& size,
                                 Status& status) {
  // O_NONBLOCK: opening a pipe nobody writes to would otherwise wait for ever.
  const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (followLink ? 0 : O_NOFOLLOW);
  const int descriptor = ::open(path.c_str(), flags);
  if (descriptor < 0) {
    const int number = errno;
    status = Status::Error(static_cast<std::uint32_t>(number),
                           number == ELOOP ? path + ": is a link, which is not followed here"
                                           : path + ": " + std::strerror(number));
    return nullptr;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    status = Status::Error(EINVAL, path + ": is not a regular file");
    return nullptr;
  }
  // A regular file never blocks, but reads should not fail with EAGAIN on
  // network file systems that honour the flag.
  ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  std::FILE* file = ::fdopen(descriptor, "rb");
  if (!file) {
    const int number = errno;
    ::close(descriptor);
    status = Status::Error(static_cast<std::uint32_t>(number), path + ": " + std::strerror(number));
    return nullptr;
  }
  size = static_cast<std::uint64_t>(info.st_size);
  status = Status::Ok();
  return file;
}

std::FILE* OpenRegularForWriting(const std::string& path, bool append, Status& status) {
  // O_NONBLOCK: a pipe without a reader fails at once instead of waiting.
  // Truncated only once known to be a regular file, never a link's target.
  const int flags = O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW |
                    (append ? O_APPEND : 0);
  const int descriptor = ::open(path.c_str(), flags, 0666);
  if (descriptor < 0) {
    const int number = errno;
    status = Status::Error(static_cast<std::uint32_t>(number),
                           number == ELOOP ? "Opening " + path + ": is a link, which is not written through"
                                           : "Opening " + path + ": " + std::strerror(number));
    return nullptr;
  }
  struct stat info {};
  if (::fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(descriptor);
    status = Status::Error(EINVAL, "Opening " + path + ": is not a regular file");
    return nullptr;
  }
  ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
  if (!append && ::ftruncate(descriptor, 0) != 0) {
    const int number = errno;
    ::close(descriptor);
    status = Status::Error(static_cast<std::uint32_t>(number),
                           "Opening " + path + ": " + std::strerror(number));
    return nullptr;
  }
  std::FILE* file = ::fdopen(descriptor, append ? "ab" : "wb");
  if (!file) {
    const int number = errno;
    ::close(descriptor);
    status = Status::Error(static_cast<std::uint32_t>(number),
                           "Opening " + path + ": " + std::strerror(number));
    return nullptr;
  }
  status = Status::Ok();
  return file;
}

std::FILE* CreateNewTemporary(const std::string& stem, std::string& created, Status& status) {
  // A name nobody can foresee, and O_EXCL | O_NOFOLLOW: whatever a user put
  // beside the target beforehand, the file written is a new one of our own.
  static std::mt19937_64 random{std::random_device{}() ^
                                (static_cast<std::uint64_t>(::getpid()) << 32)};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char part[24];
    std::snprintf(part, sizeof part, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    const std::string name = stem + part;
    const int descriptor =
        ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      if (errno == EEXIST) continue;
      const int number = errno;
      status = Status::Error(static_cast<std::uint32_t>(number),
                             "Creating " + name + ": " + std::strerror(number));
      return nullptr;
    }
    std::FILE* file = ::fdopen(descriptor, "wb");
    if (!file) {
      const int number = errno;
      ::close(descriptor);
      ::unlink(name.c_str());
      status = Status::Error(static_cast<std::uint32_t>(number),
                             "Opening " + name + ": " + std::strerror(number));
      return nullptr;
    }
    created = name;
    status = Status::Ok();
    return file;
  }
  status = Status::Error(EEXIST, "Creating a temporary file beside " + stem +
                                     ": every name tried was already taken");
  return nullptr;
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

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}

void RemoveFile(const std::string& path) { std::remove(path.c_str()); }

Status DocumentTarget(const std::string& path, std::string& target, KeptFileFacts& kept) {
  struct stat own {};
  if (::lstat(path.c_str(), &own) != 0) {
    const int number = errno;
    if (number != ENOENT) {
      return Status::Error(static_cast<std::uint32_t>(number), path + ": " + std::strerror(number));
    }
    target = path;  // a new document
    return Status::Ok();
  }
  target = path;
  if (S_ISLNK(own.st_mode)) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved) {
      const int number = errno;
      return Status::Error(static_cast<std::uint32_t>(number),
                           path + " is a link that leads to no file: " + std::strerror(number));
    }
    target = resolved;
    std::free(resolved);
  }
  struct stat facts {};
  if (::stat(target.c_str(), &facts) != 0) {
    const int number = errno;
    return Status::Error(static_cast<std::uint32_t>(number), target + ": " + std::strerror(number));
  }
  if (!S_ISREG(facts.st_mode)) return Status::Error(EISDIR, target + " is not a file");
  // No write permission at all is the read-only mark, which Windows honours
  // even for an administrator; root's access() would not tell it.
  if ((facts.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0) {
    return Status::Error(EACCES, target + " is read-only: " + std::strerror(EACCES));
  }
  kept.known = true;
  kept.mode = facts.st_mode & 07777;
  kept.owner = facts.st_uid;
  kept.group = facts.st_gid;
  return Status::Ok();
}

void KeepFacts(std::FILE* file, const KeptFileFacts& kept) {
  if (!kept.known) return;
  const int descriptor = ::fileno(file);
  // The owner first: changing it may clear the set-ID bits the mode restores.
  // Another account's file keeps at least its group where this one is a member.
  if (::fchown(descriptor, static_cast<uid_t>(kept.owner), static_cast<gid_t>(kept.group)) != 0) {
    [[maybe_unused]] const int ignored =
        ::fchown(descriptor, static_cast<uid_t>(-1), static_cast<gid_t>(kept.group));
  }
  ::fchmod(descriptor, static_cast<mode_t>(kept.mode));
}

bool MayBeRun(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         (info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0;
}

void LetRun(std::FILE* file) {
  // Through the descriptor, never the name: the folder may be one that others
  // can write, where the name could be swapped for a link.
  struct stat info {};
  const int descriptor = fileno(file);
  if (::fstat(descriptor, &info) != 0) return;
  const mode_t mode = info.st_mode & 07777;
  ::fchmod(descriptor, mode | ((mode & (S_IRUSR | S_IRGRP | S_IROTH)) >> 2));
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
