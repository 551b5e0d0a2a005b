#include "engine/migration/maintenance.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/migration/printer_move.h"
#include "engine/printers/default_printer.h"
#include "engine/printers/printer_operations.h"

namespace quillon::engine {
namespace {

using document::PopulateRule;
using document::PrinterDriverRule;
using document::PruneRule;

// A rule list read from an empty value holds one record with both fields empty.
template <typename Rule>
bool IsEmptyRuleList(const std::vector<Rule>& rules) {
  return rules.empty() || (rules.front().ServerName.empty() && rules.front().PrinterName.empty());
}

void Header(RunContext& context, const std::string& title) {
  context.RunMessage += kLineBreak;
  context.AppendRunMessage(title);
  WriteDebugLine(context, ">> " + title + " <<");
}

// The driver record for a printer name, letter case included.
const PrinterDriverRule* DriverFor(const RunContext& context, const std::string& printerName) {
  for (const PrinterDriverRule& driver : context.document.PrinterDrivers) {
    if (driver.PrinterName == printerName) return &driver;
  }
  return nullptr;
}

bool NamesConnection(const std::string& name, const ClientPrinter& printer) {
  return EqualsIgnoringCase(name, printer.PrinterName) ||
         EqualsIgnoringCase(name, printer.ShortName);
}

bool PruneRuleMatches(const PruneRule& rule, const ClientPrinter& printer) {
  if (rule.ServerName == ".") return false;  // local printers only
  if (rule.ServerName == "*" || rule.ServerName == ".*") {
    return NamesConnection(rule.PrinterName, printer);
  }
  if (!EqualsIgnoringCase(rule.ServerName, ClientServer(printer))) return false;
  return rule.PrinterName == "*" || NamesConnection(rule.PrinterName, printer);
}

}  // namespace

std::string NetworkedPopulateName(const PopulateRule& rule) {
  return "\\\\" + rule.ServerName + "\\" + rule.PrinterName;
}

std::vector<std::string> NetworkedPopulateTargets(const document::MigrationDocument& doc) {
  std::vector<std::string> targets;
  if (IsEmptyRuleList(doc.PopulateRules)) return targets;
  for (const PopulateRule& rule : doc.PopulateRules) {
    if (rule.ServerName == "." || rule.ServerName.empty() || rule.PrinterName.empty()) continue;
    targets.push_back(NetworkedPopulateName(rule));
  }
  return targets;
}

void PopulatePrinters(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  if (IsEmptyRuleList(doc.PopulateRules)) return;
  Header(context, "* ----- Maintenance Populate ----- *");
  for (const PopulateRule& rule : doc.PopulateRules) {
    if (rule.ServerName == ".") {
      if (const PrinterDriverRule* driver = DriverFor(context, rule.PrinterName)) {
        AddLocalPrinter(context, driver->PortName, doc.DriverSharePath, driver->DriverFileName,
                        driver->DriverName, driver->PrinterName);
      } else {
        context.AppendRunMessage(
            "Error populating Maintenance Local Printer, no driver information available : " +
            rule.PrinterName);
        WriteDebugLine(context, ">> Error local populating, no driver info: " + rule.PrinterName);
      }
    } else if (rule.ServerName.empty() || rule.PrinterName.empty()) {
      continue;
    } else {
      const std::string name = NetworkedPopulateName(rule);
      const platform::OsVersion version = context.platform.system.GetVersion();
      if (version.error != 0 || version.platformId != 1) {
        AddNetworkedPrinter(context, name);
      } else if (const PrinterDriverRule* driver = DriverFor(context, rule.PrinterName)) {
        // Windows 95/98/ME reaches a network printer through a local one on its port.
        AddNetworkedPrinterAsLocal(context, name, doc.DriverSharePath, driver->DriverFileName,
                                   driver->DriverName, driver->PrinterName);
      } else {
        context.AppendRunMessage(
            "Error populating Maintenance Networked Printer on Windows 95/98/ME, no driver "
            "information available : " +
            rule.PrinterName);
        WriteDebugLine(context, ">> Error network populating Windows 95/98/ME, no driver info: " +
                                    rule.PrinterName);
      }
    }
    UpdateProgress(context, "");
  }
}

void PruneNetworkedPrinters(RunContext& context) {
  const auto& rules = context.document.PruneRules;
  if (IsEmptyRuleList(rules)) return;
  Header(context, "* ----- Maintenance Prune Network Printers ----- *");
  for (const ClientPrinter& printer : context.NetworkedPrinters) {
    for (const PruneRule& rule : rules) {
      if (PruneRuleMatches(rule, printer)) {
        DeleteNetworkedPrinter(context, OldName(printer));
        break;
      }
    }
    UpdateProgress(context, "");
  }
}

void PruneLocalPrinters(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  if (IsEmptyRuleList(doc.PruneRules) && !doc.DeleteAllNonNetworked) return;
  Header(context, "* ----- Maintenance Prune Local Printers ----- *");
  for (const ClientPrinter& printer : context.LocalPrinters) {
    bool remove = doc.DeleteAllNonNetworked;
    for (const PruneRule& rule : doc.PruneRules) {
      if (remove) break;
      remove = (rule.ServerName == "." || rule.ServerName == ".*") &&
               EqualsIgnoringCase(rule.PrinterName, printer.PrinterName);
    }
    if (remove) DeleteLocalPrinter(context, printer.PrinterName);
    UpdateProgress(context, "");
  }
}

void PruneDirectoryOrphans(RunContext& context) {
  Header(context, "* ----- Maintenance Prune All Orphaned Active Directory Printers ----- *");
  if (context.DirectoryPrinters.empty()) {
    // A directory that answers with nothing at all is far likelier to be one the
    // user may not read than one that publishes no printer: removing every
    // connection on its word would leave the user unable to print.
    WriteDebugLine(context, "ERROR: Active Directory published no printers, no orphans removed.");
    context.AppendRunMessage("Active Directory published no printers: no orphaned printers removed.");
    return;
  }
  for (const ClientPrinter& printer : context.NetworkedPrinters) {
    bool onServer = false;
    // A printer the directory names in characters this computer cannot write
    // may be this very connection: it is never taken for an orphan.
    const DirectoryPrinter* unreadable = nullptr;
    for (const DirectoryPrinter& published : context.DirectoryPrinters) {
      if (!published.Exact) {
        if (!unreadable && MayBePublishedAs(printer, published, /*sameServer=*/true)) {
          unreadable = &published;
        }
        continue;
      }
      if (MatchesPublished(context, printer, published, " \\ ")) {
        // Server names are compared as Windows compares them, without regard to case.
        if (EqualsIgnoringCase(ClientServer(printer), published.ServerName)) {
          onServer = true;
          WriteDebugLine(context, ">> Found a server match <<");
          WriteDebugLine(context, ">> Server names (Client/AD): " + printer.ServerName + " \\ " +
                                      published.ServerName);
          break;
        }
      }
      UpdateProgress(context, "");
    }
    if (!printer.ServerName.empty() && !onServer && !printer.ShortName.empty()) {
      if (unreadable) {
        WriteDebugLine(context, ">> Not removing " + OldName(printer) +
                                    ": AD publishes a printer this computer cannot write the "
                                    "name of: " + Listing(*unreadable));
      } else if (printer.PrinterName.find('?') != std::string::npos) {
        // "?" is what a character the code page lacks becomes: the name read
        // is not the connection's own.
        WriteDebugLine(context, ">> Not removing " + OldName(printer) +
                                    ": its name was not read whole");
      } else {
        DeleteNetworkedPrinter(context, OldName(printer));
      }
    }
    UpdateProgress(context, "");
  }
}

void RunMaintenance(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  UpdateProgress(context, "Populating maintenance printers ...");
  PopulatePrinters(context);
  UpdateProgress(context, "Finished populating maintenance printers ...");
  UpdateProgress(context, "Pruning maintenance networked printers ...");
  PruneNetworkedPrinters(context);
  UpdateProgress(context, "Finished pruning maintenance networked printers ...");
  UpdateProgress(context, "Pruning maintenance local printers ...");
  PruneLocalPrinters(context);
  UpdateProgress(context, "Finished pruning maintenance local printers ...");
  if (doc.UseActiveDirectory && doc.DeleteADOrphans) {
    UpdateProgress(context, "Refreshing list of printers ...");
    GetClientPrinters(context, /*report=*/false);
    UpdateProgress(context, "Pruning maintenance all orphaned Active Directory printers ...");
    PruneDirectoryOrphans(context);
    UpdateProgress(context, "Finished pruning maintenance all orphaned Active Directory printers ...");
  }
  if (doc.DefaultType == 2) MakeDefaultPrinter(context, doc.DefaultPrinterName);
}

}  // namespace quillon::engine
