// What the migration methods share: the names of a client connection and the
// move of one connection to a new name.
#pragma once

#include <string>
#include <string_view>

namespace quillon::engine {

struct RunContext;
struct ClientPrinter;
struct DirectoryPrinter;

// The connection's server name without its two leading backslashes.
std::string_view ClientServer(const ClientPrinter& printer);
// "\\server\name", the name the connection is removed by.
std::string OldName(const ClientPrinter& printer);

// Whether the directory publishes the connection's printer: by share name or by
// queue name, ignoring case. On a match, writes the match's debug lines with
// `separator` between the client's and the directory's names.
bool MatchesPublished(RunContext& context, const ClientPrinter& printer,
                      const DirectoryPrinter& published, const char* separator);

// "name (\\server\share)", as the directory's printers are listed.
std::string Listing(const DirectoryPrinter& published);

// Whether `lossy`, text in which each "?" stands for characters lost in a
// conversion, may be `name`: each "?" for one or more characters, the rest
// equal ignoring case.
bool MayBe(std::string_view lossy, std::string_view name);

// Whether a directory printer whose text is not exact may be the connection's
// printer (on the connection's own server with `sameServer`).
bool MayBePublishedAs(const ClientPrinter& printer, const DirectoryPrinter& published,
                      bool sameServer);

// Replaces `oldName` by `newName`: the new connection first, and the old one
// is removed, and the default printer carried over with "DefaultType" 1, only
// once the new one exists.
void MovePrinter(RunContext& context, const std::string& oldName, const std::string& newName);

}  // namespace quillon::engine
