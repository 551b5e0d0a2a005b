// What a dry run of the engine gives it instead of the host's files and the
// network: every write kept in memory, and a mail server that accepts every
// message and keeps it, so that nothing leaves the machine the plan runs on.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/net/socket_loop.h"

namespace quillon::tools {

// Reads fall through to `base` unless the run wrote the file; writes, copies,
// new folders and locks stay in memory. A file whose folder neither exists on
// `base` nor was created in the run cannot be written, copied to or locked:
// the call fails as the host's would, and the refusal is kept.
class DryRunFileSystem : public platform::FileSystem {
 public:
  explicit DryRunFileSystem(platform::FileSystem& base) : base_(base) {}

  // A file as the run should find it, e.g. the document under the name the
  // clients run it by. Not counted as written.
  void Provide(const std::string& path, std::string content);

  struct Written {
    std::string path;
    std::string content;   // the whole file as the run would leave it
    bool existed = false;  // the file was there before the run
  };
  // Files the run wrote, in the order it first wrote each.
  std::vector<Written> WrittenFiles() const;
  const std::set<std::string>& CreatedFolders() const { return folders_; }

  struct Refused {
    std::string path;
    platform::Status status;
  };
  // Writes that failed for want of a folder, in the order the run tried them.
  const std::vector<Refused>& RefusedFiles() const { return refused_; }

  std::optional<std::string> ReadFile(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  bool FolderExists(const std::string& path) override;
  platform::Status WriteFileAtomic(const std::string& path, std::string_view content) override;
  platform::Status AppendToFile(const std::string& path, std::string_view content) override;
  std::unique_ptr<platform::WritableFile> OpenForWriting(const std::string& path,
                                                         platform::Status* status) override;
  std::vector<std::string> ListFiles(const std::string& folder, std::string_view suffix) override;
  std::vector<std::string> ListFolders(const std::string& folder) override {
    return base_.ListFolders(folder);
  }
  platform::Status CreateFolders(const std::string& path) override;
  platform::Status CopyFile(const std::string& from, const std::string& to) override;
  std::unique_ptr<platform::FileLock> TryLockFile(const std::string& path,
                                                  platform::Status* status, bool* busy) override;

 private:
  struct Entry {
    std::string content;
    bool existed = false;
    bool written = false;
  };
  Entry& EntryFor(const std::string& path, bool keepContent);
  // Whether `folder` exists on the host or was created in the run.
  bool FolderReachable(const std::string& folder);
  // Null when the folder of `path` is there; else the host's failure, kept.
  const platform::Status* RefusedForFolder(const std::string& path, int call,
                                           const std::string& what);

  platform::FileSystem& base_;
  std::map<std::string, Entry> files_;
  std::vector<std::string> order_;
  std::set<std::string> folders_;
  std::vector<Refused> refused_;
};

struct RecordedMail {
  std::string server, port;
  std::string from;
  std::vector<std::string> recipients;
  std::string data;  // the message as sent, dot-stuffing undone
  // The Subject header's value, as it stands in the message.
  std::string Subject() const;
};

// A connect the host's own loop would fail before reaching a server.
struct RefusedMail {
  std::string server, port;
  std::uint32_t error = 0;
  std::string description;
};

// Connections to any address reach an in-memory SMTP server that accepts every
// step; a conversation that never finishes still ends by the engine's watchdog
// (ticks are delivered whenever nothing else is waiting). The port is read as
// the host's loop reads it: one the host cannot connect to fails with the
// host's error, and no server sees the attempt.
class RecordingMailNetwork : public platform::net::Network {
 public:
  using PortReader =
      std::function<platform::net::PortReading(const std::string&, const std::string&)>;
  RecordingMailNetwork() : readPort_(platform::net::ReadPortAsHost) {}
  explicit RecordingMailNetwork(PortReader readPort) : readPort_(std::move(readPort)) {}

  std::unique_ptr<platform::net::SocketLoop> CreateSocketLoop(
      platform::net::SocketEvents& events) override;
  std::vector<RecordedMail> mails;
  std::vector<RefusedMail> refused;

 private:
  PortReader readPort_;
};

}  // namespace quillon::tools
