// Who may change a file or folder, as the host's own security records it: the
// owner and mode bits on POSIX, the owner and access list on Windows. Read
// only; judging what the facts mean is the caller's business.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/status.h"

namespace quillon::platform {

// One entry of a Windows access list, as stored.
struct AccessEntry {
  bool allow = true;      // else an entry that denies
  std::string sid;        // "S-1-5-32-545"
  std::string account;    // "BUILTIN\Users"; empty when the name cannot be found
  std::uint32_t mask = 0; // access rights, generic rights left unmapped
  bool inheritOnly = false;  // for what is created inside, not for the object itself
  bool inheritsToFiles = false;  // passed on to files created or copied inside
};

struct FileSecurity {
  enum class Model { Posix, Windows };
  Model model = Model::Posix;
  bool folder = false;
  bool link = false;  // a link itself: nothing else is read of it

  // POSIX: numeric owner and group, their names when known, and the
  // permission bits with set-id and sticky bits (07777).
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
  std::string userName;
  std::string groupName;
  std::uint32_t mode = 0;

  // Windows: the owner, and the access list (none at all grants everyone
  // everything, unlike an empty one).
  std::string ownerSid;
  std::string ownerAccount;
  bool hasDacl = true;
  std::vector<AccessEntry> dacl;
};

// Reads the security of `path`; with `followLink` false a link in the last
// component is described as a link and not followed. nullopt, with the reason
// in `status`, when it cannot be read.
std::optional<FileSecurity> ReadFileSecurity(const std::string& path, bool followLink,
                                             Status& status);

// The account this program runs as: the numeric user on POSIX (0 on Windows),
// its name, and on Windows its SID.
struct RunningAccount {
  std::uint32_t uid = 0;
  std::string name;
  std::string sid;
};
RunningAccount CurrentAccount();

// The folder's absolute path with links resolved, as a mount table names it;
// the path as given when that cannot be found.
std::string ResolvedFolderPath(const std::string& folder);

}  // namespace quillon::platform
