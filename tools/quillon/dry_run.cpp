#include "tools/quillon/dry_run.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/sim/sim_platform.h"

namespace quillon::tools {

namespace platform = quillon::platform;

namespace {

constexpr std::uint32_t kFileNotFound = 2;

// How the host's files reach the system: its stdio calls set errno, its
// other calls are the system's own (on Windows, the Windows API's).
enum HostCall { kThroughCLibrary, kThroughSystem };

// What the host's file system says of a file whose folder is not there.
platform::Status MissingFolder(int call, const std::string& what) {
#ifdef _WIN32
  if (call == kThroughSystem) {
    return platform::Status::Error(3, what + ": The system cannot find the path specified.");
  }
#else
  (void)call;
#endif
  return platform::Status::Error(ENOENT, what + ": " + std::strerror(ENOENT));
}

class MemoryLock : public platform::FileLock {};

class MemoryWritableFile : public platform::WritableFile {
 public:
  explicit MemoryWritableFile(std::string& content) : content_(content) {}
  platform::Status Append(std::string_view bytes) override {
    content_ += bytes;
    return platform::Status::Ok();
  }
  platform::Status Close() override { return platform::Status::Ok(); }

 private:
  std::string& content_;
};

}  // namespace

void DryRunFileSystem::Provide(const std::string& path, std::string content) {
  Entry& entry = files_[path];
  entry.content = std::move(content);
  entry.existed = true;
}

DryRunFileSystem::Entry& DryRunFileSystem::EntryFor(const std::string& path, bool keepContent) {
  auto found = files_.find(path);
  if (found == files_.end()) {
    Entry entry;
    std::optional<std::string> before = base_.ReadFile(path);
    entry.existed = before.has_value() || base_.FileExists(path);
    if (keepContent && before) entry.content = std::move(*before);
    found = files_.emplace(path, std::move(entry)).first;
  } else if (!keepContent) {
    found->second.content.clear();
  }
  if (!found->second.written) {
    found->second.written = true;
    order_.push_back(path);
  }
  return found->second;
}

std::vector<DryRunFileSystem::Written> DryRunFileSystem::WrittenFiles() const {
  std::vector<Written> written;
  for (const std::string& path : order_) {
    const Entry& entry = files_.at(path);
    written.push_back({path, entry.content, entry.existed});
  }
  return written;
}

std::optional<std::string> DryRunFileSystem::ReadFile(const std::string& path) {
  auto found = files_.find(path);
  if (found != files_.end()) return found->second.content;
  return base_.ReadFile(path);
}

bool DryRunFileSystem::FileExists(const std::string& path) {
  return files_.count(path) != 0 || base_.FileExists(path);
}

bool DryRunFileSystem::FolderExists(const std::string& path) { return FolderReachable(path); }

bool DryRunFileSystem::FolderReachable(const std::string& folder) {
  // A folder created in the run brings every folder above it.
  const std::string below = platform::JoinPath(folder, "");
  auto created = folders_.lower_bound(folder);
  if (created != folders_.end() &&
      (*created == folder || created->compare(0, below.size(), below) == 0)) {
    return true;
  }
  created = folders_.lower_bound(below);
  if (created != folders_.end() && created->compare(0, below.size(), below) == 0) return true;
  return base_.FolderExists(folder);
}

const platform::Status* DryRunFileSystem::RefusedForFolder(const std::string& path, int call,
                                                           const std::string& what) {
  if (files_.count(path) != 0 || FolderReachable(platform::ParentFolder(path))) return nullptr;
  refused_.push_back({path, MissingFolder(call, what)});
  return &refused_.back().status;
}

platform::Status DryRunFileSystem::WriteFileAtomic(const std::string& path,
                                                   std::string_view content) {
  // The host first creates a temporary file of an unforeseeable name beside it.
  if (const platform::Status* refused =
          RefusedForFolder(path, kThroughSystem, "Creating " + path + ".<random>.tmp")) {
    return *refused;
  }
  EntryFor(path, false).content = content;
  return platform::Status::Ok();
}

platform::Status DryRunFileSystem::AppendToFile(const std::string& path,
                                                std::string_view content) {
  if (const platform::Status* refused =
          RefusedForFolder(path, kThroughCLibrary, "Opening " + path)) {
    return *refused;
  }
  EntryFor(path, true).content += content;
  return platform::Status::Ok();
}

std::unique_ptr<platform::WritableFile> DryRunFileSystem::OpenForWriting(const std::string& path,
                                                                         platform::Status* status) {
  if (const platform::Status* refused =
          RefusedForFolder(path, kThroughCLibrary, "Opening " + path)) {
    if (status != nullptr) *status = *refused;
    return nullptr;
  }
  if (status != nullptr) *status = platform::Status::Ok();
  return std::make_unique<MemoryWritableFile>(EntryFor(path, false).content);
}

std::vector<std::string> DryRunFileSystem::ListFiles(const std::string& folder,
                                                     std::string_view suffix) {
  std::vector<std::string> names = base_.ListFiles(folder, suffix);
  for (const auto& [path, entry] : files_) {
    if (platform::ParentFolder(path) != folder || !EndsWithIgnoringCase(path, suffix)) continue;
    std::string name = path.substr(folder.size() + 1);
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  return names;
}

platform::Status DryRunFileSystem::CreateFolders(const std::string& path) {
  if (!base_.FolderExists(path)) folders_.insert(path);
  return platform::Status::Ok();
}

platform::Status DryRunFileSystem::CopyFile(const std::string& from, const std::string& to) {
  std::optional<std::string> content = ReadFile(from);
  if (!content) {
    return platform::Status::Error(kFileNotFound, "The system cannot find the file specified.");
  }
  if (const platform::Status* refused =
          RefusedForFolder(to, kThroughSystem, "Copying " + from + " to " + to)) {
    return *refused;
  }
  EntryFor(to, false).content = std::move(*content);
  return platform::Status::Ok();
}

std::unique_ptr<platform::FileLock> DryRunFileSystem::TryLockFile(const std::string& path,
                                                                  platform::Status* status,
                                                                  bool* busy) {
  if (busy != nullptr) *busy = false;
  // The host creates the lock file when it is missing.
  if (const platform::Status* refused =
          RefusedForFolder(path, kThroughSystem, "Opening " + path)) {
    if (status != nullptr) *status = *refused;
    return nullptr;
  }
  // Nobody else can reach the run's files in memory.
  if (status != nullptr) *status = platform::Status::Ok();
  return std::make_unique<MemoryLock>();
}

std::string RecordedMail::Subject() const {
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t end = data.find("\r\n", at);
    if (end == std::string::npos) end = data.size();
    if (end == at) break;  // the headers end at the first empty line
    std::string_view line(data.data() + at, end - at);
    if (line.size() >= 8 && platform::sim::EqualsIgnoringCase(line.substr(0, 8), "Subject:")) {
      line.remove_prefix(8);
      while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
      return std::string(line);
    }
    at = end + 2;
  }
  return {};
}

namespace {

// One SMTP conversation in memory. Events wait in a queue and are delivered
// one per ProcessEvents, as the host's loop delivers what is ready.
class RecordingSmtpLoop : public platform::net::SocketLoop {
 public:
  RecordingSmtpLoop(platform::net::SocketEvents& events, RecordingMailNetwork& network,
                    const RecordingMailNetwork::PortReader& readPort)
      : events_(events), mails_(network.mails), refused_(network.refused), readPort_(readPort) {}

  void Connect(const std::string& host, const std::string& port) override {
    mail_ = RecordedMail{};
    mail_.server = host;
    mail_.port = port;
    open_ = true;
    const platform::net::PortReading reading = readPort_(host, port);
    if (reading.error != 0) {
      // As the host's loop: open until the error is delivered, on the next call.
      refused_.push_back({host, port, reading.error, reading.description});
      pending_.push_back([this, reading] {
        open_ = false;
        events_.OnError(reading.error, reading.description);
      });
      return;
    }
    pending_.push_back([this] { events_.OnConnect(); });
    Reply("220 quillon plan: mail is recorded, not sent");
  }

  void SendData(std::string_view data) override {
    if (!open_) return;
    received_ += data;
    for (;;) {
      if (inData_) {
        std::size_t end = received_.find("\r\n.\r\n");
        if (end == std::string::npos) return;
        mail_.data = Unstuffed(received_.substr(0, end + 2));
        received_.erase(0, end + 5);
        inData_ = false;
        mails_.push_back(mail_);
        Reply("250 recorded");
        continue;
      }
      std::size_t end = received_.find("\r\n");
      if (end == std::string::npos) return;
      const std::string line = received_.substr(0, end);
      received_.erase(0, end + 2);
      Command(line);
    }
  }

  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::string LocalHostName() override { return "localhost"; }
  std::string LocalAddress() override { return open_ ? "[127.0.0.1]" : std::string(); }
  void SetTimerEnabled(bool /*enabled*/) override {}

  void ProcessEvents() override {
    if (pending_.empty()) {
      events_.OnTick();
      return;
    }
    std::function<void()> next = std::move(pending_.front());
    pending_.pop_front();
    next();
  }

 private:
  static bool Starts(std::string_view line, std::string_view verb) {
    return line.size() >= verb.size() &&
           platform::sim::EqualsIgnoringCase(line.substr(0, verb.size()), verb);
  }

  // The address between the angle brackets (or after the colon without them).
  static std::string Address(std::string_view line) {
    std::size_t open = line.find('<');
    std::size_t close = line.rfind('>');
    if (open != std::string_view::npos && close != std::string_view::npos && close > open) {
      return std::string(line.substr(open + 1, close - open - 1));
    }
    std::size_t colon = line.find(':');
    return std::string(colon == std::string_view::npos ? line : line.substr(colon + 1));
  }

  static std::string Unstuffed(const std::string& data) {
    std::string result;
    result.reserve(data.size());
    bool lineStart = true;
    for (std::size_t i = 0; i < data.size(); ++i) {
      if (lineStart && data[i] == '.') {
        lineStart = false;
        continue;
      }
      result += data[i];
      lineStart = data[i] == '\n';
    }
    return result;
  }

  void Command(std::string_view line) {
    if (Starts(line, "HELO") || Starts(line, "EHLO") || Starts(line, "RSET") ||
        Starts(line, "NOOP")) {
      Reply("250 ok");
    } else if (Starts(line, "MAIL FROM:")) {
      mail_.from = Address(line);
      Reply("250 ok");
    } else if (Starts(line, "RCPT TO:")) {
      mail_.recipients.push_back(Address(line));
      Reply("250 ok");
    } else if (Starts(line, "DATA")) {
      inData_ = true;
      Reply("354 go ahead");
    } else if (Starts(line, "QUIT")) {
      Reply("221 bye");
      pending_.push_back([this] { open_ = false; });
    } else {
      Reply("500 not understood");
    }
  }

  void Reply(std::string text) {
    pending_.push_back([this, text = std::move(text) + "\r\n"] {
      if (open_) events_.OnDataArrival(text);
    });
  }

  platform::net::SocketEvents& events_;
  std::vector<RecordedMail>& mails_;
  std::vector<RefusedMail>& refused_;
  RecordingMailNetwork::PortReader readPort_;
  std::deque<std::function<void()>> pending_;
  RecordedMail mail_;
  std::string received_;
  bool open_ = false;
  bool inData_ = false;
};

}  // namespace

std::unique_ptr<platform::net::SocketLoop> RecordingMailNetwork::CreateSocketLoop(
    platform::net::SocketEvents& events) {
  return std::make_unique<RecordingSmtpLoop>(events, *this, readPort_);
}

}  // namespace quillon::tools
