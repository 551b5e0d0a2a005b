#include "engine/migration/printer_move.h"

#include <algorithm>

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/migration/directory_migration.h"
#include "engine/printers/default_printer.h"
#include "engine/printers/printer_operations.h"
#include "engine/printers/printer_policies.h"

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

std::string Listing(const DirectoryPrinter& published) {
  return published.PrinterName + " (\\\\" + published.ServerName + "\\" + published.ShareName +
         ")";
}

bool MayBe(std::string_view lossy, std::string_view name) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t p = 0, n = 0;
  std::size_t resume = kNone, resumeAt = 0;  // the last "?": where the text goes on after it
  while (n < name.size()) {
    if (p < lossy.size() && lossy[p] == '?') {
      resume = ++p;
      resumeAt = ++n;
    } else if (p < lossy.size() && LowerAscii(lossy[p]) == LowerAscii(name[n])) {
      ++p;
      ++n;
    } else if (resume != kNone) {
      p = resume;  // the last "?" takes one character more
      n = ++resumeAt;
    } else {
      return false;
    }
  }
  return p == lossy.size();
}

bool MayBePublishedAs(const ClientPrinter& printer, const DirectoryPrinter& published,
                      bool sameServer) {
  if (sameServer && !MayBe(published.ServerName, ClientServer(printer))) return false;
  return MayBe(published.ShareName, printer.ShortName) ||
         MayBe(published.PrinterName, printer.ShortName);
}

void MovePrinter(RunContext& context, const std::string& oldName, const std::string& newName) {
  // Neither added nor removed: the user could not remove it, and a new
  // connection beside it would only double it.
  if (LeftToPolicy(context, oldName)) return;
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
