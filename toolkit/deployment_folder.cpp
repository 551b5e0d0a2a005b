// Where a deployment folder typed on the administrator's computer lies for
// the clients: a UNC path as it is, or a folder of a CIFS mount of this host
// named by the share the mount reaches.
#include "toolkit/deployment.h"

#include <cctype>

#include "platform/ascii_case.h"

namespace quillon::toolkit {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::vector<std::string> Components(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

// How many leading components of `path` the `prefix` covers, or 0 when it is
// not a prefix of it.
std::size_t PrefixLength(const std::vector<std::string>& prefix,
                         const std::vector<std::string>& path, bool ignoreCase) {
  if (prefix.size() > path.size()) return 0;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (ignoreCase ? !EqualsIgnoringCase(prefix[i], path[i]) : prefix[i] != path[i]) return 0;
  }
  return prefix.size();
}

std::string Joined(const std::string& start, const std::vector<std::string>& parts,
                   std::size_t from, char separator, bool trailing) {
  std::string path = start;
  for (std::size_t i = from; i < parts.size(); ++i) {
    if (path.empty() || path.back() != separator) path += separator;
    path += parts[i];
  }
  if (trailing && (path.empty() || path.back() != separator)) path += separator;
  return path;
}

// The mount table's octal escapes: "\040" blank, "\011" tab, "\012" line
// break, "\134" backslash.
std::string Unescaped(std::string_view field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const std::string_view digits = field.substr(i + 1, 3);
      bool octal = true;
      for (char d : digits) octal = octal && d >= '0' && d <= '7';
      if (octal) {
        text +=
            static_cast<char>((digits[0] - '0') * 64 + (digits[1] - '0') * 8 + (digits[2] - '0'));
        i += 3;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

bool IsDrivePath(std::string_view path) {
  return path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':';
}

}  // namespace

std::vector<CifsMount> CifsMounts(std::string_view mountTable) {
  std::vector<CifsMount> mounts;
  std::size_t start = 0;
  while (start < mountTable.size()) {
    std::size_t end = mountTable.find('\n', start);
    if (end == std::string_view::npos) end = mountTable.size();
    const std::string_view line = mountTable.substr(start, end - start);
    start = end + 1;

    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 3) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      const std::size_t from = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > from) fields.push_back(line.substr(from, i - from));
    }
    if (fields.size() < 3) continue;
    if (fields[2] != "cifs" && fields[2] != "smb3" && fields[2] != "smbfs") continue;
    const std::vector<std::string> share = Components(Unescaped(fields[0]));
    if (share.size() < 2) continue;
    mounts.push_back({Joined("\\\\", share, 0, '\\', false), Unescaped(fields[1])});
  }
  return mounts;
}

DeploymentFolder ResolveDeploymentFolder(std::string_view typed,
                                         const std::optional<std::string>& mountTable) {
  DeploymentFolder folder;
  folder.client = std::string(typed);
  if (!mountTable) {
    folder.host = std::string(typed);
    return folder;
  }
  const std::vector<CifsMount> mounts = CifsMounts(*mountTable);
  const std::vector<std::string> parts = Components(typed);
  const bool trailing = !typed.empty() && IsSeparator(typed.back());

  if (typed.starts_with("\\\\")) {
    const CifsMount* best = nullptr;
    std::size_t covered = 0;
    for (const CifsMount& mount : mounts) {
      const std::size_t length = PrefixLength(Components(mount.share), parts, true);
      if (length > covered) best = &mount, covered = length;
    }
    if (!best) {
      const std::string share =
          parts.size() >= 2 ? "\\\\" + parts[0] + "\\" + parts[1] : std::string(typed);
      folder.unreachable = "No CIFS mount of " + share +
                           " is listed in this computer's mount table: mount the share, then "
                           "deploy again.";
      return folder;
    }
    folder.host = Joined(best->mountPoint, parts, covered, '/', trailing);
    return folder;
  }
  if (IsDrivePath(typed)) {
    folder.unreachable = std::string(typed) +
                         " is a Windows drive path, which this computer cannot reach: type the "
                         "share's \\\\server\\share name or a folder of this computer.";
    return folder;
  }

  folder.host = std::string(typed);
  const CifsMount* best = nullptr;
  std::size_t covered = 0;
  if (typed.starts_with("/")) {
    for (const CifsMount& mount : mounts) {
      const std::vector<std::string> point = Components(mount.mountPoint);
      const std::size_t length = PrefixLength(point, parts, false);
      if ((length > 0 || point.empty()) && (!best || length > covered)) {
        best = &mount, covered = length;
      }
    }
  }
  if (best) {
    folder.client = Joined(best->share, parts, covered, '\\', trailing);
  } else {
    folder.namedAsTyped = true;
  }
  return folder;
}

}  // namespace quillon::toolkit
