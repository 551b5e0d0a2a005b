// The quillon command's whole commands as an administrator runs them, files on
// disk: `check` of a 1 MB document, `plan` of 4,000 pairs against a client of
// 500 connections, and `plan` of 50 server pairs against clients of 20,000 and
// 200,000 connections, every one of them moved.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/host/host_clock.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_client.h"
#include "tools/quillon/quillon_cli.h"

namespace {

using namespace quillon;
namespace fs = std::filesystem;

fs::path Folder() {
  const fs::path folder = fs::temp_directory_path() / "quillon-cli-bench";
  fs::create_directories(folder);
  return folder;
}

void Spit(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Item lists joined by commas.
std::string Items(const std::string& prefix, int from, int count) {
  std::string list;
  for (int i = from; i < from + count; ++i) {
    if (!list.empty()) list += ",";
    list += prefix + std::to_string(i);
  }
  return list;
}

// Every key the engine reads; `lists` fills the list keys of the three pair
// sections.
std::string Document(const std::string& serversFrom, const std::string& serversTo,
                     const std::string& printersFrom, const std::string& printersTo,
                     const std::string& mixedServersFrom, const std::string& mixedPrintersFrom,
                     const std::string& mixedServersTo, const std::string& mixedPrintersTo) {
  return "[GENERAL]\r\nUseActiveDirectory=False\r\nUseManualDefinitions=True\r\n"
         "AlwaysRun=True\r\nShowProgress=False\r\n[ACTIVE DIRECTORY]\r\nDomainName= \r\n"
         "[MANUAL DEFINITIONS SERVERS]\r\nFromServers=" + serversFrom + "\r\nToServers=" +
         serversTo + "\r\n[MANUAL DEFINITIONS PRINTERS]\r\nFromPrinters=" + printersFrom +
         "\r\nToPrinters=" + printersTo + "\r\n[MANUAL DEFINITIONS MIXED]\r\nFromServers=" +
         mixedServersFrom + "\r\nFromPrinters=" + mixedPrintersFrom + "\r\nToServers=" +
         mixedServersTo + "\r\nToPrinters=" + mixedPrintersTo +
         "\r\n[NOTIFICATION SMTP]\r\nUseSMTP=False\r\nSMTPServerNameOrIP= \r\nServerPort=25\r\n"
         "EmailSubject= \r\nEmailTo= \r\nEmailFrom= \r\n[NOTIFICATION FILE OUTPUT]\r\n"
         "UseFileOutput=False\r\nFileOutputPath= \r\nFileOutputName= \r\n"
         "IncludeComputerName=False\r\nIncludeOutcome=False\r\nWriteToEventLog=False\r\n"
         "[NOTIFICATION CLIENT POP-UP]\r\nUseClientPopup=False\r\nUseSuccessClientPopup=False\r\n"
         "SuccessMessage= \r\nUseFailureClientPopup=False\r\nFailureMessage= \r\n[DEPLOYMENT]\r\n"
         "DeploymentPath= \r\nCreateWebLaunchPage=False\r\nCreateBatchFile=False\r\n"
         "IncludeMDAC=False\r\nMDACOption=0\r\n[POPULATE]\r\nServerNames= \r\nPrinterNames= \r\n"
         "[PRUNE]\r\nServerNames= \r\nPrinterNames= \r\nDeleteADOrphans=False\r\n"
         "DeleteAllNonNetworked=False\r\n[PRINTER_DRIVER]\r\nPrinterName= \r\nDriverName= \r\n"
         "DriverFileName= \r\nPortName= \r\nDriverSharePath= \r\n[SET_DEFAULT]\r\nDefaultType=1\r\n"
         "DefaultPrinterName= \r\n[SUPPORT]\r\nDebugOn=True\r\n";
}

int Run(const std::vector<std::string>& args) {
  platform::HostFileSystem files;
  std::ostringstream out, err;
  return tools::RunQuillon(args, files, out, err);
}

// Each of the eight list keys holds about 125 KB: every item is read, counted
// and looked at, though the engine reads only the first 10,000 characters.
void BM_CheckOneMegabyte(benchmark::State& state) {
  const fs::path doc = Folder() / "big.ini";
  const int n = 12000;
  const std::string text = Document(Items("OLDSERVER", 0, n), Items("NEWSERVER", 0, n),
                                    Items("OLDQUEUE", 0, n), Items("NEWQUEUE", 0, n),
                                    Items("MIXSRVOLD", 0, n), Items("MIXQUEOLD", 0, n),
                                    Items("MIXSRVNEW", 0, n), Items("MIXQUENEW", 0, n));
  Spit(doc, text);
  for (auto _ : state) {
    const int code = Run({"check", doc.string()});
    if (code == 2) state.SkipWithError("the document was refused");
  }
  state.counters["bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_CheckOneMegabyte)->Unit(benchmark::kMillisecond);

// 1,300 server pairs, 1,300 printer pairs and 1,400 mixed pairs (short names,
// so each list stays within the 10,000 characters the engine reads) against a
// client of 500 connections over 50 old servers, half of them named by pairs.
void BM_PlanFourThousandPairs(benchmark::State& state) {
  const fs::path folder = Folder();
  const fs::path doc = folder / "pairs.ini";
  std::string mixedFrom;
  for (int i = 0; i < 1400; ++i) mixedFrom += (i ? "," : "") + std::string("M") + std::to_string(i % 50);
  Spit(doc, Document(Items("O", 0, 1300), Items("N", 0, 1300), Items("P", 0, 1300),
                     Items("R", 0, 1300), mixedFrom, Items("X", 0, 1400), mixedFrom,
                     Items("Y", 0, 1400)));
  platform::sim::SimClientState client;
  client.computerName = std::optional<std::string>("PC1");
  client.userName = "bench";
  client.directory.emplace();
  for (int s = 0; s < 50; ++s) {
    client.printServers.push_back({"O" + std::to_string(s), {}});
    client.printServers.push_back({"N" + std::to_string(s), {}});
  }
  for (int i = 0; i < 500; ++i) {
    // Even connections are on servers the server pairs name, odd ones on
    // servers no pair names.
    const int s = i % 50;
    const std::string server = (i % 2 == 0 ? "O" : "Z") + std::to_string(s);
    platform::sim::SimPrinter printer;
    printer.serverName = "\\\\" + server;
    printer.shareName = "Q" + std::to_string(i);
    printer.name = printer.serverName + "\\" + printer.shareName;
    printer.attributes = 0x10;
    client.printers.push_back(printer);
    platform::sim::SimQueue queue;
    queue.shareName = printer.shareName;
    client.printServers[2 * s].second.push_back(queue);
    client.printServers[2 * s + 1].second.push_back(queue);
  }
  client.defaultPrinter = client.printers.front().name;
  const fs::path clientFile = folder / "client.json";
  Spit(clientFile, platform::sim::SerializeClient(client));
  for (auto _ : state) {
    const int code = Run({"plan", "--client", clientFile.string(), doc.string()});
    if (code == 2) state.SkipWithError("the plan could not run");
  }
}
BENCHMARK(BM_PlanFourThousandPairs)->Unit(benchmark::kMillisecond);

// 50 old servers whose queues all stand on the matching new server too; every
// connection of the client is on an old one, so the run removes and adds each
// (the plan's work grows with the printers, not with the pairs).
void BM_PlanManyPrinters(benchmark::State& state) {
  const int connections = static_cast<int>(state.range(0));
  const fs::path folder = Folder();
  const fs::path doc = folder / "servers.ini";
  Spit(doc, Document(Items("OLD", 0, 50), Items("NEW", 0, 50), " ", " ", " ", " ", " ", " "));
  platform::sim::SimClientState client;
  client.computerName = std::optional<std::string>("PC1");
  client.userName = "bench";
  client.directory.emplace();
  for (int s = 0; s < 50; ++s) {
    client.printServers.push_back({"OLD" + std::to_string(s), {}});
    client.printServers.push_back({"NEW" + std::to_string(s), {}});
  }
  for (int i = 0; i < connections; ++i) {
    const int s = i % 50;
    platform::sim::SimPrinter printer;
    printer.serverName = "\\\\OLD" + std::to_string(s);
    printer.shareName = "Q" + std::to_string(i);
    printer.name = printer.serverName + "\\" + printer.shareName;
    printer.attributes = 0x10;
    client.printers.push_back(printer);
    platform::sim::SimQueue queue;
    queue.shareName = printer.shareName;
    client.printServers[2 * s].second.push_back(queue);
    client.printServers[2 * s + 1].second.push_back(queue);
  }
  client.defaultPrinter = client.printers.back().name;
  const fs::path clientFile = folder / ("client-" + std::to_string(connections) + ".json");
  Spit(clientFile, platform::sim::SerializeClient(client));
  for (auto _ : state) {
    const int code = Run({"plan", "--client", clientFile.string(), doc.string()});
    if (code != 0) state.SkipWithError("the plan did not succeed");
  }
  state.counters["connections"] = connections;
  fs::remove(clientFile);
}
BENCHMARK(BM_PlanManyPrinters)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
