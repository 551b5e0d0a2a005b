// The platform seam's services answered by a simulated client. One object owns
// the client's state for a run; the engine sees it through `Platform`.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/forwarding_file_system.h"
#include "platform/platform.h"
#include "platform/ascii_case.h"
#include "platform/sim/sim_client.h"

namespace quillon::platform::sim {

// Windows compares printer, server, driver, port and profile names without
// regard to ASCII letter case; so does everything on the simulated client.
using ::quillon::EqualsIgnoringCase;
// The same for two names exactly when EqualsIgnoringCase holds for them: the
// key under which an index finds a name.
std::string CaseKey(std::string_view name);

// The host's files, except that a `failures` entry of call "CopyFile" (its name
// matched against the source path or the source's file name) makes a copy fail.
class SimFileSystem : public ForwardingFileSystem {
 public:
  SimFileSystem(FileSystem& host, const SimClientState& state)
      : ForwardingFileSystem(host), state_(state) {}

  Status CopyFile(const std::string& from, const std::string& to) override;

 private:
  const SimClientState& state_;
};

struct SimHost {
  std::string clientPath;     // folder of this file holds profile/ and system32/
  std::string programFolder;  // the real folder of the running program
  std::string hostComputerName = "LOCALHOST";
  std::string hostLoginName = "user";
  bool echoProgress = false;  // print progress labels to standard error
  bool echoMessageBoxes = true;
  // Answers directory queries when the client file has no "directory" key.
  Directory* realDirectory = nullptr;
  // The sockets mail goes out through; the host's own when null.
  net::Network* network = nullptr;
};

class SimPlatform : public SystemInfo,
                    public Registry,
                    public ProfileStrings,
                    public UserInterface,
                    public Spooler,
                    public Directory,
                    public EventLog {
 public:
  SimPlatform(SimClientState& state, SimHost host, FileSystem& files, Clock& clock);
  // Open printer handles belong to this object.
  SimPlatform(const SimPlatform&) = delete;
  SimPlatform& operator=(const SimPlatform&) = delete;

  Platform AsPlatform();
  SimClientState& state() { return state_; }

  // A failure injected by the client file for this call and name, if any.
  std::optional<std::uint32_t> InjectedFailure(std::string_view call, std::string_view name) const;

  // SystemInfo
  OsVersion GetVersion() override;
  std::optional<std::string> GetComputerName() override;
  std::optional<std::string> GetDnsFullName() override;
  std::string GetUserName() override;
  std::string GetProfileFolder() override;
  std::string GetSystemFolder() override;
  std::string GetProgramFolder() override;
  std::string GetErrorText(std::uint32_t code) override;
  // The client file's `elevated` (absent: true); false has no effect on
  // Windows 95/98/ME, where everyone may do everything.
  bool IsElevated() override;
  // On NT the client file's `os.environment`, absent "Windows x64".
  std::string GetNativeDriverEnvironment() override;
  // The client file's `userGroups`, `computerGroups`, `site`, `addresses`;
  // absent groups are marked for the directory.
  TargetingFact GetUserGroups() override;
  TargetingFact GetComputerGroups() override;
  TargetingFact GetSiteName() override;
  TargetingFact GetAddresses() override;
  // Registry
  std::optional<std::string> GetValue(const std::string& keyPath,
                                      const std::string& valueName) override;
  // LegacyDefaultPrinterMode from the client's `legacyDefaultPrinterMode`;
  // the per-machine connections' subkeys from its printers marked so; other
  // numbers are not kept, other subkeys are the `registry` keys' names.
  std::optional<std::uint32_t> GetNumber(const std::string& keyPath,
                                         const std::string& valueName) override;
  std::vector<std::string> ListSubkeys(const std::string& keyPath) override;
  Status SetValue(const std::string& keyPath, const std::string& valueName,
                  const std::string& value) override;
  // ProfileStrings
  ProfileStringResult GetProfileString(const std::string& section, const std::string& key,
                                        std::size_t bufferChars) override;
  Status WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) override;
  // UserInterface
  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                               MessageIcon icon, MessageButtons buttons) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(const std::string& caption,
                                                       const std::string& label) override;
  // Spooler (sim_spooler*.cpp). Every call but ClosePrinter is appended to
  // `spoolerCalls`; injected failures are matched on the Windows function name,
  // EnumDefaultPrinter's as "EnumPrinters". GetDefaultPrinter and
  // EnumDefaultPrinter take no name, so only name-less injections reach them;
  // an "EnumPrinters" one fails EnumPrinterNames too, as it would on Windows.
  // A queue that `needsPrompt` fails a connection with 3019 when prompts are
  // Never, with 1223 (the prompt cancelled) when they are Allowed.
  PrinterNameList EnumPrinterNames() override;
  SizedResult<std::vector<PrinterInfo2>> EnumDefaultPrinter(std::size_t bufferSize) override;
  HandleResult OpenPrinter(const std::string& name, PrinterAccess access) override;
  SizedResult<PrinterInfo2> GetPrinter(PrinterHandle printer, std::size_t bufferSize) override;
  SpoolerResult SetPrinter(PrinterHandle printer, const PrinterInfo2& info) override;
  void ClosePrinter(PrinterHandle printer) override;
  SpoolerResult AddPrinterConnection(const std::string& name, ConnectionPrompts prompts) override;
  SpoolerResult DeletePrinterConnection(const std::string& name) override;
  HandleResult AddPrinter(const PrinterInfo2& info) override;
  SpoolerResult DeletePrinter(PrinterHandle printer) override;
  // On NT a standard user is refused with 5 and "Windows 4.0" with 1805.
  SpoolerResult AddPrinterDriver(const DriverInfo2& info) override;
  // Recorded as "AddPrinterDriverEx"; every file the record names must exist
  // (2). Windows 95/98/ME have no such call (120).
  SpoolerResult AddPrinterDriverFromFolder(const DriverInfo2& info) override;
  // On NT a standard user is refused with 5.
  SpoolerResult AddPort(const std::string& monitorName, ProgressWindow* owner) override;
  // Recorded as "XcvData" with the port name; refused as AddPort is, and with
  // 120 on Windows 95/98/ME.
  SpoolerResult AddLocalPort(const std::string& portName) override;
  SizedResult<std::string> GetDefaultPrinter(std::size_t bufferChars) override;
  SpoolerResult SetDefaultPrinter(const std::string& name) override;
  // The driver rule, for a queue with a `driverVersion`: a driver missing here
  // or older than the server's is installed with the connection, unless the
  // Point and Print restriction is on and the run is not elevated (3019); a
  // driver the server lacks for this environment fails (1797) either way.
  // Recorded as "EnumPrinters" with "\\\\SERVER".
  ServerQueueList ListServerQueues(const std::string& server) override;
  InstalledDriverList ListInstalledDrivers(const std::string& environment) override;
  // The driver rule as an elevated connection would apply it, without the
  // connection; a standard user is refused with 5.
  SpoolerResult InstallDriverFromServer(const std::string& queueName) override;
  // `profiles`, or the client's own user with its connections.
  ProfileConnectionList ListProfileConnections() override;
  // From `serverConditions`: a server answers unless marked not `reachable`.
  // Takes no time and is not recorded among `spoolerCalls`.
  std::vector<ServerProbe> ProbeServers(const std::vector<std::string>& servers) override;

  // Directory: the client file's "directory" key when present, else the real one.
  DirectoryBinding Bind(const std::string& path) override;
  DirectoryQuery QueryPrintQueues(const DirectoryBinding& binding,
                                  const std::string& commandText) override;
  // Only the real directory knows groups; the "directory" key lists none.
  DirectoryQuery QueryAccountGroups(const DirectoryBinding& binding,
                                    const std::string& accountName, bool computer) override;
  DirectoryQuery QueryGroups(const DirectoryBinding& binding) override;

  // EventLog: events are appended to `eventLog`. Injected failures are matched
  // on "RegisterEventSource" and "ReportEvent" with the source name.
  EventSourceResult RegisterEventSource(const std::string& sourceName) override;
  EventLogResult ReportEvent(EventSourceHandle source, std::uint16_t type, std::uint16_t category,
                             std::uint32_t eventId, const std::string& message,
                             std::string_view rawData) override;
  EventLogResult DeregisterEventSource(EventSourceHandle source) override;

 private:
  // What a handle was opened on: a printer of `printers`, or a print server's
  // queue seen from outside (read-only). Both are looked up again at each use,
  // so a handle on a printer removed meanwhile is no longer valid.
  struct OpenedPrinter {
    std::string name;
    bool queueView = false;
  };

  bool IsNt() const;
  struct DriverNeed {
    std::uint32_t error = 0;  // the connection fails with it
    bool install = false;     // the driver is installed or updated first
  };
  DriverNeed DriverNeedFor(const SimQueue& queue);
  void InstallQueueDriver(const SimQueue& queue);
  SimDriver* InstalledDriverFor(const std::string& name);
  std::string DriverEnvironment();
  // The checks and the state change shared by the driver and port calls.
  SpoolerResult InstallDriver(const char* call, const DriverInfo2& info, bool fromFolder);
  SpoolerResult CreatePort(const char* call, const std::string& name);
  std::string ClientFolder(const std::optional<std::string>& configured,
                           const char* defaultName);
  // A listed server's queue. `server` null: the server is not listed; `queue`
  // null: the server has no such queue.
  struct ListedQueue {
    const std::string* server = nullptr;
    const SimQueue* queue = nullptr;
  };

  // The first of the user's printers of that name, through the printer index.
  SimPrinter* FindPrinter(std::string_view name);
  std::optional<std::size_t> PrinterPosition(std::string_view name);
  void IndexPrinters();
  bool PrinterIndexCurrent() const;
  // Keeps the index with `printers` across an append at the end.
  void AppendPrinter(SimPrinter printer);
  // The winIni entry, or the NT 4.0 answer derived from the spooler's state.
  std::optional<std::string> LookUpProfileString(const std::string& section,
                                                 const std::string& key);
  ListedQueue FindQueue(std::string_view server, std::string_view share);
  // The queue a call that fetches from a print server (`call`, on the queue
  // `name`) reaches, or the error it fails with before anything is fetched:
  // an injected failure, the server's condition, a bad name, a server or
  // queue that is not listed.
  std::optional<std::uint32_t> ReachQueue(const char* call, const std::string& name,
                                          ListedQueue& listed);
  const OpenedPrinter* FindHandle(PrinterHandle printer) const;
  std::optional<PrinterInfo2> Describe(const OpenedPrinter& opened);
  PrinterHandle NewHandle(OpenedPrinter opened);
  void RemovePrinter(std::string_view name);
  void Record(const char* call, std::string name, bool result, std::uint32_t error);
  // What `serverConditions` says of a call on the server of `name` ("\\SERVER"
  // or "\\SERVER\share"): its `latencyMs` is waited, and a server that is not
  // reachable fails the call with 1722. A call that Windows completes on the
  // client alone (`needsServer` false) waits for no server that does not answer.
  std::optional<std::uint32_t> ServerCondition(std::string_view name, bool needsServer);

  SimClientState& state_;
  SimHost host_;
  SimFileSystem files_;
  Clock& clock_;
  std::unordered_map<PrinterHandle, OpenedPrinter> handles_;
  // "server\share" in lower case → positions in printServers. Built on first
  // use and checked against the state at every hit, so that a state changed
  // behind the spooler's back is never answered wrongly.
  std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> queueIndex_;
  bool queueIndexBuilt_ = false;
  // The user's printers by CaseKey → their places, in list order. A place is
  // given once (from 0 at each rebuild, then to each appended printer) and
  // never reused; removed places are counted in a Fenwick tree, so a place's
  // position in `printers` is the place less the removed places before it, and
  // neither a removal nor an append costs more than a logarithm. A `printers`
  // whose length the index does not expect was changed behind the spooler's
  // back: the index is rebuilt, as it is when a hit names another printer.
  std::unordered_map<std::string, std::vector<std::size_t>> printerPlaces_;
  std::vector<std::size_t> removedPlaces_;  // the Fenwick tree, 1-based
  std::size_t nextPlace_ = 0;
  std::size_t removedCount_ = 0;
  bool printerIndexBuilt_ = false;
  PrinterHandle lastHandle_ = 0;
  std::unordered_map<EventSourceHandle, std::string> eventSources_;
  EventSourceHandle lastEventSource_ = 0;
  std::unique_ptr<net::Network> ownNetwork_;
};

}  // namespace quillon::platform::sim
