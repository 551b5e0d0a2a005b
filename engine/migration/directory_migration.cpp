#include "engine/migration/directory_migration.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/maintenance.h"
#include "engine/migration/printer_move.h"

namespace quillon::engine {

DirectoryPrinter MakeDirectoryPrinter(const std::string& name, const std::string& shareName) {
  const std::size_t dash = name.find('-');
  if (dash == std::string::npos) return {name, {}, shareName};
  return {name.substr(dash + 1), name.substr(0, dash), shareName};
}


std::string DirectoryTargetName(const DirectoryPrinter& published, const ClientPrinter& printer) {
  return "\\\\" + published.ServerName + "\\" + printer.ShortName;
}

void QueryDirectoryPrinters(RunContext& context) {
  platform::Directory& directory = context.platform.directory;
  context.DirectoryPrinters.clear();
  const std::string path = "LDAP://" + context.document.DomainName;
  const platform::DirectoryBinding binding = directory.Bind(path);
  if (!binding.credentialFailure.empty()) {
    WriteDebugLine(context, ">> Binding with the user's credentials failed, trying anonymously: " +
                                binding.credentialFailure);
  }
  if (!binding.ok) {
    WriteErrorLines(context, "ERROR: Accessing Active Directory. <<", binding.errorNumber,
                    binding.errorDescription);
    RecordFailure(context, "Error accessing Active Directory. Try installing an MDAC update.",
                  binding.errorNumber, binding.errorDescription);
    return;
  }
  WriteDebugLine(context, ">> Created connection to AD: " + path);

  const std::string command = "Select name, printShareName FROM '" + binding.adsPath +
                              "' WHERE objectCategory='printQueue'";
  WriteDebugLine(context, ">> Querying AD for printers, command:" + command);
  const platform::DirectoryQuery query = directory.QueryPrintQueues(binding, command);
  if (!query.ok) {
    WriteErrorLines(context, "ERROR: Quering Active Directory printers. <<", query.errorNumber,
                    query.errorDescription);
    RecordFailure(context, "Error quering Active Directory printers.", query.errorNumber,
                  query.errorDescription);
    return;
  }

  context.RunMessage += kLineBreak;
  context.AppendRunMessage("* ----- AD Printers ----- *");
  WriteDebugLine(context, ">> * ----- AD Printers ----- * <<");
  for (const platform::DirectoryRow& row : query.rows) {
    DirectoryPrinter printer = MakeDirectoryPrinter(row.name, row.printShareName);
    printer.Exact = row.exact;
    const std::string listing = Listing(printer);
    // Probed together before the first connection to any of them.
    if (printer.Exact) context.servers.Expect(printer.ServerName);
    context.DirectoryPrinters.push_back(std::move(printer));
    context.AppendRunMessage(listing);
    WriteDebugLine(context, ">> AD Printer: " + listing);
    UpdateProgress(context, "");
  }
}

void MigrateByDirectory(RunContext& context) {
  context.RunMessage += kLineBreak;
  context.AppendRunMessage("* ----- Migrating Printers using AD ----- *");
  WriteDebugLine(context, ">> * ----- Migrating Printers using AD ----- * <<");

  for (const ClientPrinter& printer : context.NetworkedPrinters) {
    bool found = false;
    const std::string_view clientServer = ClientServer(printer);
    const std::string oldName = OldName(printer);
    for (const DirectoryPrinter& published : context.DirectoryPrinters) {
      if (!published.Exact) {
        // The move would name a printer that the directory does not publish.
        if (MayBePublishedAs(printer, published, /*sameServer=*/false)) {
          WriteDebugLine(context, ">> Not migrating " + oldName +
                                      " by an AD printer whose name this computer cannot write: " +
                                      Listing(published));
        }
        continue;
      }
      if (MatchesPublished(context, printer, published, " / ")) {
        found = true;
        if (!EqualsIgnoringCase(published.ServerName, clientServer)) {
          WriteDebugLine(context, ">> Found a server difference <<");
          WriteDebugLine(context, ">> Server names (Client/AD): " + printer.ServerName + " / " +
                                      published.ServerName);
          MovePrinter(context, oldName, DirectoryTargetName(published, printer));
        } else {
          const std::string listing = printer.PrinterName + " (" + printer.ServerName + ")";
          context.AppendRunMessage("Printer already migrated: " + listing);
          WriteDebugLine(context, ">> Printer already migrated: " + listing);
        }
      }
      UpdateProgress(context, "");
    }
    if (!found) {
      const std::string listing = printer.PrinterName + " (" + printer.ServerName + ")";
      if (!printer.PrinterName.empty() && !printer.ServerName.empty()) {
        context.AppendRunMessage("Printer NOT FOUND IN AD: " + listing);
      }
      WriteDebugLine(context, ">> Printer not found in AD: " + listing);
    }
    UpdateProgress(context, "");
  }
}

std::vector<std::string> DirectoryMoveTargets(RunContext& context, const ClientPrinter& printer) {
  std::vector<std::string> targets;
  for (const DirectoryPrinter& published : context.DirectoryPrinters) {
    if (published.Exact && MatchesPublished(context, printer, published, " / ") &&
        !EqualsIgnoringCase(published.ServerName, ClientServer(printer))) {
      targets.push_back(DirectoryTargetName(published, printer));
    }
  }
  return targets;
}

void RunDirectoryMigration(RunContext& context) {
  WriteDebugLine(context, ">> Moving Printers Using AD <<");
  UpdateProgress(context, "Getting current list of Active Directory printers ...");
  QueryDirectoryPrinters(context);
  UpdateProgress(context, context.AbortStatus
                              ? "Error getting current list of Active Directory printers ..."
                              : "Completed getting current list of Active Directory printers ...");
  WriteDebugLine(context, std::string(">> Finished getting list of AD printers, abort status: ") +
                              BooleanText(context.AbortStatus));
  if (context.AbortStatus) return;

  UpdateProgress(context, "Active Directory, migrating printers ...");
  MigrateByDirectory(context);
  UpdateProgress(context, "Completed Active Directory printer migration ...");
  WriteDebugLine(context, std::string(">> Finished moving printers using AD, abort status: ") +
                              BooleanText(context.AbortStatus));

  UpdateProgress(context, "Performing maintenance ...");
  RunMaintenance(context);
  UpdateProgress(context, "Completed maintenace ...");
  WriteDebugLine(context, std::string(">> Finished maintenance: ") + BooleanText(context.AbortStatus));
}

}  // namespace quillon::engine
