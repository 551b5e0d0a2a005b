// The simulated spooler's tests' shared client and fixture: a client with a
// stale connection, a working default, a cached connection to an unlisted
// server and a local printer, and a spooler over it.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"
#include "platform/sim/sim_test_support.h"

namespace quillon::platform::sim {

namespace fs = std::filesystem;

// The stale connection's server lists the queue no more.
inline constexpr const char* kClient = R"({
  "printers": [
    { "name": "\\\\OLDSRV\\HP4", "serverName": "\\\\OLDSRV", "shareName": "HP4",
      "portName": "IP_10.0.0.4", "driverName": "HP LaserJet 4", "comment": "2nd floor",
      "location": "B2", "attributes": 16 },
    { "name": "\\\\OLDSRV\\Laser", "serverName": "\\\\OLDSRV", "shareName": "Laser",
      "portName": "IP_10.0.0.5", "driverName": "Generic", "comment": "", "location": "",
      "attributes": 16 },
    { "name": "\\\\GONE\\Plotter", "serverName": "\\\\GONE", "shareName": "Plotter",
      "portName": "P:", "driverName": "Plot", "comment": "", "location": "", "attributes": 16 },
    { "name": "Local", "serverName": "", "shareName": "", "portName": "LPT1:",
      "driverName": "Generic", "comment": "", "location": "", "attributes": 64 }
  ],
  "defaultPrinter": "\\\\OLDSRV\\Laser",
  "printServers": {
    "NEWSRV": [
      { "shareName": "HP4", "driverName": "HP LaserJet 4", "portName": "NE01:",
        "comment": "new", "location": "B3" },
      { "shareName": "Color", "driverName": "Color Drv", "portName": "NE02:",
        "comment": "", "location": "" }
    ],
    "OldSrv": [
      { "shareName": "laser", "driverName": "Generic", "portName": "NE03:",
        "comment": "", "location": "" }
    ]
  },
  "drivers": [ "Generic",
               { "name": "HP LaserJet 4", "driverPath": "C:\\d\\hp4.dll", "dataFile": "hp4.dll",
                 "configFile": "hp4.dll", "environment": "Windows 4.0", "version": 1024 } ],
  "ports": [ "LPT1:", "IP_10.0.0.4" ]
})";

inline const std::string kStale = R"(\\OLDSRV\HP4)";
inline const std::string kLaser = R"(\\OLDSRV\Laser)";
inline const std::string kCached = R"(\\GONE\Plotter)";

inline PrinterInfo2 LocalPrinterInfo(std::string name, std::string port, std::string driver) {
  PrinterInfo2 info;
  info.printerName = std::move(name);
  info.portName = std::move(port);
  info.driverName = std::move(driver);
  info.comment = "Adding using Quillon";
  info.printProcessor = "WinPrint";
  info.datatype = "RAW";
  info.attributes = kPrinterAttributeLocal;
  return info;
}

inline std::vector<std::string> Names(const SimClientState& state) {
  std::vector<std::string> names;
  for (const auto& printer : state.printers) names.push_back(printer.name);
  return names;
}

// The state without the call record, for "nothing changed" comparisons.
inline std::string WorldOf(SimClientState state) {
  state.spoolerCalls.clear();
  return SerializeClient(state);
}

class SimSpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadResult loaded = ParseClient(kClient, "client.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    state_ = std::move(loaded.state);
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-simspooler-" + std::to_string(seed()));
    fs::create_directories(folder_);
    host_.clientPath = (folder_ / "client.json").string();
    host_.echoMessageBoxes = false;
    client_.emplace(state_, host_, files_, clock_);
  }
  void TearDown() override {
    client_.reset();
    fs::remove_all(folder_);
  }

  Spooler& spooler() { return *client_; }

  PrinterHandle Open(const std::string& name) {
    HandleResult opened = spooler().OpenPrinter(name, PrinterAccess::Default);
    EXPECT_NE(opened.handle, 0u) << name << " error " << opened.error;
    return opened.handle;
  }

  PrinterInfo2 Info(PrinterHandle handle) {
    SizedResult<PrinterInfo2> got = spooler().GetPrinter(handle, 4096);
    EXPECT_TRUE(got.ok) << "error " << got.error;
    return got.value;
  }

  fs::path folder_;
  SimClientState state_;
  SimHost host_;
  HostFileSystem files_;
  NoClock clock_;
  std::optional<SimPlatform> client_;
};

}  // namespace quillon::platform::sim
