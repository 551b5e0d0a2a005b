// Tests of the deployment folder's audit: owners and modes on real files,
// what a CIFS mount shows, Windows access lists read as Windows reads them,
// and `quillon check --deployment` itself.
#include "tools/quillon/deployment_audit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/host/host_file_system.h"
#include "tools/quillon/quillon_cli.h"

#ifdef _WIN32
#include "platform/host/file_security_win32.h"
#include "platform/host/windows_api.h"
#include <aclapi.h>
#include <sddl.h>
#else
#include <unistd.h>
#endif

namespace quillon::tools {
namespace {

namespace fs = std::filesystem;
using platform::AccessEntry;
using platform::FileSecurity;

std::string Described(const std::vector<AuditFinding>& findings) {
  std::string text;
  for (const AuditFinding& f : findings) {
    text += (f.note ? "note: " : "unsafe: ") + f.message + " | " + f.fix + "\n";
  }
  return text;
}

FileSecurity Windows(std::string owner, std::vector<AccessEntry> dacl, bool folder = false) {
  FileSecurity security;
  security.model = FileSecurity::Model::Windows;
  security.folder = folder;
  security.ownerSid = std::move(owner);
  security.dacl = std::move(dacl);
  return security;
}

AccessEntry Allow(std::string sid, std::uint32_t mask, bool inheritOnly = false,
                  bool toFiles = false) {
  return {true, std::move(sid), "", mask, inheritOnly, toFiles};
}
AccessEntry Deny(std::string sid, std::uint32_t mask) { return {false, std::move(sid), "", mask, false, false};
}

constexpr std::uint32_t kFull = 0x1F01FF;
constexpr std::uint32_t kReadExecute = 0x1200A9;
constexpr std::uint32_t kModify = 0x1301BF;

TEST(DeploymentAuditTest, WindowsAccessListsAreReadInOrderForOrdinaryUsers) {
  const std::string engine = "\\\\srv\\deploy\\QuillonEngine.exe";
  const std::vector<AccessEntry> admins = {Allow("S-1-5-18", kFull), Allow("S-1-5-32-544", kFull)};
  const auto judge = [&](std::vector<AccessEntry> extra, std::string owner = "S-1-5-32-544") {
    std::vector<AccessEntry> dacl = admins;
    dacl.insert(dacl.end(), extra.begin(), extra.end());
    return JudgeWindowsSecurity(engine, Windows(std::move(owner), dacl), "S-1-5-21-9-9-9-500");
  };

  // Users read and run it; administrators and a creator's inherit-only grant do not count.
  EXPECT_TRUE(judge({Allow("S-1-5-32-545", kReadExecute), Allow("S-1-3-0", kModify, true),
                     Allow("S-1-5-32-545", kFull, true)})
                  .empty());
  // The auditing account and SYSTEM may own it.
  EXPECT_TRUE(judge({}, "S-1-5-21-9-9-9-500").empty());
  EXPECT_TRUE(judge({}, "S-1-5-18").empty());

  // Generic write, as stored, is mapped to what it grants on a file.
  std::vector<AuditFinding> found = judge({Allow("S-1-5-32-545", 0x40000000)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].account, "BUILTIN\\Users");
  EXPECT_EQ(found[0].sid, "S-1-5-32-545");
  EXPECT_EQ(found[0].right, "write data, append data, write extended attributes, write attributes");
  EXPECT_NE(found[0].message.find(engine + ": BUILTIN\\Users (S-1-5-32-545) may write data"),
            std::string::npos);
  EXPECT_EQ(found[0].fix,
            "icacls \"" + engine + "\" /remove:g *S-1-5-32-545 && icacls \"" + engine +
                "\" /inheritance:r /grant:r *S-1-5-32-544:(F) *S-1-5-18:(F) *S-1-5-11:(RX)");

  // A deny met first holds back what it denies; one met after a grant does not.
  found = judge({Deny("S-1-1-0", 0x2 | 0x4), Allow("S-1-5-11", kModify)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].account, "NT AUTHORITY\\Authenticated Users");
  EXPECT_EQ(found[0].right, "write extended attributes, write attributes, delete");
  EXPECT_EQ(found[0].fix.find("/remove:g"), std::string::npos);  // its RX is granted anew
  found = judge({Allow("S-1-5-11", 0x2), Deny("S-1-1-0", 0x2)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "write data");
  EXPECT_TRUE(judge({Deny("S-1-5-32-545", kFull), Allow("S-1-1-0", kFull)}).empty());

  // Any domain's Domain Users; full control named as such; the name Windows gave kept.
  found = judge({Allow("S-1-5-21-1004336348-1177238915-682003330-513", kFull)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].account, "Domain Users");
  EXPECT_EQ(found[0].right, "full control");
  FileSecurity named = Windows("S-1-5-32-544", {{true, "S-1-1-0", "\\Everyone", 0x80000, false, false}});
  found = JudgeWindowsSecurity(engine, named, "");
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].account, "\\Everyone");
  EXPECT_EQ(found[0].right, "take ownership (WRITE_OWNER)");
  // Other accounts are not ordinary users' groups: a service's grant is no finding.
  EXPECT_TRUE(judge({Allow("S-1-5-21-1-2-3-1105", kFull)}, "S-1-5-21-9-9-9-500").empty());

  // Owned by a group of ordinary users, or by anyone else but the administrators or
  // the auditor: they may change its permissions.
  found = judge({}, "S-1-5-11");
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "ownership");
  EXPECT_EQ(found[0].fix, "icacls \"" + engine + "\" /setowner *S-1-5-32-544");
  found = judge({}, "S-1-5-21-1-2-3-1105");
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].sid, "S-1-5-21-1-2-3-1105");

  // No access list at all is full control for Everyone.
  FileSecurity open = Windows("S-1-5-32-544", {});
  open.hasDacl = false;
  found = JudgeWindowsSecurity(engine, open, "");
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].sid, "S-1-1-0");
  EXPECT_EQ(found[0].right, "full control");

  // The folder: users create files (and folders), nothing more; a creator's
  // modify on files is how each user rewrites their own debug file.
  const std::string folder = "\\\\srv\\deploy";
  const auto judgeFolder = [&](std::vector<AccessEntry> extra) {
    std::vector<AccessEntry> dacl = admins;
    dacl.insert(dacl.end(), extra.begin(), extra.end());
    return JudgeWindowsSecurity(folder, Windows("S-1-5-32-544", dacl, true), "");
  };
  EXPECT_TRUE(judgeFolder({Allow("S-1-5-11", kReadExecute, false, true), Allow("S-1-5-11", 0x6),
                           Allow("S-1-3-0", kModify, true, true)})
                  .empty());
  found = judgeFolder({Allow("S-1-5-32-545", kReadExecute | 0x40)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "delete files inside (delete child)");
  EXPECT_NE(found[0].fix.find("*S-1-3-0:(OI)(IO)(M)"), std::string::npos);
  // Write inherited by what is copied in: found on the folder before any file has it.
  found = judgeFolder({Allow("S-1-5-32-545", kModify, true, true)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_NE(found[0].message.find("files copied into it inherit"), std::string::npos);
  found = judgeFolder({Allow("S-1-1-0", kFull, false, false)});
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "full control");
}

TEST(DeploymentAuditTest, CifsMountTableSaysWhoseModesAreSeen) {
  const std::string table =
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "//srv/deploy /mnt/deploy\\040share cifs rw,relatime,vers=3.1.1,uid=0,noforceuid,gid=0,"
      "file_mode=0755,dir_mode=0755,nounix,serverino 0 0\n"
      "/dev/sdb1 /mnt/deploy\\040share/local ext4 rw 0 0\n"
      "broken line\n";
  std::optional<MountFacts> mount = MountHolding("/mnt/deploy share/printers", table);
  ASSERT_TRUE(mount);
  EXPECT_TRUE(mount->Cifs());
  EXPECT_EQ(mount->source, "//srv/deploy");
  EXPECT_EQ(mount->mountPoint, "/mnt/deploy share");
  EXPECT_EQ(mount->Option("file_mode"), "0755");
  EXPECT_EQ(mount->Option("nounix"), "");
  EXPECT_EQ(mount->Option("unix"), std::nullopt);
  EXPECT_EQ(MountHolding("/mnt/deploy share/local/x", table)->type, "ext4");
  EXPECT_EQ(MountHolding("/mnt/deploy sharewith", table)->mountPoint, "/");
  EXPECT_EQ(MountHolding("/mnt/deploy share", table)->type, "cifs");
  EXPECT_FALSE(MountHolding("/x", "garbage\n"));

  bool modesAreMounts = false;
  std::vector<AuditFinding> found =
      JudgeCifsMount("/mnt/deploy share/printers", *mount, modesAreMounts);
  EXPECT_TRUE(modesAreMounts);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_TRUE(found[0].note);
  EXPECT_NE(found[0].message.find("(file_mode=0755, dir_mode=0755, uid=0, gid=0): the owners and "
                                  "modes seen here are the mount's, not the share's"),
            std::string::npos)
      << found[0].message;
  EXPECT_EQ(found[0].fix, "icacls \"\\\\srv\\deploy\\printers\"");

  // Anyone on this computer writes through the mount: unsafe.
  for (const char* options : {"rw,noperm,file_mode=0755", "rw,file_mode=0777,dir_mode=0755",
                              "rw,file_mode=0644,dir_mode=0777"}) {
    std::optional<MountFacts> parsed =
        MountHolding("/mnt/d", std::string("//srv/deploy /mnt/d cifs ") + options + " 0 0\n");
    ASSERT_TRUE(parsed);
    found = JudgeCifsMount("/mnt/d", *parsed, modesAreMounts);
    ASSERT_EQ(found.size(), 2u) << options << "\n" << Described(found);
    EXPECT_FALSE(found[1].note);
    EXPECT_EQ(found[1].account, "others");
  }
  // The server's own modes shown: they are judged as they are.
  mount = MountHolding("/mnt/d", "//srv/deploy /mnt/d cifs rw,cifsacl,file_mode=0777 0 0\n");
  found = JudgeCifsMount("/mnt/d", *mount, modesAreMounts);
  EXPECT_FALSE(modesAreMounts);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_NE(found[0].message.find("shows the server's owners and modes"), std::string::npos);
}

#ifndef _WIN32

// The findings about `path` that are not notes.
std::vector<AuditFinding> About(const std::vector<AuditFinding>& findings,
                                const std::string& path) {
  std::vector<AuditFinding> about;
  for (const AuditFinding& f : findings) {
    if (!f.note && f.path == path) about.push_back(f);
  }
  return about;
}

void Write(const fs::path& path, const std::string& text, fs::perms mode) {
  std::ofstream(path, std::ios::binary) << text;
  fs::permissions(path, mode);
}

TEST(DeploymentAuditTest, OwnersAndModesOfRealFiles) {
  if (::geteuid() != 0) GTEST_SKIP() << "changing owners needs root";
  const fs::path root = fs::path(::testing::TempDir()) /
                        ("quillon-audit-" +
                         std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  const fs::path folder = root / "deploy";
  fs::create_directories(folder);
  fs::permissions(folder, static_cast<fs::perms>(0755));
  const std::string engine = (folder / "QuillonEngine.exe").string();
  const std::string document = (folder / "office.ini").string();
  Write(engine, "engine", static_cast<fs::perms>(0755));
  Write(document, "[DEPLOYMENT]\n", static_cast<fs::perms>(0644));
  Write(folder / "office.ini.bat", "@echo off\n", static_cast<fs::perms>(0644));
  Write(folder / "office.ini.html", "<html>", static_cast<fs::perms>(0644));
  const std::string staging = (folder / "office.ini-StageDrivers.bat").string();
  Write(staging, "@echo off\n", static_cast<fs::perms>(0644));
  // Users' own files are theirs to change.
  Write(folder / "PC042.debug", "x", static_cast<fs::perms>(0666));
  ASSERT_EQ(::chown((folder / "PC042.debug").c_str(), 65534, 65534), 0);

  platform::HostFileSystem files;
  const std::optional<std::string> noShares = "/dev/sda1 / ext4 rw 0 0\n";
  const auto audit = [&] { return AuditDeploymentFolder(folder.string(), files, noShares); };
  DeploymentAudit result = audit();
  EXPECT_FALSE(result.error);
  EXPECT_TRUE(result.findings.empty()) << Described(result.findings);

  // Anyone may create files, no one may remove another's.
  fs::permissions(folder, static_cast<fs::perms>(01777));
  result = audit();
  EXPECT_TRUE(result.findings.empty()) << Described(result.findings);

  // Without the sticky bit, anyone may rename over the engine.
  fs::permissions(folder, static_cast<fs::perms>(0777));
  result = audit();
  std::vector<AuditFinding> found = About(result.findings, folder.string());
  ASSERT_EQ(found.size(), 2u) << Described(result.findings);
  EXPECT_EQ(found[0].account, "others");
  EXPECT_EQ(found[1].account, "group root (gid 0)");
  EXPECT_EQ(found[0].right, "write without the sticky bit");
  EXPECT_EQ(found[0].fix, "chmod +t '" + folder.string() + "'");
  EXPECT_TRUE(result.Unsafe());
  fs::permissions(folder, static_cast<fs::perms>(0755));

  // The start-up batch file runs as the system account on every client.
  fs::permissions(staging, static_cast<fs::perms>(0666));
  found = About(audit().findings, staging);
  ASSERT_EQ(found.size(), 2u) << Described(audit().findings);
  EXPECT_EQ(found[0].account, "others");
  EXPECT_EQ(found[0].fix, "chmod go-w '" + staging + "'");
  fs::permissions(staging, static_cast<fs::perms>(0644));

  // A user-writable engine and a document owned by another user.
  fs::permissions(engine, static_cast<fs::perms>(0666));
  ASSERT_EQ(::chown(document.c_str(), 65534, 0), 0);
  result = audit();
  found = About(result.findings, engine);
  ASSERT_EQ(found.size(), 2u) << Described(result.findings);
  EXPECT_EQ(found[0].account, "others");
  EXPECT_EQ(found[0].right, "write");
  EXPECT_NE(found[0].message.find("(mode 0666): whoever can replace it runs code on every client"),
            std::string::npos);
  EXPECT_EQ(found[0].fix, "chmod go-w '" + engine + "'");
  found = About(result.findings, document);
  ASSERT_EQ(found.size(), 1u) << Described(result.findings);
  EXPECT_TRUE(found[0].account.ends_with("(uid 65534)")) << found[0].account;
  EXPECT_EQ(found[0].right, "ownership");
  EXPECT_EQ(found[0].fix, "chown root '" + document + "'");
  EXPECT_EQ(result.findings.size(), 3u) << Described(result.findings);

  // `quillon check --deployment` names them and exits 1; the JSON says the same.
  std::ostringstream out, err;
  EXPECT_EQ(RunQuillon({"check", "--deployment", folder.string()}, files, out, err), 1);
  EXPECT_NE(out.str().find(engine + ": unsafe: every user (others) may write it (mode 0666)"),
            std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("    mend: chmod go-w '" + engine + "'\n"), std::string::npos);
  EXPECT_NE(out.str().find(folder.string() + ": unsafe: 3 findings"), std::string::npos);
  std::ostringstream json;
  EXPECT_EQ(RunQuillon({"check", "--json", "--deployment", folder.string()}, files, json, err), 1);
  const nlohmann::json parsed = nlohmann::json::parse(json.str());
  EXPECT_EQ(parsed["status"], "unsafe");
  EXPECT_EQ(parsed["exit"], 1);
  ASSERT_EQ(parsed["findings"].size(), 3u);
  std::size_t aboutEngine = 0;
  for (const nlohmann::json& finding : parsed["findings"]) {
    if (finding["path"] != engine) continue;
    ++aboutEngine;
    EXPECT_EQ(finding["severity"], "unsafe");
    EXPECT_EQ(finding["right"], "write");
    EXPECT_EQ(finding["sid"], nullptr);
  }
  EXPECT_EQ(aboutEngine, 2u);

  // A DLL beside the engine, a link in the engine's place and a name made to
  // steer the terminal: each found, none printed raw.
  fs::permissions(engine, static_cast<fs::perms>(0755));
  ASSERT_EQ(::chown(document.c_str(), 0, 0), 0);
  Write(folder / "version.dll", "x", static_cast<fs::perms>(0644));
  fs::remove(engine);
  fs::create_symlink(root / "elsewhere.exe", engine);
  Write(folder / "evil\x1b]0;pwned\x07.ini", "x", static_cast<fs::perms>(0666));
  out.str("");
  EXPECT_EQ(RunQuillon({"check", "--deployment", folder.string()}, files, out, err), 1);
  EXPECT_NE(out.str().find("version.dll: unsafe: Windows loads such a file"), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("QuillonEngine.exe: unsafe: is a link"), std::string::npos);
  EXPECT_NE(out.str().find("evil^[]0;pwned^G.ini: unsafe: every user"), std::string::npos);
  EXPECT_NE(out.str().find("mend: chmod go-w $'" + folder.string() + "/evil\\x1b]0;pwned\\x07.ini'"),
            std::string::npos);
  EXPECT_EQ(out.str().find('\x1b'), std::string::npos);
  EXPECT_EQ(out.str().find('\x07'), std::string::npos);

  // The modes a CIFS mount makes up are not judged file by file.
  const std::string mounted = "//srv/deploy " + fs::canonical(folder).string() +
                              " cifs rw,file_mode=0755,dir_mode=0755 0 0\n";
  result = AuditDeploymentFolder(folder.string(), files, mounted);
  ASSERT_FALSE(result.findings.empty());
  EXPECT_TRUE(result.findings[0].note) << Described(result.findings);
  for (const AuditFinding& f : result.findings) EXPECT_NE(f.right, "write") << f.message;

  // A folder that cannot be read, bad arguments: exit 2.
  EXPECT_EQ(RunQuillon({"check", "--deployment", (root / "absent").string()}, files, out, err),
            2);
  EXPECT_EQ(RunQuillon({"check", "--deployment"}, files, out, err), 2);
  EXPECT_EQ(RunQuillon({"check", "--deployment", folder.string(), "doc.ini"}, files, out, err),
            2);
  json.str("");
  EXPECT_EQ(RunQuillon({"check", "--json", "--deployment", engine}, files, json, err), 2);
  EXPECT_EQ(nlohmann::json::parse(json.str())["status"], "unreadable");
  fs::remove_all(root);
}

#else

// Windows' own descriptors, from their SDDL text.
std::vector<AuditFinding> JudgeSddl(const char* sddl, const std::string& path, bool folder) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr))
      << sddl;
  if (!descriptor) return {};
  FileSecurity security = platform::win32::SecurityFromDescriptor(descriptor);
  LocalFree(descriptor);
  security.folder = folder;
  return JudgeWindowsSecurity(path, security, "");
}

TEST(DeploymentAuditTest, WindowsDescriptorsFromSddl) {
  const std::string engine = "C:\\deploy\\QuillonEngine.exe";
  EXPECT_TRUE(JudgeSddl("O:BAG:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)", engine, false)
                  .empty());
  std::vector<AuditFinding> found =
      JudgeSddl("O:BAD:(A;;FA;;;BA)(A;;FW;;;AU)", engine, false);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].sid, "S-1-5-11");
  EXPECT_NE(found[0].right.find("write data"), std::string::npos);
  found = JudgeSddl("O:BUD:(A;;FA;;;BA)", engine, false);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "ownership");
  EXPECT_EQ(found[0].sid, "S-1-5-32-545");
  // No access list (which SDDL's NO_ACCESS_CONTROL means, though Wine reads it as an empty one).
  SECURITY_DESCRIPTOR open;
  ASSERT_TRUE(InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
  ASSERT_TRUE(SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
  found = JudgeWindowsSecurity(engine, platform::win32::SecurityFromDescriptor(&open), "");
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "full control");
  EXPECT_TRUE(JudgeSddl("O:BAD:(D;;WDWO;;;WD)(A;;0x1200a9;;;WD)(A;;WDWO;;;BU)", engine, false)
                  .empty());
  found = JudgeSddl("O:BAD:(A;;0x1200a9;;;WD)(A;;WDWO;;;BU)", engine, false);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "change permissions (WRITE_DAC), take ownership (WRITE_OWNER)");
  // The recommended folder: safe; with delete child for Users: not.
  const char* recommended =
      "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;AU)(A;;0x2;;;AU)"
      "(A;OIIO;0x1301bf;;;CO)";
  EXPECT_TRUE(JudgeSddl(recommended, "C:\\deploy", true).empty());
  found = JudgeSddl((std::string(recommended) + "(A;;0x40;;;BU)").c_str(), "C:\\deploy", true);
  ASSERT_EQ(found.size(), 1u) << Described(found);
  EXPECT_EQ(found[0].right, "delete files inside (delete child)");
}

// Real files: written here, so owned by this account with only read for
// others; a DLL put beside the engine is still found.
TEST(DeploymentAuditTest, RealFilesThroughTheirOwnDescriptors) {
  const fs::path folder = fs::path(::testing::TempDir()) / "quillon-audit-real";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string engine = (folder / "QuillonEngine.exe").string();
  std::ofstream(engine) << "engine";
  std::ofstream(folder / "office.ini") << "[DEPLOYMENT]";
  platform::Status status;
  const std::optional<FileSecurity> read = platform::ReadFileSecurity(engine, false, status);
  ASSERT_TRUE(read) << status.description;
  EXPECT_EQ(read->model, FileSecurity::Model::Windows);
  EXPECT_TRUE(read->hasDacl);
  EXPECT_FALSE(read->dacl.empty());
  EXPECT_TRUE(read->ownerSid.starts_with("S-1-5-")) << read->ownerSid;
  EXPECT_EQ(read->ownerSid, platform::CurrentAccount().sid);

  platform::HostFileSystem files;
  DeploymentAudit audit = AuditDeploymentFolder(folder.string(), files, std::nullopt);
  EXPECT_FALSE(audit.error);
  EXPECT_FALSE(audit.Unsafe()) << Described(audit.findings);
  std::ofstream(folder / "version.dll") << "planted";
  audit = AuditDeploymentFolder(folder.string(), files, std::nullopt);
  ASSERT_EQ(audit.findings.size(), 1u) << Described(audit.findings);
  EXPECT_EQ(audit.findings[0].path, (folder / "version.dll").string());
  EXPECT_EQ(audit.findings[0].fix, "del \"" + (folder / "version.dll").string() + "\"");
  fs::remove_all(folder);
}

#endif

}  // namespace
}  // namespace quillon::tools
