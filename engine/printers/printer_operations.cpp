#include "engine/printers/printer_operations.h"

#include "engine/core/run_context.h"
#include "engine/printers/printer_failure.h"
#include "engine/printers/printer_policies.h"

namespace quillon::engine {
namespace {

std::string Code(std::uint32_t code) { return std::to_string(code); }

// The lines of a failed call, and the failure flag.
void Fail(RunContext& context, const std::string& debug, std::uint32_t code,
          const std::string& report) {
  ReportPrinterFailure(context, debug, code, report);
  context.OperationsSucceeded = false;
}

void Succeed(RunContext& context, const std::string& debug, const std::string& report) {
  WriteDebugLine(context, debug);
  context.AppendRunMessage(report);
}

// Which of the two local-printer forms is being added; only the texts differ.
struct AddTexts {
  const char* existedDebug;
  const char* existedReport;
  const char* failedDebug;
  const char* failedReport;  // after "Error (code) "
  const char* addedDebug;
  const char* addedReport;
};

constexpr AddTexts kLocalTexts{
    "ERROR: Adding local printer, printer already existed : ",
    "Populating local printer, printer already exists: ",
    "ERROR: Adding local printer : ",
    "populating local printer: ",
    ">> Populated local printer: ",
    "Populated local printer: ",
};

constexpr AddTexts kNetworkedTexts{
    "ERROR: Adding networked printer, printer already existed : ",
    "Populating networked printer, printer already exists: ",
    "ERROR: Adding networked printer : ",
    "populating networked printer: ",
    ">> Populated networked printer: ",
    "Populated networked printer: ",
};

void AddPrinterOnPort(RunContext& context, const std::string& portName,
                      const std::string& driverName, const std::string& printerName,
                      const AddTexts& texts) {
  platform::PrinterInfo2 info;
  info.printerName = printerName;
  info.portName = portName;
  info.driverName = driverName;
  info.comment = "Adding using Quillon";
  info.printProcessor = "WinPrint";
  info.datatype = "RAW";
  info.attributes = platform::kPrinterAttributeLocal;
  const platform::HandleResult added = context.platform.spooler.AddPrinter(info);
  if (added.handle != 0) {
    Succeed(context, texts.addedDebug + printerName, texts.addedReport + printerName);
    context.platform.spooler.ClosePrinter(added.handle);
  } else if (added.error == platform::kErrorPrinterAlreadyExists) {
    WriteDebugLine(context, texts.existedDebug + printerName);
    WriteDebugLine(context, "SYSTEM ERROR: " + Code(added.error));
    context.AppendRunMessage(texts.existedReport + printerName);
  } else {
    Fail(context, texts.failedDebug + printerName, added.error,
         "Error (" + Code(added.error) + ") " + texts.failedReport + printerName);
  }
}

// What a standard user is told instead of a refusal from the spooler.
constexpr const char* kDriverNeedsAdministrator =
    "installing a printer driver needs an administrator since the 2021 print spooler "
    "hardening; stage the driver on the client beforehand (as an administrator, or by "
    "policy), or install it as an administrator.";
constexpr const char* kPortNeedsAdministrator =
    "adding a printer port needs an administrator; add the port on the client beforehand (as "
    "an administrator, or by policy), or run the migration as an administrator.";

// Windows 95/98/ME; a version that cannot be read is taken for NT, as
// everywhere else in the engine.
bool IsWindows9x(RunContext& context) {
  const platform::OsVersion version = context.platform.system.GetVersion();
  return version.error == 0 && version.platformId == 1;
}

void ExplainInBoth(RunContext& context, std::uint32_t code, const std::string& text) {
  const std::string explanation = "What error " + Code(code) + " means: " + text;
  WriteDebugLine(context, ">> " + explanation);
  context.AppendRunMessage(explanation);
}

void ReportDriverOutcome(RunContext& context, const std::string& driverName,
                         const std::string& printerName,
                         const platform::SpoolerResult& registered) {
  if (registered.ok || registered.error == platform::kErrorPrinterDriverAlreadyInstalled) return;
  ReportPrinterFailure(context, "ERROR: Adding printer driver: " + driverName, registered.error,
                       "Warning (" + Code(registered.error) +
                           ") unable to add provided driver information: " + printerName);
}

// NT takes version-3 drivers of its own environment, which its spooler copies
// from the share itself: nothing goes into the system folder, which a 32-bit
// engine would only see redirected. A standard user is refused, so is not
// sent to be refused.
void InstallDriverOnNt(RunContext& context, const std::string& driverSharePath,
                       const std::string& driverFileName, const std::string& driverName,
                       const std::string& printerName) {
  if (!context.platform.system.IsElevated()) {
    WriteDebugLine(context, "ERROR: Adding printer driver, the user is not an administrator: " +
                                driverName);
    context.AppendRunMessage("Warning (" + Code(platform::kErrorAccessDenied) +
                             ") unable to add provided driver information: " + printerName);
    ExplainInBoth(context, platform::kErrorAccessDenied, kDriverNeedsAdministrator);
    return;
  }
  platform::DriverInfo2 driver;
  driver.version = 3;
  driver.name = driverName;
  driver.environment = context.platform.system.GetNativeDriverEnvironment();
  driver.driverPath = driver.dataFile = driver.configFile =
      platform::JoinPath(driverSharePath, driverFileName);
  ReportDriverOutcome(context, driverName, printerName,
                      context.platform.spooler.AddPrinterDriverFromFolder(driver));
}

}  // namespace

void DeleteNetworkedPrinter(RunContext& context, const std::string& name) {
  if (LeftToPolicy(context, name)) return;
  const platform::SpoolerResult removed =
      context.platform.spooler.DeletePrinterConnection(name);
  if (!removed.ok) {
    Fail(context, "ERROR: Removing client networked printer: " + name, removed.error,
         "Error (" + Code(removed.error) + ") deleting network printer: " + name);
  } else {
    Succeed(context, ">> Removed networked printer: " + name, "Deleted networked printer: " + name);
  }
}

void DeleteLocalPrinter(RunContext& context, const std::string& name) {
  platform::Spooler& spooler = context.platform.spooler;
  const platform::HandleResult opened = spooler.OpenPrinter(name, platform::PrinterAccess::AllAccess);
  if (opened.handle == 0) {
    Fail(context, "ERROR: Opening client local printer: " + name, opened.error,
         "Error (" + Code(opened.error) + ") opening local printer: " + name);
    return;
  }
  const platform::SpoolerResult deleted = spooler.DeletePrinter(opened.handle);
  if (!deleted.ok) {
    Fail(context, "ERROR: Deleting client local printer: " + name, deleted.error,
         "Error (" + Code(deleted.error) + ") deleting local printer: " + name);
  } else {
    Succeed(context, ">> Removed local printer: " + name, "Deleted local printer: " + name);
  }
  spooler.ClosePrinter(opened.handle);
}

// A connection refused for want of its driver names the driver, asked of the
// queue itself, so that a report can count the users each driver holds back.
void NameDriverNeeded(RunContext& context, const std::string& name, std::uint32_t code) {
  constexpr std::uint32_t kNotAllowed = 5;
  if (code != platform::kErrorPrinterDriverDownloadNeeded && code != kNotAllowed &&
      code != platform::kErrorCancelled) {
    return;
  }
  platform::Spooler& spooler = context.platform.spooler;
  const platform::HandleResult opened = spooler.OpenPrinter(name, platform::PrinterAccess::Default);
  if (opened.handle == 0) return;
  auto read = spooler.GetPrinter(opened.handle, 0);
  if (!read.ok && read.error == platform::kErrorInsufficientBuffer) {
    read = spooler.GetPrinter(opened.handle, read.needed);
  }
  spooler.ClosePrinter(opened.handle);
  if (!read.ok || read.value.driverName.empty()) return;
  const std::string server = name.substr(0, name.find('\\', 2));
  const std::string line = "Driver needed: " + read.value.driverName + " from " + server;
  WriteDebugLine(context, ">> " + line);
  context.AppendRunMessage(line);
}

bool AddNetworkedPrinter(RunContext& context, const std::string& name) {
  const platform::SpoolerResult added =
      context.platform.spooler.AddPrinterConnection(name, platform::ConnectionPrompts::Never);
  if (added.ok) {
    Succeed(context, ">> Added networked printer: " + name, "Populated networked printer: " + name);
    return true;
  }
  Fail(context, "ERROR: Adding client networked printer: " + name, added.error,
       "Error (" + Code(added.error) + ") populating network printer: " + name);
  NameDriverNeeded(context, name, added.error);
  return false;
}

void InstallSharedDriver(RunContext& context, const std::string& driverSharePath,
                         const std::string& driverFileName, const std::string& driverName,
                         const std::string& printerName) {
  if (driverName.empty() || driverFileName.empty()) return;
  if (!IsWindows9x(context)) {
    InstallDriverOnNt(context, driverSharePath, driverFileName, driverName, printerName);
    return;
  }
  const std::string systemFolder = context.platform.system.GetSystemFolder();
  const std::string target = platform::JoinPath(systemFolder, driverFileName);

  const platform::Status copied =
      context.platform.files.CopyFile(platform::JoinPath(driverSharePath, driverFileName), target);
  if (!copied.ok) {
    WriteDebugLine(context, "ERROR: Copying printer driver to windows folder.");
    WriteDebugLine(context, "ERROR: " + Code(copied.errorNumber));
    WriteDebugLine(context, "ERROR DESCRIPTION: " + copied.description);
    context.AppendRunMessage("Warning (" + copied.description +
                             ") unable to install provided driver: " + printerName);
  }

  platform::DriverInfo2 driver;
  driver.version = 0x400;
  driver.name = driverName;
  driver.environment = "Windows 4.0";
  driver.driverPath = driver.dataFile = driver.configFile = target;
  ReportDriverOutcome(context, driverName, printerName,
                      context.platform.spooler.AddPrinterDriver(driver));
}

void AddLocalPrinter(RunContext& context, const std::string& portName,
                     const std::string& driverSharePath, const std::string& driverFileName,
                     const std::string& driverName, const std::string& printerName) {
  InstallSharedDriver(context, driverSharePath, driverFileName, driverName, printerName);
  AddPrinterOnPort(context, portName, driverName, printerName, kLocalTexts);
}

void AddNetworkedPrinterAsLocal(RunContext& context, const std::string& portName,
                                const std::string& driverSharePath,
                                const std::string& driverFileName, const std::string& driverName,
                                const std::string& printerName) {
  // NT's port monitors answer AddPort with a dialog; there the port is added
  // without one.
  platform::Spooler& spooler = context.platform.spooler;
  const platform::SpoolerResult port =
      IsWindows9x(context) ? spooler.AddPort(portName, context.progress.window.get())
                           : spooler.AddLocalPort(portName);
  if (!port.ok) {
    WriteDebugLine(context, "ERROR: Adding network port to client local printer: " + printerName +
                                " : " + portName);
    WriteDebugLine(context, "SYSTEM ERROR: " + Code(port.error));
    if (port.error == platform::kErrorAccessDenied) {
      ExplainInBoth(context, port.error, kPortNeedsAdministrator);
    }
  }
  InstallSharedDriver(context, driverSharePath, driverFileName, driverName, printerName);
  AddPrinterOnPort(context, portName, driverName, printerName, kNetworkedTexts);
}

}  // namespace quillon::engine
