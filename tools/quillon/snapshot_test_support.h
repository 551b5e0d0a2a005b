// What the tests of `quillon snapshot` share: a client reader whose answers
// the test sets, printers and queues to fill it, running the command, and a
// temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "document/document_file.h"
#include "engine/core/engine_test_support.h"
#include "platform/client_reader.h"
#include "platform/host/host_file_system.h"
#include "tools/quillon/snapshot.h"

namespace quillon::tools::snapshot_tests {

namespace fs = std::filesystem;
using engine::testing::CompleteDocument;
using engine::testing::EngineWorld;
using platform::PrinterInfo2;

// Answers from fields the test sets; a server it does not list is out of reach.
class ScriptedClient : public platform::ClientReader {
 public:
  platform::ClientFacts ReadFacts() override { return facts; }
  platform::PrinterListing ListPrinters() override { return printers; }
  platform::DefaultPrinterName GetDefaultPrinter() override { return defaultPrinter; }
  platform::DriverListing ListDrivers() override { return drivers; }
  platform::PortListing ListPorts() override { return ports; }
  platform::QueueListing ListServerQueues(const std::string& server) override {
    serversAsked.push_back(server);
    std::this_thread::sleep_for(serverDelay);
    if (auto found = servers.find(server); found != servers.end()) return found->second;
    platform::QueueListing unreachable;
    unreachable.status =
        platform::Status::Error(1722, "EnumPrinters: The RPC server is unavailable.");
    return unreachable;
  }

  platform::ClientFacts facts;
  platform::PrinterListing printers;
  platform::DefaultPrinterName defaultPrinter;
  platform::DriverListing drivers;
  platform::PortListing ports;
  std::map<std::string, platform::QueueListing> servers;
  std::vector<std::string> serversAsked;
  std::chrono::milliseconds serverDelay{0};
};

inline PrinterInfo2 Printer(const std::string& server, const std::string& name,
                            const std::string& share, const std::string& port,
                            const std::string& driver, std::uint32_t attributes,
                            const std::string& comment = "", const std::string& location = "") {
  PrinterInfo2 info;
  info.serverName = server;
  info.printerName = name;
  info.shareName = share;
  info.portName = port;
  info.driverName = driver;
  info.comment = comment;
  info.location = location;
  info.attributes = attributes;
  return info;
}

inline PrinterInfo2 Connection(const std::string& server, const std::string& share) {
  return Printer("\\\\" + server, "\\\\" + server + "\\" + share, share, "IP_" + share,
                 "HP Universal", platform::kPrinterAttributeNetwork);
}

inline platform::QueueListing Queues(const std::vector<std::string>& shares) {
  platform::QueueListing listing;
  for (const std::string& share : shares) {
    listing.queues.push_back(Printer("", share, share, "IP_" + share, "HP Universal",
                                     platform::kPrinterAttributeShared));
  }
  return listing;
}

struct Output {
  int code;
  std::string out;
  std::string err;
};

inline Output Snap(platform::ClientReader& reader, const std::vector<std::string>& args,
                  std::chrono::milliseconds progressAfter = std::chrono::seconds(1),
                  platform::SystemInfo* facts = nullptr) {
  platform::HostFileSystem files;
  std::ostringstream out, err;
  const int code = Snapshot(args, files, reader, out, err, progressAfter, facts);
  return {code, out.str(), err.str()};
}

inline std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline document::MigrationDocument Read(const std::string& text) {
  document::MigrationDocument document;
  EXPECT_FALSE(document::ReadDocumentText(&text, document)) << text;
  return document;
}

class TempFolder {
 public:
  TempFolder() {
    path_ = fs::path(::testing::TempDir()) /
            ("quillon-snapshot-" + std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

}  // namespace quillon::tools::snapshot_tests
