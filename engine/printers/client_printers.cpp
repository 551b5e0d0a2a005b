#include "engine/printers/client_printers.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/core/run_status.h"
#include "engine/printers/printer_failure.h"
#include "engine/printers/printer_policies.h"

namespace quillon::engine {
namespace {

// The servers the document moves connections to, probed with the
// connections' own.
void ExpectDocumentServers(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  for (const auto& pair : doc.ServerPairs) context.servers.Expect(pair.ToServer);
  for (const auto& pair : doc.MixedPairs) context.servers.Expect(pair.ToServer);
}

// A connection whose server does not answer, as far as its name tells:
// nothing else of it can be read without the server.
void KnownByName(RunContext& context, const std::string& device, bool report) {
  ClientPrinter printer;
  printer.ServerName = "\\\\" + std::string(ServerOfName(device));
  printer.PrinterName = device;
  printer.ShortName = std::string(NameAfterServer(device));
  printer.ShareName = printer.ShortName;
  if (report) {
    const std::string listing = printer.PrinterName + " (" + printer.ServerName + ")";
    context.AppendRunMessage(listing);
    WriteDebugLine(context, ">> Found networked printer: " + listing +
                                ", known by its name only: the print server does not answer");
  }
  context.NetworkedPrinters.push_back(std::move(printer));
  UpdateProgress(context, "");
}

}  // namespace

void GetClientPrinters(RunContext& context, bool report) {
  platform::Spooler& spooler = context.platform.spooler;
  WriteDebugLine(context, ">> Getting client's list of printers <<");
  context.NetworkedPrinters.clear();
  context.LocalPrinters.clear();
  context.PerMachineConnections = ReadPerMachineConnections(context.platform.registry);
  if (report) {
    context.AppendRunMessage("* ----- Computer: " + GetComputerName(context) + " Username: " +
                             GetLoggedOnUserName(context) + " Printers ----- *");
    WriteDebugLine(context, ">> * ----- My Printers ----- * <<");
  }

  const platform::PrinterNameList listed = spooler.EnumPrinterNames();
  if (!listed.ok) {
    // An empty list would look like a user without printers and the run
    // would be stored as done.
    ReportSpoolerUnavailable(context, "ERROR: Getting client's list of printers.", listed.error,
                             "Error (" + std::to_string(listed.error) +
                                 ") getting the list of printers from the Print Spooler.");
    return;
  }
  ExpectDocumentServers(context);
  for (const std::string& device : listed.names) {
    if (const std::string_view server = ServerOfName(device);
        !server.empty() && !context.servers.Answers(server)) {
      KnownByName(context, device, report);
      continue;
    }
    const platform::HandleResult opened =
        spooler.OpenPrinter(device, platform::PrinterAccess::Default);
    if (opened.handle == 0) {
      if (report) {
        WriteDebugLine(context, "ERROR: Getting client printer (no handle): " + device);
        context.AppendRunMessage("Error getting handle to printer: " + device);
      }
      continue;
    }

    auto fail = [&](const char* what, std::uint32_t code) {
      if (!report) return;
      WriteDebugLine(context, what + device);
      WriteDebugLine(context, "SYSTEM ERROR: " + std::to_string(code));
      context.AppendRunMessage("Error getting printer information: " + device);
    };
    const auto sizing = spooler.GetPrinter(opened.handle, 0);
    if (sizing.error != platform::kErrorInsufficientBuffer) {
      fail("ERROR: Getting client printer memory information: ", sizing.error);
    } else if (const auto read = spooler.GetPrinter(opened.handle, sizing.needed); !read.ok) {
      fail("ERROR: Getting client printer information: ", read.error);
    } else {
      const platform::PrinterInfo2& info = read.value;
      ClientPrinter printer{info.serverName, info.printerName, {},           info.shareName,
                            info.portName,   info.driverName,  info.comment, info.location};
      if (!printer.ServerName.empty()) {
        printer.ShortName = std::string(NameAfterServer(printer.PrinterName));
        if (report) {
          const std::string listing = printer.PrinterName + " (" + printer.ServerName + ")";
          context.AppendRunMessage(listing);
          WriteDebugLine(context, ">> Found networked printer: " + listing);
        }
        context.NetworkedPrinters.push_back(std::move(printer));
      } else {
        if (report) {
          context.AppendRunMessage("Local Printer: " + printer.PrinterName);
          WriteDebugLine(context, ">> Found local printer: " + printer.PrinterName);
        }
        context.LocalPrinters.push_back(std::move(printer));
      }
      UpdateProgress(context, "");
    }
    spooler.ClosePrinter(opened.handle);
  }
}

}  // namespace quillon::engine
