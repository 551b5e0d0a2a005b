// What a staging run asks of Windows: a print server's queues and drivers, the
// drivers installed here, a driver installed through a connection that is
// removed again, and the connections saved in every user profile. Wide entry
// points throughout: names come from servers and profiles in any script.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/host/windows_api.h"

#include <sddl.h>

#include "platform/win32/client_reader_win32.h"
#include "platform/win32/sized_call.h"
#include "platform/win32/spooler_win32.h"
#include "platform/win32/system_info_win32.h"

namespace quillon::platform::win32 {
namespace {

constexpr DWORD kPackageAware = 0x1;  // PRINTER_DRIVER_PACKAGE_AWARE, missing in MinGW's headers

// A spooler listing in a buffer aligned for its records: asked for its size,
// then filled, again if it grew in between.
struct Listing {
  bool ok = false;
  DWORD error = 0;
  SizedBuffer buffer;
  DWORD count = 0;
  template <typename Record>
  const Record* Records() const {
    return buffer.Records<Record>();
  }
};

template <typename Call>
Listing List(Call call) {
  Listing listing;
  listing.error = CallSized(listing.buffer, listing.count, call, 4);
  listing.ok = listing.error == 0;
  return listing;
}

bool SameText(const std::wstring& a, const wchar_t* b) {
  return b && CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

std::string Environment() {
  const char* native = NativeDriverEnvironment();
  return native ? native : "Windows x64";
}

// A driver as a server offers it.
struct OfferedDriver {
  std::wstring name, environment;
  DriverVersion version = 0;
  bool packageAware = false;
};

// Every environment's drivers of a server: level 8 tells package awareness,
// level 6 (older servers) only the version; nothing at all leaves versions 0,
// so that a driver missing here is still installed.
std::vector<OfferedDriver> ServerDrivers(const std::wstring& server) {
  std::vector<OfferedDriver> offered;
  wchar_t all[] = L"all";
  Listing eight = List([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPrinterDriversW(const_cast<wchar_t*>(server.c_str()), all, 8, buffer, size, needed,
                               count);
  });
  if (eight.ok) {
    const auto* records = eight.Records<DRIVER_INFO_8W>();
    for (DWORD i = 0; i < eight.count; ++i) {
      if (!records[i].pName) continue;
      offered.push_back({records[i].pName,
                         records[i].pEnvironment ? records[i].pEnvironment : L"",
                         records[i].dwlDriverVersion,
                         (records[i].dwPrinterDriverAttributes & kPackageAware) != 0});
    }
    return offered;
  }
  Listing six = List([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPrinterDriversW(const_cast<wchar_t*>(server.c_str()), all, 6, buffer, size, needed,
                               count);
  });
  if (six.ok) {
    const auto* records = six.Records<DRIVER_INFO_6W>();
    for (DWORD i = 0; i < six.count; ++i) {
      if (!records[i].pName) continue;
      offered.push_back({records[i].pName,
                         records[i].pEnvironment ? records[i].pEnvironment : L"",
                         records[i].dwlDriverVersion, false});
    }
  }
  return offered;
}

std::vector<std::wstring> Subkeys(HKEY key) {
  std::vector<std::wstring> names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];  // a key name holds at most 255 characters
    DWORD length = 256;
    const LSTATUS status =
        RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) continue;
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

// ",,SERVER,share" under Printers\Connections is the connection \\SERVER\share.
std::vector<std::string> SavedConnections(HKEY user, LSTATUS* status) {
  std::vector<std::string> connections;
  HKEY saved = nullptr;
  *status = RegOpenKeyExW(user, L"Printers\\Connections", 0, KEY_READ, &saved);
  if (*status == ERROR_FILE_NOT_FOUND) {
    *status = ERROR_SUCCESS;  // the user never had a connection
    return connections;
  }
  if (*status != ERROR_SUCCESS) return connections;
  for (std::wstring name : Subkeys(saved)) {
    std::replace(name.begin(), name.end(), L',', L'\\');
    connections.push_back(Utf8(name));
  }
  RegCloseKey(saved);
  return connections;
}

std::wstring ProfileValue(HKEY profile, const wchar_t* value) {
  wchar_t data[MAX_PATH * 2] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(profile, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
          ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return L"";
  }
  if (type == REG_SZ) return data;
  wchar_t expanded[MAX_PATH * 2] = {};
  const DWORD length = ExpandEnvironmentStringsW(data, expanded, MAX_PATH * 2);
  return length > 0 && length <= MAX_PATH * 2 ? expanded : data;
}

std::string AccountName(const std::wstring& sidText, const std::wstring& profilePath) {
  PSID sid = nullptr;
  if (ConvertStringSidToSidW(sidText.c_str(), &sid)) {
    wchar_t name[256], domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use;
    const BOOL found =
        LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use);
    LocalFree(sid);
    if (found) return Utf8(name);
  }
  // A domain account the computer cannot look up now: its profile folder's name.
  const std::size_t slash = profilePath.find_last_of(L"\\/");
  return Utf8(slash == std::wstring::npos ? profilePath : profilePath.substr(slash + 1));
}

// Windows' own user profiles: local and domain accounts, and Entra ID ones.
bool IsPersonProfile(const std::wstring& sid) {
  return sid.rfind(L"S-1-5-21-", 0) == 0 || sid.rfind(L"S-1-12-1-", 0) == 0;
}

// A profile whose user is not logged on is read from its hive file, loaded
// privately and read only (RegLoadAppKeyW, looked up: Vista and later).
using LoadAppKeyCall = LSTATUS(WINAPI*)(const wchar_t*, HKEY*, REGSAM, DWORD, DWORD);
LoadAppKeyCall FindLoadAppKey() {
  HMODULE advapi = GetModuleHandleW(L"advapi32.dll");
  return advapi ? reinterpret_cast<LoadAppKeyCall>(reinterpret_cast<void (*)()>(
                      GetProcAddress(advapi, "RegLoadAppKeyW")))
                : nullptr;
}

}  // namespace

ServerQueueList Win32Spooler::ListServerQueues(const std::string& server) {
  ServerQueueList list;
  const std::wstring name = L"\\\\" + Wide(server);
  Listing printers = List([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPrintersW(PRINTER_ENUM_NAME, const_cast<wchar_t*>(name.c_str()), 2, buffer, size,
                         needed, count);
  });
  if (!printers.ok) {
    list.error = printers.error;
    return list;
  }
  const std::vector<OfferedDriver> drivers = ServerDrivers(name);
  const std::wstring here = Wide(Environment());
  list.ok = true;
  const auto* records = printers.Records<PRINTER_INFO_2W>();
  for (DWORD i = 0; i < printers.count; ++i) {
    const PRINTER_INFO_2W& record = records[i];
    if (!record.pShareName || !*record.pShareName || !record.pDriverName) continue;
    ServerQueue queue;
    queue.shareName = Utf8(record.pShareName);
    queue.driverName = Utf8(record.pDriverName);
    const std::wstring driver = record.pDriverName;
    for (const OfferedDriver& offered : drivers) {
      if (!SameText(offered.name, driver.c_str())) continue;
      queue.environments.push_back(Utf8(offered.environment));
      // This computer's environment decides; another's stands in only so
      // that a missing environment is told as such.
      if (SameText(offered.environment, here.c_str()) || !queue.driverVersion) {
        queue.driverVersion = offered.version;
        queue.packageAware = offered.packageAware;
      }
    }
    if (!queue.driverVersion) queue.driverVersion = 0;  // not listed: install when missing
    list.queues.push_back(std::move(queue));
  }
  return list;
}

InstalledDriverList Win32Spooler::ListInstalledDrivers(const std::string& environment) {
  InstalledDriverList list;
  std::wstring wanted = Wide(environment);
  Listing six = List([&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPrinterDriversW(nullptr, wanted.data(), 6, buffer, size, needed, count);
  });
  if (!six.ok) {
    list.error = six.error;
    return list;
  }
  list.ok = true;
  const auto* records = six.Records<DRIVER_INFO_6W>();
  for (DWORD i = 0; i < six.count; ++i) {
    if (!records[i].pName) continue;
    list.drivers.push_back(
        {Utf8(records[i].pName), environment, records[i].dwlDriverVersion});
  }
  return list;
}

// A connection of the system account's own, which makes the spooler fetch and
// install the queue's driver as Point and Print does (package-aware or not,
// with the policies the computer has), then removed at once. The driver-package
// functions would need the package in the local store first, which only such a
// connection (or the server's files) brings.
SpoolerResult Win32Spooler::InstallDriverFromServer(const std::string& queueName) {
  const PrinterNameList before = EnumPrinterNames();
  const bool existed =
      before.ok && std::any_of(before.names.begin(), before.names.end(), [&](const std::string& n) {
        return SameText(Wide(n), Wide(queueName).c_str());
      });
  const SpoolerResult added = AddPrinterConnection(queueName, ConnectionPrompts::Never);
  if (!added.ok || existed) return added;
  SpoolerResult removed = DeletePrinterConnection(queueName);
  if (!removed.ok) removed = DeletePrinterConnection(queueName);  // the spooler may lag once
  return added;
}

ProfileConnectionList Win32Spooler::ListProfileConnections() {
  ProfileConnectionList list;
  HKEY profiles = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                 L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                                 KEY_READ | KEY_WOW64_64KEY, &profiles);
  if (status != ERROR_SUCCESS) {
    list.error = static_cast<std::uint32_t>(status);
    return list;
  }
  list.ok = true;
  const LoadAppKeyCall loadAppKey = FindLoadAppKey();
  for (const std::wstring& sid : Subkeys(profiles)) {
    if (!IsPersonProfile(sid)) continue;
    HKEY profile = nullptr;
    if (RegOpenKeyExW(profiles, sid.c_str(), 0, KEY_READ, &profile) != ERROR_SUCCESS) continue;
    const std::wstring folder = ProfileValue(profile, L"ProfileImagePath");
    RegCloseKey(profile);

    ProfileConnections entry;
    entry.userName = AccountName(sid, folder);
    HKEY user = nullptr;
    LSTATUS read = ERROR_SUCCESS;
    if (RegOpenKeyExW(HKEY_USERS, sid.c_str(), 0, KEY_READ, &user) == ERROR_SUCCESS) {
      entry.connections = SavedConnections(user, &read);  // logged on: the loaded hive
      RegCloseKey(user);
    } else if (!loadAppKey || folder.empty()) {
      read = ERROR_CALL_NOT_IMPLEMENTED;
    } else if ((read = loadAppKey((folder + L"\\NTUSER.DAT").c_str(), &user, KEY_READ, 0, 0)) ==
               ERROR_SUCCESS) {
      entry.connections = SavedConnections(user, &read);
      RegCloseKey(user);
    }
    entry.error = static_cast<std::uint32_t>(read);
    list.profiles.push_back(std::move(entry));
  }
  RegCloseKey(profiles);
  return list;
}

std::optional<std::string> Win32ClientReader::DriverEnvironment() { return Environment(); }

InstalledDriverList Win32ClientReader::ListDriverVersions() {
  return Win32Spooler().ListInstalledDrivers(Environment());
}

ServerQueueList Win32ClientReader::ListQueueDrivers(const std::string& server) {
  return Win32Spooler().ListServerQueues(server);
}

std::optional<std::vector<std::pair<std::string, std::string>>>
Win32ClientReader::ReadPointAndPrint() {
  std::vector<std::pair<std::string, std::string>> values;
  HKEY policy = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                    L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\PointAndPrint", 0,
                    KEY_READ | KEY_WOW64_64KEY, &policy) != ERROR_SUCCESS) {
    return values;  // no policy set: every value absent
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    BYTE data[1024];
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS status =
        RegEnumValueW(policy, index, name, &nameLength, nullptr, &type, data, &size);
    if (status == ERROR_MORE_DATA) continue;  // no policy value is that long
    if (status != ERROR_SUCCESS) break;
    std::string text;
    if (type == REG_DWORD && size == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, data, sizeof number);
      text = std::to_string(number);
    } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
      data[size] = 0;
      data[size + 1] = 0;
      text = Utf8(reinterpret_cast<const wchar_t*>(data));
    } else {
      continue;
    }
    values.emplace_back(Utf8(std::wstring_view(name, nameLength)), std::move(text));
  }
  RegCloseKey(policy);
  return values;
}

}  // namespace quillon::platform::win32
