// Path helpers shared by every file system implementation.
#include "platform/file_system.h"

namespace quillon::platform {

char PathSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

namespace {
bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == '/';
#endif
}
}  // namespace

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (!path.empty() && !IsSeparator(path.back())) path += PathSeparator();
  path += name;
  return path;
}

std::string ParentFolder(std::string_view path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    if (IsSeparator(path[i - 1])) {
      // Keep the root's own separator ("/" or "C:\").
      std::size_t end = i - 1;
      if (end == 0 || (end == 2 && path[1] == ':')) end = i;
      return std::string(path.substr(0, end));
    }
  }
  return ".";
}

}  // namespace quillon::platform
