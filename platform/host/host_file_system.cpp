// Real files through the standard library, so both hosts share one implementation.
#include "platform/host/host_file_system.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace quillon::platform {
namespace fs = std::filesystem;

namespace {

Status ErrnoStatus(const std::string& what) {
  int number = errno;
  return Status::Error(static_cast<std::uint32_t>(number),
                       what + ": " + std::strerror(number));
}

Status ErrorCodeStatus(const std::string& what, const std::error_code& ec) {
  return Status::Error(static_cast<std::uint32_t>(ec.value()), what + ": " + ec.message());
}

bool EndsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  text.remove_prefix(text.size() - suffix.size());
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(text[i]) != lower(suffix[i])) return false;
  }
  return true;
}

class StdioWritableFile : public WritableFile {
 public:
  StdioWritableFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}
  ~StdioWritableFile() override {
    if (file_) std::fclose(file_);
  }
  Status Append(std::string_view bytes) override {
    if (!file_) return Status::Error(EBADF, "Writing " + path_ + ": file is closed");
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
      return ErrnoStatus("Writing " + path_);
    }
    return Status::Ok();
  }
  Status Close() override {
    if (!file_) return Status::Ok();
    bool flushed = std::fflush(file_) == 0;
    Status status = flushed ? Status::Ok() : ErrnoStatus("Writing " + path_);
    if (std::fclose(file_) != 0 && status.ok) status = ErrnoStatus("Closing " + path_);
    file_ = nullptr;
    return status;
  }

 private:
  std::FILE* file_;
  std::string path_;
};

}  // namespace

std::optional<std::string> HostFileSystem::ReadFile(const std::string& path) {
  std::error_code ec;
  if (fs::is_directory(fs::path(path), ec)) return std::nullopt;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  std::string content;
  char buffer[65536];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) content.append(buffer, got);
  bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return content;
}

bool HostFileSystem::FileExists(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::path(path), ec);
}

Status HostFileSystem::WriteFileAtomic(const std::string& path, std::string_view content) {
  // The temporary file lies in the target's folder so that the rename never
  // crosses file systems.
  const std::string temporary = path + ".tmp";
  Status status;
  auto file = OpenForWriting(temporary, &status);
  if (!file) return status;
  status = file->Append(content);
  Status closed = file->Close();
  if (status.ok) status = closed;
  if (status.ok) status = ReplaceFile(temporary, path);
  if (!status.ok) {
    std::error_code ec;
    fs::remove(fs::path(temporary), ec);
  }
  return status;
}

Status HostFileSystem::AppendToFile(const std::string& path, std::string_view content) {
  std::FILE* file = std::fopen(path.c_str(), "ab");
  if (!file) return ErrnoStatus("Opening " + path);
  StdioWritableFile writer(file, path);
  Status status = writer.Append(content);
  Status closed = writer.Close();
  return status.ok ? closed : status;
}

std::unique_ptr<WritableFile> HostFileSystem::OpenForWriting(const std::string& path,
                                                             Status* status) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    if (status) *status = ErrnoStatus("Opening " + path);
    return nullptr;
  }
  if (status) *status = Status::Ok();
  return std::make_unique<StdioWritableFile>(file, path);
}

std::vector<std::string> HostFileSystem::ListFiles(const std::string& folder,
                                                   std::string_view suffix) {
  std::vector<std::string> names;
  std::error_code ec;
  fs::directory_iterator it(fs::path(folder.empty() ? "." : folder), ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    std::string name = it->path().filename().string();
    if (EndsWithIgnoringCase(name, suffix)) names.push_back(std::move(name));
  }
  return names;
}

Status HostFileSystem::CreateFolders(const std::string& path) {
  std::error_code ec;
  fs::create_directories(fs::path(path), ec);
  if (ec) return ErrorCodeStatus("Creating folder " + path, ec);
  return Status::Ok();
}

}  // namespace quillon::platform
