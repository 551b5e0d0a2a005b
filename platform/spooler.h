// The print spooler, shaped like the Windows calls the engine makes. Every call
// returns its own result and the last-error code it left, so a code left over
// from an earlier call can never decide an outcome.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::platform {

class ProgressWindow;

// An open printer; 0 is no printer.
using PrinterHandle = std::uint64_t;

inline constexpr std::uint32_t kErrorFileNotFound = 2;          // no default printer
inline constexpr std::uint32_t kErrorNotFound = 1168;           // no default printer, too
inline constexpr std::uint32_t kErrorCancelled = 1223;          // a prompt was cancelled
inline constexpr std::uint32_t kErrorPrinterDriverDownloadNeeded = 3019;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorRpcServerUnavailable = 1722;  // print server unreachable
inline constexpr std::uint32_t kErrorUnknownPort = 1796;
inline constexpr std::uint32_t kErrorUnknownPrinterDriver = 1797;
inline constexpr std::uint32_t kErrorInvalidPrinterName = 1801;
inline constexpr std::uint32_t kErrorPrinterAlreadyExists = 1802;
inline constexpr std::uint32_t kErrorPrinterDriverAlreadyInstalled = 1795;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidEnvironment = 1805;

inline constexpr std::uint32_t kPrinterAttributeDefault = 0x4;
inline constexpr std::uint32_t kPrinterAttributeShared = 0x8;
inline constexpr std::uint32_t kPrinterAttributeNetwork = 0x10;
inline constexpr std::uint32_t kPrinterAttributeLocal = 0x40;

// Level-2 printer information (PRINTER_INFO_2), the fields the engine uses.
struct PrinterInfo2 {
  std::string serverName, printerName, shareName, portName, driverName, comment, location;
  std::string separatorFile, printProcessor, datatype, parameters;
  std::uint32_t attributes = 0, priority = 0, defaultPriority = 0, startTime = 0, untilTime = 0,
                status = 0, jobs = 0, averagePpm = 0;
  bool operator==(const PrinterInfo2&) const = default;
};

// Level-2 driver information (DRIVER_INFO_2).
struct DriverInfo2 {
  std::uint32_t version = 0;
  std::string name, environment, driverPath, dataFile, configFile;
  bool operator==(const DriverInfo2&) const = default;
};

struct SpoolerResult {
  bool ok = false;
  std::uint32_t error = 0;  // the last-error code after the call; 0 on success
};

struct HandleResult {
  PrinterHandle handle = 0;
  std::uint32_t error = 0;
};

// A call that fills a caller's buffer: with too small a buffer it fails with
// 122 and tells the size needed in bytes (characters for GetDefaultPrinter).
template <typename Value>
struct SizedResult {
  bool ok = false;
  std::uint32_t error = 0;
  std::size_t needed = 0;
  Value value{};
};

enum class PrinterAccess { Default, AllAccess };

// Whether adding a connection may show Point and Print or credential prompts.
// A logon run says Never: a prompt nobody can answer would hold the run.
enum class ConnectionPrompts { Allowed, Never };

// The user's printers as the spooler lists them; a failed listing (the Print
// Spooler service stopped) is not an empty one.
struct PrinterNameList {
  bool ok = false;
  std::uint32_t error = 0;
  std::vector<std::string> names;
};

// A driver's file version as the spooler keeps it (DRIVERVERSION's DWORDLONG):
// four 16-bit parts, the first in the highest bits, so that versions compare
// as numbers.
using DriverVersion = std::uint64_t;
// "a.b.c.d", each part 0 to 65535; nullopt for anything else.
std::optional<DriverVersion> ParseDriverVersion(std::string_view text);
std::string DriverVersionText(DriverVersion version);

// A shared printer of a print server and the driver a client gets from it.
struct ServerQueue {
  std::string shareName, driverName;
  // Absent where the server does not tell it (the simulated client's queues
  // without one): no driver rule applies to such a queue.
  std::optional<DriverVersion> driverVersion;
  // The environments the server holds this driver for; empty: not known.
  std::vector<std::string> environments;
  bool packageAware = false;
};

struct ServerQueueList {
  bool ok = false;
  std::uint32_t error = 0;
  std::vector<ServerQueue> queues;
};

struct InstalledDriver {
  std::string name, environment;
  DriverVersion version = 0;
};

struct InstalledDriverList {
  bool ok = false;
  std::uint32_t error = 0;
  std::vector<InstalledDriver> drivers;
};

// The printer connections saved in one user profile of this computer.
struct ProfileConnections {
  std::string userName;
  std::vector<std::string> connections;  // "\\SERVER\share"
  std::uint32_t error = 0;  // non-zero: the profile's connections could not be read
};

struct ProfileConnectionList {
  bool ok = false;
  std::uint32_t error = 0;
  std::vector<ProfileConnections> profiles;
};

// Whether one print server answered a probe, and how long it took to tell.
struct ServerProbe {
  std::string server;  // as asked, without backslashes
  bool answers = false;
  std::uint32_t milliseconds = 0;
};

// How long a probe waits for a server that neither answers nor refuses.
inline constexpr int kServerProbeTimeoutMs = 2000;

class Spooler {
 public:
  virtual ~Spooler() = default;
  // The device names of the user's printers, local printers and printer
  // connections, in the order the spooler lists them.
  virtual PrinterNameList EnumPrinterNames() = 0;
  // EnumPrinters with PRINTER_ENUM_DEFAULT at level 2 (Windows 95/98/ME).
  virtual SizedResult<std::vector<PrinterInfo2>> EnumDefaultPrinter(std::size_t bufferSize) = 0;
  virtual HandleResult OpenPrinter(const std::string& name, PrinterAccess access) = 0;
  virtual SizedResult<PrinterInfo2> GetPrinter(PrinterHandle printer, std::size_t bufferSize) = 0;
  // SetPrinter at level 2, command 0.
  virtual SpoolerResult SetPrinter(PrinterHandle printer, const PrinterInfo2& info) = 0;
  virtual void ClosePrinter(PrinterHandle printer) = 0;
  // With Never, a connection that would need a prompt fails at once (3019).
  virtual SpoolerResult AddPrinterConnection(const std::string& name,
                                             ConnectionPrompts prompts) = 0;
  virtual SpoolerResult DeletePrinterConnection(const std::string& name) = 0;
  // AddPrinter on the local machine at level 2.
  virtual HandleResult AddPrinter(const PrinterInfo2& info) = 0;
  virtual SpoolerResult DeletePrinter(PrinterHandle printer) = 0;
  // AddPrinterDriver on the local machine at level 2.
  virtual SpoolerResult AddPrinterDriver(const DriverInfo2& info) = 0;
  // AddPort on the local machine; the text goes where Windows takes the monitor name.
  // Windows NT's port monitors answer it with a dialog: Windows 95/98/ME only.
  virtual SpoolerResult AddPort(const std::string& monitorName, ProgressWindow* owner) = 0;
  // AddPrinterDriverEx on the local machine at level 2 with APD_COPY_NEW_FILES
  // and APD_COPY_FROM_DIRECTORY: the spooler copies the files from where the
  // record's full paths name them into its own driver folder (Windows NT).
  virtual SpoolerResult AddPrinterDriverFromFolder(const DriverInfo2& info) = 0;
  // A port of the Local Port monitor added without any dialog: XcvData
  // "AddPort" on ",XcvMonitor Local Port" opened for server administration
  // (Windows NT). A standard user is refused with 5.
  virtual SpoolerResult AddLocalPort(const std::string& portName) = 0;
  virtual SizedResult<std::string> GetDefaultPrinter(std::size_t bufferChars) = 0;
  virtual SpoolerResult SetDefaultPrinter(const std::string& name) = 0;

  // For installing drivers ahead of the users' logons. A spooler that cannot
  // do these answers 120 (not implemented).
  // One listing of a print server's shared printers with their drivers for
  // this computer's environment (`server` without backslashes).
  virtual ServerQueueList ListServerQueues(const std::string& server);
  // The drivers installed on this computer for `environment`.
  virtual InstalledDriverList ListInstalledDrivers(const std::string& environment);
  // Installs or updates, on this computer, the driver of the shared printer
  // `queueName` ("\\SERVER\share") from its server; leaves no connection.
  // Takes an administrator's rights.
  virtual SpoolerResult InstallDriverFromServer(const std::string& queueName);
  // The connections saved in every user profile of this computer, read only.
  virtual ProfileConnectionList ListProfileConnections();

  // Asks every server (names without backslashes) at once whether it answers,
  // so that a switched-off server costs the run one short wait rather than
  // the spooler's RPC time-outs on every call. One answer per server, in the
  // order asked. A spooler that cannot tell says every server answers.
  virtual std::vector<ServerProbe> ProbeServers(const std::vector<std::string>& servers);
};

}  // namespace quillon::platform
