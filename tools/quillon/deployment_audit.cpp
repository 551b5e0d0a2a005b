// The deployment folder's audit: which files matter, and what each host's
// security facts say about who may change them.
#include "tools/quillon/deployment_audit.h"
#include "platform/ascii_case.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {

namespace {

using platform::FileSecurity;

constexpr const char* kEngine = "QuillonEngine.exe";

bool EndsWith(const std::string& lower, std::string_view tail) {
  return lower.size() >= tail.size() && lower.compare(lower.size() - tail.size(), tail.size(),
                                                      tail) == 0;
}

// What the clients run or read at logon, and the start-up batch file that
// they run as the system account.
bool IsDeploymentFile(const std::string& name) {
  const std::string lower = LowerAscii(name);
  return lower == LowerAscii(kEngine) || EndsWith(lower, ".ini") || EndsWith(lower, ".ini.bat") ||
         EndsWith(lower, ".ini-stagedrivers.bat") ||
         EndsWith(lower, ".ini.html") || (lower.starts_with("mdac_typ") && EndsWith(lower, ".exe"));
}

// What Windows would load into the engine from the engine's own folder before
// its own copy: a DLL, a redirection file or folder, an external manifest.
bool IsLoadedBesideEngine(const std::string& name) {
  const std::string lower = LowerAscii(name);
  return EndsWith(lower, ".dll") || EndsWith(lower, ".local") || EndsWith(lower, ".manifest");
}

std::string Joined(const std::string& folder, const std::string& name, char separator) {
  if (folder.empty()) return name;
  const char last = folder.back();
  if (last == '/' || last == '\\') return folder + name;
  return folder + separator + name;
}

// ---- Windows ------------------------------------------------------------

constexpr std::uint32_t kWriteData = 0x2;  // create files, on a folder
constexpr std::uint32_t kAppendData = 0x4;
constexpr std::uint32_t kWriteEa = 0x10;
constexpr std::uint32_t kDeleteChild = 0x40;
constexpr std::uint32_t kWriteAttributes = 0x100;
constexpr std::uint32_t kDelete = 0x10000;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr std::uint32_t kWriteOwner = 0x80000;
constexpr std::uint32_t kFileAllAccess = 0x1F01FF;

constexpr std::uint32_t kFileDanger =
    kWriteData | kAppendData | kWriteEa | kWriteAttributes | kDelete | kWriteDac | kWriteOwner;
// Creating files (and folders) is what the engine's debug files need.
constexpr std::uint32_t kFolderDanger = kDeleteChild | kDelete | kWriteDac | kWriteOwner;

// Generic rights as a file's generic mapping turns them into specific ones.
std::uint32_t MappedMask(std::uint32_t mask) {
  std::uint32_t mapped = mask & 0x0FFFFFFF;
  if (mask & 0x80000000) mapped |= 0x120089;  // GENERIC_READ
  if (mask & 0x40000000) mapped |= 0x120116;  // GENERIC_WRITE
  if (mask & 0x20000000) mapped |= 0x1200A0;  // GENERIC_EXECUTE
  if (mask & 0x10000000) mapped |= kFileAllAccess;
  return mapped;
}

bool IsDomainUsers(const std::string& sid) {
  return sid.starts_with("S-1-5-21-") && sid.size() > 13 && sid.ends_with("-513");
}

// The groups every ordinary user of the domain is in.
bool IsOrdinaryUsers(const std::string& sid) {
  return sid == "S-1-1-0" || sid == "S-1-5-11" || sid == "S-1-5-32-545" || IsDomainUsers(sid);
}

std::string WellKnownName(const std::string& sid, const std::string& account) {
  if (!account.empty()) return account;
  if (sid == "S-1-1-0") return "Everyone";
  if (sid == "S-1-5-11") return "NT AUTHORITY\\Authenticated Users";
  if (sid == "S-1-5-32-545") return "BUILTIN\\Users";
  if (IsDomainUsers(sid)) return "Domain Users";
  return sid;
}

std::string WindowsRights(std::uint32_t mask, bool folder) {
  if ((mask & kFileAllAccess) == kFileAllAccess) return "full control";
  std::vector<std::string> names;
  if (mask & kWriteData) names.push_back(folder ? "create files" : "write data");
  if (mask & kAppendData) names.push_back(folder ? "create folders" : "append data");
  if (mask & kWriteEa) names.push_back("write extended attributes");
  if (mask & kDeleteChild) names.push_back("delete files inside (delete child)");
  if (mask & kWriteAttributes) names.push_back("write attributes");
  if (mask & kDelete) names.push_back("delete");
  if (mask & kWriteDac) names.push_back("change permissions (WRITE_DAC)");
  if (mask & kWriteOwner) names.push_back("take ownership (WRITE_OWNER)");
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

std::string IcaclsPath(const std::string& path) { return "\"" + path + "\""; }

// Administrators and SYSTEM in full control, Authenticated Users reading and
// running, nothing inherited: how the deployment's own files should be.
std::string FileMend(const std::string& path) {
  return "icacls " + IcaclsPath(path) +
         " /inheritance:r /grant:r *S-1-5-32-544:(F) *S-1-5-18:(F) *S-1-5-11:(RX)";
}

std::string FolderMend(const std::string& path) {
  const std::string quoted = IcaclsPath(path);
  return "icacls " + quoted +
         " /inheritance:r /grant:r *S-1-5-32-544:(OI)(CI)(F) *S-1-5-18:(OI)(CI)(F) "
         "*S-1-5-11:(OI)(CI)(RX) *S-1-3-0:(OI)(IO)(M) && icacls " +
         quoted + " /grant *S-1-5-11:(WD)";
}

std::string RemoveGrant(const std::string& path, const std::string& sid) {
  return "icacls " + IcaclsPath(path) + " /remove:g *" + sid + " && ";
}

constexpr const char* kWhy =
    ": whoever can replace it runs code on every client at the next logon";
constexpr const char* kFolderWhy =
    ": whoever can do that can replace the engine or a document in it";

}  // namespace

std::vector<AuditFinding> JudgeWindowsSecurity(const std::string& path,
                                               const FileSecurity& security,
                                               const std::string& runningSid) {
  std::vector<AuditFinding> findings;
  const bool folder = security.folder;
  const char* why = folder ? kFolderWhy : kWhy;
  const std::string mend = folder ? FolderMend(path) : FileMend(path);
  if (!security.hasDacl) {
    findings.push_back({false, path, "Everyone", "S-1-1-0", "full control",
                        path + ": has no access list, so Everyone (S-1-1-0) has full control" + why,
                        mend});
  }
  if (!security.ownerSid.empty()) {
    const std::string& owner = security.ownerSid;
    const std::string name = WellKnownName(owner, security.ownerAccount);
    if (IsOrdinaryUsers(owner)) {
      findings.push_back({false, path, name, owner, "ownership",
                          path + ": is owned by " + name + " (" + owner +
                              "), whose members may change its permissions" + why,
                          "icacls " + IcaclsPath(path) + " /setowner *S-1-5-32-544"});
    } else if (!folder && owner != "S-1-5-32-544" && owner != "S-1-5-18" &&
               owner != runningSid &&
               owner != "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464") {
      // A user who created the file before it was deployed keeps it when it is copied over.
      findings.push_back({false, path, name, owner, "ownership",
                          path + ": is owned by " + name + " (" + owner +
                              "), not by Administrators, SYSTEM or you, and its owner may "
                              "change its permissions" + why,
                          "icacls " + IcaclsPath(path) + " /setowner *S-1-5-32-544"});
    }
  }
  if (!security.hasDacl) return findings;

  // One ordinary user's access check: entries in order, a right denied
  // before it is granted stays denied.
  const std::uint32_t danger = folder ? kFolderDanger : kFileDanger;
  std::uint32_t granted = 0;
  std::uint32_t denied = 0;
  struct Grant {
    const platform::AccessEntry* entry;
    std::uint32_t rights;
  };
  std::vector<Grant> grants;
  for (const platform::AccessEntry& entry : security.dacl) {
    if (entry.inheritOnly || !IsOrdinaryUsers(entry.sid)) continue;
    const std::uint32_t mask = MappedMask(entry.mask);
    if (!entry.allow) {
      denied |= mask & ~granted;
      continue;
    }
    const std::uint32_t fresh = mask & ~granted & ~denied;
    granted |= fresh;
    if (fresh & danger) {
      // Every right of full control it grants is still named full control.
      const bool full = (mask & kFileAllAccess) == kFileAllAccess && (fresh & danger) == danger;
      grants.push_back({&entry, full ? kFileAllAccess : fresh & danger});
    }
  }
  for (const Grant& grant : grants) {
    const platform::AccessEntry& entry = *grant.entry;
    const std::string name = WellKnownName(entry.sid, entry.account);
    const std::string right = WindowsRights(grant.rights, folder);
    findings.push_back({false, path, name, entry.sid, right,
                        path + ": " + name + " (" + entry.sid + ") may " + right + why,
                        (entry.sid == "S-1-5-11" ? "" : RemoveGrant(path, entry.sid)) + mend});
  }
  // What files copied into the folder would inherit.
  if (folder) {
    for (const platform::AccessEntry& entry : security.dacl) {
      if (!entry.allow || !entry.inheritsToFiles || !IsOrdinaryUsers(entry.sid)) continue;
      const std::uint32_t rights = MappedMask(entry.mask) & kFileDanger;
      if (!rights) continue;
      const std::string name = WellKnownName(entry.sid, entry.account);
      const std::string right = WindowsRights(rights, false);
      findings.push_back({false, path, name, entry.sid, right,
                          path + ": files copied into it inherit that " + name + " (" +
                              entry.sid + ") may " + right + kWhy,
                          (entry.sid == "S-1-5-11" ? "" : RemoveGrant(path, entry.sid)) + mend});
    }
  }
  return findings;
}

// ---- POSIX --------------------------------------------------------------

namespace {

std::string ShellQuoted(const std::string& text) {
  bool control = false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) control = true;
  }
  std::string result = control ? "$'" : "'";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (control) {
      if (byte < 0x20 || byte == 0x7F || c == '\'' || c == '\\') {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
        result += escaped;
      } else {
        result += c;
      }
    } else {
      result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
  }
  return result + "'";
}

std::string UserText(const FileSecurity& security) {
  return (security.userName.empty() ? "user" : security.userName) + " (uid " +
         std::to_string(security.uid) + ")";
}

std::string GroupText(const FileSecurity& security) {
  return "group " + (security.groupName.empty() ? std::string("") : security.groupName + " ") +
         "(gid " + std::to_string(security.gid) + ")";
}

}  // namespace

std::vector<AuditFinding> JudgePosixSecurity(const std::string& path,
                                             const FileSecurity& security,
                                             const platform::RunningAccount& auditor) {
  std::vector<AuditFinding> findings;
  const std::string quoted = ShellQuoted(path);
  const bool folder = security.folder;
  const std::uint32_t mode = security.mode;
  char modeText[8];
  std::snprintf(modeText, sizeof modeText, "%04o", mode & 07777);
  if (folder) {
    // Without the sticky bit, whoever may create files may also rename over
    // or delete any file in the folder.
    if (!(mode & 01000)) {
      if (mode & 0002) {
        findings.push_back({false, path, "others", "", "write without the sticky bit",
                            path + ": every user (others) may write it (mode " + modeText +
                                ", no sticky bit), so anyone may rename over or delete the "
                                "engine and the documents",
                            "chmod +t " + quoted});
      }
      if (mode & 0020) {
        findings.push_back({false, path, GroupText(security), "", "write without the sticky bit",
                            path + ": " + GroupText(security) + " may write it (mode " + modeText +
                                ", no sticky bit), so its members may rename over or delete the "
                                "engine and the documents",
                            "chmod +t " + quoted});
      }
    }
  } else {
    if (mode & 0002) {
      findings.push_back({false, path, "others", "", "write",
                          path + ": every user (others) may write it (mode " + modeText + ")" +
                              kWhy,
                          "chmod go-w " + quoted});
    }
    if (mode & 0020) {
      findings.push_back({false, path, GroupText(security), "", "write",
                          path + ": " + GroupText(security) + " may write it (mode " + modeText +
                              ")" + kWhy,
                          "chmod go-w " + quoted});
    }
  }
  if (security.uid != 0 && security.uid != auditor.uid) {
    findings.push_back({false, path, UserText(security), "", "ownership",
                        path + ": is owned by " + UserText(security) +
                            ", not by root or you, and its owner may change its mode" +
                            (folder ? kFolderWhy : kWhy),
                        "chown root " + quoted});
  }
  return findings;
}

// ---- Mounts -------------------------------------------------------------

namespace {

// The table's octal escapes ("\040" for a blank) decoded.
std::string Unescaped(std::string_view field) {
  std::string result;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
        field[i + 1] <= '3' && field[i + 2] >= '0' && field[i + 2] <= '7' &&
        field[i + 3] >= '0' && field[i + 3] <= '7') {
      result += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                  (field[i + 3] - '0'));
      i += 3;
    } else {
      result += field[i];
    }
  }
  return result;
}

// The length of `point` when it contains `path` (component-wise), else npos.
std::size_t Contains(const std::string& point, const std::string& path) {
  if (point == "/") return 1;
  if (!path.starts_with(point)) return std::string::npos;
  if (path.size() != point.size() && path[point.size()] != '/') return std::string::npos;
  return point.size();
}

}  // namespace

bool MountFacts::Cifs() const { return type == "cifs" || type == "smb3" || type == "smbfs"; }

std::optional<std::string> MountFacts::Option(std::string_view name) const {
  for (const std::string& option : options) {
    if (option == name) return std::string();
    if (option.size() > name.size() && option.starts_with(name) && option[name.size()] == '=') {
      return option.substr(name.size() + 1);
    }
  }
  return std::nullopt;
}

std::optional<MountFacts> MountHolding(const std::string& path, std::string_view mountTable) {
  std::optional<MountFacts> best;
  std::size_t covered = 0;
  std::size_t start = 0;
  while (start < mountTable.size()) {
    std::size_t end = mountTable.find('\n', start);
    if (end == std::string_view::npos) end = mountTable.size();
    const std::string_view line = mountTable.substr(start, end - start);
    start = end + 1;
    std::vector<std::string_view> fields;
    std::size_t i = 0;
    while (i < line.size() && fields.size() < 4) {
      while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
      const std::size_t from = i;
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
      if (i > from) fields.push_back(line.substr(from, i - from));
    }
    if (fields.size() < 3) continue;
    MountFacts mount{Unescaped(fields[0]), Unescaped(fields[1]), std::string(fields[2]), {}};
    const std::size_t length = Contains(mount.mountPoint, path);
    // A later mount on the same point hides the earlier one.
    if (length == std::string::npos || (best && length < covered)) continue;
    if (fields.size() == 4) {
      const std::string options = Unescaped(fields[3]);
      std::size_t from = 0;
      while (from <= options.size()) {
        std::size_t comma = options.find(',', from);
        if (comma == std::string::npos) comma = options.size();
        if (comma > from) mount.options.push_back(options.substr(from, comma - from));
        from = comma + 1;
      }
    }
    best = std::move(mount);
    covered = length;
  }
  return best;
}

std::vector<AuditFinding> JudgeCifsMount(const std::string& folder, const MountFacts& mount,
                                         bool& modesAreMounts) {
  std::vector<AuditFinding> findings;
  // With these the client shows the server's own owners and modes.
  modesAreMounts = !mount.Option("cifsacl") && !mount.Option("modefromsid") &&
                   !mount.Option("unix") && !mount.Option("posix");
  // The share's name as the server's administrator types it.
  std::string share = mount.source;
  std::replace(share.begin(), share.end(), '/', '\\');
  std::string inside = folder.size() > mount.mountPoint.size() && mount.mountPoint != "/"
                           ? folder.substr(mount.mountPoint.size())
                           : std::string();
  std::replace(inside.begin(), inside.end(), '/', '\\');
  const std::string remote = share + inside;

  std::string seen;
  for (const char* name : {"file_mode", "dir_mode", "uid", "gid"}) {
    if (const std::optional<std::string> value = mount.Option(name)) {
      seen += (seen.empty() ? "" : ", ") + std::string(name) + "=" + *value;
    }
  }
  std::string note = folder + ": is on the CIFS mount of " + share + " at " + mount.mountPoint;
  if (modesAreMounts) {
    note += std::string(" (") + (seen.empty() ? "no modes given" : seen) +
            "): the owners and modes seen here are the mount's, not the share's";
  } else {
    note += ", which shows the server's owners and modes";
  }
  note += "; check the share's permissions and the folder's access list on the server";
  findings.push_back({true, folder, "", "", "", note, "icacls \"" + remote + "\""});

  const bool noperm = mount.Option("noperm").has_value();
  const std::optional<std::string> fileMode = mount.Option("file_mode");
  const std::optional<std::string> dirMode = mount.Option("dir_mode");
  const auto othersWrite = [](const std::optional<std::string>& mode) {
    if (!mode || mode->empty()) return false;
    const char last = mode->back();
    return last >= '0' && last <= '7' && ((last - '0') & 2) != 0;
  };
  if (noperm || (modesAreMounts && (othersWrite(fileMode) || othersWrite(dirMode)))) {
    const std::string why = noperm ? "noperm: this computer does not check modes on it"
                                   : "its modes let every user write";
    findings.push_back(
        {false, folder, "others", "", "write through the mount",
         folder + ": every user of this computer may change the deployment through the mount (" +
             why + "), with the mount's own credentials on the server",
         "mount -o remount,file_mode=0644,dir_mode=0755 " + ShellQuoted(mount.mountPoint) +
             " (or without noperm in /etc/fstab)"});
  }
  return findings;
}

// ---- The folder ---------------------------------------------------------

bool DeploymentAudit::Unsafe() const {
  return std::any_of(findings.begin(), findings.end(),
                     [](const AuditFinding& f) { return !f.note; });
}

DeploymentAudit AuditDeploymentFolder(const std::string& folder, platform::FileSystem& files,
                                      const std::optional<std::string>& mountTable,
                                      const SecurityReader& reader,
                                      const platform::RunningAccount& auditor) {
  DeploymentAudit audit;
  audit.folder = folder;
  platform::Status status;
  // The folder as the administrator named it may be reached through a link;
  // what is inside it never is.
  const std::optional<FileSecurity> own = reader(folder, true, status);
  const std::optional<std::vector<platform::FolderEntry>> entries = files.ListFolder(folder);
  if (!own || !own->folder || !entries) {
    audit.error = !own ? status.description
                       : !own->folder ? folder + ": is not a folder"
                                      : folder + ": cannot be listed";
    return audit;
  }
  const char separator = own->model == FileSecurity::Model::Windows ? '\\' : '/';

  bool modesAreMounts = false;
  if (mountTable) {
    const std::string resolved = platform::ResolvedFolderPath(folder);
    const std::optional<MountFacts> mount = MountHolding(resolved, *mountTable);
    if (mount && mount->Cifs()) {
      std::vector<AuditFinding> found = JudgeCifsMount(folder, *mount, modesAreMounts);
      audit.findings.insert(audit.findings.end(), found.begin(), found.end());
    }
  }
  if (own->model == FileSecurity::Model::Windows && folder.starts_with("\\\\")) {
    audit.findings.push_back(
        {true, folder, "", "", "",
         folder + ": the share's own permissions are not read here; check them on the server",
         "powershell Get-SmbShareAccess -Name SHARE"});
  }

  const auto judge = [&](const std::string& path, const FileSecurity& security) {
    std::vector<AuditFinding> found;
    if (security.model == FileSecurity::Model::Windows) {
      found = JudgeWindowsSecurity(path, security, auditor.sid);
    } else if (!modesAreMounts) {
      found = JudgePosixSecurity(path, security, auditor);
    }
    audit.findings.insert(audit.findings.end(), found.begin(), found.end());
  };
  judge(folder, *own);

  bool engine = false;
  for (const platform::FolderEntry& entry : *entries) {
    const bool deployed = IsDeploymentFile(entry.name);
    const bool loaded = IsLoadedBesideEngine(entry.name);
    if (!deployed && !loaded) continue;
    const std::string path = Joined(folder, entry.name, separator);
    if (LowerAscii(entry.name) == LowerAscii(kEngine)) engine = true;
    if (loaded) {
      audit.findings.push_back(
          {false, path, "", "", "loaded by the engine",
           path + ": Windows loads such a file into the engine from the engine's folder before "
                  "its own, so whoever put it there runs code on every client; the deployment "
                  "needs none",
           (separator == '\\' ? "del " + IcaclsPath(path)
                              : "rm -r " + ShellQuoted(path))});
      continue;
    }
    if (entry.link) {
      audit.findings.push_back(
          {false, path, "", "", "link",
           path + ": is a link, so whoever can change where it leads controls it" + kWhy,
           (separator == '\\' ? "del " + IcaclsPath(path) : "rm " + ShellQuoted(path)) +
               ", then deploy again"});
      continue;
    }
    if (entry.kind != platform::FolderEntry::Kind::File) {
      audit.findings.push_back({false, path, "", "", "not a file",
                                path + ": is not a regular file where the deployment needs one",
                                ""});
      continue;
    }
    const std::optional<FileSecurity> security = reader(path, false, status);
    if (!security) {
      audit.findings.push_back({false, path, "", "", "",
                                path + ": who may change it cannot be read (" +
                                    status.description + ")",
                                ""});
      continue;
    }
    judge(path, *security);
  }
  if (!engine) {
    audit.findings.push_back({true, folder, "", "", "",
                              folder + ": holds no " + kEngine + " (nothing deployed yet?)", ""});
  }
  return audit;
}

// ---- Output -------------------------------------------------------------


void PrintDeploymentAudit(const DeploymentAudit& audit, std::ostream& out) {
  if (audit.error) {
    out << VisibleText(*audit.error) << "\n";
    return;
  }
  std::size_t unsafe = 0;
  for (const AuditFinding& f : audit.findings) {
    if (!f.note) ++unsafe;
    // The message begins with the path; the severity goes after it.
    std::string message = f.message;
    std::string head = f.path;
    if (message.starts_with(f.path + ": ")) message = message.substr(f.path.size() + 2);
    out << VisibleText(head) << ": " << (f.note ? "note" : "unsafe") << ": "
        << VisibleText(message) << "\n";
    if (!f.fix.empty()) out << "    mend: " << VisibleText(f.fix) << "\n";
  }
  if (unsafe > 0) {
    out << VisibleText(audit.folder) << ": unsafe: " << unsafe
        << (unsafe == 1 ? " finding" : " findings")
        << ": users can change what every client runs at logon\n";
  } else {
    out << VisibleText(audit.folder)
        << ": no user can change the deployment as far as can be seen from here\n";
  }
  out.flush();
}

void PrintDeploymentAuditJson(const DeploymentAudit& audit, int exit, std::ostream& out) {
  const bool notes = std::any_of(audit.findings.begin(), audit.findings.end(),
                                 [](const AuditFinding& f) { return f.note; });
  const char* status = audit.error       ? "unreadable"
                       : audit.Unsafe()  ? "unsafe"
                       : notes           ? "unverified"
                                         : "safe";
  out << "{\"folder\": " << JsonString(audit.folder) << ", \"status\": \"" << status
      << "\", \"exit\": " << exit;
  if (audit.error) out << ", \"error\": " << JsonString(*audit.error);
  out << ", \"findings\": [";
  for (std::size_t i = 0; i < audit.findings.size(); ++i) {
    const AuditFinding& f = audit.findings[i];
    const auto nullable = [](const std::string& text) {
      return text.empty() ? std::string("null") : JsonString(text);
    };
    out << (i ? ", " : "") << "{\"severity\": \"" << (f.note ? "note" : "unsafe")
        << "\", \"path\": " << JsonString(f.path) << ", \"account\": " << nullable(f.account)
        << ", \"sid\": " << nullable(f.sid) << ", \"right\": " << nullable(f.right)
        << ", \"message\": " << JsonString(f.message) << ", \"fix\": " << nullable(f.fix) << "}";
  }
  out << "]}\n";
}

}  // namespace quillon::tools
