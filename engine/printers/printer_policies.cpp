#include "engine/printers/printer_policies.h"

#include "engine/core/names.h"
#include "engine/core/run_context.h"
#include "platform/printer_registry.h"

namespace quillon::engine {
namespace {

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& listed : names) {
    if (EqualsIgnoringCase(listed, name)) return true;
  }
  return false;
}

}  // namespace

bool WindowsManagesDefaultPrinter(platform::Platform& platform) {
  const platform::OsVersion version = platform.system.GetVersion();
  if (version.error != 0 || version.platformId != 2) return false;
  if (version.buildNumber != 0 &&
      version.buildNumber < platform::kFirstBuildManagingDefaultPrinter) {
    return false;
  }
  const std::optional<std::uint32_t> legacy =
      platform.registry.GetNumber(std::string(platform::kUserWindowsSettingsKey),
                                  std::string(platform::kLegacyDefaultPrinterModeValue));
  if (legacy) return *legacy != 1;
  return version.buildNumber != 0;
}

std::vector<std::string> ReadPerMachineConnections(platform::Registry& registry) {
  std::vector<std::string> names;
  for (const std::string& subkey :
       registry.ListSubkeys(std::string(platform::kPerMachineConnectionsKey))) {
    if (auto name = platform::ConnectionNameOfSubkey(subkey)) names.push_back(std::move(*name));
  }
  return names;
}

void NoteManagedDefaultPrinter(RunContext& context) {
  if (context.ManagedDefaultNoted || !WindowsManagesDefaultPrinter(context.platform)) return;
  context.ManagedDefaultNoted = true;
  WriteDebugLine(context,
                 ">> Windows manages the default printer (LegacyDefaultPrinterMode is not 1): "
                 "the default printer set may not stay.");
  context.AppendRunMessage(
      "Warning: Windows manages the default printer on this computer and may replace the "
      "default printer set here by the one last used. To keep it, enable the user policy "
      "\"Turn off Windows default printer management\" (Control Panel, Printers) or set "
      "LegacyDefaultPrinterMode to 1 under " +
      std::string(platform::kUserWindowsSettingsKey) + ".");
}

bool LeftToPolicy(RunContext& context, const std::string& name) {
  if (!Contains(context.PerMachineConnections, name)) return false;
  if (!Contains(context.PerMachineConnectionsNoted, name)) {
    context.PerMachineConnectionsNoted.push_back(name);
    WriteDebugLine(context, ">> Leaving per-machine connection to the policy that pushes it: " +
                                name);
    context.AppendRunMessage(
        name +
        " is a per-machine connection (pushed to the computer by Group Policy or printui /ga): "
        "the user cannot remove it and it comes back at every logon, so it is left as it is. "
        "To move it, change the policy that pushes it.");
  }
  return true;
}

}  // namespace quillon::engine
