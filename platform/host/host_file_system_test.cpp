#include "platform/host/host_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>

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

TEST_F(HostFileSystemTest, EightBitNamesRoundTripThroughEveryCall) {
  // u-umlaut and an en dash in the Windows ANSI code page; plain bytes on POSIX.
  const std::string name = "Dr\xFC" "cker \x96 Etage.ini";
  const std::string path = Path(name);
  ASSERT_TRUE(files_.WriteFileAtomic(path, "[GENERAL]\r\n").ok);
  EXPECT_TRUE(files_.FileExists(path));
  EXPECT_EQ(files_.ReadFile(path), std::optional<std::string>("[GENERAL]\r\n"));
  EXPECT_EQ(files_.ListFiles(folder_.string(), ".ini"), std::vector<std::string>{name});
  ASSERT_TRUE(files_.CopyFile(path, Path("copy \xFC.ini")).ok);
  EXPECT_TRUE(files_.FileExists(Path("copy \xFC.ini")));
  ASSERT_TRUE(files_.CreateFolders(Path("Ordner \xFC/unten")).ok);
  EXPECT_TRUE(files_.AppendToFile(JoinPath(Path("Ordner \xFC/unten"), "a.log"), "x").ok);
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
