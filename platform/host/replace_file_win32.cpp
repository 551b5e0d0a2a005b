// Windows' rename refuses an existing target; MoveFileEx replaces it.
#include "platform/host/windows_api.h"

#include "platform/host/host_file_system.h"

namespace quillon::platform {

Status ReplaceFile(const std::string& from, const std::string& to) {
  if (!MoveFileExA(from.c_str(), to.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DWORD number = GetLastError();
    return Status::Error(number, "Renaming " + from + " to " + to + ": error " +
                                     std::to_string(number));
  }
  return Status::Ok();
}

}  // namespace quillon::platform
