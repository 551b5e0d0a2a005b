// Reading the simulated client's file: each value and record is checked for
// its type, so that a hand-edited file with a typo stops the run with a
// message that points at the key. Members a record does not know are kept in
// its `extra`. Which top-level key holds what is the key table's business.
#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/sim/sim_client_format.h"
#include "platform/spooler.h"

namespace quillon::platform::sim::client_file {

void Fail(const std::string& where, std::string what) {
  throw SchemaError{where, std::move(what)};
}

namespace {

bool IsPlainName(std::string_view key) {
  if (key.empty()) return false;
  for (char c : key) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '_' || c == '-';
    if (!plain) return false;
  }
  return true;
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

// Kept as written, once it is known to be one.
std::string ReadDriverVersion(const Json& value, const std::string& where) {
  std::string text = ReadString(value, where);
  if (!ParseDriverVersion(text)) Fail(where, "must be a version \"a.b.c.d\" (each 0 to 65535)");
  return text;
}

}  // namespace

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

std::vector<std::string> ReadStrings(const Json& value, const std::string& where) {
  ExpectArray(value, where);
  std::vector<std::string> strings;
  for (std::size_t i = 0; i < value.size(); ++i) {
    strings.push_back(ReadString(value[i], Element(where, i)));
  }
  return strings;
}

OrderedMap<std::string> ReadStringMap(const Json& value, const std::string& where) {
  return ReadMap<std::string>(value, where, ReadString);
}

std::optional<std::string> ReadNullableString(const Json& value, const std::string& where) {
  if (value.is_null()) return std::nullopt;
  if (!value.is_string()) Fail(where, "must be a string or null");
  return value.get<std::string>();
}

std::optional<std::vector<std::string>> ReadNullableStrings(const Json& value,
                                                            const std::string& where) {
  if (value.is_null()) return std::nullopt;
  return ReadStrings(value, where);
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

}  // namespace quillon::platform::sim::client_file
