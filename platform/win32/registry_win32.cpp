// Key paths name their root hive in full or abbreviated; the rest is the
// subkey chain. Empty parts (a document path's "\\server" gives two backslashes
// in a row) are dropped, so a path reads back the key it wrote on every
// Windows, which would otherwise differ on such names.
#include "platform/win32/registry_win32.h"
#include "platform/ascii_case.h"

#include <string_view>
#include <vector>

#include "platform/host/windows_api.h"
#include "platform/host/system_error_win32.h"

namespace quillon::platform::win32 {
namespace {

struct KeyPath {
  HKEY root = nullptr;
  std::string subkey;
};

HKEY RootNamed(std::string_view name) {
  const struct {
    const char* full;
    const char* shortName;
    HKEY root;
  } roots[] = {
      {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
      {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
      {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
      {"HKEY_USERS", "HKU", HKEY_USERS},
      {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
  };
  for (const auto& entry : roots) {
    if (EqualsIgnoringCase(name, entry.full) || EqualsIgnoringCase(name, entry.shortName)) {
      return entry.root;
    }
  }
  return nullptr;
}

KeyPath ParseKeyPath(const std::string& path) {
  KeyPath parsed;
  std::string_view rest(path);
  const std::size_t cut = rest.find('\\');
  parsed.root = RootNamed(rest.substr(0, cut));
  if (cut == std::string_view::npos) return parsed;
  rest.remove_prefix(cut + 1);
  while (!rest.empty()) {
    const std::size_t next = rest.find('\\');
    const std::string_view part = rest.substr(0, next);
    if (!part.empty()) {
      if (!parsed.subkey.empty()) parsed.subkey += '\\';
      parsed.subkey += part;
    }
    if (next == std::string_view::npos) break;
    rest.remove_prefix(next + 1);
  }
  return parsed;
}

// The system's text alone, as Windows reports a registry error to a program.
Status Failure(LONG code) {
  const auto number = static_cast<std::uint32_t>(code);
  return Status::Error(number, SystemErrorText(number));
}

// The key of a full path opened for `access`; null when the root is unknown
// or the key cannot be opened.
HKEY OpenKey(const std::string& keyPath, REGSAM access) {
  const KeyPath parsed = ParseKeyPath(keyPath);
  if (!parsed.root) return nullptr;
  HKEY key = nullptr;
  if (RegOpenKeyExW(parsed.root, Wide(parsed.subkey).c_str(), 0, access, &key) != ERROR_SUCCESS) {
    return nullptr;
  }
  return key;
}

}  // namespace

std::optional<std::string> Win32Registry::GetValue(const std::string& keyPath,
                                                   const std::string& valueName) {
  HKEY key = OpenKey(keyPath, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  const std::wstring name = Wide(valueName);
  // First the type and size, then the data only if it is a string. The value
  // may grow between the two calls; then the size is asked again.
  std::optional<std::string> text;
  for (int attempt = 0; attempt < 3 && !text; ++attempt) {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
      break;
    }
    // Sizes in bytes; an odd last byte is no character.
    std::vector<wchar_t> data(static_cast<std::size_t>(size) / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    const LONG read = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &got);
    if (read == ERROR_MORE_DATA) continue;
    if (read != ERROR_SUCCESS || type != REG_SZ) break;
    std::size_t length = 0;
    while (length < got / sizeof(wchar_t) && data[length] != L'\0') ++length;
    text = Utf8(std::wstring_view(data.data(), length));
  }
  RegCloseKey(key);
  return text;
}

std::optional<std::uint32_t> Win32Registry::GetNumber(const std::string& keyPath,
                                                      const std::string& valueName) {
  HKEY key = OpenKey(keyPath, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  DWORD type = 0;
  DWORD number = 0;
  DWORD size = sizeof number;
  const LONG read = RegQueryValueExW(key, Wide(valueName).c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&number), &size);
  RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_DWORD || size != sizeof number) return std::nullopt;
  return static_cast<std::uint32_t>(number);
}

std::vector<std::string> Win32Registry::ListSubkeys(const std::string& keyPath) {
  std::vector<std::string> names;
  HKEY key = OpenKey(keyPath, KEY_ENUMERATE_SUB_KEYS);
  if (!key) return names;
  // Key names are at most 255 characters.
  wchar_t name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = 256;  // characters
    const LONG result =
        RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;
    names.push_back(Utf8(std::wstring_view(name, length)));
  }
  RegCloseKey(key);
  return names;
}

Status Win32Registry::SetValue(const std::string& keyPath, const std::string& valueName,
                               const std::string& value) {
  const KeyPath parsed = ParseKeyPath(keyPath);
  if (!parsed.root) {
    return Failure(ERROR_INVALID_PARAMETER);
  }
  HKEY key = nullptr;
  LONG result = RegCreateKeyExW(parsed.root, Wide(parsed.subkey).c_str(), 0, nullptr,
                                REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (result != ERROR_SUCCESS) return Failure(result);
  // The length is the text's in bytes, without a terminating NUL.
  const std::wstring text = Wide(value);
  result = RegSetValueExW(key, Wide(valueName).c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t)));
  RegCloseKey(key);
  return result == ERROR_SUCCESS ? Status::Ok() : Failure(result);
}

}  // namespace quillon::platform::win32
