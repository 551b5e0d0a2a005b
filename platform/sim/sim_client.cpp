// The simulated client's file as a whole: where it lives, loading it (a
// missing file is an empty client), and saving it atomically with every key it
// had, known or not, in its own order. The keys themselves are in the key
// table (sim_client_keys.cpp), their records in sim_client_read.cpp and
// sim_client_write.cpp.
#include "platform/sim/sim_client.h"

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_client_format.h"

namespace quillon::platform::sim {
namespace fs = std::filesystem;

namespace {

using client_file::ClientKey;
using client_file::ClientKeys;
using client_file::FindClientKey;

// nlohmann prefixes its messages with "[json.exception.parse_error.101] ".
std::string ParserMessage(const std::exception& e) {
  std::string message = e.what();
  if (!message.empty() && message.front() == '[') {
    auto end = message.find("] ");
    if (end != std::string::npos) message.erase(0, end + 2);
  }
  return message;
}

// The file's own keys in its order, then those of ours it lacked, then
// unknown ones that code rather than the file put into `extra`.
Json ToDocument(const SimClientState& s) {
  Json root = Json::object();
  const bool hasExtra = s.extra.is_object();
  for (const auto& key : s.keysPresent) {
    if (root.contains(key)) continue;
    if (const ClientKey* known = FindClientKey(key)) {
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
  for (const ClientKey& known : ClientKeys()) {
    if (!wasPresent(known.name) && known.holds(s)) root[known.name] = known.write(s);
  }
  if (hasExtra) {
    for (auto it = s.extra.begin(); it != s.extra.end(); ++it) {
      if (!root.contains(it.key()) && !FindClientKey(it.key())) root[it.key()] = it.value();
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
    s.extra = client_file::ReadRecord(root, "", [&](const std::string& key, const Json& v,
                                                    const std::string& at) {
      s.keysPresent.push_back(key);
      const ClientKey* known = FindClientKey(key);
      if (known) known->read(s, v, at);
      return known != nullptr;
    });
    result.ok = true;
  } catch (const client_file::SchemaError& e) {
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
