// The only ways the engine adds or removes a user's printers. Each reports its
// outcome in the debug log and the report and clears OperationsSucceeded when
// it fails; none stops the run.
#pragma once

#include <string>

namespace quillon::engine {

struct RunContext;

// A per-machine connection is left to the policy that pushes it, and said so.
void DeleteNetworkedPrinter(RunContext& context, const std::string& name);
void DeleteLocalPrinter(RunContext& context, const std::string& name);
// True when the connection exists afterwards, so that a caller never removes
// an old connection for a new one that could not be made.
bool AddNetworkedPrinter(RunContext& context, const std::string& name);
void AddLocalPrinter(RunContext& context, const std::string& portName,
                     const std::string& driverSharePath, const std::string& driverFileName,
                     const std::string& driverName, const std::string& printerName);
void AddNetworkedPrinterAsLocal(RunContext& context, const std::string& portName,
                                const std::string& driverSharePath,
                                const std::string& driverFileName, const std::string& driverName,
                                const std::string& printerName);
void InstallSharedDriver(RunContext& context, const std::string& driverSharePath,
                         const std::string& driverFileName, const std::string& driverName,
                         const std::string& printerName);

}  // namespace quillon::engine
