// Time to read a large migration document: list keys of 5,000 items each and
// foreign sections and keys around them, about 1 MB in all (2 MB as UTF-16).
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "document/document_file.h"
#include "document/profile_file.h"

namespace {

std::string ItemList(const std::string& prefix) {
  std::string items;
  for (int i = 0; i < 5000; ++i) {
    if (i != 0) items += ',';
    items += prefix + std::to_string(i);
  }
  return items;
}

std::string LargeDocument() {
  using quillon::document::ProfileFile;
  ProfileFile file;
  const std::pair<const char*, const char*> listKeys[] = {
      {"MANUAL DEFINITIONS SERVERS", "FromServers"},
      {"MANUAL DEFINITIONS SERVERS", "ToServers"},
      {"MANUAL DEFINITIONS PRINTERS", "FromPrinters"},
      {"MANUAL DEFINITIONS PRINTERS", "ToPrinters"},
      {"MANUAL DEFINITIONS MIXED", "FromServers"},
      {"MANUAL DEFINITIONS MIXED", "FromPrinters"},
      {"MANUAL DEFINITIONS MIXED", "ToServers"},
      {"MANUAL DEFINITIONS MIXED", "ToPrinters"},
      {"NOTIFICATION SMTP", "EmailTo"},
      {"POPULATE", "ServerNames"},
      {"POPULATE", "PrinterNames"},
      {"PRUNE", "ServerNames"},
      {"PRUNE", "PrinterNames"},
      {"PRINTER_DRIVER", "PrinterName"},
      {"PRINTER_DRIVER", "DriverName"},
      {"PRINTER_DRIVER", "DriverFileName"},
      {"PRINTER_DRIVER", "PortName"},
  };
  for (const auto& [section, key] : listKeys) {
    file.SetValue(section, key, ItemList("SRV"));
    // Foreign keys in the same section make every lookup pass over them.
    for (int i = 0; i < 50; ++i) {
      file.SetValue(section, "Note" + std::to_string(i), "kept by the administrator");
    }
  }
  for (int s = 0; s < 200; ++s) {
    const std::string section = "FILLER " + std::to_string(s);
    for (int k = 0; k < 40; ++k) {
      file.SetValue(section, "Key" + std::to_string(k), "some value that nobody reads");
    }
  }
  file.SetValue("SUPPORT", "DebugOn", "True");
  return file.Serialize();
}

void BM_ReadDocumentText(benchmark::State& state) {
  const std::string text = LargeDocument();
  quillon::document::MigrationDocument document;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::document::ReadDocumentText(&text, document));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["document_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReadDocumentText)->Unit(benchmark::kMillisecond);

// The same document with old Mac line ends, and saved by Notepad as "Unicode":
// the line split and the conversion to 8-bit text must not slow reading down.
void BM_ReadDocumentTextCrOnly(benchmark::State& state) {
  std::string text = LargeDocument();
  std::erase(text, '\n');
  quillon::document::MigrationDocument document;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::document::ReadDocumentText(&text, document));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_ReadDocumentTextCrOnly)->Unit(benchmark::kMillisecond);

void BM_ReadDocumentTextUtf16(benchmark::State& state) {
  const std::string narrow = LargeDocument();
  std::string text = "\xFF\xFE";
  for (char c : narrow) {
    text += c;
    text += '\0';
  }
  quillon::document::MigrationDocument document;
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::document::ReadDocumentText(&text, document));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
  state.counters["document_bytes"] = static_cast<double>(text.size());
}
BENCHMARK(BM_ReadDocumentTextUtf16)->Unit(benchmark::kMillisecond);

void BM_ReadDocumentTextWithLog(benchmark::State& state) {
  const std::string text = LargeDocument();
  quillon::document::MigrationDocument document;
  std::size_t lines = 0;
  const quillon::document::DebugSink sink = [&lines](const std::string&) { ++lines; };
  for (auto _ : state) {
    benchmark::DoNotOptimize(quillon::document::ReadDocumentText(&text, document, sink));
  }
  state.counters["log_lines_per_read"] =
      static_cast<double>(lines) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ReadDocumentTextWithLog)->Unit(benchmark::kMillisecond);

}  // namespace
