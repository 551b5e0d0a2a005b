// File security on Windows: the owner and access list of the file's own
// security descriptor, read through a handle that never follows a link when
// told not to.
#include "platform/host/file_security_win32.h"

#include "platform/host/windows_api.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/host/system_error_win32.h"

namespace quillon::platform {

namespace {

std::string SidText(PSID sid) {
  LPWSTR text = nullptr;
  if (!sid || !ConvertSidToStringSidW(sid, &text)) return {};
  std::string result = win32::Utf8(text);
  LocalFree(text);
  return result;
}

// "DOMAIN\name", or the bare name of a well-known account without a domain.
std::string AccountName(PSID sid) {
  wchar_t name[256];
  wchar_t domain[256];
  DWORD nameSize = 256;  // characters
  DWORD domainSize = 256;
  SID_NAME_USE use;
  if (!sid || !LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
    return {};
  }
  return domainSize > 0 && domain[0] ? win32::Utf8(domain) + "\\" + win32::Utf8(name)
                                     : win32::Utf8(name);
}

Status LastErrorStatus(const std::string& what) {
  const DWORD code = GetLastError();
  return Status::Error(code, what + ": " + win32::SystemErrorText(code));
}

}  // namespace

namespace win32 {

FileSecurity SecurityFromDescriptor(void* descriptor) {
  FileSecurity security;
  security.model = FileSecurity::Model::Windows;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) && owner) {
    security.ownerSid = SidText(owner);
    security.ownerAccount = AccountName(owner);
  }
  BOOL present = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl) {
    security.hasDacl = false;
    return security;
  }
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    if (!GetAce(dacl, i, &ace)) continue;
    const auto* header = static_cast<ACE_HEADER*>(ace);
    // Files carry only these two kinds; object and callback entries name
    // properties or conditions that do not apply here.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_DENIED_ACE_TYPE) {
      continue;
    }
    // Both kinds share this layout.
    const auto* entry = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    PSID sid = const_cast<DWORD*>(&entry->SidStart);
    AccessEntry access;
    access.allow = header->AceType == ACCESS_ALLOWED_ACE_TYPE;
    access.sid = SidText(sid);
    access.account = AccountName(sid);
    access.mask = entry->Mask;
    access.inheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0;
    access.inheritsToFiles = (header->AceFlags & OBJECT_INHERIT_ACE) != 0;
    security.dacl.push_back(std::move(access));
  }
  return security;
}

}  // namespace win32

std::optional<FileSecurity> ReadFileSecurity(const std::string& path, bool followLink,
                                             Status& status) {
  const std::wstring widePath = win32::Wide(path);
  const DWORD attributes = GetFileAttributesW(widePath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    status = LastErrorStatus("Reading the security of " + path);
    return std::nullopt;
  }
  if (!followLink && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    status = Status::Ok();
    FileSecurity security;
    security.model = FileSecurity::Model::Windows;
    security.link = true;
    security.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return security;
  }
  // READ_CONTROL alone: neither reading the data nor waiting on a pipe.
  HANDLE handle = CreateFileW(
      widePath.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING,
      FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    status = LastErrorStatus("Reading the security of " + path);
    return std::nullopt;
  }
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error =
      GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, nullptr, &descriptor);
  CloseHandle(handle);
  if (error != ERROR_SUCCESS) {
    status = Status::Error(error, "Reading the security of " + path + ": " +
                                      win32::SystemErrorText(error));
    return std::nullopt;
  }
  FileSecurity security = win32::SecurityFromDescriptor(descriptor);
  LocalFree(descriptor);
  security.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  status = Status::Ok();
  return security;
}

RunningAccount CurrentAccount() {
  RunningAccount account;
  wchar_t name[256];
  DWORD size = 256;  // characters
  if (GetUserNameW(name, &size)) account.name = win32::Utf8(name);
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    alignas(TOKEN_USER) unsigned char buffer[512];
    DWORD needed = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &needed)) {
      account.sid = SidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
    }
    CloseHandle(token);
  }
  return account;
}

std::string ResolvedFolderPath(const std::string& folder) {
  wchar_t full[MAX_PATH * 4];
  constexpr DWORD kCharacters = MAX_PATH * 4;
  const DWORD length = GetFullPathNameW(win32::Wide(folder).c_str(), kCharacters, full, nullptr);
  if (length == 0 || length >= kCharacters) return folder;
  return win32::Utf8(std::wstring_view(full, length));
}

}  // namespace quillon::platform
