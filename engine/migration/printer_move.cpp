#include "engine/migration/printer_move.h"

#include <algorithm>

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/printers/default_printer.h"
#include "engine/printers/printer_operations.h"

namespace quillon::engine {

std::string_view ClientServer(const ClientPrinter& printer) {
  return std::string_view(printer.ServerName)
      .substr(std::min<std::size_t>(2, printer.ServerName.size()));
}

std::string OldName(const ClientPrinter& printer) {
  return printer.ServerName + "\\" + printer.ShortName;
}

bool MatchesPublished(RunContext& context, const ClientPrinter& printer,
                      const DirectoryPrinter& published, const char* separator) {
  if (!EqualsIgnoringCase(published.ShareName, printer.ShortName) &&
      !EqualsIgnoringCase(published.PrinterName, printer.ShortName)) {
    return false;
  }
  WriteDebugLine(context, ">> Found a printer match <<");
  WriteDebugLine(context, ">> Printer share names (Client/AD): " + printer.ShortName + separator +
                              published.ShareName);
  WriteDebugLine(context, ">> Printer names (Client/AD): " + printer.ShortName + separator +
                              published.PrinterName);
  return true;
}

void MovePrinter(RunContext& context, const std::string& oldName, const std::string& newName) {
  context.AppendRunMessage("Migrating: " + oldName + " to " + newName);
  if (!AddNetworkedPrinter(context, newName)) {
    WriteDebugLine(context, ">> Keeping old printer, new connection failed: " + oldName);
    context.AppendRunMessage("Not removing " + oldName + ": the new connection " + newName +
                             " could not be added.");
    return;
  }
  DeleteNetworkedPrinter(context, oldName);
  if (context.document.DefaultType == 1 &&
      EqualsIgnoringCase(context.InitialDefaultPrinter, oldName)) {
    MakeDefaultPrinter(context, newName);
  }
}

}  // namespace quillon::engine
