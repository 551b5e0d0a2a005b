// The driver inventory over CUPS: the destinations libcups lists, each with its
// make and model as the driver name and its PPD file as the driver file.
#pragma once

#include <string>
#include <unordered_map>

#include "platform/driver_info.h"

struct _http_s;  // libcups' connection (http_t)

namespace quillon::platform::cups {

// A queue's PPD is fetched from the server once per open handle into a folder
// of this object's own, as "<queue>.ppd", so that it can be copied even when
// the server's own copy is readable only by root. The folder goes with the
// object. A queue without a PPD (raw, driverless) reports an empty driver path.
class CupsDriverInfoSource : public DriverInfoSource {
 public:
  // `server` as CUPS_SERVER takes it ("host:port", a socket path); empty:
  // libcups' own choice (CUPS_SERVER, client.conf, the local server).
  explicit CupsDriverInfoSource(std::string server = "");
  ~CupsDriverInfoSource() override;
  CupsDriverInfoSource(const CupsDriverInfoSource&) = delete;
  CupsDriverInfoSource& operator=(const CupsDriverInfoSource&) = delete;

  PrinterNames EnumPrinterNames() override;
  HandleResult OpenPrinter(const std::string& name) override;
  SizedResult<DriverInfo2> GetPrinterDriver(PrinterHandle printer,
                                            std::size_t bufferSize) override;
  void ClosePrinter(PrinterHandle printer) override;

 private:
  struct Opened {
    std::string name, makeAndModel;
    bool fetched = false;  // the PPD has been asked for
    std::uint32_t error = 0;
    DriverInfo2 info;
  };

  void UseServer();
  void Fetch(Opened& opened);
  // Created on first use; empty when it cannot be.
  const std::string& PpdFolder();

  std::string server_;
  _http_s* http_ = nullptr;  // for the PPD files, opened on first use
  std::string ppdFolder_;
  std::unordered_map<PrinterHandle, Opened> handles_;
  PrinterHandle lastHandle_ = 0;
};

}  // namespace quillon::platform::cups
