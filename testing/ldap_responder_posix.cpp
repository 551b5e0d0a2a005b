// Just enough of LDAP's BER encoding to read bind, search and unbind requests
// and to answer them; anything it does not know ends the connection.
#include "testing/ldap_responder.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillon::platform::ldap_test {
namespace {

constexpr std::string_view kPagedResultsOid = "1.2.840.113556.1.4.319";

std::string Length(std::size_t size) {
  if (size < 0x80) return std::string(1, static_cast<char>(size));
  std::string bytes;
  for (std::size_t rest = size; rest; rest >>= 8) bytes.insert(bytes.begin(), static_cast<char>(rest & 0xff));
  return std::string(1, static_cast<char>(0x80 | bytes.size())) + bytes;
}

std::string Element(unsigned char tag, std::string_view content) {
  return std::string(1, static_cast<char>(tag)) + Length(content.size()) + std::string(content);
}

std::string Integer(unsigned char tag, std::int64_t value) {
  std::string bytes;
  do {
    bytes.insert(bytes.begin(), static_cast<char>(value & 0xff));
    value >>= 8;
  } while (value != 0 && value != -1);
  if ((value == 0) != ((static_cast<unsigned char>(bytes.front()) & 0x80) == 0)) {
    bytes.insert(bytes.begin(), static_cast<char>(value == 0 ? 0 : 0xff));
  }
  return Element(tag, bytes);
}

std::string Octets(std::string_view text) { return Element(0x04, text); }

std::string Message(int id, const std::string& operation, const std::string& controls = {}) {
  return Element(0x30, Integer(0x02, id) + operation + controls);
}

std::string Result(unsigned char tag, int code, std::string_view diagnostic = {}) {
  return Element(tag, Integer(0x0a, code) + Octets("") + Octets(diagnostic));
}

std::string Entry(int id, std::string_view dn,
                  const std::vector<std::pair<std::string, std::string>>& attributes) {
  std::string list;
  for (const auto& [type, value] : attributes) {
    list += Element(0x30, Octets(type) + Element(0x31, Octets(value)));
  }
  return Message(id, Element(0x64, Octets(dn) + Element(0x30, list)));
}

// One element read from a buffer: its tag and its content.
struct Reader {
  std::string_view data;
  bool Next(unsigned char& tag, std::string_view& content) {
    if (data.size() < 2) return false;
    tag = static_cast<unsigned char>(data[0]);
    std::size_t size = static_cast<unsigned char>(data[1]);
    std::size_t header = 2;
    if (size & 0x80) {
      const std::size_t count = size & 0x7f;
      if (count == 0 || count > 4 || data.size() < 2 + count) return false;
      size = 0;
      for (std::size_t i = 0; i < count; ++i) size = size << 8 | static_cast<unsigned char>(data[2 + i]);
      header += count;
    }
    if (data.size() - header < size) return false;
    content = data.substr(header, size);
    data.remove_prefix(header + size);
    return true;
  }
};

std::int64_t ReadInteger(std::string_view content) {
  std::int64_t value = content.empty() || !(content[0] & 0x80) ? 0 : -1;
  for (char c : content) value = value << 8 | static_cast<unsigned char>(c);
  return value;
}

// The page size and cookie of a request's paged results control, if it has one.
std::optional<std::pair<int, std::string>> PagedControl(std::string_view controls) {
  Reader list{controls};
  unsigned char tag;
  std::string_view control;
  while (list.Next(tag, control)) {
    Reader fields{control};
    std::string_view oid, field;
    if (!fields.Next(tag, oid) || oid != kPagedResultsOid) continue;
    while (fields.Next(tag, field)) {
      if (tag != 0x04) continue;
      Reader value{field};
      std::string_view sequence, size, cookie;
      if (!value.Next(tag, sequence)) return std::nullopt;
      Reader inner{sequence};
      if (!inner.Next(tag, size) || !inner.Next(tag, cookie)) return std::nullopt;
      return std::make_pair(static_cast<int>(ReadInteger(size)), std::string(cookie));
    }
  }
  return std::nullopt;
}

bool SendAll(int connection, const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(connection, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

LdapResponder::LdapResponder(ResponderOptions options) : options_(std::move(options)) {
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener < 0) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 4) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    ::close(listener);
    return;
  }
  socket_ = listener;
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LdapResponder::~LdapResponder() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  if (socket_ >= 0) ::close(socket_);
}

void LdapResponder::Serve() {
  while (!stopping_) {
    pollfd waiting{socket_, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    const int connection = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Converse(connection);
    ::close(connection);
  }
}

void LdapResponder::Converse(int connection) {
  std::string pending;
  std::size_t position = 0;  // the next queue of the current paged search
  int page = 0;
  std::vector<int> emptyPages = options_.emptyPagesBefore;
  const int total = static_cast<int>(options_.queueNames.size());
  char buffer[4096];
  while (!stopping_) {
    pollfd waiting{connection, POLLIN, 0};
    if (::poll(&waiting, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    pending.append(buffer, static_cast<std::size_t>(n));

    Reader stream{pending};
    unsigned char tag;
    std::string_view message;
    std::size_t used = 0;
    while (stream.Next(tag, message)) {
      used = pending.size() - stream.data.size();
      Reader fields{message};
      std::string_view idBytes, operation, controls;
      unsigned char operationTag, controlsTag = 0;
      if (tag != 0x30 || !fields.Next(tag, idBytes) || !fields.Next(operationTag, operation)) return;
      fields.Next(controlsTag, controls);
      const int id = static_cast<int>(ReadInteger(idBytes));
      std::string reply;
      if (operationTag == 0x42) return;  // unbind
      if (operationTag == 0x60) {
        Reader bind{operation};
        std::string_view version, name, credentials;
        unsigned char method = 0;
        bind.Next(tag, version);
        bind.Next(tag, name);
        bind.Next(method, credentials);
        reply = method == 0x80 ? Message(id, Result(0x61, 0))
                               : Message(id, Result(0x61, 7, "SASL mechanism not supported"));
      } else if (operationTag == 0x63) {
        Reader search{operation};
        std::string_view base, scope;
        search.Next(tag, base);
        search.Next(tag, scope);
        if (ReadInteger(scope) == 0) {
          if (base.empty()) {
            reply = Entry(id, "", {{"defaultNamingContext", options_.base}});
          } else {
            reply = Entry(id, base, {});
          }
          reply += Message(id, Result(0x65, 0));
        } else {
          const auto paged = controlsTag == 0xa0 ? PagedControl(controls) : std::nullopt;
          const int size = paged && paged->first > 0 ? paged->first : total;
          if (!paged || paged->second.empty()) {
            position = 0;
            page = 0;
          }
          const auto empty = std::find(emptyPages.begin(), emptyPages.end(), page);
          int sent = 0;
          if (empty != emptyPages.end()) {
            emptyPages.erase(empty);
          } else {
            for (; sent < size && position < static_cast<std::size_t>(total); ++sent, ++position) {
              const std::string& queue = options_.queueNames[position];
              reply += Entry(id, "cn=" + queue + ",ou=Printers," + options_.base,
                             {{"name", queue}, {"printShareName", "S" + std::to_string(position)}});
            }
          }
          ++page;
          ++pagesServed_;
          bool last = position >= static_cast<std::size_t>(total);
          if (last && options_.endless) {
            position = 0;
            last = false;
          }
          const std::string cookie = last ? std::string() : options_.cookie;
          const std::string value = Element(0x30, Integer(0x02, 0) + Octets(cookie));
          const std::string control =
              Element(0x30, Octets(kPagedResultsOid) + Octets(value));
          reply += Message(id, Result(0x65, 0), paged ? Element(0xa0, control) : std::string());
        }
      } else {
        return;
      }
      if (!SendAll(connection, reply)) return;
    }
    pending.erase(0, used);
  }
}

}  // namespace quillon::platform::ldap_test
