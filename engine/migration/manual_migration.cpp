#include "engine/migration/manual_migration.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "engine/migration/maintenance.h"
#include "engine/migration/printer_move.h"

namespace quillon::engine {
namespace {

using document::MixedPair;
using document::PrinterPair;
using document::ServerPair;

// A list read from an empty value holds one record with every field empty.
template <typename Record>
bool IsEmptyList(const std::vector<Record>& list) {
  return list.empty() || (list.size() == 1 && list.front() == Record{});
}

// One strategy: its title, which records match a connection, the connection's
// new name for a record, the debug lines of a match, and whether each
// connection moves the progress bar once more.
template <typename Matches, typename NewName, typename LogMatch>
struct Strategy {
  const char* title;
  Matches matches;
  NewName newName;
  LogMatch logMatch;
  bool extraProgress;
};
template <typename M, typename N, typename L>
Strategy(const char*, M, N, L, bool) -> Strategy<M, N, L>;

template <typename Record, typename Rules>
void Migrate(RunContext& context, const std::vector<Record>& pairs, const Rules& strategy) {
  context.RunMessage += kLineBreak;
  context.AppendRunMessage(strategy.title);
  WriteDebugLine(context, std::string(">> ") + strategy.title + " <<");

  for (const ClientPrinter& printer : context.NetworkedPrinters) {
    bool matched = false;
    const std::string oldName = OldName(printer);
    for (const Record& pair : pairs) {
      if (strategy.matches(pair, printer)) {
        const std::string newName = strategy.newName(pair, printer);
        // A pair that names the printer it already is changes nothing.
        if (!EqualsIgnoringCase(newName, oldName)) {
          strategy.logMatch(context, pair, printer);
          matched = true;
          MovePrinter(context, oldName, newName);
        }
      }
      UpdateProgress(context, "");
    }
    if (!matched) {
      const std::string listing = printer.PrinterName + " (" + printer.ServerName + ")";
      context.AppendRunMessage("Printer already migrated: " + listing);
      WriteDebugLine(context, ">> Printer already migrated: " + listing);
    }
    if (strategy.extraProgress) UpdateProgress(context, "");
  }
}

auto PrinterPairRules() {
  return Strategy{"* ----- Migrating Networked Printers Between Printers ----- *",
       [](const PrinterPair& p, const ClientPrinter& c) {
         return EqualsIgnoringCase(p.FromPrinter, c.ShortName);
       },
       [](const PrinterPair& p, const ClientPrinter& c) { return c.ServerName + "\\" + p.ToPrinter; },
       [](RunContext& ctx, const PrinterPair& p, const ClientPrinter& c) {
         WriteDebugLine(ctx, ">> Found a printer match <<");
         WriteDebugLine(ctx, ">> Client printer: " + c.ShortName);
         WriteDebugLine(ctx, ">> INI Printer: " + p.FromPrinter);
       },
       false};
}

auto ServerPairRules() {
  return Strategy{"* ----- Migrating Networked Printers Between Servers ----- *",
       [](const ServerPair& p, const ClientPrinter& c) {
         return EqualsIgnoringCase(p.FromServer, ClientServer(c));
       },
       [](const ServerPair& p, const ClientPrinter& c) {
         return "\\\\" + p.ToServer + "\\" + c.ShortName;
       },
       [](RunContext& ctx, const ServerPair& p, const ClientPrinter& c) {
         WriteDebugLine(ctx, ">> Found a server match <<");
         WriteDebugLine(ctx, ">> Client server: " + c.ServerName);
         WriteDebugLine(ctx, ">> INI server: " + p.FromServer);
       },
       true};
}

auto MixedPairRules() {
  return Strategy{"* ----- Migrating Networked Servers and Printers Between Servers and Printers----- *",
       [](const MixedPair& p, const ClientPrinter& c) {
         return EqualsIgnoringCase(p.FromPrinter, c.ShortName) &&
                EqualsIgnoringCase(p.FromServer, ClientServer(c));
       },
       [](const MixedPair& p, const ClientPrinter&) {
         return "\\\\" + p.ToServer + "\\" + p.ToPrinter;
       },
       [](RunContext& ctx, const MixedPair& p, const ClientPrinter& c) {
         WriteDebugLine(ctx, ">> Found a Printer and Server match <<");
         WriteDebugLine(ctx, ">> Client printer: " + c.ShortName);
         WriteDebugLine(ctx, ">> Client Server: " + c.ServerName);
         WriteDebugLine(ctx, ">> INI printer: " + p.FromPrinter);
         WriteDebugLine(ctx, ">> INI Server: " + p.FromServer);
       },
       true};
}

// The names `strategy` would move `printer` to, as Migrate decides them.
template <typename Record, typename Rules>
void CollectTargets(const std::vector<Record>& pairs, const Rules& strategy,
                    const ClientPrinter& printer, std::vector<std::string>& targets) {
  const std::string oldName = OldName(printer);
  for (const Record& pair : pairs) {
    if (!strategy.matches(pair, printer)) continue;
    const std::string newName = strategy.newName(pair, printer);
    if (!EqualsIgnoringCase(newName, oldName)) targets.push_back(newName);
  }
}

bool PrinterPairsUsed(const document::MigrationDocument& doc) {
  return !doc.PrinterPairs.empty() && !doc.PrinterPairs.front().FromPrinter.empty();
}
bool ServerPairsUsed(const document::MigrationDocument& doc) {
  return !doc.ServerPairs.empty() && !doc.ServerPairs.front().FromServer.empty();
}
bool MixedPairsUsed(const document::MigrationDocument& doc) {
  return !doc.MixedPairs.empty() && !doc.MixedPairs.front().FromPrinter.empty();
}

}  // namespace

void MigratePrinterPairs(RunContext& context) {
  if (PrinterPairsUsed(context.document)) {
    Migrate(context, context.document.PrinterPairs, PrinterPairRules());
  }
}

void MigrateServerPairs(RunContext& context) {
  if (ServerPairsUsed(context.document)) {
    Migrate(context, context.document.ServerPairs, ServerPairRules());
  }
}

void MigrateMixedPairs(RunContext& context) {
  if (MixedPairsUsed(context.document)) {
    Migrate(context, context.document.MixedPairs, MixedPairRules());
  }
}

std::vector<std::string> ManualMoveTargets(const document::MigrationDocument& doc,
                                           const ClientPrinter& printer) {
  std::vector<std::string> targets;
  if (!IsEmptyList(doc.PrinterPairs) && PrinterPairsUsed(doc)) {
    CollectTargets(doc.PrinterPairs, PrinterPairRules(), printer, targets);
  }
  if (!IsEmptyList(doc.ServerPairs) && ServerPairsUsed(doc)) {
    CollectTargets(doc.ServerPairs, ServerPairRules(), printer, targets);
  }
  if (!IsEmptyList(doc.MixedPairs) && MixedPairsUsed(doc)) {
    CollectTargets(doc.MixedPairs, MixedPairRules(), printer, targets);
  }
  return targets;
}

void RunManualMigration(RunContext& context) {
  const document::MigrationDocument& doc = context.document;
  if (!IsEmptyList(doc.PrinterPairs)) {
    WriteBanner(context, 22, "     MOVING USING PRINTER TO PRINTER    ", 22);
    UpdateProgress(context, "Running Printer to Printer migration ...");
    MigratePrinterPairs(context);
    UpdateProgress(context, "Completed Printer to Printer migration ...");
  }
  if (!IsEmptyList(doc.ServerPairs)) {
    WriteBanner(context, 20, "     MOVING USING SERVER TO SERVER    ", 20);
    UpdateProgress(context, "Running Server to Server migration ...");
    MigrateServerPairs(context);
    UpdateProgress(context, "Completed Server to Server migration ...");
  }
  if (!IsEmptyList(doc.MixedPairs)) {
    WriteBanner(context, 21, "     MOVING USING MIXED TO MIXED    ", 20);
    UpdateProgress(context, "Running Mixed Server and Printer migration ...");
    MigrateMixedPairs(context);
    UpdateProgress(context, "Completed Mixed Server and Printer migration ...");
  }
  UpdateProgress(context, "Performing maintenance ...");
  RunMaintenance(context);
  UpdateProgress(context, "Completed maintenance ...");
  WriteDebugLine(context, std::string(">> Finished maintenance: ") + BooleanText(context.AbortStatus));
}

}  // namespace quillon::engine
