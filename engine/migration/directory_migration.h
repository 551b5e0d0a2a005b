// Migration by the print queues that the directory publishes: each connection
// moves to the server on which a queue of its name is published.
#pragma once

#include <string>

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

}  // namespace quillon::engine
