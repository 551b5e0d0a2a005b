// Reading and writing the simulated client's JSON file. Every key is checked
// for its type on load, so that a hand-edited file with a typo stops the run
// with a message that points at the key, and every key comes back on save.
#include "platform/sim/sim_client.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"
#include "platform/host/host_file_system.h"
#include "platform/spooler.h"

namespace quillon::platform::sim {
namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- reading

// Thrown inside ParseClient only and turned into LoadResult::error there.
struct SchemaError {
  std::string where;  // key path, e.g. printers[2].attributes
  std::string what;   // e.g. must be a number
};

[[noreturn]] void Fail(const std::string& where, std::string what) {
  throw SchemaError{where, std::move(what)};
}

bool IsPlainName(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
}

// Names with dots, blanks or backslashes (registry keys, domains) go in
// brackets so that the path stays readable.
std::string Member(const std::string& parent, const std::string& key) {
  if (!IsPlainName(key)) return parent + "[" + key + "]";
  return parent.empty() ? key : parent + "." + key;
}

std::string Element(const std::string& parent, std::size_t index) {
  return parent + "[" + std::to_string(index) + "]";
}

const Json& ExpectObject(const Json& value, const std::string& where) {
  if (!value.is_object()) Fail(where, "must be an object");
  return value;
}

const Json& ExpectArray(const Json& value, const std::string& where) {
  if (!value.is_array()) Fail(where, "must be an array");
  return value;
}

std::string ReadString(const Json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "must be a string");
  return value.get<std::string>();
}

bool ReadBool(const Json& value, const std::string& where) {
  if (!value.is_boolean()) Fail(where, "must be true or false");
  return value.get<bool>();
}

// Whole numbers only: 5.5, 5.0 and "5" are all refused.
std::int64_t ReadInteger(const Json& value, const std::string& where, std::int64_t low,
                         std::int64_t high) {
  if (!value.is_number()) Fail(where, "must be a number");
  if (!value.is_number_integer()) Fail(where, "must be a whole number");
  if (value.is_number_unsigned()) {
    auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(high)) {
      Fail(where, "is too large (at most " + std::to_string(high) + ")");
    }
    return static_cast<std::int64_t>(number);
  }
  auto number = value.get<std::int64_t>();
  if (number < low) {
    if (low == 0) Fail(where, "must not be negative");
    Fail(where, "is too small (at least " + std::to_string(low) + ")");
  }
  if (number > high) Fail(where, "is too large (at most " + std::to_string(high) + ")");
  return number;
}

// Error codes and attribute bits.
std::uint32_t ReadCode(const Json& value, const std::string& where) {
  return static_cast<std::uint32_t>(
      ReadInteger(value, where, 0, std::numeric_limits<std::uint32_t>::max()));
}

int ReadInt(const Json& value, const std::string& where) {
  return static_cast<int>(ReadInteger(value, where, std::numeric_limits<int>::min(),
                                      std::numeric_limits<int>::max()));
}

std::vector<std::string> ReadStrings(const Json& value, const std::string& where) {
  ExpectArray(value, where);
  std::vector<std::string> strings;
  for (std::size_t i = 0; i < value.size(); ++i) {
    strings.push_back(ReadString(value[i], Element(where, i)));
  }
  return strings;
}

// Walks an object's members; `known(key, value, keyPath)` reads the members it
// knows and returns false for the others, which are returned for `extra`.
template <typename Known>
Json ReadRecord(const Json& value, const std::string& where, Known&& known) {
  ExpectObject(value, where);
  Json extra = Json::object();
  for (auto it = value.begin(); it != value.end(); ++it) {
    if (!known(it.key(), it.value(), Member(where, it.key()))) extra[it.key()] = it.value();
  }
  return extra;
}

template <typename Item, typename ReadItem>
std::vector<Item> ReadArray(const Json& value, const std::string& where, ReadItem&& readItem) {
  ExpectArray(value, where);
  std::vector<Item> items;
  for (std::size_t i = 0; i < value.size(); ++i) {
    items.push_back(readItem(value[i], Element(where, i)));
  }
  return items;
}

template <typename Item, typename ReadItem>
OrderedMap<Item> ReadMap(const Json& value, const std::string& where, ReadItem&& readItem) {
  ExpectObject(value, where);
  OrderedMap<Item> map;
  for (auto it = value.begin(); it != value.end(); ++it) {
    map.emplace_back(it.key(), readItem(it.value(), Member(where, it.key())));
  }
  return map;
}

OrderedMap<std::string> ReadStringMap(const Json& value, const std::string& where) {
  return ReadMap<std::string>(value, where, ReadString);
}

// Kept as written, once it is known to be one.
std::string ReadDriverVersion(const Json& value, const std::string& where) {
  std::string text = ReadString(value, where);
  if (!ParseDriverVersion(text)) Fail(where, "must be a version \"a.b.c.d\" (each 0 to 65535)");
  return text;
}

SimOs ReadOs(const Json& value, const std::string& where) {
  SimOs os;
  os.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                          const std::string& at) {
    if (key == "platformId") os.platformId = ReadInt(v, at);
    else if (key == "majorVersion") os.majorVersion = ReadInt(v, at);
    else if (key == "buildNumber") os.buildNumber = ReadCode(v, at);
    else if (key == "error") os.error = ReadCode(v, at);
    else if (key == "environment") os.environment = ReadString(v, at);
    else return false;
    return true;
  });
  return os;
}

SimPrinter ReadPrinter(const Json& value, const std::string& where) {
  SimPrinter p;
  p.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "name") p.name = ReadString(v, at);
    else if (key == "serverName") p.serverName = ReadString(v, at);
    else if (key == "shareName") p.shareName = ReadString(v, at);
    else if (key == "portName") p.portName = ReadString(v, at);
    else if (key == "driverName") p.driverName = ReadString(v, at);
    else if (key == "comment") p.comment = ReadString(v, at);
    else if (key == "location") p.location = ReadString(v, at);
    else if (key == "attributes") p.attributes = ReadCode(v, at);
    else if (key == "perMachine") p.perMachine = ReadBool(v, at);
    else return false;
    return true;
  });
  return p;
}

SimQueue ReadQueue(const Json& value, const std::string& where) {
  SimQueue q;
  q.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "shareName") q.shareName = ReadString(v, at);
    else if (key == "driverName") q.driverName = ReadString(v, at);
    else if (key == "portName") q.portName = ReadString(v, at);
    else if (key == "comment") q.comment = ReadString(v, at);
    else if (key == "location") q.location = ReadString(v, at);
    else if (key == "needsPrompt") {
      if (!v.is_boolean()) Fail(at, "must be true or false");
      q.needsPrompt = v.get<bool>();
    } else if (key == "driverVersion") q.driverVersion = ReadDriverVersion(v, at);
    else if (key == "environments") q.environments = ReadStrings(v, at);
    else if (key == "packageAware") q.packageAware = ReadBool(v, at);
    else return false;
    return true;
  });
  return q;
}

SimDriver ReadDriver(const Json& value, const std::string& where) {
  SimDriver d;
  if (value.is_string()) {
    d.name = value.get<std::string>();
    d.bareName = true;
    return d;
  }
  if (!value.is_object()) Fail(where, "must be a string or an object");
  d.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "name") d.name = ReadString(v, at);
    else if (key == "driverPath") d.driverPath = ReadString(v, at);
    else if (key == "dataFile") d.dataFile = ReadString(v, at);
    else if (key == "configFile") d.configFile = ReadString(v, at);
    else if (key == "environment") d.environment = ReadString(v, at);
    else if (key == "version") d.version = ReadCode(v, at);
    else if (key == "driverVersion") d.driverVersion = ReadDriverVersion(v, at);
    else return false;
    return true;
  });
  return d;
}

SimPointAndPrint ReadPointAndPrint(const Json& value, const std::string& where) {
  SimPointAndPrint policy;
  policy.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                              const std::string& at) {
    if (key != "restrictDriverInstallationToAdministrators") return false;
    policy.restrictDriverInstallationToAdministrators = ReadBool(v, at);
    return true;
  });
  return policy;
}

SimProfile ReadProfile(const Json& value, const std::string& where) {
  SimProfile profile;
  profile.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                               const std::string& at) {
    if (key == "userName") profile.userName = ReadString(v, at);
    else if (key == "connections") profile.connections = ReadStrings(v, at);
    else return false;
    return true;
  });
  return profile;
}

SimDirectoryQueue ReadDirectoryQueue(const Json& value, const std::string& where) {
  SimDirectoryQueue q;
  q.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "name") q.name = ReadString(v, at);
    else if (key == "printShareName") q.printShareName = ReadStrings(v, at);
    else return false;
    return true;
  });
  return q;
}

// A failure without a call or a code cannot mean anything, so both are
// required: a misspelt member would otherwise silently disable the injection.
SimFailure ReadFailure(const Json& value, const std::string& where) {
  SimFailure f;
  bool hasCall = false, hasError = false;
  f.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "call") {
      f.call = ReadString(v, at);
      hasCall = true;
    } else if (key == "name") {
      f.name = ReadString(v, at);
    } else if (key == "error") {
      f.error = ReadCode(v, at);
      hasError = true;
    } else {
      return false;
    }
    return true;
  });
  if (!hasCall) Fail(Member(where, "call"), "is missing");
  if (!hasError) Fail(Member(where, "error"), "is missing");
  return f;
}

SimMessageBox ReadMessageBox(const Json& value, const std::string& where) {
  SimMessageBox m;
  m.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "title") m.title = ReadString(v, at);
    else if (key == "text") m.text = ReadString(v, at);
    else if (key == "icon") m.icon = ReadString(v, at);
    else if (key == "buttons") m.buttons = ReadString(v, at);
    else return false;
    return true;
  });
  return m;
}

SimEvent ReadEvent(const Json& value, const std::string& where) {
  SimEvent e;
  e.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "source") e.source = ReadString(v, at);
    else if (key == "type") e.type = ReadInt(v, at);
    else if (key == "eventId") e.eventId = ReadInt(v, at);
    else if (key == "message") e.message = ReadString(v, at);
    else return false;
    return true;
  });
  return e;
}

SimSpoolerCall ReadSpoolerCall(const Json& value, const std::string& where) {
  SimSpoolerCall c;
  c.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "call") c.call = ReadString(v, at);
    else if (key == "name") c.name = ReadString(v, at);
    else if (key == "result") c.result = v;
    else if (key == "error") c.error = ReadCode(v, at);
    else return false;
    return true;
  });
  return c;
}

SimServerCondition ReadServerCondition(const Json& value, const std::string& where) {
  SimServerCondition c;
  c.extra = ReadRecord(value, where, [&](const std::string& key, const Json& v,
                                         const std::string& at) {
    if (key == "reachable") c.reachable = ReadBool(v, at);
    else if (key == "latencyMs") c.latencyMs = ReadCode(v, at);
    else return false;
    return true;
  });
  return c;
}

// Reads one top-level key; false when the key is not one of ours.
bool ReadTopLevel(SimClientState& s, const std::string& key, const Json& v,
                  const std::string& at) {
  if (key == "computerName") {
    if (v.is_null()) s.computerName = std::optional<std::string>();
    else if (v.is_string()) s.computerName = std::optional<std::string>(v.get<std::string>());
    else Fail(at, "must be a string or null");
  } else if (key == "dnsFullName") {
    if (v.is_null()) s.dnsFullName = std::optional<std::string>();
    else if (v.is_string()) s.dnsFullName = std::optional<std::string>(v.get<std::string>());
    else Fail(at, "must be a string or null");
  } else if (key == "userName") {
    s.userName = ReadString(v, at);
  } else if (key == "os") {
    s.os = ReadOs(v, at);
  } else if (key == "elevated") {
    s.elevated = ReadBool(v, at);
  } else if (key == "profileFolder") {
    s.profileFolder = ReadString(v, at);
  } else if (key == "systemFolder") {
    s.systemFolder = ReadString(v, at);
  } else if (key == "printers") {
    std::vector<SimPrinter> printers = ReadArray<SimPrinter>(v, at, ReadPrinter);
    s.printers.assign(std::make_move_iterator(printers.begin()),
                      std::make_move_iterator(printers.end()));
  } else if (key == "defaultPrinter") {
    s.defaultPrinter = ReadString(v, at);
  } else if (key == "legacyDefaultPrinterMode") {
    s.legacyDefaultPrinterMode = ReadBool(v, at);
  } else if (key == "printServers") {
    s.printServers = ReadMap<std::vector<SimQueue>>(v, at, [](const Json& q, const std::string& w) {
      return ReadArray<SimQueue>(q, w, ReadQueue);
    });
  } else if (key == "drivers") {
    s.drivers = ReadArray<SimDriver>(v, at, ReadDriver);
  } else if (key == "ports") {
    s.ports = ReadStrings(v, at);
  } else if (key == "winIni") {
    s.winIni = ReadMap<OrderedMap<std::string>>(v, at, ReadStringMap);
  } else if (key == "registry") {
    s.registry = ReadMap<OrderedMap<std::string>>(v, at, ReadStringMap);
  } else if (key == "directory") {
    s.directory = ReadMap<std::vector<SimDirectoryQueue>>(
        v, at, [](const Json& q, const std::string& w) {
          return ReadArray<SimDirectoryQueue>(q, w, ReadDirectoryQueue);
        });
  } else if (key == "failures") {
    s.failures = ReadArray<SimFailure>(v, at, ReadFailure);
  } else if (key == "messageBoxes") {
    s.messageBoxes = ReadArray<SimMessageBox>(v, at, ReadMessageBox);
  } else if (key == "eventLog") {
    s.eventLog = ReadArray<SimEvent>(v, at, ReadEvent);
  } else if (key == "spoolerCalls") {
    s.spoolerCalls = ReadArray<SimSpoolerCall>(v, at, ReadSpoolerCall);
  } else if (key == "pointAndPrint") {
    s.pointAndPrint = ReadPointAndPrint(v, at);
  } else if (key == "profiles") {
    s.profiles = ReadArray<SimProfile>(v, at, ReadProfile);
  } else if (key == "serverConditions") {
    s.serverConditions = ReadMap<SimServerCondition>(v, at, ReadServerCondition);
  } else if (key == "userGroups" || key == "computerGroups" || key == "addresses") {
    auto& fact = key == "userGroups" ? s.userGroups
                 : key == "computerGroups" ? s.computerGroups : s.addresses;
    if (v.is_null()) fact = std::optional<std::vector<std::string>>();
    else fact = std::optional<std::vector<std::string>>(ReadStrings(v, at));
  } else if (key == "site") {
    if (v.is_null()) s.site = std::optional<std::string>();
    else if (v.is_string()) s.site = std::optional<std::string>(v.get<std::string>());
    else Fail(at, "must be a string or null");
  } else {
    return false;
  }
  return true;
}

// nlohmann prefixes its messages with "[json.exception.parse_error.101] ".
std::string ParserMessage(const std::exception& e) {
  std::string message = e.what();
  if (!message.empty() && message.front() == '[') {
    auto end = message.find("] ");
    if (end != std::string::npos) message.erase(0, end + 2);
  }
  return message;
}

// ---------------------------------------------------------------- writing

// Members already written by name win over an `extra` of the same name.
void AppendExtra(Json& object, const Json& extra) {
  if (!extra.is_object()) return;
  for (auto it = extra.begin(); it != extra.end(); ++it) {
    if (!object.contains(it.key())) object[it.key()] = it.value();
  }
}

Json ToJson(const SimOs& os) {
  Json o = Json::object();
  o["platformId"] = os.platformId;
  o["majorVersion"] = os.majorVersion;
  if (os.buildNumber) o["buildNumber"] = *os.buildNumber;
  o["error"] = os.error;
  if (os.environment) o["environment"] = *os.environment;
  AppendExtra(o, os.extra);
  return o;
}

Json ToJson(const SimPrinter& p) {
  Json o = Json::object();
  o["name"] = p.name;
  o["serverName"] = p.serverName;
  o["shareName"] = p.shareName;
  o["portName"] = p.portName;
  o["driverName"] = p.driverName;
  o["comment"] = p.comment;
  o["location"] = p.location;
  o["attributes"] = p.attributes;
  if (p.perMachine) o["perMachine"] = *p.perMachine;
  AppendExtra(o, p.extra);
  return o;
}

Json ToJson(const SimQueue& q) {
  Json o = Json::object();
  o["shareName"] = q.shareName;
  o["driverName"] = q.driverName;
  o["portName"] = q.portName;
  o["comment"] = q.comment;
  o["location"] = q.location;
  if (q.needsPrompt) o["needsPrompt"] = true;  // absent in files written before it existed
  if (q.driverVersion) o["driverVersion"] = *q.driverVersion;
  if (q.environments) o["environments"] = *q.environments;
  if (q.packageAware) o["packageAware"] = *q.packageAware;
  AppendExtra(o, q.extra);
  return o;
}

Json ToJson(const SimDriver& d) {
  if (d.bareName) return d.name;
  Json o = Json::object();
  o["name"] = d.name;
  o["driverPath"] = d.driverPath;
  o["dataFile"] = d.dataFile;
  o["configFile"] = d.configFile;
  o["environment"] = d.environment;
  o["version"] = d.version;
  if (d.driverVersion) o["driverVersion"] = *d.driverVersion;
  AppendExtra(o, d.extra);
  return o;
}

Json ToJson(const SimPointAndPrint& policy) {
  Json o = Json::object();
  if (policy.restrictDriverInstallationToAdministrators) {
    o["restrictDriverInstallationToAdministrators"] =
        *policy.restrictDriverInstallationToAdministrators;
  }
  AppendExtra(o, policy.extra);
  return o;
}

Json ToJson(const SimProfile& profile) {
  Json o = Json::object();
  o["userName"] = profile.userName;
  o["connections"] = profile.connections;
  AppendExtra(o, profile.extra);
  return o;
}

Json ToJson(const SimDirectoryQueue& q) {
  Json o = Json::object();
  o["name"] = q.name;
  o["printShareName"] = q.printShareName;
  AppendExtra(o, q.extra);
  return o;
}

Json ToJson(const SimFailure& f) {
  Json o = Json::object();
  o["call"] = f.call;
  if (f.name) o["name"] = *f.name;
  o["error"] = f.error;
  AppendExtra(o, f.extra);
  return o;
}

Json ToJson(const SimMessageBox& m) {
  Json o = Json::object();
  o["title"] = m.title;
  o["text"] = m.text;
  o["icon"] = m.icon;
  o["buttons"] = m.buttons;
  AppendExtra(o, m.extra);
  return o;
}

Json ToJson(const SimEvent& e) {
  Json o = Json::object();
  o["source"] = e.source;
  o["type"] = e.type;
  o["eventId"] = e.eventId;
  o["message"] = e.message;
  AppendExtra(o, e.extra);
  return o;
}

Json ToJson(const SimSpoolerCall& c) {
  Json o = Json::object();
  o["call"] = c.call;
  o["name"] = c.name;
  o["result"] = c.result;
  o["error"] = c.error;
  AppendExtra(o, c.extra);
  return o;
}

Json ToJson(const SimServerCondition& c) {
  Json o = Json::object();
  if (c.reachable) o["reachable"] = *c.reachable;
  if (c.latencyMs) o["latencyMs"] = *c.latencyMs;
  AppendExtra(o, c.extra);
  return o;
}

Json ToJson(const std::string& text) { return text; }

template <typename Item>
Json ToJson(const std::vector<Item>& items) {
  Json a = Json::array();
  for (const auto& item : items) a.push_back(ToJson(item));
  return a;
}

template <typename Item>
Json ToJson(const std::deque<Item>& items) {
  Json a = Json::array();
  for (const auto& item : items) a.push_back(ToJson(item));
  return a;
}

template <typename Value>
Json ToJson(const OrderedMap<Value>& map) {
  Json o = Json::object();
  for (const auto& [key, value] : map) o[key] = ToJson(value);
  return o;
}

// One of our top-level keys, in the documented order (the order in which keys
// that the file lacked are added). A list is written whenever the file had it,
// even empty; an optional only when set.
struct KnownKey {
  const char* name;
  bool optional;
  bool (*holds)(const SimClientState&);  // a set optional, a non-empty list
  Json (*write)(const SimClientState&);
};

#define QUILLON_OPTIONAL_KEY(key, json)                                      \
  {#key, true, [](const SimClientState& s) { return s.key.has_value(); }, \
   [](const SimClientState& s) { return Json(json); }}
#define QUILLON_LIST_KEY(key)                                                 \
  {#key, false, [](const SimClientState& s) { return !s.key.empty(); },   \
   [](const SimClientState& s) { return ToJson(s.key); }}

const KnownKey kKnownKeys[] = {
    QUILLON_OPTIONAL_KEY(computerName,
                         *s.computerName ? Json(**s.computerName) : Json(nullptr)),
    QUILLON_OPTIONAL_KEY(dnsFullName, *s.dnsFullName ? Json(**s.dnsFullName) : Json(nullptr)),
    QUILLON_OPTIONAL_KEY(userName, *s.userName),
    QUILLON_OPTIONAL_KEY(os, ToJson(*s.os)),
    QUILLON_OPTIONAL_KEY(elevated, *s.elevated),
    QUILLON_OPTIONAL_KEY(profileFolder, *s.profileFolder),
    QUILLON_OPTIONAL_KEY(systemFolder, *s.systemFolder),
    QUILLON_LIST_KEY(printers),
    QUILLON_OPTIONAL_KEY(defaultPrinter, *s.defaultPrinter),
    QUILLON_OPTIONAL_KEY(legacyDefaultPrinterMode, *s.legacyDefaultPrinterMode),
    QUILLON_LIST_KEY(printServers),
    QUILLON_LIST_KEY(drivers),
    QUILLON_LIST_KEY(ports),
    QUILLON_LIST_KEY(winIni),
    QUILLON_LIST_KEY(registry),
    QUILLON_OPTIONAL_KEY(directory, ToJson(*s.directory)),
    QUILLON_LIST_KEY(failures),
    QUILLON_LIST_KEY(messageBoxes),
    QUILLON_LIST_KEY(eventLog),
    QUILLON_LIST_KEY(spoolerCalls),
    QUILLON_OPTIONAL_KEY(pointAndPrint, ToJson(*s.pointAndPrint)),
    QUILLON_OPTIONAL_KEY(profiles, ToJson(*s.profiles)),
    QUILLON_OPTIONAL_KEY(serverConditions, ToJson(*s.serverConditions)),
    QUILLON_OPTIONAL_KEY(userGroups, *s.userGroups ? Json(**s.userGroups) : Json(nullptr)),
    QUILLON_OPTIONAL_KEY(computerGroups,
                         *s.computerGroups ? Json(**s.computerGroups) : Json(nullptr)),
    QUILLON_OPTIONAL_KEY(site, *s.site ? Json(**s.site) : Json(nullptr)),
    QUILLON_OPTIONAL_KEY(addresses, *s.addresses ? Json(**s.addresses) : Json(nullptr)),
};

#undef QUILLON_OPTIONAL_KEY
#undef QUILLON_LIST_KEY

const KnownKey* FindKnownKey(std::string_view name) {
  for (const auto& known : kKnownKeys) {
    if (name == known.name) return &known;
  }
  return nullptr;
}

Json ToDocument(const SimClientState& s) {
  Json root = Json::object();
  const bool hasExtra = s.extra.is_object();
  for (const auto& key : s.keysPresent) {
    if (root.contains(key)) continue;
    if (const KnownKey* known = FindKnownKey(key)) {
      if (!known->optional || known->holds(s)) root[key] = known->write(s);
    } else if (hasExtra && s.extra.contains(key)) {
      root[key] = s.extra.at(key);
    }
  }
  auto wasPresent = [&](std::string_view key) {
    for (const auto& present : s.keysPresent) {
      if (present == key) return true;
    }
    return false;
  };
  for (const auto& known : kKnownKeys) {
    if (!wasPresent(known.name) && known.holds(s)) root[known.name] = known.write(s);
  }
  // Unknown keys put into `extra` by code rather than read from the file.
  if (hasExtra) {
    for (auto it = s.extra.begin(); it != s.extra.end(); ++it) {
      if (!root.contains(it.key()) && !FindKnownKey(it.key())) root[it.key()] = it.value();
    }
  }
  return root;
}

}  // namespace

std::string DefaultClientPath() {
  auto variable = [](const char* name) -> std::string {
    const char* value = std::getenv(name);
    return value ? value : "";
  };
  std::string explicitPath = variable("QUILLON_CLIENT");
  if (!explicitPath.empty()) return explicitPath;
  std::string dataHome = variable("XDG_DATA_HOME");
  if (dataHome.empty()) {
    std::string home = variable("HOME");
    // Windows sets USERPROFILE rather than HOME.
    if (home.empty()) home = variable("USERPROFILE");
    if (home.empty()) home = ".";
    dataHome = JoinPath(JoinPath(home, ".local"), "share");
  }
  return JoinPath(JoinPath(dataHome, "quillon"), "client.json");
}

LoadResult LoadClient(const std::string& path) {
  LoadResult result;
  try {
    std::error_code ec;
    fs::file_status status = fs::status(fs::path(path), ec);
    if (status.type() == fs::file_type::not_found) {
      result.ok = true;
      return result;
    }
    if (ec) {
      result.error = path + ": cannot be read: " + ec.message();
      return result;
    }
    if (fs::is_directory(status)) {
      result.error = path + ": is a folder, not a client file";
      return result;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      result.error = path + ": cannot be opened for reading";
      return result;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
      result.error = path + ": cannot be read";
      return result;
    }
    return ParseClient(text, path);
  } catch (const std::exception& e) {
    result = LoadResult{};
    result.error = path + ": cannot be read: " + e.what();
    return result;
  }
}

LoadResult ParseClient(const std::string& text, const std::string& pathForMessages) {
  LoadResult result;
  Json root;
  try {
    root = Json::parse(text);
  } catch (const std::exception& e) {
    result.error = pathForMessages + ": not valid JSON: " + ParserMessage(e);
    return result;
  }
  if (!root.is_object()) {
    std::string kind = root.type_name();
    if (kind == "array") kind = "an array";
    else if (kind != "null") kind = "a " + kind;
    result.error = pathForMessages + ": the top level must be an object, not " + kind;
    return result;
  }
  try {
    SimClientState& s = result.state;
    s.extra = ReadRecord(root, "", [&](const std::string& key, const Json& v,
                                       const std::string& at) {
      s.keysPresent.push_back(key);
      return ReadTopLevel(s, key, v, at);
    });
    result.ok = true;
  } catch (const SchemaError& e) {
    result = LoadResult{};
    result.error = pathForMessages + ": \"" + e.where + "\" " + e.what;
  } catch (const std::exception& e) {
    result = LoadResult{};
    result.error = pathForMessages + ": " + e.what();
  }
  return result;
}

std::string SerializeClient(const SimClientState& state) {
  // Text from the client's 8-bit code page need not be UTF-8; such bytes
  // become U+FFFD rather than aborting the save.
  return ToDocument(state).dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

bool SaveClient(const std::string& path, const SimClientState& state, std::string* error) {
  auto fail = [&](const std::string& message) {
    if (error) *error = path + ": cannot be saved: " + message;
    return false;
  };
  std::string content;
  try {
    content = SerializeClient(state);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
  std::error_code ec;
  fs::path parent = fs::path(path).parent_path();
  if (!parent.empty()) {
    fs::create_directories(parent, ec);
    if (ec) return fail("creating folder " + parent.string() + ": " + ec.message());
  }
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return fail("cannot create " + temporary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
      fs::remove(fs::path(temporary), ec);
      return fail("cannot write " + temporary);
    }
  }
  Status replaced = ReplaceFile(temporary, path);
  if (!replaced.ok) {
    fs::remove(fs::path(temporary), ec);
    return fail(replaced.description);
  }
  return true;
}

}  // namespace quillon::platform::sim
