#include "platform/host/host_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>

#ifdef _WIN32
#include <chrono>
#include <thread>

#include "platform/host/windows_api.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon::platform {
namespace {
namespace fs = std::filesystem;

class HostFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-hostfs-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  // JoinPath, not std::filesystem: on Windows the latter re-encodes 8-bit names.
  std::string Path(const std::string& name) const { return JoinPath(folder_.string(), name); }

  fs::path folder_;
  HostFileSystem files_;
};

TEST_F(HostFileSystemTest, AtomicWriteReplacesWholeContentAndLeavesNoTemporary) {
  const std::string path = Path("status.log");
  ASSERT_TRUE(files_.WriteFileAtomic(path, "a much longer first content\r\n").ok);
  ASSERT_TRUE(files_.WriteFileAtomic(path, "short\r\n").ok);
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("short\r\n"));
  for (const auto& entry : fs::directory_iterator(folder_)) {
    EXPECT_EQ(entry.path().extension(), ".log") << "left behind: " << entry.path();
  }

  // A folder that is really a file cannot hold anything, even for root.
  ASSERT_TRUE(files_.WriteFileAtomic(Path("plain"), "x").ok);
  Status failed = files_.WriteFileAtomic(JoinPath(Path("plain"), "inner.log"), "y");
  EXPECT_FALSE(failed.ok);
  EXPECT_NE(failed.errorNumber, 0u);
  EXPECT_FALSE(failed.description.empty());
  EXPECT_EQ(files_.ReadFile(Path("plain")), std::optional<std::string>("x"));
}

TEST_F(HostFileSystemTest, ReadAppendAndTruncate) {
  const std::string path = Path("a.txt");
  EXPECT_FALSE(files_.ReadFile(path).has_value());
  EXPECT_FALSE(files_.FileExists(path));
  ASSERT_TRUE(files_.AppendToFile(path, "one\r\n").ok);
  ASSERT_TRUE(files_.AppendToFile(path, "two\r\n").ok);
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("one\r\ntwo\r\n"));
  EXPECT_TRUE(files_.FileExists(path));

  Status status;
  auto file = files_.OpenForWriting(path, &status);
  ASSERT_TRUE(file) << status.description;
  ASSERT_TRUE(file->Append(std::string("\0\1\2", 3)).ok);
  ASSERT_TRUE(file->Close().ok);
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>(std::string("\0\1\2", 3)));

  EXPECT_FALSE(files_.ReadFile(folder_.string()).has_value()) << "a folder is not a file";
  EXPECT_FALSE(files_.FileExists(folder_.string()));
  EXPECT_FALSE(files_.AppendToFile(JoinPath(path, "x"), "y").ok);
#ifndef _WIN32
  // A name a user placed in a shared folder never turns a write onto another
  // file: a link is neither appended to nor emptied through, and a pipe
  // without a reader is refused at once instead of waited on.
  ASSERT_EQ(::symlink("a.txt", Path("log.debug").c_str()), 0);
  EXPECT_FALSE(files_.AppendToFile(Path("log.debug"), "appended").ok);
  Status linked;
  EXPECT_FALSE(files_.OpenForWriting(Path("log.debug"), &linked));
  EXPECT_NE(linked.description.find("is a link"), std::string::npos) << linked.description;
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>(std::string("\0\1\2", 3)));
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  EXPECT_FALSE(files_.AppendToFile(Path("pipe"), "x").ok);
  EXPECT_FALSE(files_.OpenForWriting(Path("pipe"), nullptr));
#endif
}

TEST_F(HostFileSystemTest, ListFilesMatchesSuffixIgnoringCaseAndSkipsFolders) {
  for (const char* name : {"b.ini", "A.INI", "notes.txt", "x.ini.bak"}) {
    ASSERT_TRUE(files_.WriteFileAtomic(Path(name), "").ok);
  }
  fs::create_directories(folder_ / "folder.ini");
  auto names = files_.ListFiles(folder_.string(), ".ini");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"A.INI", "b.ini"}));
  EXPECT_TRUE(files_.ListFiles(Path("missing"), ".ini").empty());

  ASSERT_TRUE(files_.CreateFolders(Path("d/e/f")).ok);
  EXPECT_TRUE(fs::is_directory(folder_ / "d" / "e" / "f"));
  EXPECT_FALSE(files_.CreateFolders(JoinPath(Path("b.ini"), "sub")).ok);

  auto folders = files_.ListFolders(folder_.string());
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<std::string>{"d", "folder.ini"})) << "no files, no . or ..";
  EXPECT_TRUE(files_.ListFolders(Path("missing")).empty());
  const auto drives = files_.ListDrives();
  ASSERT_FALSE(drives.empty());
#ifdef _WIN32
  EXPECT_EQ(drives.front().size(), 2U);
  EXPECT_EQ(drives.front()[1], ':');
#else
  EXPECT_EQ(drives, (std::vector<std::string>{"/"}));
#endif
}

TEST_F(HostFileSystemTest, CopyReplacesTheTargetAndReportsAMissingSource) {
  ASSERT_TRUE(files_.WriteFileAtomic(Path("driver.dll"), "new driver").ok);
  ASSERT_TRUE(files_.WriteFileAtomic(Path("old.dll"), "an older and longer driver").ok);
  ASSERT_TRUE(files_.CopyFile(Path("driver.dll"), Path("old.dll")).ok);
  EXPECT_EQ(files_.ReadFile(Path("old.dll")), std::optional<std::string>("new driver"));
  Status missing = files_.CopyFile(Path("absent.dll"), Path("x.dll"));
  EXPECT_FALSE(missing.ok);
  EXPECT_NE(missing.errorNumber, 0u);
  EXPECT_FALSE(files_.FileExists(Path("x.dll")));
}

TEST_F(HostFileSystemTest, Utf8NamesRoundTripThroughEveryCall) {
  // "Drücker – Łódź": UTF-8 everywhere, on Windows beyond its ANSI code page.
  const std::string name = "Dr\xC3\xBC" "cker \xE2\x80\x93 \xC5\x81\xC3\xB3""d\xC5\xBA.ini";
  const std::string path = Path(name);
  ASSERT_TRUE(files_.WriteFileAtomic(path, "[GENERAL]\r\n").ok);
  EXPECT_TRUE(files_.FileExists(path));
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("[GENERAL]\r\n"));
  EXPECT_EQ(files_.ListFiles(folder_.string(), ".ini"), std::vector<std::string>{name});
  ASSERT_TRUE(files_.CopyFile(path, Path("copy \xC5\x81.ini")).ok);
  EXPECT_TRUE(files_.FileExists(Path("copy \xC5\x81.ini")));
  ASSERT_TRUE(files_.CreateFolders(Path("Ordner \xC5\x81/unten")).ok);
  const std::string log = JoinPath(Path("Ordner \xC5\x81/unten"), "\xC5\x81.log");
  EXPECT_TRUE(files_.AppendToFile(log, "x").ok);
  EXPECT_TRUE(files_.AppendToFile(log, "y").ok);
  EXPECT_EQ(files_.ReadFile(log), std::optional<std::string>("xy"));
}

TEST_F(HostFileSystemTest, FolderExistsOnlyForFolders) {
  const std::string folder = Path("Ordner \xFC");
  ASSERT_TRUE(files_.CreateFolders(JoinPath(folder, "unten")).ok);
  ASSERT_TRUE(files_.WriteFileAtomic(Path("file.ini"), "x").ok);
  EXPECT_TRUE(files_.FolderExists(folder));
  EXPECT_TRUE(files_.FolderExists(JoinPath(folder, "unten")));
  EXPECT_TRUE(files_.FolderExists(folder + PathSeparator())) << "a trailing separator";
  EXPECT_FALSE(files_.FolderExists(Path("file.ini"))) << "a file is not a folder";
  EXPECT_FALSE(files_.FolderExists(Path("absent")));
  EXPECT_FALSE(files_.FolderExists(JoinPath(Path("file.ini"), "below")));
  EXPECT_FALSE(files_.FolderExists(""));
}

TEST_F(HostFileSystemTest, ListFolderGivesKindsSizesAndTimesAndReadsInPieces) {
  ASSERT_TRUE(files_.WriteFileAtomic(Path("report.txt"), std::string(70000, 'r')).ok);
  ASSERT_TRUE(files_.WriteFileAtomic(Path("empty.txt"), "").ok);
  ASSERT_TRUE(files_.CreateFolders(Path("below")).ok);
#ifndef _WIN32
  // No link is entered or read, whether to a folder above or to a file that
  // may lie outside; a pipe is no file either, so nothing opens it and waits.
  ASSERT_EQ(::symlink("..", Path("up").c_str()), 0);
  ASSERT_EQ(::symlink("report.txt", Path("linked.txt").c_str()), 0);
  ASSERT_EQ(::symlink("absent", Path("broken").c_str()), 0);
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
#endif
  const std::time_t before = std::time(nullptr);
  std::optional<std::vector<FolderEntry>> entries = files_.ListFolder(folder_.string());
  ASSERT_TRUE(entries.has_value());
  std::map<std::string, FolderEntry> byName;
  for (const FolderEntry& entry : *entries) byName[entry.name] = entry;
  using Kind = FolderEntry::Kind;
  std::map<std::string, Kind> kinds;
  for (const auto& [name, entry] : byName) kinds[name] = entry.kind;
  std::map<std::string, Kind> expected = {
      {"report.txt", Kind::File}, {"empty.txt", Kind::File}, {"below", Kind::Folder}};
#ifndef _WIN32
  expected.insert({{"up", Kind::Other}, {"linked.txt", Kind::Other}, {"broken", Kind::Other},
                   {"pipe", Kind::Other}});
  EXPECT_TRUE(byName["linked.txt"].link && byName["up"].link && byName["broken"].link);
  EXPECT_FALSE(byName["pipe"].link || byName["report.txt"].link);
#endif
  EXPECT_EQ(kinds, expected);
  EXPECT_EQ(byName["report.txt"].size, 70000u);
  EXPECT_EQ(byName["empty.txt"].size, 0u);
  // Written a moment ago, in local time.
  ASSERT_TRUE(byName["report.txt"].modified.has_value());
  const LocalTime& written = *byName["report.txt"].modified;
  std::tm now{};
#ifdef _WIN32
  localtime_s(&now, &before);
#else
  localtime_r(&before, &now);
#endif
  const long long apart =
      (DaysSinceEpoch(written.year, written.month, written.day) * 86400 + written.hour * 3600 +
       written.minute * 60 + written.second) -
      (DaysSinceEpoch(now.tm_year + 1900, now.tm_mon + 1, now.tm_mday) * 86400 + now.tm_hour * 3600 +
       now.tm_min * 60 + now.tm_sec);
  EXPECT_LE(std::abs(apart), 120) << "written " << apart << " s from now";

  EXPECT_FALSE(files_.ListFolder(Path("absent")).has_value());
  EXPECT_FALSE(files_.ListFolder(Path("report.txt")).has_value()) << "a file is no folder";
  const auto below = files_.ListFolder(Path("below"));
  ASSERT_TRUE(below.has_value()) << "an empty folder is listed";
  EXPECT_TRUE(below->empty());

  // Read in pieces: every byte once, then the end.
  std::unique_ptr<ReadableFile> file = files_.OpenForReading(Path("report.txt"));
  ASSERT_TRUE(file);
  std::string read;
  char buffer[4096];
  while (true) {
    std::optional<std::size_t> got = file->Read(buffer, sizeof buffer);
    ASSERT_TRUE(got.has_value());
    if (*got == 0) break;
    read.append(buffer, *got);
  }
  EXPECT_EQ(read, std::string(70000, 'r'));
  EXPECT_EQ(files_.OpenForReading(Path("below")), nullptr) << "a folder is no file";
  EXPECT_EQ(files_.OpenForReading(Path("absent")), nullptr);
}

#ifndef _WIN32
// What a user with write access to a share can put where the tools read and
// write: pipes, links out of it, files that never end, planted temporaries.
TEST_F(HostFileSystemTest, HostileGroundIsNeitherFollowedNorWaitedOn) {
  ASSERT_TRUE(files_.WriteFileAtomic(Path("private"), "secret").ok);
  ASSERT_EQ(::symlink(Path("private").c_str(), Path("report.txt").c_str()), 0);
  ASSERT_EQ(::mkfifo(Path("pipe").c_str(), 0600), 0);
  Status why;
  // Each of these would block for ever or read the private file.
  EXPECT_FALSE(files_.ReadRegularFile(Path("report.txt"), 1 << 20, &why));
  EXPECT_NE(why.description.find("link"), std::string::npos) << why.description;
  EXPECT_FALSE(files_.ReadRegularFile(Path("pipe"), 1 << 20, &why));
  EXPECT_NE(why.description.find("not a regular file"), std::string::npos) << why.description;
  EXPECT_FALSE(files_.ReadFile(Path("pipe")).has_value());
  EXPECT_EQ(files_.OpenForReading(Path("pipe")), nullptr);
  EXPECT_EQ(files_.OpenForReading(Path("report.txt")), nullptr);
  EXPECT_EQ(files_.ReadFile(Path("report.txt")), std::optional<std::string>("secret"))
      << "trusted reads still follow links";

  // Bounded by the limit, whether the size is told (a large file) or not (a
  // kernel pseudo-file reports 0 bytes and goes on).
  ASSERT_TRUE(files_.WriteFileAtomic(Path("big"), std::string(5000, 'x')).ok);
  EXPECT_EQ(files_.ReadRegularFile(Path("big"), 5000, &why),
            std::optional<std::string>(std::string(5000, 'x')));
  EXPECT_FALSE(files_.ReadRegularFile(Path("big"), 4999, &why));
  EXPECT_NE(why.description.find("larger than"), std::string::npos) << why.description;
  if (fs::exists("/proc/self/maps")) {
    EXPECT_FALSE(files_.ReadRegularFile("/proc/self/maps", 16, &why)) << "reported size 0";
  }

  // A link planted where the file is written is replaced, not written
  // through, and a link planted at a foreseeable temporary name is not used.
  const std::string target = Path("QuillonEngine.exe");
  ASSERT_EQ(::symlink(Path("private").c_str(), target.c_str()), 0);
  // The name a temporary file per process would have had.
  ASSERT_EQ(::symlink(Path("private").c_str(),
                      (target + "." + std::to_string(::getpid()) + ".tmp").c_str()),
            0);
  ASSERT_TRUE(files_.WriteFileAtomic(target, "engine").ok);
  EXPECT_EQ(files_.ReadFile(Path("private")), std::optional<std::string>("secret"));
  struct stat written {};
  ASSERT_EQ(::lstat(target.c_str(), &written), 0);
  EXPECT_TRUE(S_ISREG(written.st_mode));
  EXPECT_EQ(written.st_uid, ::geteuid());
  EXPECT_EQ(files_.ReadRegularFile(target, 100, &why), std::optional<std::string>("engine"));
}
#endif

#ifndef _WIN32
// A document the administrator keeps is saved as an editor saves it: a
// read-only one refused and left as it was, its permissions and group kept,
// a link written through to its target, still by a rename there.
TEST_F(HostFileSystemTest, ADocumentSaveRefusesReadOnlyKeepsModeAndWritesThroughLinks) {
  const std::string readOnly = Path("locked.ini");
  ASSERT_TRUE(files_.WriteFileAtomic(readOnly, "old").ok);
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  Status refused = files_.SaveDocumentFile(readOnly, "new");
  EXPECT_FALSE(refused.ok);
  EXPECT_NE(refused.description.find("read-only"), std::string::npos) << refused.description;
  EXPECT_EQ(files_.ReadFile(readOnly), std::optional<std::string>("old"));

  const std::string shared = Path("shared.ini");
  ASSERT_TRUE(files_.WriteFileAtomic(shared, "old").ok);
  ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
  // Another group than the writer's own, where this account may give one.
  const gid_t group = ::geteuid() == 0 ? 4242 : ::getegid();
  ASSERT_EQ(::chown(shared.c_str(), static_cast<uid_t>(-1), group), 0);
  ASSERT_TRUE(files_.SaveDocumentFile(shared, "new").ok);
  struct stat facts {};
  ASSERT_EQ(::stat(shared.c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 07777, 0640u);
  EXPECT_EQ(facts.st_gid, group);
  EXPECT_EQ(files_.ReadFile(shared), std::optional<std::string>("new"));

  fs::create_directories(folder_ / "real");
  const std::string target = JoinPath(Path("real"), "floor2.ini");
  ASSERT_TRUE(files_.WriteFileAtomic(target, "old").ok);
  const std::string link = Path("floor2.ini");
  ASSERT_EQ(::symlink("real/floor2.ini", link.c_str()), 0);
  ASSERT_TRUE(files_.SaveDocumentFile(link, "new").ok);
  ASSERT_EQ(::lstat(link.c_str(), &facts), 0);
  EXPECT_TRUE(S_ISLNK(facts.st_mode)) << "the link was replaced by a file";
  EXPECT_EQ(files_.ReadFile(target), std::optional<std::string>("new"));
  // The rename happened beside the target: nothing left in either folder.
  for (const fs::path& each : {folder_, folder_ / "real"}) {
    for (const auto& entry : fs::directory_iterator(each)) {
      EXPECT_NE(entry.path().extension(), ".tmp") << "left behind: " << entry.path();
    }
  }
  // A link to a read-only file is refused as that file is; one that leads
  // nowhere is refused without creating its target.
  ASSERT_EQ(::symlink("locked.ini", Path("locked-link.ini").c_str()), 0);
  EXPECT_FALSE(files_.SaveDocumentFile(Path("locked-link.ini"), "new").ok);
  EXPECT_EQ(files_.ReadFile(readOnly), std::optional<std::string>("old"));
  ASSERT_EQ(::symlink("gone/missing.ini", Path("dangling.ini").c_str()), 0);
  EXPECT_FALSE(files_.SaveDocumentFile(Path("dangling.ini"), "new").ok);
  // A new document is simply created.
  ASSERT_TRUE(files_.SaveDocumentFile(Path("fresh.ini"), "new").ok);
  EXPECT_EQ(files_.ReadFile(Path("fresh.ini")), std::optional<std::string>("new"));
}
#endif

#ifdef _WIN32
// A virus scanner or the indexer holding the file being replaced (open without
// sharing its deletion) for a moment delays the replacement; one that keeps
// holding it makes it fail, after about a second, with the system's reason.
TEST_F(HostFileSystemTest, AReplaceWaitsOutAShortHoldOnTheFile) {
  using namespace std::chrono_literals;
  const std::string path = Path("status.ini");
  ASSERT_TRUE(files_.WriteFileAtomic(path, "old").ok);
  const auto hold = [&path] {
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread scanner([held] {
    Sleep(300);
    CloseHandle(held);
  });
  const Status replaced = files_.WriteFileAtomic(path, "new");
  scanner.join();
  EXPECT_TRUE(replaced.ok) << replaced.errorNumber << " " << replaced.description;
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("new"));

  held = hold();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto start = std::chrono::steady_clock::now();
  const Status refused = files_.WriteFileAtomic(path, "newer");
  const auto waited = std::chrono::steady_clock::now() - start;
  CloseHandle(held);
  EXPECT_FALSE(refused.ok);
  EXPECT_TRUE(refused.errorNumber == ERROR_SHARING_VIOLATION ||
              refused.errorNumber == ERROR_ACCESS_DENIED)
      << refused.errorNumber << " " << refused.description;
  EXPECT_GE(waited, 900ms);
  EXPECT_LT(waited, 5s);
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("new"));
  EXPECT_EQ(files_.ListFiles(folder_.string(), ""), std::vector<std::string>{"status.ini"})
      << "no temporary file left";
}
#endif

TEST(PathTest, JoinAndParent) {
  const std::string s(1, PathSeparator());
  EXPECT_EQ(JoinPath("dir", "f.ini"), "dir" + s + "f.ini");
  EXPECT_EQ(JoinPath("dir" + s, "f.ini"), "dir" + s + "f.ini");
  EXPECT_EQ(JoinPath("", "f.ini"), "f.ini");
  EXPECT_EQ(ParentFolder("a" + s + "b" + s + "c.exe"), "a" + s + "b");
  EXPECT_EQ(ParentFolder(s + "c.exe"), s);
  EXPECT_EQ(ParentFolder("c.exe"), ".");
#ifdef _WIN32
  EXPECT_EQ(ParentFolder("C:\\QuillonEngine.exe"), "C:\\");
  EXPECT_EQ(ParentFolder("C:/deploy/QuillonEngine.exe"), "C:/deploy");
#endif
}

}  // namespace
}  // namespace quillon::platform
