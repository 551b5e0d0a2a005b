// Each answer comes from the one call the engine's contract names, with the
// buffer sizes it names, so a long name fails the way it fails on Windows.
#include "platform/win32/system_info_win32.h"

#include "platform/host/process.h"
#include "platform/host/system_error_win32.h"
#include "platform/host/windows_api.h"

// Winsock's headers before the IP helper's, which build on them.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <dsgetdc.h>
#include <lm.h>
#include <userenv.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

namespace quillon::platform::win32 {
namespace {

constexpr DWORD kUserNameBuffer = 100;
constexpr DWORD kProfileFolderBuffer = 255;
constexpr UINT kSystemFolderBuffer = 255;

std::string UpToNul(const wchar_t* text, std::size_t size) {
  std::size_t length = 0;
  while (length < size && text[length] != L'\0') ++length;
  return Utf8(std::wstring_view(text, length));
}

void AddOnce(std::vector<std::string>& values, std::string value) {
  if (std::find(values.begin(), values.end(), value) == values.end()) {
    values.push_back(std::move(value));
  }
}

// The account's domain and name; false for a SID the system cannot name (a
// deleted group, a domain that does not answer), which is left out.
bool LookupName(PSID sid, std::wstring& domain, std::wstring& name) {
  DWORD nameSize = 256, domainSize = 256;  // characters; a second try with what the call asks
  for (int attempt = 0; attempt < 2; ++attempt) {
    name.assign(nameSize + 1, L'\0');
    domain.assign(domainSize + 1, L'\0');
    SID_NAME_USE use{};
    if (LookupAccountSidW(nullptr, sid, name.data(), &nameSize, domain.data(), &domainSize,
                          &use)) {
      name.resize(std::wcslen(name.c_str()));
      domain.resize(std::wcslen(domain.c_str()));
      return !name.empty();
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
  }
  return false;
}

// One unicast address as the engine's networks read it; an IPv6 address
// without its zone, which names the adapter rather than the address.
std::string AddressText(const SOCKET_ADDRESS& address) {
  const sockaddr* raw = address.lpSockaddr;
  if (!raw) return {};
  wchar_t text[INET6_ADDRSTRLEN] = {};
  const void* bytes = nullptr;
  if (raw->sa_family == AF_INET &&
      address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in))) {
    bytes = &reinterpret_cast<const sockaddr_in*>(raw)->sin_addr;
  } else if (raw->sa_family == AF_INET6 &&
             address.iSockaddrLength >= static_cast<INT>(sizeof(sockaddr_in6))) {
    bytes = &reinterpret_cast<const sockaddr_in6*>(raw)->sin6_addr;
  } else {
    return {};
  }
  if (!InetNtopW(raw->sa_family, bytes, text, std::size(text))) return {};
  return Utf8(text);
}

}  // namespace

OsVersion Win32SystemInfo::GetVersion() {
  // The plain record (not the EX one): its size field says which the caller passes.
  OSVERSIONINFOW record{};
  static_assert(sizeof record == 276);
  record.dwOSVersionInfoSize = sizeof record;
  SetLastError(0);
  const BOOL ok = GetVersionExW(&record);
  const DWORD error = GetLastError();
  OsVersion version;
  version.error = ok ? 0 : error;
  version.platformId = static_cast<int>(record.dwPlatformId);
  version.majorVersion = static_cast<int>(record.dwMajorVersion);
  version.buildNumber = ok ? record.dwBuildNumber & 0xFFFF : 0;
  // Without a manifest naming Windows 10, GetVersionEx stops at 6.2 build
  // 9200; ntdll's RtlGetVersion tells the real build (found at run time, so
  // nothing is imported that older systems lack).
  using RtlGetVersionCall = LONG(WINAPI*)(OSVERSIONINFOW*);
  if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll")) {
    // Through void(*)(), the one function type GCC lets any other be cast to.
    const auto call = reinterpret_cast<RtlGetVersionCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
    OSVERSIONINFOW real{};
    real.dwOSVersionInfoSize = sizeof real;
    if (call && call(&real) == 0) version.buildNumber = real.dwBuildNumber;
  }
  return version;
}

// The NetBIOS name, which is what the script network object's ComputerName gives.
std::optional<std::string> Win32SystemInfo::GetComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;  // characters
  if (!GetComputerNameW(name, &size) || size == 0) return std::nullopt;
  return Utf8(std::wstring_view(name, size));
}

// The host name and the primary DNS suffix ("pc042.corp.example"); without a
// suffix just the host name, which the caller tells by its lack of a dot.
std::optional<std::string> Win32SystemInfo::GetDnsFullName() {
  DWORD size = 0;
  GetComputerNameExW(ComputerNameDnsFullyQualified, nullptr, &size);
  if (size == 0) return std::nullopt;
  std::wstring name(size, L'\0');  // characters, the NUL included
  if (!GetComputerNameExW(ComputerNameDnsFullyQualified, name.data(), &size) || size == 0) {
    return std::nullopt;
  }
  name.resize(size);
  return Utf8(name);
}

std::string Win32SystemInfo::GetUserName() {
  wchar_t name[kUserNameBuffer] = {};
  DWORD size = kUserNameBuffer;  // characters
  if (!GetUserNameW(name, &size)) return {};
  return UpToNul(name, kUserNameBuffer);
}

std::string Win32SystemInfo::GetProfileFolder() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  wchar_t folder[kProfileFolderBuffer] = {};
  DWORD size = kProfileFolderBuffer;  // characters
  const BOOL ok = GetUserProfileDirectoryW(token, folder, &size);
  CloseHandle(token);
  if (!ok) return {};
  return UpToNul(folder, kProfileFolderBuffer);
}

std::string Win32SystemInfo::GetSystemFolder() {
  wchar_t folder[kSystemFolderBuffer] = {};
  const UINT length = GetSystemDirectoryW(folder, kSystemFolderBuffer);  // characters
  if (length == 0) return {};
  if (length < kSystemFolderBuffer) return Utf8(std::wstring_view(folder, length));
  // A longer folder: the call gave the size it needs, NUL included.
  std::wstring longer(length, L'\0');
  const UINT again = GetSystemDirectoryW(longer.data(), length);
  if (again == 0 || again >= length) return {};
  longer.resize(again);
  return Utf8(longer);
}

std::string Win32SystemInfo::GetProgramFolder() { return RunningProgramFolder(); }

std::string Win32SystemInfo::GetErrorText(std::uint32_t code) {
  std::string text = SystemErrorText(code);
  return text == "Error " + std::to_string(code) ? std::string() : text;  // no message of its own
}

// Membership of Administrators as the token grants it: under UAC an
// administrator's filtered token holds the group for denying only, so only an
// elevated process counts, which is what the spooler asks of a driver install.
bool Win32SystemInfo::IsElevated() {
  if (GetVersion().platformId == VER_PLATFORM_WIN32_WINDOWS) return true;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &administrators)) {
    return false;
  }
  BOOL member = FALSE;
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

std::string Win32SystemInfo::GetNativeDriverEnvironment() {
  const char* environment = NativeDriverEnvironment();
  return environment ? environment : "";
}

TargetingFact Win32SystemInfo::GetUserGroups() {
  // The logon token already holds every group the user is in, nested ones
  // and those of trusted domains included, so no directory is asked.
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return TargetingFact::Unknown("the logon token cannot be opened: " +
                                  SystemErrorText(GetLastError()));
  }
  TargetingFact groups = TokenGroupNames(token);
  CloseHandle(token);
  return groups;
}

TargetingFact TokenGroupNames(void* token) {
  std::vector<std::uint64_t> buffer;  // TOKEN_GROUPS holds pointers: aligned storage
  DWORD size = 1024;                  // bytes
  DWORD error = ERROR_INSUFFICIENT_BUFFER;
  for (int attempt = 0; attempt < 3 && error == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
    buffer.assign(size / sizeof(std::uint64_t) + 1, 0);
    const DWORD capacity = static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t));
    error = GetTokenInformation(token, TokenGroups, buffer.data(), capacity, &size)
                ? ERROR_SUCCESS
                : GetLastError();
  }
  if (error != ERROR_SUCCESS) {
    return TargetingFact::Unknown("the logon token's groups cannot be read: " +
                                  SystemErrorText(error));
  }
  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  std::vector<std::string> names;
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const SID_AND_ATTRIBUTES& group = *(groups->Groups + i);
    // A group held for denying only (an administrator's filtered token) does
    // not count; the logon session and the integrity level are no groups a
    // document can name.
    if (!(group.Attributes & SE_GROUP_ENABLED)) continue;
    if ((group.Attributes & SE_GROUP_LOGON_ID) == SE_GROUP_LOGON_ID) continue;
    if (group.Attributes & SE_GROUP_INTEGRITY) continue;
    std::wstring domain, name;
    if (!LookupName(group.Sid, domain, name)) continue;
    if (!domain.empty()) AddOnce(names, Utf8(domain + L"\\" + name));
    AddOnce(names, Utf8(name));
  }
  return TargetingFact::Of(std::move(names));
}

TargetingFact Win32SystemInfo::GetComputerGroups() {
  TargetingFact fact =
      TargetingFact::Unknown("the computer account's groups are kept in the directory");
  fact.fromDirectory = true;
  return fact;
}

TargetingFact Win32SystemInfo::GetSiteName() {
  wchar_t* site = nullptr;
  const DWORD error = DsGetSiteNameW(nullptr, &site);
  if (error == ERROR_SUCCESS) {
    std::string name = Utf8(site);
    if (site) NetApiBufferFree(site);
    if (name.empty()) return TargetingFact::Unknown("the system gave an empty site name");
    return TargetingFact::Of({std::move(name)});
  }
  const std::string words = SystemErrorText(error);
  switch (error) {
    case ERROR_NO_SUCH_DOMAIN:
      return TargetingFact::Unknown(
          "this computer is in no domain, or no domain controller answers: " + words);
    case ERROR_NO_SITENAME:
      return TargetingFact::Unknown("the domain puts this computer in no site: " + words);
    default:
      return TargetingFact::Unknown("the system gives no site: " + words);
  }
}

// The addresses of the adapters that are up, the loopback one left out.
TargetingFact Win32SystemInfo::GetAddresses() {
  constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST |
                           GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_SKIP_FRIENDLY_NAME;
  std::vector<std::uint64_t> buffer;  // aligned for the records
  ULONG size = 15000;                 // bytes: the documented first try
  ULONG result = ERROR_BUFFER_OVERFLOW;
  // The adapters may change between the calls, so a few tries with the size asked.
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size / sizeof(std::uint64_t) + 1, 0);
    size = static_cast<ULONG>(buffer.size() * sizeof(std::uint64_t));
    result = GetAdaptersAddresses(AF_UNSPEC, kFlags, nullptr,
                                  reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (result == ERROR_NO_DATA) return TargetingFact::Of({});  // no adapter has an address
  if (result != ERROR_SUCCESS) {
    return TargetingFact::Unknown("the network adapters cannot be listed: " +
                                  SystemErrorText(result));
  }
  std::vector<std::string> addresses;
  for (const IP_ADAPTER_ADDRESSES* adapter =
           reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(buffer.data());
       adapter; adapter = adapter->Next) {
    if (adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK || adapter->OperStatus != IfOperStatusUp) {
      continue;
    }
    for (const IP_ADAPTER_UNICAST_ADDRESS* unicast = adapter->FirstUnicastAddress; unicast;
         unicast = unicast->Next) {
      std::string text = AddressText(unicast->Address);
      if (!text.empty()) AddOnce(addresses, std::move(text));
    }
  }
  return TargetingFact::Of(std::move(addresses));
}

const char* NativeDriverEnvironment() {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (!kernel) return nullptr;
  // Both looked up at run time: neither is there before Windows 10 1511 and
  // XP respectively. Through void(*)(), which GCC lets any function become.
  using IsWow64Process2Call = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Call>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "IsWow64Process2")));
  USHORT processMachine = 0, nativeMachine = 0;
  if (isWow64Process2 && isWow64Process2(GetCurrentProcess(), &processMachine, &nativeMachine)) {
    switch (nativeMachine) {
      case 0x8664: return "Windows x64";     // IMAGE_FILE_MACHINE_AMD64
      case 0xAA64: return "Windows ARM64";   // IMAGE_FILE_MACHINE_ARM64
      case 0x014C: return "Windows NT x86";  // IMAGE_FILE_MACHINE_I386
      case 0x0200: return "Windows IA64";    // IMAGE_FILE_MACHINE_IA64
      default: break;
    }
  }
  using GetNativeSystemInfoCall = void(WINAPI*)(SYSTEM_INFO*);
  const auto getNativeSystemInfo = reinterpret_cast<GetNativeSystemInfoCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetNativeSystemInfo")));
  if (!getNativeSystemInfo) return nullptr;
  SYSTEM_INFO system{};
  getNativeSystemInfo(&system);
  switch (system.wProcessorArchitecture) {
    case 9: return "Windows x64";     // PROCESSOR_ARCHITECTURE_AMD64
    case 12: return "Windows ARM64";  // PROCESSOR_ARCHITECTURE_ARM64
    case 6: return "Windows IA64";    // PROCESSOR_ARCHITECTURE_IA64
    case 0: return "Windows NT x86";  // PROCESSOR_ARCHITECTURE_INTEL
    default: return nullptr;
  }
}

}  // namespace quillon::platform::win32
