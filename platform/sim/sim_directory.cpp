// The directory as the client file's "directory" key describes it: each
// domain's print queues in query order. A domain not listed cannot be bound.
#include "platform/sim/sim_platform.h"

namespace quillon::platform::sim {
namespace {

// 0x8007203A, "the server is not operational": what binding an unknown domain gives.
constexpr std::int64_t kServerNotOperational = -2147016646;
constexpr std::string_view kScheme = "LDAP://";

std::string DomainOf(const std::string& path) {
  std::string_view rest(path);
  if (rest.size() >= kScheme.size() && EqualsIgnoringCase(rest.substr(0, kScheme.size()), kScheme)) {
    rest.remove_prefix(kScheme.size());
  }
  return std::string(rest);
}

}  // namespace

DirectoryBinding SimPlatform::Bind(const std::string& path) {
  if (!state_.directory) {
    if (host_.realDirectory) return host_.realDirectory->Bind(path);
    return {false, {}, kServerNotOperational, "The server is not operational.", {}};
  }
  const std::string domain = DomainOf(path);
  for (const auto& [name, queues] : *state_.directory) {
    if (EqualsIgnoringCase(name, domain)) return {true, path, 0, {}, {}};
  }
  return {false, {}, kServerNotOperational, "The server is not operational.", {}};
}

DirectoryQuery SimPlatform::QueryPrintQueues(const DirectoryBinding& binding,
                                             const std::string& commandText) {
  if (!state_.directory) {
    if (host_.realDirectory) return host_.realDirectory->QueryPrintQueues(binding, commandText);
    return {false, {}, kServerNotOperational, "The server is not operational."};
  }
  const std::string domain = DomainOf(binding.adsPath);
  DirectoryQuery query;
  for (const auto& [name, queues] : *state_.directory) {
    if (!EqualsIgnoringCase(name, domain)) continue;
    query.ok = true;
    for (const SimDirectoryQueue& queue : queues) {
      query.rows.push_back(
          {queue.name, queue.printShareName.empty() ? std::string() : queue.printShareName.front()});
    }
    return query;
  }
  return {false, {}, kServerNotOperational, "The server is not operational."};
}

DirectoryQuery SimPlatform::QueryAccountGroups(const DirectoryBinding& binding,
                                               const std::string& accountName, bool computer) {
  if (!state_.directory && host_.realDirectory) {
    return host_.realDirectory->QueryAccountGroups(binding, accountName, computer);
  }
  return Directory::QueryAccountGroups(binding, accountName, computer);
}

DirectoryQuery SimPlatform::QueryGroups(const DirectoryBinding& binding) {
  if (!state_.directory && host_.realDirectory) return host_.realDirectory->QueryGroups(binding);
  return Directory::QueryGroups(binding);
}

}  // namespace quillon::platform::sim
