// The simulated client file's top-level keys, each named once: how its value
// is read and checked, whether the state holds one, and how it is written.
// Loading, saving and the known-keys check walk this table, so they cannot
// drift apart; its order is the documented order of the keys.
#include <deque>
#include <iterator>

#include "platform/sim/sim_client_format.h"

namespace quillon::platform::sim::client_file {

namespace {

std::deque<SimPrinter> ReadPrinters(const Json& value, const std::string& where) {
  std::vector<SimPrinter> printers = ReadArray<SimPrinter>(value, where, ReadPrinter);
  return {std::make_move_iterator(printers.begin()), std::make_move_iterator(printers.end())};
}

OrderedMap<std::vector<SimQueue>> ReadPrintServers(const Json& value, const std::string& where) {
  return ReadMap<std::vector<SimQueue>>(value, where, [](const Json& q, const std::string& w) {
    return ReadArray<SimQueue>(q, w, ReadQueue);
  });
}

// winIni's and the registry's sections (or keys) of named strings.
OrderedMap<OrderedMap<std::string>> ReadSections(const Json& value, const std::string& where) {
  return ReadMap<OrderedMap<std::string>>(value, where, ReadStringMap);
}

OrderedMap<std::vector<SimDirectoryQueue>> ReadDirectory(const Json& value,
                                                         const std::string& where) {
  return ReadMap<std::vector<SimDirectoryQueue>>(
      value, where, [](const Json& q, const std::string& w) {
        return ReadArray<SimDirectoryQueue>(q, w, ReadDirectoryQueue);
      });
}

Json NullOr(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

Json NullOr(const std::optional<std::vector<std::string>>& strings) {
  return strings ? Json(*strings) : Json(nullptr);
}

// `read` is an expression of the key's value `v` at key path `at`; `json` one
// of the state `s`, whose optional is set.
#define QUILLON_OPTIONAL_KEY(key, read, json)                                                \
  {#key, true, [](const SimClientState& s) { return s.key.has_value(); },                  \
   [](SimClientState& s, const Json& v, const std::string& at) { s.key.emplace(read); }, \
   [](const SimClientState& s) { return Json(json); }}
#define QUILLON_LIST_KEY(key, read)                                                     \
  {#key, false, [](const SimClientState& s) { return !s.key.empty(); },               \
   [](SimClientState& s, const Json& v, const std::string& at) { s.key = read; }, \
   [](const SimClientState& s) { return ToJson(s.key); }}

const ClientKey kClientKeys[] = {
    QUILLON_OPTIONAL_KEY(computerName, ReadNullableString(v, at), NullOr(*s.computerName)),
    QUILLON_OPTIONAL_KEY(dnsFullName, ReadNullableString(v, at), NullOr(*s.dnsFullName)),
    QUILLON_OPTIONAL_KEY(userName, ReadString(v, at), *s.userName),
    QUILLON_OPTIONAL_KEY(os, ReadOs(v, at), ToJson(*s.os)),
    QUILLON_OPTIONAL_KEY(elevated, ReadBool(v, at), *s.elevated),
    QUILLON_OPTIONAL_KEY(profileFolder, ReadString(v, at), *s.profileFolder),
    QUILLON_OPTIONAL_KEY(systemFolder, ReadString(v, at), *s.systemFolder),
    QUILLON_LIST_KEY(printers, ReadPrinters(v, at)),
    QUILLON_OPTIONAL_KEY(defaultPrinter, ReadString(v, at), *s.defaultPrinter),
    QUILLON_OPTIONAL_KEY(legacyDefaultPrinterMode, ReadBool(v, at),
                         *s.legacyDefaultPrinterMode),
    QUILLON_LIST_KEY(printServers, ReadPrintServers(v, at)),
    QUILLON_LIST_KEY(drivers, ReadArray<SimDriver>(v, at, ReadDriver)),
    QUILLON_LIST_KEY(ports, ReadStrings(v, at)),
    QUILLON_LIST_KEY(winIni, ReadSections(v, at)),
    QUILLON_LIST_KEY(registry, ReadSections(v, at)),
    QUILLON_OPTIONAL_KEY(directory, ReadDirectory(v, at), ToJson(*s.directory)),
    QUILLON_LIST_KEY(failures, ReadArray<SimFailure>(v, at, ReadFailure)),
    QUILLON_LIST_KEY(messageBoxes, ReadArray<SimMessageBox>(v, at, ReadMessageBox)),
    QUILLON_LIST_KEY(eventLog, ReadArray<SimEvent>(v, at, ReadEvent)),
    QUILLON_LIST_KEY(spoolerCalls, ReadArray<SimSpoolerCall>(v, at, ReadSpoolerCall)),
    QUILLON_OPTIONAL_KEY(pointAndPrint, ReadPointAndPrint(v, at), ToJson(*s.pointAndPrint)),
    QUILLON_OPTIONAL_KEY(profiles, ReadArray<SimProfile>(v, at, ReadProfile),
                         ToJson(*s.profiles)),
    QUILLON_OPTIONAL_KEY(serverConditions,
                         ReadMap<SimServerCondition>(v, at, ReadServerCondition),
                         ToJson(*s.serverConditions)),
    QUILLON_OPTIONAL_KEY(userGroups, ReadNullableStrings(v, at), NullOr(*s.userGroups)),
    QUILLON_OPTIONAL_KEY(computerGroups, ReadNullableStrings(v, at), NullOr(*s.computerGroups)),
    QUILLON_OPTIONAL_KEY(site, ReadNullableString(v, at), NullOr(*s.site)),
    QUILLON_OPTIONAL_KEY(addresses, ReadNullableStrings(v, at), NullOr(*s.addresses)),
};

#undef QUILLON_OPTIONAL_KEY
#undef QUILLON_LIST_KEY

}  // namespace

std::span<const ClientKey> ClientKeys() { return kClientKeys; }

const ClientKey* FindClientKey(std::string_view name) {
  for (const auto& key : kClientKeys) {
    if (name == key.name) return &key;
  }
  return nullptr;
}

}  // namespace quillon::platform::sim::client_file
