// The snapshot of the user's printers that every migration step works on.
#pragma once

#include <string>
#include <vector>

namespace quillon::engine {

struct RunContext;

struct ClientPrinter {
  std::string ServerName;   // "\\SERVER" for a connection, empty for a local printer
  std::string PrinterName;  // "\\SERVER\name" for a connection
  std::string ShortName;    // connections only: PrinterName after its server part
  std::string ShareName, PortName, DriverName, Comment, Location;
  bool operator==(const ClientPrinter&) const = default;
};

// Rebuilds NetworkedPrinters and LocalPrinters; with `report`, also lists them
// and their errors in the debug log and the report.
void GetClientPrinters(RunContext& context, bool report);

}  // namespace quillon::engine
