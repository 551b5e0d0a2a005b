#include "engine/core/engine_test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>

#include "engine/core/names.h"
#include "engine/core/run_sequence.h"
#include "engine/printers/client_printers.h"

namespace quillon::engine::testing {
namespace fs = std::filesystem;

std::string CompleteDocument(const std::vector<std::pair<std::string, std::string>>& replace) {
  static const char* const kLines[] = {
      "[GENERAL]", "UseActiveDirectory=False", "UseManualDefinitions=True", "AlwaysRun=False",
      "ShowProgress=False", "[ACTIVE DIRECTORY]", "DomainName= ",
      "[MANUAL DEFINITIONS SERVERS]", "FromServers=OLDSRV", "ToServers=NEWSRV",
      "[MANUAL DEFINITIONS PRINTERS]", "FromPrinters= ", "ToPrinters= ",
      "[MANUAL DEFINITIONS MIXED]", "FromServers= ", "FromPrinters= ", "ToServers= ",
      "ToPrinters= ", "[NOTIFICATION SMTP]", "UseSMTP=False", "SMTPServerNameOrIP= ",
      "ServerPort=25", "EmailSubject= ", "EmailTo= ", "EmailFrom= ",
      "[NOTIFICATION FILE OUTPUT]", "UseFileOutput=False", "FileOutputPath= ",
      "FileOutputName= ", "IncludeComputerName=False", "IncludeOutcome=False",
      "WriteToEventLog=False", "[NOTIFICATION CLIENT POP-UP]", "UseClientPopup=False",
      "UseSuccessClientPopup=False", "SuccessMessage= ", "UseFailureClientPopup=False",
      "FailureMessage= ", "[DEPLOYMENT]", "DeploymentPath= ", "CreateWebLaunchPage=False",
      "CreateBatchFile=False", "IncludeMDAC=False", "MDACOption=0", "[POPULATE]",
      "ServerNames= ", "PrinterNames= ", "[PRUNE]", "ServerNames= ", "PrinterNames= ",
      "DeleteADOrphans=False", "DeleteAllNonNetworked=False", "[PRINTER_DRIVER]",
      "PrinterName= ", "DriverName= ", "DriverFileName= ", "PortName= ", "DriverSharePath= ",
      "[SET_DEFAULT]", "DefaultType=1", "DefaultPrinterName= ", "[SUPPORT]", "DebugOn=True"};
  std::string text;
  for (const char* line : kLines) {
    std::string out = line;
    std::string key = out.substr(0, out.find('=') + 1);
    for (const auto& [from, to] : replace) {
      if (from == out || from == key) out = to;
    }
    if (!out.empty()) text += out + "\r\n";
  }
  return text;
}

EngineWorld::EngineWorld() {
  std::random_device seed;
  root_ = (fs::temp_directory_path() / ("quillon-engine-" + std::to_string(seed()))).string();
  programFolder_ = platform::JoinPath(root_, "deploy");
  fs::create_directories(programFolder_);
  host.clientPath = platform::JoinPath(root_, "client.json");
  host.programFolder = programFolder_;
  host.hostComputerName = "PC042";
  host.hostLoginName = "alice";
  host.echoMessageBoxes = false;
}

EngineWorld::~EngineWorld() {
  std::error_code ec;
  fs::remove_all(root_, ec);
}

std::string EngineWorld::ProfileFolder() const { return platform::JoinPath(root_, "profile"); }

std::string EngineWorld::Path(const std::string& name) const {
  return platform::JoinPath(programFolder_, name);
}

std::string EngineWorld::WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  EXPECT_TRUE(files.WriteFileAtomic(path, content).ok) << path;
  return path;
}

std::unique_ptr<RunContext> EngineWorld::Run(const std::string& commandLine) {
  auto context = NewContext();
  RunEngine(*context, commandLine);
  return context;
}

std::unique_ptr<RunContext> EngineWorld::NewContext() {
  sims_.push_back(std::make_unique<platform::sim::SimPlatform>(state, host, files, clock));
  services_.push_back(std::make_unique<platform::Platform>(sims_.back()->AsPlatform()));
  auto context = std::make_unique<RunContext>(*services_.back());
  context->document.DebugOn = true;
  return context;
}

std::unique_ptr<RunContext> EngineWorld::Inventoried() {
  auto context = NewContext();
  GetClientPrinters(*context, false);
  context->RunMessage.clear();
  context->debugLog.Clear();
  return context;
}

void EngineWorld::AddQueue(const std::string& server, const std::string& share) {
  platform::sim::SimQueue queue;
  queue.shareName = share;
  queue.driverName = "HP Universal";
  queue.portName = "IP_" + share;
  for (auto& [name, queues] : state.printServers) {
    if (EqualsIgnoringCase(name, server)) {
      queues.push_back(queue);
      return;
    }
  }
  state.printServers.push_back({server, {queue}});
}

void EngineWorld::AddConnection(const std::string& server, const std::string& share) {
  platform::sim::SimPrinter printer;
  printer.name = "\\\\" + server + "\\" + share;
  printer.serverName = "\\\\" + server;
  printer.shareName = share;
  printer.portName = "IP_" + share;
  printer.driverName = "HP Universal";
  printer.attributes = platform::kPrinterAttributeNetwork;
  state.printers.push_back(printer);
}

void EngineWorld::AddLocal(const std::string& name, const std::string& port,
                           const std::string& driver) {
  platform::sim::SimPrinter printer;
  printer.name = name;
  printer.portName = port;
  printer.driverName = driver;
  printer.attributes = platform::kPrinterAttributeLocal;
  state.printers.push_back(printer);
}

void EngineWorld::Publish(const std::string& domain, const std::string& name,
                          const std::vector<std::string>& shares) {
  if (!state.directory) state.directory.emplace();
  for (auto& [published, queues] : *state.directory) {
    if (published == domain) {
      queues.push_back({name, shares, {}});
      return;
    }
  }
  state.directory->push_back({domain, {{name, shares, {}}}});
}

std::vector<std::string> EngineWorld::PrinterNames() const {
  std::vector<std::string> names;
  for (const auto& printer : state.printers) names.push_back(printer.name);
  return names;
}

std::vector<std::string> EngineWorld::Calls(const std::vector<std::string>& kinds) const {
  std::vector<std::string> calls;
  for (const auto& call : state.spoolerCalls) {
    for (const std::string& kind : kinds) {
      if (call.call == kind) calls.push_back(call.call + " " + call.name);
    }
  }
  return calls;
}

std::string EngineWorld::DebugFilePath() const {
  const std::string name =
      state.computerName.has_value() ? state.computerName->value_or("Computer UNKNOWN")
                                     : host.hostComputerName;
  return platform::JoinPath(programFolder_, name + ".debug");
}

std::optional<std::string> EngineWorld::DebugFileText() const {
  platform::HostFileSystem reader;
  std::optional<std::string> bytes = reader.ReadFile(DebugFilePath());
  if (!bytes) return std::nullopt;
  return DecodeDebugBytes(*bytes);
}

std::string WithoutExplanations(std::string_view text) {
  // Split at CR LF, drop the explanation lines, join again: this keeps both
  // the report's leading and the debug text's trailing line ends.
  std::string kept;
  bool first = true;
  while (true) {
    const std::size_t end = text.find("\r\n");
    const std::string_view line = text.substr(0, end);
    if (!line.starts_with("What error ") && !line.starts_with(">> What error ")) {
      if (!first) kept += "\r\n";
      kept.append(line);
      first = false;
    }
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return kept;
}

std::string DecodeDebugBytes(const std::string& bytes) {
  const std::size_t n = bytes.size();
  std::string reordered(n, '\0');
  unsigned char previous = 0;
  for (std::size_t k = 0; k < n; ++k) {
    auto current = static_cast<unsigned char>(bytes[k]);
    reordered[k] = static_cast<char>(static_cast<unsigned char>(current - previous));
    previous = current;
  }
  // Position k of the file holds byte order[k] of the UTF-16 text.
  std::string utf16(n, '\0');
  std::size_t k = 0, front = 1, back = n - 1;
  if (n > 0) utf16[0] = reordered[k++];
  for (; n > 0 && front < back; ++front, --back) {
    utf16[front] = reordered[k++];
    utf16[back] = reordered[k++];
  }
  if (n > 0 && front == back) utf16[front] = reordered[k++];
  EXPECT_EQ(n % 2, 0u) << "UTF-16 text has an even number of bytes";
  std::string text;
  for (std::size_t i = 0; i + 1 < n; i += 2) {
    EXPECT_EQ(utf16[i + 1], '\0') << "non-ASCII character at " << i / 2;
    text += utf16[i];
  }
  return text;
}

std::string Banner(int left, const std::string& title, int right) {
  const std::string stars(80, '*');
  return stars + "\r\n" + std::string(static_cast<std::size_t>(left), '*') + title +
         std::string(static_cast<std::size_t>(right), '*') + "\r\n" + stars + "\r\n";
}

}  // namespace quillon::engine::testing
