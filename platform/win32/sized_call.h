// The spooler's sized calls (EnumPrinters, EnumPrinterDrivers, EnumPorts,
// GetPrinter): asked with the bytes the spooler says it needs, and asked again
// while what it lists grows between the calls. One helper for every reader.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/host/windows_api.h"

namespace quillon::platform::win32 {

// 8-byte words, so that the records the spooler writes are aligned.
struct SizedBuffer {
  std::vector<std::uint64_t> words;
  void Resize(DWORD bytes) { words.assign(bytes / sizeof(std::uint64_t) + 1, 0); }
  BYTE* Bytes() { return words.empty() ? nullptr : reinterpret_cast<BYTE*>(words.data()); }
  const BYTE* Bytes() const {
    return words.empty() ? nullptr : reinterpret_cast<const BYTE*>(words.data());
  }
  DWORD Size() const { return static_cast<DWORD>(words.size() * sizeof(std::uint64_t)); }
  template <typename Record>
  const Record* Records() const {
    return reinterpret_cast<const Record*>(Bytes());
  }
};

// `call(bytes, size, &needed, &count)`, as the Enum* calls take them; `count`
// is 0 unless it succeeded. 0 when the call succeeded, else its last error; a
// failure without one is ERROR_INVALID_DATA, never taken for success, and a
// spooler that asks for no more than it was given ends the asking.
template <typename Call>
DWORD CallSized(SizedBuffer& buffer, DWORD& count, Call call, int attempts = 5) {
  buffer.words.clear();
  for (int attempt = 0; attempt < attempts; ++attempt) {
    DWORD needed = 0;
    count = 0;
    const DWORD size = buffer.Size();
    SetLastError(0);
    if (call(buffer.Bytes(), size, &needed, &count)) return 0;
    const DWORD error = GetLastError();
    count = 0;
    if (error != ERROR_INSUFFICIENT_BUFFER || needed == 0 || needed <= size) {
      return error ? error : ERROR_INVALID_DATA;
    }
    buffer.Resize(needed);
  }
  return ERROR_INSUFFICIENT_BUFFER;
}

}  // namespace quillon::platform::win32
