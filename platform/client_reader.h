// What a client computer holds for the user, read and never changed: the
// user's printers with their level-2 details, the default printer, the
// installed drivers and ports, the computer's facts, and the queues of print
// servers. `quillon snapshot` turns these answers into a simulated client.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/spooler.h"
#include "platform/status.h"
#include "platform/system_info.h"

namespace quillon::platform {

// One of the user's printers. When its details cannot be read, `info` holds
// only what the list itself gave (name, server, attributes), `failedCall`
// names the call that failed ("OpenPrinter" or "GetPrinter") and `failure`
// its error number and the system's text.
struct ListedPrinter {
  PrinterInfo2 info;
  std::string failedCall;
  Status failure;
  // A connection the computer gives every user (Group Policy, printui /ga).
  bool perMachine = false;
};

// Each listing: `status` says why the list could not be had at all.
struct PrinterListing {
  Status status;
  std::vector<ListedPrinter> printers;  // in the order the system lists them
};

struct DefaultPrinterName {
  Status status;
  std::optional<std::string> name;  // nullopt: the user has no default printer
};

struct DriverListing {
  Status status;
  std::vector<DriverInfo2> drivers;
};

struct PortListing {
  Status status;
  std::vector<std::string> ports;
};

// The queues a client can connect to on one print server: the shared ones,
// with their share names.
struct QueueListing {
  Status status;
  std::vector<PrinterInfo2> queues;
};

// Facts a source cannot give are nullopt.
struct ClientFacts {
  std::optional<OsVersion> version;  // nullopt: the client is not Windows
  std::optional<std::string> computerName, dnsFullName, userName, profileFolder;
  // The user's LegacyDefaultPrinterMode (true: 1); nullopt where it is not set.
  std::optional<bool> legacyDefaultPrinterMode = std::nullopt;
};

class ClientReader {
 public:
  virtual ~ClientReader() = default;
  virtual ClientFacts ReadFacts() = 0;
  // Local printers and the user's printer connections.
  virtual PrinterListing ListPrinters() = 0;
  virtual DefaultPrinterName GetDefaultPrinter() = 0;
  // The drivers of the client's own environment.
  virtual DriverListing ListDrivers() = 0;
  virtual PortListing ListPorts() = 0;
  // `server` as a migration document names it, without backslashes.
  virtual QueueListing ListServerQueues(const std::string& server) = 0;

  // What the 2021 driver rule decides on; a source that cannot tell answers
  // nullopt or a listing that is not ok (120).
  // The spooler's name for the system's own driver environment.
  virtual std::optional<std::string> DriverEnvironment() { return std::nullopt; }
  // The installed drivers of that environment with their file versions.
  virtual InstalledDriverList ListDriverVersions() { return {false, 120, {}}; }
  // The server's queues with their drivers' versions, environments and
  // package awareness.
  virtual ServerQueueList ListQueueDrivers(const std::string&) { return {false, 120, {}}; }
  // The values of the Point and Print policy key, each as text (a number in
  // decimal); nullopt where the client has no such policy (not Windows).
  virtual std::optional<std::vector<std::pair<std::string, std::string>>> ReadPointAndPrint() {
    return std::nullopt;
  }
};

// The computer's own: the Windows spooler on Windows, the CUPS scheduler
// elsewhere.
std::unique_ptr<ClientReader> CreateHostClientReader();

}  // namespace quillon::platform
