// CupsDriverInfoSource: destinations through cupsGetDests2 (CUPS's order, so
// by name), make and model from the destination's options, the PPD through the
// scheduler's "/printers/<queue>.ppd" resource. Errors keep the Windows codes
// where one fits (1801 unknown printer, 122 short buffer), else the IPP status.
#include "platform/cups/cups_driver_info.h"

#include <cups/cups.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/file_system.h"
#include "platform/host/file_ops.h"

namespace quillon::platform::cups {

namespace fs = std::filesystem;

namespace {

// Queue names may hold any printable character but blank, "/" and "#".
std::string EscapedResourceName(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (unsigned char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~';
    if (plain) {
      escaped += static_cast<char>(c);
    } else {
      escaped += '%';
      escaped += kHex[c >> 4];
      escaped += kHex[c & 15];
    }
  }
  return escaped;
}

}  // namespace

CupsDriverInfoSource::CupsDriverInfoSource(std::string server) : server_(std::move(server)) {
  // Without a server of its own, libcups' choice, whatever was set before on this thread.
  if (server_.empty()) cupsSetServer(nullptr);
}

CupsDriverInfoSource::~CupsDriverInfoSource() {
  if (http_) httpClose(http_);
  if (ppdFolder_.empty()) return;
  std::error_code ignored;
  fs::remove_all(fs::path(ppdFolder_), ignored);
}

// libcups keeps its server per thread; set it before every call so that two
// sources on one thread cannot ask each other's server.
void CupsDriverInfoSource::UseServer() {
  if (!server_.empty()) cupsSetServer(server_.c_str());
}

PrinterNames CupsDriverInfoSource::EnumPrinterNames() {
  UseServer();
  PrinterNames result;
  cups_dest_t* dests = nullptr;
  const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
  const ipp_status_t status = cupsLastError();
  // A server without queues answers "not found".
  if (count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE &&
      status != IPP_STATUS_ERROR_NOT_FOUND) {
    result.status = Status::Error(static_cast<std::uint32_t>(status),
                                  std::string("Listing the CUPS printers of ") + cupsServer() +
                                      ": " + cupsLastErrorString());
  }
  for (int i = 0; i < count; ++i) {
    // Instances are saved option sets of a queue, not printers of their own.
    if (!dests[i].instance) result.names.emplace_back(dests[i].name);
  }
  cupsFreeDests(count, dests);
  return result;
}

HandleResult CupsDriverInfoSource::OpenPrinter(const std::string& name) {
  UseServer();
  HandleResult result;
  cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
  if (!dest) {
    result.error = kErrorInvalidPrinterName;
    return result;
  }
  Opened opened;
  opened.name = name;
  if (const char* model =
          cupsGetOption("printer-make-and-model", dest->num_options, dest->options)) {
    opened.makeAndModel = model;
  }
  cupsFreeDests(1, dest);
  result.handle = ++lastHandle_;
  handles_.emplace(result.handle, std::move(opened));
  return result;
}

const std::string& CupsDriverInfoSource::PpdFolder() {
  if (!ppdFolder_.empty()) return ppdFolder_;
  std::error_code error;
  const fs::path temp = fs::temp_directory_path(error);
  if (error) return ppdFolder_;
  const std::string stem = "quillon-inventory-" + std::to_string(file_ops::ProcessId()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = temp / (stem + std::to_string(attempt));
    if (fs::create_directory(folder, error)) {
      ppdFolder_ = folder.string();
      break;
    }
  }
  return ppdFolder_;
}

void CupsDriverInfoSource::Fetch(Opened& opened) {
  opened.fetched = true;
  opened.info.name = opened.makeAndModel;
  const std::string& folder = PpdFolder();
  if (folder.empty()) {
    opened.error = static_cast<std::uint32_t>(IPP_STATUS_ERROR_INTERNAL);
    return;
  }
  // File requests need a connection of their own; the default one is only for IPP.
  if (!http_) {
    http_ = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 30000,
                         nullptr);
  }
  if (!http_) {
    opened.error = static_cast<std::uint32_t>(IPP_STATUS_ERROR_SERVICE_UNAVAILABLE);
    return;
  }
  const std::string target = JoinPath(folder, opened.name + ".ppd");
  const std::string resource = "/printers/" + EscapedResourceName(opened.name) + ".ppd";
  // cupsGetFile only opens an existing file, it does not create one.
  std::ofstream(target, std::ios::binary | std::ios::trunc).close();
  const http_status_t status = cupsGetFile(http_, resource.c_str(), target.c_str());
  if (status == HTTP_STATUS_OK) {
    opened.info.driverPath = target;
  } else if (status != HTTP_STATUS_NOT_FOUND) {
    opened.error = static_cast<std::uint32_t>(status);
  }
  if (status != HTTP_STATUS_OK) {
    std::error_code ignored;
    fs::remove(fs::path(target), ignored);
  }
}

SizedResult<DriverInfo2> CupsDriverInfoSource::GetPrinterDriver(PrinterHandle printer,
                                                                std::size_t bufferSize) {
  SizedResult<DriverInfo2> result;
  auto found = handles_.find(printer);
  if (found == handles_.end()) {
    result.error = kErrorInvalidHandle;
    return result;
  }
  Opened& opened = found->second;
  if (!opened.fetched) {
    UseServer();
    Fetch(opened);
  }
  if (opened.error != 0) {
    result.error = opened.error;
    return result;
  }
  result.needed = DriverInfo2Size(opened.info);
  if (bufferSize < result.needed) {
    result.error = kErrorInsufficientBuffer;
    return result;
  }
  result.ok = true;
  result.value = opened.info;
  return result;
}

void CupsDriverInfoSource::ClosePrinter(PrinterHandle printer) { handles_.erase(printer); }

}  // namespace quillon::platform::cups
