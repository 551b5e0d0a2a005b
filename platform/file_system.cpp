// Path helpers shared by every file system implementation, and the listing
// and piecewise reading of those that offer nothing better.
#include "platform/file_system.h"

#include <algorithm>
#include <cstring>

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

namespace {

class WholeFileReader : public ReadableFile {
 public:
  explicit WholeFileReader(std::string content) : content_(std::move(content)) {}
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    const std::size_t count = std::min(size, content_.size() - at_);
    std::memcpy(buffer, content_.data() + at_, count);
    at_ += count;
    return count;
  }

 private:
  std::string content_;
  std::size_t at_ = 0;
};

}  // namespace

std::optional<std::vector<FolderEntry>> FileSystem::ListFolder(const std::string& folder) {
  if (!FolderExists(folder)) return std::nullopt;
  std::vector<FolderEntry> entries;
  for (std::string& name : ListFolders(folder)) {
    entries.push_back({std::move(name), FolderEntry::Kind::Folder, 0, std::nullopt});
  }
  for (std::string& name : ListFiles(folder, "")) {
    entries.push_back({std::move(name), FolderEntry::Kind::File, 0, std::nullopt});
  }
  return entries;
}

std::optional<std::string> FileSystem::ReadRegularFile(const std::string& path,
                                                      std::uint64_t limit, Status* status) {
  std::optional<std::string> content = ReadFile(path);
  if (!content) {
    if (status) *status = Status::Error(2, path + ": cannot be read");
    return std::nullopt;
  }
  if (content->size() > limit) {
    if (status) *status = Status::Error(223, TooLargeText(path, limit));
    return std::nullopt;
  }
  if (status) *status = Status::Ok();
  return content;
}

Status FileSystem::CopyFileAnew(const std::string& from, const std::string& to,
                                std::uint64_t limit) {
  Status read;
  const std::optional<std::string> content = ReadRegularFile(from, limit, &read);
  if (!content) return read;
  return WriteFileAtomic(to, *content);
}

std::string TooLargeText(const std::string& path, std::uint64_t limit) {
  return path + ": is larger than " + std::to_string(limit / (1024 * 1024)) +
         " MB, more than such a file can hold";
}

std::unique_ptr<ReadableFile> FileSystem::OpenForReading(const std::string& path) {
  std::optional<std::string> content = ReadFile(path);
  if (!content) return nullptr;
  return std::make_unique<WholeFileReader>(std::move(*content));
}

}  // namespace quillon::platform
