// The client as a CUPS host shows it: the scheduler's queues as the user's
// printers, the user's default destination, and other CUPS servers' queues as
// print servers. Only IPP queries: nothing is added, changed or removed.
//
// A queue whose device URI is another CUPS server's queue (ipp, ipps, http or
// https to /printers/NAME or /classes/NAME) stands for a printer connection,
// \\HOST\NAME (HOST:PORT when the port is not 631); every other queue is a
// local printer with its device URI as port. The make and model is the driver
// name, printer-info the comment, printer-location the location.
#pragma once

#include <optional>
#include <string>

#include "platform/client_reader.h"

namespace quillon::platform::cups {

struct CupsConnection {
  std::string server;  // "host", or "host:port" off the IPP port
  std::string queue;
};

// The connection a device URI stands for; nullopt for anything else (a
// device, a file, a printer's own IPP endpoint such as /ipp/print).
std::optional<CupsConnection> ConnectionOfDeviceUri(const std::string& deviceUri);

class CupsClientReader : public ClientReader {
 public:
  // `server` as CUPS_SERVER takes it ("host:port", a socket path); empty:
  // libcups' own choice (CUPS_SERVER, client.conf, the local scheduler).
  explicit CupsClientReader(std::string server = "");

  // The host's name and the login name; no Windows version, DNS name or
  // profile folder.
  ClientFacts ReadFacts() override;
  PrinterListing ListPrinters() override;
  // The user's default destination (lpoptions, LPDEST and PRINTER included).
  DefaultPrinterName GetDefaultPrinter() override;
  // The queues' makes and models, once each.
  DriverListing ListDrivers() override;
  // The queues' device URIs, once each.
  PortListing ListPorts() override;
  // "host" or "host:port" (631 when none); the shared queues.
  QueueListing ListServerQueues(const std::string& server) override;

 private:
  std::string server_;
};

}  // namespace quillon::platform::cups
