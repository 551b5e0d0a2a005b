// What the tests of `quillon plan` share: the client they plan on (moves
// from OLDSRV to NEWSRV beside others) and running the command.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/engine_test_support.h"
#include "platform/sim/sim_platform.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools::plan_tests {

namespace sim = platform::sim;
using engine::testing::CompleteDocument;
using engine::testing::RecordingClock;
using Json = nlohmann::json;

inline sim::SimQueue Queue(const std::string& share) {
  sim::SimQueue queue;
  queue.shareName = share;
  queue.driverName = "HP LaserJet 4 PCL6";
  queue.portName = "IP_" + share;
  return queue;
}

inline sim::SimPrinter Connection(const std::string& server, const std::string& share) {
  sim::SimPrinter printer;
  printer.serverName = "\\\\" + server;
  printer.name = printer.serverName + "\\" + share;
  printer.shareName = share;
  printer.driverName = "HP LaserJet 4 PCL6";
  printer.portName = "IP_" + share;
  printer.attributes = 16;
  return printer;
}

// Connections to OLDSRV's A and B (the default) and to OTHER's D, and a local
// printer. NEWSRV has A and B; with `withC`, OLDSRV's C too, which NEWSRV lacks.
inline sim::SimClientState Client(bool withC) {
  sim::SimClientState client;
  client.computerName = std::optional<std::string>("PC7");
  client.userName = "carol";
  client.os = sim::SimOs{};
  client.printServers = {{"OLDSRV", {Queue("A"), Queue("B"), Queue("C")}},
                         {"NEWSRV", {Queue("A"), Queue("B")}},
                         {"OTHER", {Queue("D")}}};
  client.printers = {Connection("OLDSRV", "A"), Connection("OLDSRV", "B")};
  if (withC) client.printers.push_back(Connection("OLDSRV", "C"));
  client.printers.push_back(Connection("OTHER", "D"));
  sim::SimPrinter local;
  local.name = "Label Writer";
  local.portName = "USB001";
  local.driverName = "Generic / Text Only";
  local.attributes = 64;
  client.printers.push_back(local);
  client.defaultPrinter = "\\\\OLDSRV\\B";
  sim::SimDriver driver;
  driver.name = "HP LaserJet 4 PCL6";
  driver.environment = "Windows x64";
  client.drivers = {driver};
  client.ports = {"LPT1:", "USB001"};
  client.directory.emplace();  // no directory reaches out to a real one
  return client;
}

struct Output {
  int code;
  std::string out, err;
};

inline Output Plan(platform::FileSystem& files, RecordingClock& clock,
                   const std::vector<std::string>& args) {
  std::ostringstream out, err;
  CommandHost host{clock, "admin", "ADMINPC", std::nullopt, "", nullptr, {}};
  std::vector<std::string> all{"plan"};
  all.insert(all.end(), args.begin(), args.end());
  const int code = RunQuillon(all, files, host, out, err);
  return {code, out.str(), err.str()};
}

inline std::vector<std::string> Strings(const Json& list) {
  std::vector<std::string> result;
  for (const Json& item : list) result.push_back(item.get<std::string>());
  return result;
}

}  // namespace quillon::tools::plan_tests
