// The last-error code is cleared before each call and read right after it, so
// a code is always the call's own; a call that succeeds reports 0, whatever it
// left behind (Windows' spooler leaves stale codes after successes).
#include "platform/win32/spooler_win32.h"

#include <cstdint>

#include "platform/host/windows_api.h"
#include "platform/win32/user_interface_win32.h"

namespace quillon::platform::win32 {
namespace {

constexpr DWORD kEnumUserPrinters = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;

// Empty fields go to the spooler as none, as the records leave them.
wchar_t* Chars(std::wstring& text) { return text.empty() ? nullptr : text.data(); }

SpoolerResult Outcome(BOOL ok, DWORD error) { return {ok != FALSE, ok ? 0 : error}; }

// A record's strings in UTF-16; the record points into it, so it must
// outlive the call.
struct WidePrinterStrings {
  std::wstring serverName, printerName, shareName, portName, driverName, comment, location,
      separatorFile, printProcessor, datatype, parameters;
  explicit WidePrinterStrings(const PrinterInfo2& info)
      : serverName(Wide(info.serverName)),
        printerName(Wide(info.printerName)),
        shareName(Wide(info.shareName)),
        portName(Wide(info.portName)),
        driverName(Wide(info.driverName)),
        comment(Wide(info.comment)),
        location(Wide(info.location)),
        separatorFile(Wide(info.separatorFile)),
        printProcessor(Wide(info.printProcessor)),
        datatype(Wide(info.datatype)),
        parameters(Wide(info.parameters)) {}
};

void Encode(const PrinterInfo2& info, WidePrinterStrings& text, PRINTER_INFO_2W& record) {
  record.pServerName = Chars(text.serverName);
  record.pPrinterName = Chars(text.printerName);
  record.pShareName = Chars(text.shareName);
  record.pPortName = Chars(text.portName);
  record.pDriverName = Chars(text.driverName);
  record.pComment = Chars(text.comment);
  record.pLocation = Chars(text.location);
  record.pSepFile = Chars(text.separatorFile);
  record.pPrintProcessor = Chars(text.printProcessor);
  record.pDatatype = Chars(text.datatype);
  record.pParameters = Chars(text.parameters);
  record.Attributes = info.attributes;
  record.Priority = info.priority;
  record.DefaultPriority = info.defaultPriority;
  record.StartTime = info.startTime;
  record.UntilTime = info.untilTime;
  record.Status = info.status;
  record.cJobs = info.jobs;
  record.AveragePPM = info.averagePpm;
}

// A driver record and the UTF-16 strings it points into.
struct WideDriverRecord {
  std::wstring name, environment, driverPath, dataFile, configFile;
  DRIVER_INFO_2W record{};
  explicit WideDriverRecord(const DriverInfo2& info)
      : name(Wide(info.name)),
        environment(Wide(info.environment)),
        driverPath(Wide(info.driverPath)),
        dataFile(Wide(info.dataFile)),
        configFile(Wide(info.configFile)) {
    record.cVersion = info.version;
    record.pName = Chars(name);
    record.pEnvironment = Chars(environment);
    record.pDriverPath = Chars(driverPath);
    record.pDataFile = Chars(dataFile);
    record.pConfigFile = Chars(configFile);
  }
  WideDriverRecord(const WideDriverRecord&) = delete;
  WideDriverRecord& operator=(const WideDriverRecord&) = delete;
};

struct Enumeration {
  BOOL ok = FALSE;
  DWORD error = 0;
  DWORD needed = 0;
  DWORD returned = 0;
};

Enumeration Enumerate(DWORD flags, DWORD level, std::vector<unsigned char>& buffer) {
  Enumeration result;
  SetLastError(0);
  result.ok = EnumPrintersW(flags, nullptr, level, buffer.empty() ? nullptr : buffer.data(),
                            static_cast<DWORD>(buffer.size()), &result.needed, &result.returned);
  result.error = GetLastError();
  return result;
}

// Sized to what the spooler asks for, again while the list grows meanwhile.
Enumeration EnumerateAll(DWORD flags, DWORD level, std::vector<unsigned char>& buffer) {
  buffer.clear();
  Enumeration result = Enumerate(flags, level, buffer);
  for (int attempt = 0; attempt < 4 && !result.ok && result.error == ERROR_INSUFFICIENT_BUFFER;
       ++attempt) {
    buffer.assign(result.needed, 0);
    result = Enumerate(flags, level, buffer);
  }
  return result;
}

}  // namespace

PrinterInfo2 DecodePrinterInfo2(const PRINTER_INFO_2W& record) {
  PrinterInfo2 info;
  info.serverName = Utf8(record.pServerName);
  info.printerName = Utf8(record.pPrinterName);
  info.shareName = Utf8(record.pShareName);
  info.portName = Utf8(record.pPortName);
  info.driverName = Utf8(record.pDriverName);
  info.comment = Utf8(record.pComment);
  info.location = Utf8(record.pLocation);
  info.separatorFile = Utf8(record.pSepFile);
  info.printProcessor = Utf8(record.pPrintProcessor);
  info.datatype = Utf8(record.pDatatype);
  info.parameters = Utf8(record.pParameters);
  info.attributes = record.Attributes;
  info.priority = record.Priority;
  info.defaultPriority = record.DefaultPriority;
  info.startTime = record.StartTime;
  info.untilTime = record.UntilTime;
  info.status = record.Status;
  info.jobs = record.cJobs;
  info.averagePpm = record.AveragePPM;
  return info;
}

UserPrinterList ListUserPrinters() {
  UserPrinterList list;
  std::vector<unsigned char> buffer;
  Enumeration listed = EnumerateAll(kEnumUserPrinters, 4, buffer);
  if (listed.ok) {
    const auto* records = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < listed.returned; ++i) {
      if (records[i].pPrinterName) list.names.push_back(Utf8(records[i].pPrinterName));
    }
    list.ok = true;
    return list;
  }
  // Windows 95/98/ME know no level 4; level 1 lists the same printers.
  const Enumeration levelOne = EnumerateAll(kEnumUserPrinters, 1, buffer);
  if (levelOne.ok) {
    const auto* records = reinterpret_cast<const PRINTER_INFO_1W*>(buffer.data());
    for (DWORD i = 0; i < levelOne.returned; ++i) {
      if (records[i].pName) list.names.push_back(Utf8(records[i].pName));
    }
    list.ok = true;
    return list;
  }
  list.error = listed.error;
  return list;
}

PrinterNameList Win32Spooler::EnumPrinterNames() {
  UserPrinterList listed = ListUserPrinters();
  return {listed.ok, listed.ok ? 0 : listed.error, std::move(listed.names)};
}

SizedResult<std::vector<PrinterInfo2>> Win32Spooler::EnumDefaultPrinter(std::size_t bufferSize) {
  std::vector<unsigned char> buffer(bufferSize, 0);
  const Enumeration listed = Enumerate(PRINTER_ENUM_DEFAULT, 2, buffer);
  SizedResult<std::vector<PrinterInfo2>> result;
  result.ok = listed.ok != FALSE;
  result.error = listed.ok ? 0 : listed.error;
  result.needed = listed.needed;
  if (listed.ok) {
    const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < listed.returned; ++i) {
      result.value.push_back(DecodePrinterInfo2(records[i]));
    }
  }
  return result;
}

HandleResult Win32Spooler::OpenPrinter(const std::string& name, PrinterAccess access) {
  PRINTER_DEFAULTSW allAccess{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  std::wstring wide = Wide(name);
  SetLastError(0);
  const BOOL ok = OpenPrinterW(wide.data(), &handle,
                               access == PrinterAccess::AllAccess ? &allAccess : nullptr);
  const DWORD error = GetLastError();
  if (!ok || !handle) return {0, error};
  return {FromHandle(handle), 0};
}

SizedResult<PrinterInfo2> Win32Spooler::GetPrinter(PrinterHandle printer, std::size_t bufferSize) {
  std::vector<unsigned char> buffer(bufferSize, 0);
  DWORD needed = 0;
  SetLastError(0);
  const BOOL ok = GetPrinterW(ToHandle(printer), 2, buffer.empty() ? nullptr : buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed);
  const DWORD error = GetLastError();
  SizedResult<PrinterInfo2> result;
  result.ok = ok != FALSE;
  result.error = ok ? 0 : error;
  result.needed = needed;
  if (ok) {
    result.value = DecodePrinterInfo2(*reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data()));
    lastRead_[printer] = std::move(buffer);
  }
  return result;
}

SpoolerResult Win32Spooler::SetPrinter(PrinterHandle printer, const PrinterInfo2& info) {
  PRINTER_INFO_2W record{};
  if (auto read = lastRead_.find(printer); read != lastRead_.end()) {
    record = *reinterpret_cast<const PRINTER_INFO_2W*>(read->second.data());
  }
  WidePrinterStrings text(info);
  Encode(info, text, record);
  record.pSecurityDescriptor = nullptr;
  SetLastError(0);
  const BOOL ok = SetPrinterW(ToHandle(printer), 2, reinterpret_cast<BYTE*>(&record), 0);
  return Outcome(ok, GetLastError());
}

void Win32Spooler::ClosePrinter(PrinterHandle printer) {
  lastRead_.erase(printer);
  if (printer != 0) ::ClosePrinter(ToHandle(printer));
}

AddConnectionWithoutPromptsCall FindAddConnectionWithoutPrompts() {
  HMODULE spooler = GetModuleHandleW(L"winspool.drv");
  if (!spooler) return nullptr;
  // Through void(*)(), which GCC lets any function become.
  return reinterpret_cast<AddConnectionWithoutPromptsCall>(
      reinterpret_cast<void (*)()>(GetProcAddress(spooler, "AddPrinterConnection2W")));
}

SpoolerResult AddConnection(const std::string& name, ConnectionPrompts prompts,
                            AddConnectionWithoutPromptsCall withoutPrompts) {
  std::wstring wide = Wide(name);
  if (prompts == ConnectionPrompts::Never && withoutPrompts) {
    PRINTER_CONNECTION_INFO_1 info{};
    info.dwFlags = PRINTER_CONNECTION_NO_UI;
    info.pszDriverName = nullptr;
    SetLastError(0);
    const BOOL ok = withoutPrompts(nullptr, wide.c_str(), 1, &info);
    return Outcome(ok, GetLastError());
  }
  SetLastError(0);
  const BOOL ok = AddPrinterConnectionW(wide.data());
  return Outcome(ok, GetLastError());
}

SpoolerResult Win32Spooler::AddPrinterConnection(const std::string& name,
                                                 ConnectionPrompts prompts) {
  static const AddConnectionWithoutPromptsCall withoutPrompts = FindAddConnectionWithoutPrompts();
  return AddConnection(name, prompts, withoutPrompts);
}

SpoolerResult Win32Spooler::DeletePrinterConnection(const std::string& name) {
  std::wstring wide = Wide(name);
  SetLastError(0);
  const BOOL ok = DeletePrinterConnectionW(wide.data());
  return Outcome(ok, GetLastError());
}

HandleResult Win32Spooler::AddPrinter(const PrinterInfo2& info) {
  PRINTER_INFO_2W record{};
  WidePrinterStrings text(info);
  Encode(info, text, record);
  SetLastError(0);
  HANDLE handle = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&record));
  const DWORD error = GetLastError();
  if (!handle) return {0, error};
  return {FromHandle(handle), 0};
}

SpoolerResult Win32Spooler::DeletePrinter(PrinterHandle printer) {
  SetLastError(0);
  const BOOL ok = ::DeletePrinter(ToHandle(printer));
  return Outcome(ok, GetLastError());
}

SpoolerResult Win32Spooler::AddPrinterDriver(const DriverInfo2& info) {
  WideDriverRecord wide(info);
  SetLastError(0);
  const BOOL ok = AddPrinterDriverW(nullptr, 2, reinterpret_cast<BYTE*>(&wide.record));
  return Outcome(ok, GetLastError());
}

SpoolerResult Win32Spooler::AddPrinterDriverFromFolder(const DriverInfo2& info) {
  WideDriverRecord wide(info);
  SetLastError(0);
  const BOOL ok = AddPrinterDriverExW(nullptr, 2, reinterpret_cast<BYTE*>(&wide.record),
                                      APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY);
  return Outcome(ok, GetLastError());
}

// The monitor's own answer is the status; the call's result only says whether
// the monitor was reached.
SpoolerResult Win32Spooler::AddLocalPort(const std::string& portName) {
  wchar_t monitor[] = L",XcvMonitor Local Port";
  PRINTER_DEFAULTSW administer{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE xcv = nullptr;
  SetLastError(0);
  if (!OpenPrinterW(monitor, &xcv, &administer) || !xcv) {
    const DWORD error = GetLastError();
    return {false, error ? error : static_cast<DWORD>(ERROR_ACCESS_DENIED)};
  }
  const std::wstring wide = Wide(portName);
  std::vector<wchar_t> port(wide.begin(), wide.end());
  port.push_back(L'\0');
  DWORD needed = 0;
  DWORD status = ERROR_SUCCESS;
  SetLastError(0);
  const BOOL reached =
      XcvDataW(xcv, L"AddPort", reinterpret_cast<BYTE*>(port.data()),
               static_cast<DWORD>(port.size() * sizeof(wchar_t)), nullptr, 0, &needed, &status);
  const DWORD error = GetLastError();
  ::ClosePrinter(xcv);
  if (!reached) return {false, error ? error : static_cast<DWORD>(ERROR_INVALID_FUNCTION)};
  return {status == ERROR_SUCCESS, status};
}

SpoolerResult Win32Spooler::AddPort(const std::string& monitorName, ProgressWindow* owner) {
  HWND window = static_cast<HWND>(NativeWindowOf(owner));
  std::wstring monitor = Wide(monitorName);
  SetLastError(0);
  const BOOL ok = AddPortW(nullptr, window, monitor.data());
  return Outcome(ok, GetLastError());
}

SizedResult<std::string> Win32Spooler::GetDefaultPrinter(std::size_t bufferChars) {
  std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
  DWORD size = static_cast<DWORD>(bufferChars);
  SetLastError(0);
  const BOOL ok = GetDefaultPrinterW(bufferChars ? buffer.data() : nullptr, &size);
  const DWORD error = GetLastError();
  SizedResult<std::string> result;
  result.ok = ok != FALSE;
  result.error = ok ? 0 : error;
  // In characters with the NUL: what was copied, or what a buffer must hold.
  result.needed = size;
  if (ok) result.value = Utf8(buffer.data());
  return result;
}

SpoolerResult Win32Spooler::SetDefaultPrinter(const std::string& name) {
  const std::wstring wide = Wide(name);
  SetLastError(0);
  const BOOL ok = SetDefaultPrinterW(wide.c_str());
  return Outcome(ok, GetLastError());
}

}  // namespace quillon::platform::win32
