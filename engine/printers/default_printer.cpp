#include "engine/printers/default_printer.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "engine/printers/printer_failure.h"
#include "engine/printers/printer_policies.h"

namespace quillon::engine {
namespace {

constexpr std::size_t kNameBuffer = 1024;

std::string Code(std::uint32_t code) { return std::to_string(code); }

void Fail(RunContext& context, const std::string& debug, std::uint32_t code,
          const std::string& report) {
  ReportPrinterFailure(context, debug, code, report);
  context.OperationsSucceeded = false;
}

void ReportSet(RunContext& context, const std::string& debug, const std::string& name) {
  WriteDebugLine(context, debug + name);
  context.AppendRunMessage("Set default printer: " + name);
}

// Windows 95/98/ME: the default printer is the one the default enumeration lists.
std::string DefaultByEnumeration(RunContext& context) {
  platform::Spooler& spooler = context.platform.spooler;
  const auto sizing = spooler.EnumDefaultPrinter(0);
  std::uint32_t code = sizing.error;
  if (sizing.needed >= 1) {
    const auto listed = spooler.EnumDefaultPrinter(sizing.needed);
    if (listed.ok && !listed.value.empty()) return listed.value.front().printerName;
    code = listed.error;
  }
  Fail(context, "ERROR: Getting default printer name by enumeration.", code,
       "Error (" + Code(code) + ") determining default printer.");
  return {};
}

// Windows NT 4.0: the profile's "device" entry, name,driver,port.
std::string DefaultFromProfile(RunContext& context) {
  const platform::ProfileStringResult device =
      context.platform.profileStrings.GetProfileString("Windows", "device", kNameBuffer);
  if (!device.ok || device.value.empty()) {
    Fail(context, "ERROR: Getting default printer name.", device.error,
         "Error (" + Code(device.error) + ") determining default printer.");
    return {};
  }
  // An entry without a comma holds just the name.
  return device.value.substr(0, device.value.find(','));
}

std::string DefaultFromSpooler(RunContext& context) {
  const auto found = context.platform.spooler.GetDefaultPrinter(kNameBuffer);
  if (found.ok) return found.value.substr(0, found.value.find('\0'));
  if (found.error == platform::kErrorFileNotFound || found.error == platform::kErrorNotFound) {
    // Nothing to mend: the user simply has no default printer.
    WriteDebugLine(context, "ERROR: No default printer set.");
    WriteDebugLine(context, "SYSTEM ERROR: " + Code(found.error));
    context.AppendRunMessage("Warning no currently set default printer.");
  } else {
    // A default printer that cannot be read cannot be carried over either.
    ReportSpoolerUnavailable(context, "ERROR: Getting default printer name.", found.error,
                             "Error (" + Code(found.error) + ") determining default printer.");
  }
  return {};
}

void SetByAttribute(RunContext& context, std::string name) {
  if (name.rfind("\\\\", 0) == 0) name = std::string(NameAfterServer(name));
  platform::Spooler& spooler = context.platform.spooler;
  const platform::HandleResult opened = spooler.OpenPrinter(name, platform::PrinterAccess::Default);
  if (opened.handle == 0) {
    Fail(context, "ERROR: Opening printer for set default : " + name, opened.error,
         "Error (" + Code(opened.error) + ") opening printer for set default: " + name);
    return;
  }
  // The size query must end in 122; only then is the sized read meaningful.
  auto read = spooler.GetPrinter(opened.handle, 0);
  const bool sized = read.error == platform::kErrorInsufficientBuffer;
  if (sized) read = spooler.GetPrinter(opened.handle, read.needed);
  if (!sized || !read.ok) {
    Fail(context, "ERROR: Getting printer reference for set default : " + name, read.error,
         "Error (" + Code(read.error) + ") getting a reference to printer for set default: " +
             name);
    spooler.ClosePrinter(opened.handle);
    return;
  }
  platform::PrinterInfo2 info = read.value;
  info.attributes |= platform::kPrinterAttributeDefault;
  const platform::SpoolerResult set = spooler.SetPrinter(opened.handle, info);
  if (set.ok) {
    WriteDebugLine(context, "Default printer set: " + name);
    context.AppendRunMessage("Set default printer: " + name);
  } else {
    Fail(context, "ERROR: Setting default printer: " + name, set.error,
         "Error (" + Code(set.error) + ") setting default printer: " + name);
  }
  spooler.ClosePrinter(opened.handle);
}

void SetByProfile(RunContext& context, const std::string& name) {
  platform::ProfileStrings& profile = context.platform.profileStrings;
  const platform::ProfileStringResult ports =
      profile.GetProfileString("PrinterPorts", name, kNameBuffer);
  if (!ports.ok || ports.value.empty()) {
    Fail(context, "ERROR: getting reference for setting default printer: " + name, ports.error,
         "Error (" + Code(ports.error) + ") getting reference for setting default printer: " +
             name);
    return;
  }
  // driver,port,timeout,timeout: the device entry takes driver and port.
  const std::size_t first = ports.value.find(',');
  const std::size_t second =
      first == std::string::npos ? std::string::npos : ports.value.find(',', first + 1);
  if (second == std::string::npos) {
    WriteDebugLine(context, "ERROR: Parsing default printer string: " + name);
    context.AppendRunMessage("Error parsing default printer settings: " + name);
    context.OperationsSucceeded = false;
    return;
  }
  const platform::Status written =
      profile.WriteProfileString("Windows", "device", name + "," + ports.value.substr(0, second));
  if (written.ok) {
    ReportSet(context, "Set default printer: ", name);
  } else {
    Fail(context, "ERROR: Writing default printer settings : " + name, written.errorNumber,
         "Error (" + Code(written.errorNumber) + ") setting default printer: " + name);
  }
}

}  // namespace

std::string GetDefaultPrinterName(RunContext& context) {
  const platform::OsVersion version = context.platform.system.GetVersion();
  if (version.error != 0) {
    Fail(context, "ERROR: Getting OS version for Default printer.", version.error,
         "Error (" + Code(version.error) + ") determining OS version for setting default printer.");
    return {};
  }
  std::string name;
  if (version.platformId == 1) {
    name = DefaultByEnumeration(context);
  } else if (version.platformId == 2 && version.majorVersion < 5) {
    name = DefaultFromProfile(context);
  } else if (version.platformId == 2) {
    name = DefaultFromSpooler(context);
  }
  if (!name.empty()) {
    WriteDebugLine(context, "Default printer:" + name);
    context.AppendRunMessage("Default Printer:" + name);
  }
  return name;
}

void MakeDefaultPrinter(RunContext& context, const std::string& name) {
  const platform::OsVersion version = context.platform.system.GetVersion();
  if (version.error != 0) {
    Fail(context, "ERROR: Getting OS version for Defualt printer : " + name, version.error,
         "Error (" + Code(version.error) +
             ") determining OS version for setting default printer: " + name);
    return;
  }
  if (version.platformId == 1) {
    SetByAttribute(context, name);
  } else if (version.platformId == 2 && version.majorVersion < 5) {
    SetByProfile(context, name);
  } else if (version.platformId == 2) {
    const platform::SpoolerResult set = context.platform.spooler.SetDefaultPrinter(name);
    if (set.ok) {
      ReportSet(context, "Set default printer: ", name);
      NoteManagedDefaultPrinter(context);
    } else {
      Fail(context, "ERROR: Setting default printer: " + name, set.error,
           "Error (" + Code(set.error) + ") setting default printer: " + name);
    }
  }
}

}  // namespace quillon::engine
