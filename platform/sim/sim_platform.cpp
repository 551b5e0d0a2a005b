// The seam's system, registry, profile-string and user-interface services over
// a simulated client's state. Names are compared the way Windows compares them:
// without regard to ASCII letter case.
#include "platform/sim/sim_platform.h"

#include <filesystem>
#include <iostream>
#include <utility>

#include "platform/printer_registry.h"

namespace quillon::platform::sim {

namespace {


}  // namespace

// From the back: printer names share their "\\SERVER\" start and differ at the
// end, so a list scan rejects most names at once.
std::string CaseKey(std::string_view name) { return LowerAscii(name); }

namespace {

template <typename Value>
Value* Find(OrderedMap<Value>& map, std::string_view key) {
  for (auto& [name, value] : map) {
    if (EqualsIgnoringCase(name, key)) return &value;
  }
  return nullptr;
}

// Adds the entry under the caller's spelling when it is new; an existing one
// keeps the spelling it has.
template <typename Value>
Value& FindOrAdd(OrderedMap<Value>& map, std::string_view key) {
  if (Value* found = Find(map, key)) return *found;
  map.emplace_back(std::string(key), Value{});
  return map.back().second;
}

// Paths such as "/srv/x" or "C:\x" stand as they are; others hang off the
// client file's folder.
bool IsRooted(const std::string& path) {
  std::filesystem::path p(path);
  return p.has_root_directory() || p.has_root_name();
}

// Prints a line whenever the label differs from the last line printed. The
// window is created hidden, so its first label is printed when it is shown.
class SimProgressWindow : public ProgressWindow {
 public:
  SimProgressWindow(std::string label, bool echo) : label_(std::move(label)), echo_(echo) {}

  void SetLabel(const std::string& text) override {
    label_ = text;
    Echo();
  }
  void SetBarMaximum(int) override {}
  void SetBarValue(int) override {}
  void Show() override { Echo(); }
  void Repaint() override {}
  void ProcessMessages() override {}
  void Close() override {}

 private:
  void Echo() {
    if (!echo_ || label_ == printed_) return;
    printed_ = label_;
    std::cerr << "progress: " << label_ << "\n" << std::flush;
  }

  std::string label_;
  std::optional<std::string> printed_;
  bool echo_;
};

}  // namespace

Status SimFileSystem::CopyFile(const std::string& from, const std::string& to) {
  // Sources are Windows share paths or host paths: either separator ends the
  // folder part.
  const std::string_view source = from;
  const auto cut = source.find_last_of("/\\");
  const std::string_view fileName = cut == std::string_view::npos ? source : source.substr(cut + 1);
  for (const auto& failure : state_.failures) {
    if (!EqualsIgnoringCase(failure.call, "CopyFile")) continue;
    if (failure.name && !EqualsIgnoringCase(*failure.name, source) &&
        !EqualsIgnoringCase(*failure.name, fileName)) {
      continue;
    }
    return Status::Error(failure.error, "Injected failure");
  }
  return target().CopyFile(from, to);
}

SimPlatform::SimPlatform(SimClientState& state, SimHost host, FileSystem& files, Clock& clock)
    : state_(state), host_(std::move(host)), files_(files, state), clock_(clock) {
  if (!host_.network) {
    ownNetwork_ = net::CreateHostNetwork();
    host_.network = ownNetwork_.get();
  }
}

Platform SimPlatform::AsPlatform() {
  return Platform{*this, *this, *this, files_, *this, clock_, *this, *this, *this, *host_.network};
}

std::optional<std::uint32_t> SimPlatform::InjectedFailure(std::string_view call,
                                                         std::string_view name) const {
  for (const auto& failure : state_.failures) {
    if (!EqualsIgnoringCase(failure.call, call)) continue;
    if (failure.name && !EqualsIgnoringCase(*failure.name, name)) continue;
    return failure.error;
  }
  return std::nullopt;
}

OsVersion SimPlatform::GetVersion() {
  OsVersion version;
  if (state_.os) {
    version.platformId = state_.os->platformId;
    version.majorVersion = state_.os->majorVersion;
    version.error = state_.os->error;
    version.buildNumber = state_.os->buildNumber.value_or(0);
  }
  return version;
}

std::optional<std::string> SimPlatform::GetComputerName() {
  if (!state_.computerName) return host_.hostComputerName;
  return *state_.computerName;
}

std::optional<std::string> SimPlatform::GetDnsFullName() {
  if (!state_.dnsFullName) return std::nullopt;
  return *state_.dnsFullName;
}

namespace {

TargetingFact FactOf(const std::optional<std::optional<std::vector<std::string>>>& key,
                     const char* name, bool fromDirectory) {
  if (!key) {
    TargetingFact fact = TargetingFact::Unknown(std::string("the client file has no ") + name);
    fact.fromDirectory = fromDirectory;
    return fact;
  }
  if (!*key) return TargetingFact::Unknown(std::string(name) + " cannot be found");
  return TargetingFact::Of(**key);
}

}  // namespace

TargetingFact SimPlatform::GetUserGroups() { return FactOf(state_.userGroups, "userGroups", true); }

TargetingFact SimPlatform::GetComputerGroups() {
  return FactOf(state_.computerGroups, "computerGroups", true);
}

TargetingFact SimPlatform::GetSiteName() {
  if (!state_.site) return TargetingFact::Unknown("the client file has no site");
  if (!*state_.site) return TargetingFact::Unknown("site cannot be found");
  return TargetingFact::Of({**state_.site});
}

TargetingFact SimPlatform::GetAddresses() { return FactOf(state_.addresses, "addresses", false); }

std::string SimPlatform::GetUserName() { return state_.userName.value_or(host_.hostLoginName); }

std::string SimPlatform::ClientFolder(const std::optional<std::string>& configured,
                                      const char* defaultName) {
  std::string folder;
  if (configured && IsRooted(*configured)) {
    folder = *configured;
  } else {
    folder = JoinPath(ParentFolder(host_.clientPath), configured ? *configured : defaultName);
  }
  // A folder that cannot be created shows up as the failure of whatever is
  // written there next, which reports it in the engine's own terms.
  files_.CreateFolders(folder);
  return folder;
}

std::string SimPlatform::GetProfileFolder() { return ClientFolder(state_.profileFolder, "profile"); }

std::string SimPlatform::GetSystemFolder() { return ClientFolder(state_.systemFolder, "system32"); }

std::string SimPlatform::GetProgramFolder() { return host_.programFolder; }

bool SimPlatform::IsNt() const { return !state_.os || state_.os->platformId != 1; }

bool SimPlatform::IsElevated() { return !IsNt() || state_.elevated.value_or(true); }

std::string SimPlatform::GetNativeDriverEnvironment() {
  if (!IsNt()) return "";
  return state_.os ? state_.os->environment.value_or("Windows x64") : "Windows x64";
}

// Windows' own texts for the codes a simulated client can meet without an
// explanation of the engine's.
std::string SimPlatform::GetErrorText(std::uint32_t code) {
  switch (code) {
    case 6: return "The handle is invalid.";
    case 8: return "Not enough memory resources are available to process this command.";
    case 87: return "The parameter is incorrect.";
    case 122: return "The data area passed to a system call is too small.";
    case 1795: return "The specified printer driver is already installed.";
    case 1798: return "The print processor is unknown.";
    case 1802: return "The printer already exists.";
    case 1804: return "The specified datatype is invalid.";
    default: return {};
  }
}

std::optional<std::string> SimPlatform::GetValue(const std::string& keyPath,
                                                 const std::string& valueName) {
  OrderedMap<std::string>* key = Find(state_.registry, keyPath);
  if (!key) return std::nullopt;
  std::string* value = Find(*key, valueName);
  if (!value) return std::nullopt;
  return value->substr(0, value->find('\0'));
}

std::optional<std::uint32_t> SimPlatform::GetNumber(const std::string& keyPath,
                                                    const std::string& valueName) {
  if (EqualsIgnoringCase(keyPath, kUserWindowsSettingsKey) &&
      EqualsIgnoringCase(valueName, kLegacyDefaultPrinterModeValue) &&
      state_.legacyDefaultPrinterMode) {
    return *state_.legacyDefaultPrinterMode ? 1u : 0u;
  }
  return std::nullopt;
}

std::vector<std::string> SimPlatform::ListSubkeys(const std::string& keyPath) {
  std::vector<std::string> names;
  if (EqualsIgnoringCase(keyPath, kPerMachineConnectionsKey)) {
    for (const SimPrinter& printer : state_.printers) {
      if (!printer.perMachine.value_or(false)) continue;
      if (auto subkey = SubkeyOfConnectionName(printer.name)) names.push_back(*subkey);
    }
    return names;
  }
  const std::string prefix = keyPath + "\\";
  for (const auto& [key, values] : state_.registry) {
    if (key.size() <= prefix.size() || !EqualsIgnoringCase(key.substr(0, prefix.size()), prefix)) {
      continue;
    }
    std::string name = key.substr(prefix.size(), key.find('\\', prefix.size()) - prefix.size());
    bool listed = false;
    for (const std::string& known : names) listed = listed || EqualsIgnoringCase(known, name);
    if (!listed) names.push_back(std::move(name));
  }
  return names;
}

Status SimPlatform::SetValue(const std::string& keyPath, const std::string& valueName,
                             const std::string& value) {
  if (auto error = InjectedFailure("RegSetValueEx", keyPath)) {
    return Status::Error(*error, "Injected failure");
  }
  FindOrAdd(FindOrAdd(state_.registry, keyPath), valueName) = value;
  return Status::Ok();
}

ProfileStringResult SimPlatform::GetProfileString(const std::string& section,
                                                  const std::string& key,
                                                  std::size_t bufferChars) {
  constexpr std::uint32_t kFileNotFound = 2;  // what Windows leaves for an absent entry
  ProfileStringResult result;
  if (auto error = InjectedFailure("GetProfileString", key)) {
    result.error = *error;
    return result;
  }
  std::optional<std::string> value = LookUpProfileString(section, key);
  if (!value || value->empty() || bufferChars < 2) {
    result.error = value ? 0 : kFileNotFound;
    return result;
  }
  result.ok = true;
  result.value = value->substr(0, bufferChars - 1);
  return result;
}

std::optional<std::string> SimPlatform::LookUpProfileString(const std::string& section,
                                                            const std::string& key) {
  if (OrderedMap<std::string>* entries = Find(state_.winIni, section)) {
    if (std::string* value = Find(*entries, key)) return *value;
  }
  // NT 4.0 keeps the default printer and the printers' ports here; a client
  // file that gives only the spooler's view answers from that view.
  if (EqualsIgnoringCase(section, "Windows") && EqualsIgnoringCase(key, "device")) {
    if (!state_.defaultPrinter || state_.defaultPrinter->empty()) return std::nullopt;
    const SimPrinter* printer = FindPrinter(*state_.defaultPrinter);
    return *state_.defaultPrinter + ",winspool," + (printer ? printer->portName : "");
  }
  if (EqualsIgnoringCase(section, "PrinterPorts")) {
    if (const SimPrinter* printer = FindPrinter(key)) {
      return "winspool," + printer->portName + ",15,45";
    }
  }
  return std::nullopt;
}

Status SimPlatform::WriteProfileString(const std::string& section, const std::string& key,
                                       const std::string& value) {
  if (auto error = InjectedFailure("WriteProfileString", key)) {
    return Status::Error(*error, "WriteProfileString [" + section + "] " + key +
                                     " failed with error " + std::to_string(*error));
  }
  FindOrAdd(FindOrAdd(state_.winIni, section), key) = value;
  // "name,driver,port": on NT 4.0 this write is what makes the default.
  if (EqualsIgnoringCase(section, "Windows") && EqualsIgnoringCase(key, "device")) {
    state_.defaultPrinter = value.substr(0, value.find(','));
  }
  return Status::Ok();
}

MessageAnswer SimPlatform::ShowMessageBox(const std::string& title, const std::string& text,
                                          MessageIcon icon, MessageButtons buttons) {
  SimMessageBox box;
  box.title = title;
  box.text = text;
  box.icon = ToString(icon);
  box.buttons = ToString(buttons);
  state_.messageBoxes.push_back(std::move(box));
  if (host_.echoMessageBoxes) std::cerr << "[" << title << "] " << text << "\n" << std::flush;
  // Nobody answers on a simulated client: the first button is taken.
  switch (buttons) {
    case MessageButtons::YesNo:
    case MessageButtons::YesNoCancel:
      return MessageAnswer::Yes;
    case MessageButtons::Ok:
    case MessageButtons::OkCancel:
      break;
  }
  return MessageAnswer::Ok;
}

std::unique_ptr<ProgressWindow> SimPlatform::CreateProgressWindow(const std::string& /*caption*/,
                                                                  const std::string& label) {
  return std::make_unique<SimProgressWindow>(label, host_.echoProgress);
}


EventSourceResult SimPlatform::RegisterEventSource(const std::string& sourceName) {
  if (auto error = InjectedFailure("RegisterEventSource", sourceName)) return {0, *error, "Injected failure"};
  eventSources_[++lastEventSource_] = sourceName;
  return {lastEventSource_, 0, {}};
}

EventLogResult SimPlatform::ReportEvent(EventSourceHandle source, std::uint16_t type,
                                        std::uint16_t /*category*/, std::uint32_t eventId,
                                        const std::string& message, std::string_view rawData) {
  const auto found = eventSources_.find(source);
  if (found == eventSources_.end()) return {false, kErrorInvalidHandle, "The handle is invalid."};
  if (auto error = InjectedFailure("ReportEvent", found->second)) return {false, *error, "Injected failure"};
  SimEvent event;
  event.source = found->second;
  event.type = type;
  event.eventId = static_cast<int>(eventId);
  event.message = message;
  // The raw data is the message's bytes and a NUL; kept so that a client file
  // shows what the event carried beyond its insertion string.
  event.extra["rawDataBytes"] = rawData.size();
  state_.eventLog.push_back(std::move(event));
  return {true, 0, {}};
}

EventLogResult SimPlatform::DeregisterEventSource(EventSourceHandle source) {
  if (eventSources_.erase(source) == 0) return {false, kErrorInvalidHandle, "The handle is invalid."};
  return {true, 0, {}};
}

}  // namespace quillon::platform::sim
