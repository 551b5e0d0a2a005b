// rename() replaces the target in one step on POSIX.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/host/host_file_system.h"

namespace quillon::platform {

Status ReplaceFile(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) {
    int number = errno;
    return Status::Error(static_cast<std::uint32_t>(number),
                         "Renaming " + from + " to " + to + ": " + std::strerror(number));
  }
  return Status::Ok();
}

}  // namespace quillon::platform
