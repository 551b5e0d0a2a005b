// File security on POSIX: owner, group and mode bits from lstat or stat.
#include <grp.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_security.h"

namespace quillon::platform {

namespace {

std::string UserName(uid_t uid) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->pw_name;
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(16384);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) return {};
  return found->gr_name;
}

}  // namespace

std::optional<FileSecurity> ReadFileSecurity(const std::string& path, bool followLink,
                                             Status& status) {
  struct stat own {};
  const int result = followLink ? ::stat(path.c_str(), &own) : ::lstat(path.c_str(), &own);
  if (result != 0) {
    const int number = errno;
    status = Status::Error(static_cast<std::uint32_t>(number),
                           "Reading the owner and mode of " + path + ": " + std::strerror(number));
    return std::nullopt;
  }
  status = Status::Ok();
  FileSecurity security;
  security.model = FileSecurity::Model::Posix;
  security.link = S_ISLNK(own.st_mode);
  security.folder = S_ISDIR(own.st_mode);
  security.uid = own.st_uid;
  security.gid = own.st_gid;
  security.mode = own.st_mode & 07777;
  security.userName = UserName(own.st_uid);
  security.groupName = GroupName(own.st_gid);
  return security;
}

RunningAccount CurrentAccount() {
  const uid_t uid = ::geteuid();
  return {uid, UserName(uid), {}};
}

std::string ResolvedFolderPath(const std::string& folder) {
  char* resolved = ::realpath(folder.c_str(), nullptr);
  if (!resolved) return folder;
  std::string path = resolved;
  std::free(resolved);
  return path;
}

}  // namespace quillon::platform
