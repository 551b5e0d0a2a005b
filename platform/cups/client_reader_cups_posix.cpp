// CupsClientReader: one CUPS-Get-Printers request per listing on a connection
// of the reader's own, so that neither lpoptions nor network discovery adds
// destinations that are no queues of the server.
#include "platform/cups/client_reader_cups.h"

#include <cups/cups.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/host/process.h"

namespace quillon::platform::cups {
namespace {

constexpr int kIppPort = 631;
constexpr int kTimeoutMilliseconds = 10000;

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

struct Queue {
  std::string name, deviceUri, makeAndModel, info, location;
  bool shared = false;
};

struct Queues {
  Status status;
  std::vector<Queue> queues;
};

// "host", "host:port", "[v6]" or "[v6]:port"; a bare IPv6 address has no port.
std::pair<std::string, int> SplitServer(const std::string& server) {
  std::string host = server;
  int port = kIppPort;
  std::size_t colon = std::string::npos;
  if (!server.empty() && server.front() == '[') {
    const std::size_t close = server.find(']');
    if (close != std::string::npos) {
      host = server.substr(1, close - 1);
      if (close + 1 < server.size() && server[close + 1] == ':') colon = close + 1;
    }
  } else if (server.find(':') == server.rfind(':')) {
    colon = server.find(':');
    if (colon != std::string::npos) host = server.substr(0, colon);
  }
  if (colon != std::string::npos) {
    const std::string digits = server.substr(colon + 1);
    int value = 0;
    bool valid = !digits.empty() && digits.size() <= 5;
    for (char c : digits) {
      valid = valid && c >= '0' && c <= '9';
      if (valid) value = value * 10 + (c - '0');
    }
    // A port that cannot be one keeps the whole text as the host, which then fails to resolve.
    if (valid && value >= 1 && value <= 65535) {
      port = value;
    } else {
      host = server;
    }
  }
  return {host, port};
}

Status ConnectFailure(const std::string& where) {
  const int error = errno;
  std::string why = cupsLastErrorString() ? cupsLastErrorString() : "";
  if (why.empty() || cupsLastError() == IPP_STATUS_OK) why = std::strerror(error);
  return Status::Error(static_cast<std::uint32_t>(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE),
                       "Connecting to the CUPS server " + where + ": " + why);
}

std::string Attribute(ipp_attribute_t* attribute) {
  const char* text = ippGetString(attribute, 0, nullptr);
  return text ? text : "";
}

// Every queue of the server at `host`/`port` (a socket path with any port).
Queues GetPrinters(const std::string& host, int port, const std::string& where) {
  Queues result;
  http_t* http = httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kTimeoutMilliseconds, nullptr);
  if (!http) {
    result.status = ConnectFailure(where);
    return result;
  }
  httpSetTimeout(http, kTimeoutMilliseconds / 1000.0, nullptr, nullptr);
  static const char* const kWanted[] = {"printer-name",     "device-uri",
                                        "printer-make-and-model", "printer-info",
                                        "printer-location", "printer-is-shared"};
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  ipp_t* response = cupsDoRequest(http, request, "/");
  const ipp_status_t status = cupsLastError();
  // A server without queues answers "not found".
  if (status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND) {
    result.status = Status::Error(static_cast<std::uint32_t>(status),
                                  "Listing the queues of the CUPS server " + where + ": " +
                                      cupsLastErrorString());
  } else if (response) {
    Queue queue;
    bool inPrinter = false;
    auto finish = [&] {
      if (inPrinter && !queue.name.empty()) result.queues.push_back(queue);
      queue = Queue{};
      inPrinter = false;
    };
    for (ipp_attribute_t* attribute = ippFirstAttribute(response); attribute;
         attribute = ippNextAttribute(response)) {
      // Printers are separated by an attribute without a group.
      if (ippGetGroupTag(attribute) != IPP_TAG_PRINTER || !ippGetName(attribute)) {
        finish();
        continue;
      }
      inPrinter = true;
      const std::string name = ippGetName(attribute);
      if (name == "printer-name") queue.name = Attribute(attribute);
      else if (name == "device-uri") queue.deviceUri = Attribute(attribute);
      else if (name == "printer-make-and-model") queue.makeAndModel = Attribute(attribute);
      else if (name == "printer-info") queue.info = Attribute(attribute);
      else if (name == "printer-location") queue.location = Attribute(attribute);
      else if (name == "printer-is-shared") queue.shared = ippGetBoolean(attribute, 0) != 0;
    }
    finish();
  }
  ippDelete(response);
  httpClose(http);
  return result;
}

PrinterInfo2 AsPrinter(const Queue& queue) {
  PrinterInfo2 info;
  info.portName = queue.deviceUri;
  info.driverName = queue.makeAndModel;
  info.comment = queue.info;
  info.location = queue.location;
  if (const auto connection = ConnectionOfDeviceUri(queue.deviceUri)) {
    info.serverName = "\\\\" + connection->server;
    info.printerName = info.serverName + "\\" + connection->queue;
    info.shareName = connection->queue;
    info.attributes = kPrinterAttributeNetwork;
  } else {
    info.printerName = queue.name;
    info.attributes = kPrinterAttributeLocal;
    if (queue.shared) {
      info.shareName = queue.name;
      info.attributes |= kPrinterAttributeShared;
    }
  }
  return info;
}

}  // namespace

std::optional<CupsConnection> ConnectionOfDeviceUri(const std::string& deviceUri) {
  char scheme[32] = {}, user[256] = {}, host[256] = {}, resource[1024] = {};
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, deviceUri.c_str(), scheme, sizeof scheme, user,
                      sizeof user, host, sizeof host, &port, resource,
                      sizeof resource) < HTTP_URI_STATUS_OK) {
    return std::nullopt;
  }
  const std::string kind = scheme;
  if (kind != "ipp" && kind != "ipps" && kind != "http" && kind != "https") return std::nullopt;
  if (host[0] == '\0') return std::nullopt;
  std::string path = resource;
  const std::size_t query = path.find('?');
  if (query != std::string::npos) path.erase(query);
  std::string queue;
  for (const char* prefix : {"/printers/", "/classes/"}) {
    if (path.rfind(prefix, 0) == 0) queue = path.substr(std::strlen(prefix));
  }
  if (queue.empty() || queue.find('/') != std::string::npos) return std::nullopt;
  CupsConnection connection;
  connection.server = host;
  if (connection.server.find(':') != std::string::npos) {
    connection.server = "[" + connection.server + "]";
  }
  if (port != kIppPort) connection.server += ":" + std::to_string(port);
  connection.queue = queue;
  return connection;
}

CupsClientReader::CupsClientReader(std::string server) : server_(std::move(server)) {}

ClientFacts CupsClientReader::ReadFacts() {
  ClientFacts facts;
  facts.computerName = HostComputerName();
  facts.userName = HostLoginName();
  return facts;
}

namespace {

// The reader's scheduler: its own server, else libcups' choice.
Queues HostQueues(const std::string& server) {
  cupsSetServer(server.empty() ? nullptr : server.c_str());
  const std::string host = cupsServer();
  const int port = ippPort();
  return GetPrinters(host, port, host.front() == '/' ? host : host + ":" + std::to_string(port));
}

}  // namespace

PrinterListing CupsClientReader::ListPrinters() {
  PrinterListing listing;
  Queues queues = HostQueues(server_);
  listing.status = queues.status;
  for (const Queue& queue : queues.queues) listing.printers.push_back({AsPrinter(queue), {}, {}});
  return listing;
}

DefaultPrinterName CupsClientReader::GetDefaultPrinter() {
  cupsSetServer(server_.empty() ? nullptr : server_.c_str());
  DefaultPrinterName result;
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
  if (!dest) {
    const ipp_status_t status = cupsLastError();
    if (status > IPP_STATUS_OK_EVENTS_COMPLETE && status != IPP_STATUS_ERROR_NOT_FOUND) {
      result.status = Status::Error(static_cast<std::uint32_t>(status),
                                    std::string("The default CUPS destination: ") +
                                        cupsLastErrorString());
    }
    return result;
  }
  Queue queue;
  queue.name = dest->name;
  if (const char* uri = cupsGetOption("device-uri", dest->num_options, dest->options)) {
    queue.deviceUri = uri;
  }
  cupsFreeDests(1, dest);
  result.name = AsPrinter(queue).printerName;
  return result;
}

DriverListing CupsClientReader::ListDrivers() {
  DriverListing listing;
  Queues queues = HostQueues(server_);
  listing.status = queues.status;
  for (const Queue& queue : queues.queues) {
    if (queue.makeAndModel.empty()) continue;
    bool known = false;
    for (const DriverInfo2& driver : listing.drivers) {
      known = known || EqualsIgnoringAsciiCase(driver.name, queue.makeAndModel);
    }
    if (!known) listing.drivers.push_back(DriverInfo2{0, queue.makeAndModel, "", "", "", ""});
  }
  return listing;
}

PortListing CupsClientReader::ListPorts() {
  PortListing listing;
  Queues queues = HostQueues(server_);
  listing.status = queues.status;
  for (const Queue& queue : queues.queues) {
    if (queue.deviceUri.empty()) continue;
    bool known = false;
    for (const std::string& port : listing.ports) {
      known = known || EqualsIgnoringAsciiCase(port, queue.deviceUri);
    }
    if (!known) listing.ports.push_back(queue.deviceUri);
  }
  return listing;
}

QueueListing CupsClientReader::ListServerQueues(const std::string& server) {
  QueueListing listing;
  const auto [host, port] = SplitServer(server);
  Queues queues = GetPrinters(host, port, server);
  listing.status = queues.status;
  for (const Queue& queue : queues.queues) {
    // What a client of that server can print to.
    if (!queue.shared) continue;
    PrinterInfo2 info;
    info.printerName = queue.name;
    info.shareName = queue.name;
    info.portName = queue.deviceUri;
    info.driverName = queue.makeAndModel;
    info.comment = queue.info;
    info.location = queue.location;
    info.attributes = kPrinterAttributeShared;
    listing.queues.push_back(std::move(info));
  }
  return listing;
}

}  // namespace quillon::platform::cups

namespace quillon::platform {

std::unique_ptr<ClientReader> CreateHostClientReader() {
  return std::make_unique<cups::CupsClientReader>();
}

}  // namespace quillon::platform
