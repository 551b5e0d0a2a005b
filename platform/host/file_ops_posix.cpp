// File operations on POSIX: paths are passed through as bytes.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
