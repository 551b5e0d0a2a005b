// The simulated spooler's driver and port calls: installing a driver from its
// files or a server's queue, the driver rule a connection follows, listing the
// installed drivers, and adding ports.
#include <string_view>
#include <utility>

#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_spooler_support.h"

namespace quillon::platform::sim {

namespace {

using spooler_support::Failed;

constexpr std::uint32_t kErrorInvalidParameter = 87;
constexpr std::uint32_t kErrorAlreadyExists = 183;

DriverVersion VersionOf(const std::optional<std::string>& text) {
  return text ? ParseDriverVersion(*text).value_or(0) : 0;
}

bool ForEnvironment(const SimDriver& driver, std::string_view environment) {
  return driver.environment.empty() || EqualsIgnoringCase(driver.environment, environment);
}

}  // namespace

SpoolerResult SimPlatform::InstallDriver(const char* call, const DriverInfo2& info,
                                         bool fromFolder) {
  constexpr std::uint32_t kErrorCallNotImplemented = 120;
  SpoolerResult result{true, 0};
  if (auto error = InjectedFailure(call, info.name)) {
    result = Failed(*error);
  } else if (fromFolder && !IsNt()) {
    result = Failed(kErrorCallNotImplemented);
  } else if (info.name.empty()) {
    result = Failed(kErrorInvalidParameter);
  } else if (IsNt() && !IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else if (IsNt() && EqualsIgnoringCase(info.environment, "Windows 4.0")) {
    result = Failed(kErrorInvalidEnvironment);
  } else {
    for (const SimDriver& driver : state_.drivers) {
      if (EqualsIgnoringCase(driver.name, info.name)) {
        result = Failed(kErrorPrinterDriverAlreadyInstalled);
        break;
      }
    }
  }
  if (result.ok && fromFolder) {
    for (const std::string* file : {&info.driverPath, &info.dataFile, &info.configFile}) {
      if (!file->empty() && !files_.FileExists(*file)) {
        result = Failed(kErrorFileNotFound);
        break;
      }
    }
  }
  if (result.ok) {
    SimDriver driver;
    driver.name = info.name;
    driver.driverPath = info.driverPath;
    driver.dataFile = info.dataFile;
    driver.configFile = info.configFile;
    driver.environment = info.environment;
    driver.version = info.version;
    state_.drivers.push_back(std::move(driver));
  }
  Record(call, info.name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::AddPrinterDriver(const DriverInfo2& info) {
  return InstallDriver("AddPrinterDriver", info, false);
}

SpoolerResult SimPlatform::AddPrinterDriverFromFolder(const DriverInfo2& info) {
  return InstallDriver("AddPrinterDriverEx", info, true);
}

SpoolerResult SimPlatform::CreatePort(const char* call, const std::string& name) {
  SpoolerResult result{true, 0};
  if (auto error = InjectedFailure(call, name)) {
    result = Failed(*error);
  } else if (name.empty()) {
    result = Failed(kErrorInvalidParameter);
  } else if (IsNt() && !IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else {
    for (const std::string& port : state_.ports) {
      if (EqualsIgnoringCase(port, name)) {
        result = Failed(kErrorAlreadyExists);
        break;
      }
    }
  }
  if (result.ok) state_.ports.push_back(name);
  Record(call, name, result.ok, result.error);
  return result;
}

SpoolerResult SimPlatform::AddPort(const std::string& monitorName, ProgressWindow* /*owner*/) {
  return CreatePort("AddPort", monitorName);
}

SpoolerResult SimPlatform::AddLocalPort(const std::string& portName) {
  if (!IsNt()) {
    constexpr std::uint32_t kErrorCallNotImplemented = 120;
    Record("XcvData", portName, false, kErrorCallNotImplemented);
    return Failed(kErrorCallNotImplemented);
  }
  return CreatePort("XcvData", portName);
}

std::string SimPlatform::DriverEnvironment() {
  const std::string native = GetNativeDriverEnvironment();
  return native.empty() ? "Windows x64" : native;
}

SimDriver* SimPlatform::InstalledDriverFor(const std::string& name) {
  const std::string environment = DriverEnvironment();
  for (SimDriver& driver : state_.drivers) {
    if (EqualsIgnoringCase(driver.name, name) && ForEnvironment(driver, environment)) {
      return &driver;
    }
  }
  return nullptr;
}

SimPlatform::DriverNeed SimPlatform::DriverNeedFor(const SimQueue& queue) {
  if (!queue.driverVersion) return {};
  const std::string environment = DriverEnvironment();
  if (queue.environments) {
    bool offered = false;
    for (const std::string& offeredFor : *queue.environments) {
      offered = offered || EqualsIgnoringCase(offeredFor, environment);
    }
    if (!offered) return {kErrorUnknownPrinterDriver, false};
  }
  const SimDriver* installed = InstalledDriverFor(queue.driverName);
  if (installed && VersionOf(installed->driverVersion) >= VersionOf(queue.driverVersion)) {
    return {};
  }
  const bool restricted = state_.pointAndPrint &&
                          state_.pointAndPrint->restrictDriverInstallationToAdministrators
                              .value_or(false);
  if (restricted && !IsElevated()) return {kErrorPrinterDriverDownloadNeeded, false};
  return {0, true};
}

void SimPlatform::InstallQueueDriver(const SimQueue& queue) {
  if (SimDriver* installed = InstalledDriverFor(queue.driverName)) {
    installed->driverVersion = queue.driverVersion;
    if (installed->bareName) {  // a plain name cannot hold a version
      installed->bareName = false;
      installed->environment = DriverEnvironment();
      installed->version = 3;
    }
    return;
  }
  SimDriver driver;
  driver.name = queue.driverName;
  driver.environment = DriverEnvironment();
  driver.version = 3;
  driver.driverVersion = queue.driverVersion;
  state_.drivers.push_back(std::move(driver));
}

InstalledDriverList SimPlatform::ListInstalledDrivers(const std::string& environment) {
  InstalledDriverList list;
  if (auto error = InjectedFailure("EnumPrinterDrivers", environment)) {
    list.error = *error;
  } else {
    list.ok = true;
    for (const SimDriver& driver : state_.drivers) {
      if (!ForEnvironment(driver, environment)) continue;
      list.drivers.push_back({driver.name, environment, VersionOf(driver.driverVersion)});
    }
  }
  Record("EnumPrinterDrivers", environment, list.ok, list.error);
  return list;
}

SpoolerResult SimPlatform::InstallDriverFromServer(const std::string& queueName) {
  SpoolerResult result{true, 0};
  ListedQueue listed;
  if (auto error = ReachQueue("InstallDriverFromServer", queueName, listed)) {
    result = Failed(*error);
  } else if (!IsElevated()) {
    result = Failed(kErrorAccessDenied);
  } else if (DriverNeed need = DriverNeedFor(*listed.queue); need.error) {
    result = Failed(need.error);
  } else if (need.install) {
    InstallQueueDriver(*listed.queue);
  }
  Record("InstallDriverFromServer", queueName, result.ok, result.error);
  return result;
}

}  // namespace quillon::platform::sim
