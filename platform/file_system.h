// Files and folders of the host. Paths are host paths; JoinPath puts the host's
// separator between a folder and a name.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/status.h"

namespace quillon::platform {

// A file opened for writing from its start; its earlier content is gone.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  virtual Status Append(std::string_view bytes) = 0;
  // Flushes and closes; the file's outcome is known only after this.
  virtual Status Close() = 0;
};

// A file opened for reading from its start, piece by piece, so that a large
// file need not be held whole.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;
  // Up to `size` bytes into `buffer`: how many were read, 0 at the end of the
  // file; nullopt when reading failed.
  virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

// One entry of a folder listing.
struct FolderEntry {
  enum class Kind {
    File,    // a regular file itself, never a link to one
    Folder,  // a folder itself, never a link to one, so a walk cannot loop
    Other,   // a link, a pipe, a device: neither read nor entered
  };
  std::string name;
  Kind kind = Kind::Other;
  std::uint64_t size = 0;              // bytes, for files
  std::optional<LocalTime> modified;   // local time of the last write, when known
  bool link = false;  // a symbolic link, junction or other reparse point
};

// An exclusive lock that other processes honour; released on destruction.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // The whole content as bytes; nullopt when the file cannot be opened. A
  // pipe or device is not a file: it is refused, never waited on.
  virtual std::optional<std::string> ReadFile(const std::string& path) = 0;
  // For files on ground that users can write (a deployment share, its reports,
  // a debug file handed in): only a regular file, never reached through a link
  // in its last component, opened without waiting, and only when it holds at
  // most `limit` bytes; otherwise nullopt, with the reason in `status`.
  // The default trusts ReadFile and checks only the size.
  virtual std::optional<std::string> ReadRegularFile(const std::string& path,
                                                     std::uint64_t limit, Status* status);
  virtual bool FileExists(const std::string& path) = 0;
  // Whether `path` is a folder that can be reached (a UNC share too, on Windows).
  virtual bool FolderExists(const std::string& path) = 0;
  // Replaces the file's whole content so that a crash or a full disk leaves
  // either the old or the new content, never a mixture or nothing. The new
  // content goes into a file created anew beside it (never into a file or a
  // link that was there before), which is then renamed over the name: a link
  // of that name is replaced, not followed, and the file belongs to its writer.
  virtual Status WriteFileAtomic(const std::string& path, std::string_view content) = 0;
  // Saves a document the user keeps, as atomically as WriteFileAtomic, but as
  // an editor saves: a link is followed and its target replaced, a file the
  // user may not write (read-only) is refused, and the new file keeps the old
  // one's permissions (and owner and group where allowed). Never for ground
  // others can write: there WriteFileAtomic replaces links. The default is
  // WriteFileAtomic.
  virtual Status SaveDocumentFile(const std::string& path, std::string_view content) {
    return WriteFileAtomic(path, content);
  }
  // Appends to the file, creating it if it does not exist.
  virtual Status AppendToFile(const std::string& path, std::string_view content) = 0;
  // Opens the file for writing, truncating what it held.
  virtual std::unique_ptr<WritableFile> OpenForWriting(const std::string& path,
                                                       Status* status) = 0;
  // Names of the regular files in `folder` whose name ends in `suffix`
  // (letters compared without regard to case), in the order the directory
  // listing returns them.
  virtual std::vector<std::string> ListFiles(const std::string& folder,
                                             std::string_view suffix) = 0;
  // Names of the folders in `folder`, without "." and ".."; empty when it
  // cannot be read.
  virtual std::vector<std::string> ListFolders(const std::string& /*folder*/) { return {}; }
  // Every entry of `folder` (without "." and ".."), in the order the listing
  // returns them; nullopt when the folder does not exist or cannot be read.
  // The default is made of the calls above and knows no sizes or times.
  virtual std::optional<std::vector<FolderEntry>> ListFolder(const std::string& folder);
  // Opens a file for reading in pieces; null when it cannot be opened. Only
  // a regular file is opened, never through a link in its last component,
  // and never waiting on a pipe. The default reads the whole file at once.
  virtual std::unique_ptr<ReadableFile> OpenForReading(const std::string& path);
  // Where a browse for files starts: the drives ("C:") on Windows, "/" elsewhere.
  virtual std::vector<std::string> ListDrives() { return {}; }
  virtual Status CreateFolders(const std::string& path) = 0;
  // Copies a file, replacing the target if it exists.
  virtual Status CopyFile(const std::string& from, const std::string& to) = 0;
  // Copies a regular file of at most `limit` bytes, never read through a
  // link, the way WriteFileAtomic writes: into a file created anew and renamed
  // over `to`, never into a file or link that was there. A source that may be
  // run (POSIX execute permission) gives a copy that may be run; Windows has
  // no such mark. The default reads through ReadRegularFile and writes
  // through WriteFileAtomic.
  virtual Status CopyFileAnew(const std::string& from, const std::string& to,
                              std::uint64_t limit);
  // Takes the exclusive lock of the file `path` (created when missing, never
  // removed) if no one else holds it; null, with the reason in `status`, when
  // it could not be had, and `busy` set when that reason is another holder
  // (worth waiting for) rather than a file that cannot be locked at all. It
  // never waits: callers pause through the Clock.
  virtual std::unique_ptr<FileLock> TryLockFile(const std::string& path, Status* status,
                                                bool* busy) = 0;
};

// Why ReadRegularFile refused a file over `limit` bytes.
std::string TooLargeText(const std::string& path, std::uint64_t limit);

// The host's path separator.
char PathSeparator();
std::string JoinPath(std::string_view folder, std::string_view name);
// The folder part of a path (everything before the last separator).
std::string ParentFolder(std::string_view path);

}  // namespace quillon::platform
