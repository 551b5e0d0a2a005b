// The simulated Windows client: the whole state of one client computer, loaded
// from and saved to one JSON file whose format tests, demos and dry runs rely on.
// Every key is kept across a load and a save, also those no feature reads yet.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace quillon::platform::sim {

using Json = nlohmann::ordered_json;

struct SimPrinter {
  std::string name, serverName, shareName, portName, driverName, comment, location;
  std::uint32_t attributes = 0;
  Json extra = Json::object();  // members this program does not know, kept as they were
  // A connection every user of the computer gets (Group Policy, printui /ga);
  // absent is false, and stays absent on saving.
  std::optional<bool> perMachine = std::nullopt;
};

struct SimQueue {
  std::string shareName, driverName, portName, comment, location;
  Json extra = Json::object();
  // Connecting would show a Point and Print or credential prompt (the driver
  // must be fetched and the user may not install it). After `extra`, so that
  // brace-initialised queues keep their meaning.
  bool needsPrompt = false;
  // The driver's file version on the server, "a.b.c.d". Absent: no driver
  // rule applies, the queue connects as it always did.
  std::optional<std::string> driverVersion = std::nullopt;
  // The environments the server has the driver for. Absent: every one.
  std::optional<std::vector<std::string>> environments = std::nullopt;
  std::optional<bool> packageAware = std::nullopt;  // absent: false
};

struct SimDriver {
  std::string name, driverPath, dataFile, configFile, environment;
  std::uint32_t version = 0;
  bool bareName = false;  // given as a plain string in the file, saved the same way
  Json extra = Json::object();
  std::optional<std::string> driverVersion = std::nullopt;  // "a.b.c.d"; absent: 0.0.0.0
};

// The Point and Print policy values; the others a snapshot found are kept in `extra`.
struct SimPointAndPrint {
  // Absent: false here, so that client files from before it keep their
  // behaviour (an updated Windows without the value restricts).
  std::optional<bool> restrictDriverInstallationToAdministrators = std::nullopt;
  Json extra = Json::object();
};

// One user profile of the computer and the printer connections saved in it.
struct SimProfile {
  std::string userName;
  std::vector<std::string> connections;
  Json extra = Json::object();
};

struct SimFailure {
  std::string call;
  std::optional<std::string> name;  // absent: any name
  std::uint32_t error = 0;
  Json extra = Json::object();
};

struct SimMessageBox {
  std::string title, text, icon, buttons;
  Json extra = Json::object();
};

struct SimEvent {
  std::string source;
  int type = 0;
  int eventId = 0;
  std::string message;
  Json extra = Json::object();
};

struct SimSpoolerCall {
  std::string call, name;
  Json result;  // as the call returns it: true/false or a number
  std::uint32_t error = 0;
  Json extra = Json::object();
};

struct SimDirectoryQueue {
  std::string name;
  std::vector<std::string> printShareName;
  Json extra = Json::object();
};

struct SimOs {
  int platformId = 2;
  int majorVersion = 10;
  std::uint32_t error = 0;
  Json extra = Json::object();
  std::optional<std::uint32_t> buildNumber = std::nullopt;  // absent: not known
  // The spooler's native driver environment on NT; absent: "Windows x64".
  std::optional<std::string> environment = std::nullopt;
};

// How a print server behaves towards this client. Absent members keep their
// defaults and stay absent on saving.
struct SimServerCondition {
  std::optional<bool> reachable;           // absent: true
  std::optional<std::uint32_t> latencyMs;  // waited before each call on the server; absent: 0
  Json extra = Json::object();
};

// Ordered maps keep the file's order of servers, sections and keys.
template <typename Value>
using OrderedMap = std::vector<std::pair<std::string, Value>>;

struct SimClientState {
  // Absent: the host's computer name. Present as null: the name cannot be had.
  std::optional<std::optional<std::string>> computerName;
  // The fully qualified DNS name. Absent or null: the client has none.
  std::optional<std::optional<std::string>> dnsFullName;
  std::optional<std::string> userName;  // absent: the host's login name
  std::optional<SimOs> os;              // absent: NT 10
  // Whether the engine runs as an administrator (an elevated token on NT).
  // Absent: it does, as every client file before the key was known assumed.
  std::optional<bool> elevated;
  std::optional<std::string> profileFolder, systemFolder;
  // A deque: a migration removes the old connections, listed first, while it
  // appends the new ones, and a deque erases from its shorter end.
  std::deque<SimPrinter> printers;
  std::optional<std::string> defaultPrinter;
  // The user's LegacyDefaultPrinterMode: true, Windows leaves the default
  // printer alone; false, Windows manages it. Absent: as Windows does without
  // the value, managed only where the os record's build is 10586 (1511) or later.
  std::optional<bool> legacyDefaultPrinterMode;
  OrderedMap<std::vector<SimQueue>> printServers;
  std::vector<SimDriver> drivers;
  std::vector<std::string> ports;
  OrderedMap<OrderedMap<std::string>> winIni;
  OrderedMap<OrderedMap<std::string>> registry;
  // Absent: directory queries go to the real directory.
  std::optional<OrderedMap<std::vector<SimDirectoryQueue>>> directory;
  std::vector<SimFailure> failures;
  std::vector<SimMessageBox> messageBoxes;
  std::vector<SimEvent> eventLog;
  std::vector<SimSpoolerCall> spoolerCalls;
  std::optional<SimPointAndPrint> pointAndPrint;
  // Absent: one profile, the client's own user with its connections among `printers`.
  std::optional<std::vector<SimProfile>> profiles;
  // By server name (no backslashes). Absent: every server answers at once.
  std::optional<OrderedMap<SimServerCondition>> serverConditions;
  // Targeting's facts: the user's and the computer's groups (nested ones
  // included), the directory site, the IP addresses. Absent: the groups come
  // from the directory the document names, the site and addresses are not
  // known; null: the fact cannot be found.
  std::optional<std::optional<std::vector<std::string>>> userGroups, computerGroups, addresses;
  std::optional<std::optional<std::string>> site;
  Json extra = Json::object();  // top-level keys this program does not know
  std::vector<std::string> keysPresent;  // top-level keys the file had, in its order
};

struct LoadResult {
  bool ok = false;
  std::string error;  // a complete message naming the file and the offending key
  SimClientState state;
};

// The client file's location: $QUILLON_CLIENT, else
// $XDG_DATA_HOME/quillon/client.json, else ~/.local/share/quillon/client.json.
std::string DefaultClientPath();

// A missing file is an empty client. Not valid JSON, or a key of the wrong
// type: ok is false and the file is not touched.
LoadResult LoadClient(const std::string& path);
LoadResult ParseClient(const std::string& text, const std::string& pathForMessages);

// Writes the state back atomically (temporary file in the same folder, then
// rename). Keys the loaded file had are written even when empty; keys it
// lacked only when they hold something.
bool SaveClient(const std::string& path, const SimClientState& state, std::string* error);
std::string SerializeClient(const SimClientState& state);

}  // namespace quillon::platform::sim
