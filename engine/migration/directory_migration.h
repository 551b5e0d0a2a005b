// Migration by the print queues that the directory publishes: each connection
// moves to the server on which a queue of its name is published.
#pragma once

#include <string>
#include <vector>

namespace quillon::engine {

struct RunContext;

struct DirectoryPrinter {
  std::string PrinterName;  // the queue's "name" after its first "-"
  std::string ServerName;   // the "name" before its first "-"
  std::string ShareName;    // the first "printShareName" value
  // False when the directory's text had characters this computer's printer
  // names cannot hold: they read "?", and the row names no printer exactly.
  bool Exact = true;
  bool operator==(const DirectoryPrinter&) const = default;
};

// Splits a queue's "name" of the form server-printer.
DirectoryPrinter MakeDirectoryPrinter(const std::string& name, const std::string& shareName);

void RunDirectoryMigration(RunContext& context);
void QueryDirectoryPrinters(RunContext& context);
void MigrateByDirectory(RunContext& context);

struct ClientPrinter;
// The connection's new name when the directory publishes its printer on
// another server.
std::string DirectoryTargetName(const DirectoryPrinter& published, const ClientPrinter& printer);
// The names the directory's printers (already queried) would move the
// connection to, by the rules MigrateByDirectory moves it by.
std::vector<std::string> DirectoryMoveTargets(RunContext& context, const ClientPrinter& printer);

}  // namespace quillon::engine
