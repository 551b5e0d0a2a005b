// Inside the simulated client's file: how its values and records are read and
// checked (sim_client_read.cpp), how records are written (sim_client_write.cpp),
// and the table of top-level keys (sim_client_keys.cpp) that loading, saving
// and the known-keys check all walk. Only the simulated client's own sources
// and tests include this; everyone else uses sim_client.h.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/sim/sim_client.h"

namespace quillon::platform::sim::client_file {

// ---------------------------------------------------------------- reading

// Thrown while a file is read and turned into LoadResult::error by ParseClient.
struct SchemaError {
  std::string where;  // key path, e.g. printers[2].attributes
  std::string what;   // e.g. must be a number
};

[[noreturn]] void Fail(const std::string& where, std::string what);

// Key paths: a member's and an array element's.
std::string Member(const std::string& parent, const std::string& key);
std::string Element(const std::string& parent, std::size_t index);

const Json& ExpectObject(const Json& value, const std::string& where);
const Json& ExpectArray(const Json& value, const std::string& where);

std::string ReadString(const Json& value, const std::string& where);
bool ReadBool(const Json& value, const std::string& where);
std::vector<std::string> ReadStrings(const Json& value, const std::string& where);
OrderedMap<std::string> ReadStringMap(const Json& value, const std::string& where);
// Null is a value of its own: the fact cannot be had.
std::optional<std::string> ReadNullableString(const Json& value, const std::string& where);
std::optional<std::vector<std::string>> ReadNullableStrings(const Json& value,
                                                            const std::string& where);

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

SimOs ReadOs(const Json& value, const std::string& where);
SimPrinter ReadPrinter(const Json& value, const std::string& where);
SimQueue ReadQueue(const Json& value, const std::string& where);
SimDriver ReadDriver(const Json& value, const std::string& where);
SimPointAndPrint ReadPointAndPrint(const Json& value, const std::string& where);
SimProfile ReadProfile(const Json& value, const std::string& where);
SimDirectoryQueue ReadDirectoryQueue(const Json& value, const std::string& where);
SimFailure ReadFailure(const Json& value, const std::string& where);
SimMessageBox ReadMessageBox(const Json& value, const std::string& where);
SimEvent ReadEvent(const Json& value, const std::string& where);
SimSpoolerCall ReadSpoolerCall(const Json& value, const std::string& where);
SimServerCondition ReadServerCondition(const Json& value, const std::string& where);

// ---------------------------------------------------------------- writing

// Each record's known members in a fixed order, then its `extra` ones.
Json ToJson(const SimOs& os);
Json ToJson(const SimPrinter& p);
Json ToJson(const SimQueue& q);
Json ToJson(const SimDriver& d);
Json ToJson(const SimPointAndPrint& policy);
Json ToJson(const SimProfile& profile);
Json ToJson(const SimDirectoryQueue& q);
Json ToJson(const SimFailure& f);
Json ToJson(const SimMessageBox& m);
Json ToJson(const SimEvent& e);
Json ToJson(const SimSpoolerCall& c);
Json ToJson(const SimServerCondition& c);
inline Json ToJson(const std::string& text) { return text; }

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

// ---------------------------------------------------------------- the keys

// One of our top-level keys. The table lists them in the documented order,
// the order in which keys that the file lacked are added on saving. A list is
// written whenever the file had it, even empty; an optional only when set.
struct ClientKey {
  const char* name;
  bool optional;
  bool (*holds)(const SimClientState&);  // a set optional, a non-empty list
  void (*read)(SimClientState&, const Json& value, const std::string& where);
  Json (*write)(const SimClientState&);
};

std::span<const ClientKey> ClientKeys();
const ClientKey* FindClientKey(std::string_view name);  // null: not one of ours

}  // namespace quillon::platform::sim::client_file
