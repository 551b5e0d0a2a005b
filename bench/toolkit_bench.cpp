// The toolkit's Qt window with a large document: opening one whose lists hold
// 5,000 items each (read, filled into the widgets, tree rebuilt), saving it
// back (gathered from the widgets, written) and switching pages. Targets:
// open and save under 300 ms each, a page switch under 16 ms.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <filesystem>
#include <memory>
#include <random>

#include "document/document_file.h"
#include "platform/host/host_file_system.h"
#include "toolkit/qt/frm_wizard.h"

namespace {

namespace fs = std::filesystem;
using namespace quillon;

constexpr int kItems = 5000;

struct Fixture {
  Fixture() {
    std::random_device seed;
    folder = fs::temp_directory_path() / ("quillon-toolkit-bench-" + std::to_string(seed()));
    fs::create_directories(folder);
    // The engine reads a list key into 10,000 characters, commas included:
    // 5,000 items fit only as one character each. That document is opened;
    // the fill and the save also run with names of a real site's length.
    // Two of each, told apart in every line, so that each round changes
    // every list (a list given the lines it has already shows nothing new).
    for (int shift = 0; shift < 2; ++shift) {
    document::MigrationDocument tiny = toolkit::NewDocumentRecord();
    tiny.UseManualDefinitions = true;
    // A new document's lists hold one empty record, which would be a 5,001st item.
    tiny.ServerPairs.clear();
    tiny.PrinterPairs.clear();
    tiny.MixedPairs.clear();
    tiny.EmailTo.clear();
    tiny.PopulateRules.clear();
    tiny.PruneRules.clear();
    tiny.PrinterDrivers.clear();
    for (int i = 0; i < kItems; ++i) {
      const std::string a(1, static_cast<char>('a' + (i + shift) % 26)),
          b(1, static_cast<char>('A' + (i + shift) % 26));
      tiny.ServerPairs.push_back({a, b});
      tiny.PrinterPairs.push_back({a, b});
      tiny.MixedPairs.push_back({a, b, b, a});
      tiny.EmailTo.push_back("@");
      tiny.PopulateRules.push_back({a, b});
      tiny.PruneRules.push_back({a, b});
      tiny.PrinterDrivers.push_back({a, b, a, b});
    }
    paths[shift] = (folder / ("large" + std::to_string(shift) + ".ini")).string();
    if (document::WriteDocument(files, paths[shift], tiny)) throw std::runtime_error("cannot write");
    document::MigrationDocument check;
    if (document::ReadDocument(files, paths[shift], check) || check.MixedPairs.size() < kItems) {
      throw std::runtime_error("the document of one-character items does not read whole");
    }
    document::MigrationDocument& realistic = records[shift];
    realistic = toolkit::NewDocumentRecord();
    realistic.UseManualDefinitions = true;
    for (int i = 0; i < kItems; ++i) {
      const std::string n = std::to_string(i + shift);
      realistic.ServerPairs.push_back({"OLDPS" + n, "NEWPS" + n});
      realistic.PrinterPairs.push_back({"Old Printer " + n, "New Printer " + n});
      realistic.MixedPairs.push_back({"OLDPS" + n, "Floor " + n, "NEWPS" + n, "Floor " + n + " Colour"});
      realistic.EmailTo.push_back("admin" + n + "@example.com");
      realistic.PopulateRules.push_back({"NEWPS" + n, "Floor " + n});
      realistic.PruneRules.push_back({"OLDPS" + n, "*"});
      realistic.PrinterDrivers.push_back(
          {"Floor " + n, "HP Universal Printing PCL 6", "hpcu250u.inf", "IP_10.0.0." + n});
    }
    }
    window = std::make_unique<toolkit::frmWizard>(files, folder.string(), folder.string());
    window->wizard().Load();
    window->show();
    QApplication::processEvents();
  }
  ~Fixture() {
    window.reset();
    fs::remove_all(folder);
  }
  platform::HostFileSystem files;
  fs::path folder;
  std::string paths[2];
  document::MigrationDocument records[2];
  std::unique_ptr<toolkit::frmWizard> window;
};

// Made at first use and destroyed in main while the application still lives:
// a window destroyed by a static destructor, after QApplication, crashes.
std::unique_ptr<Fixture>& SharedSlot() {
  static std::unique_ptr<Fixture> fixture;
  return fixture;
}

Fixture& Shared() {
  if (!SharedSlot()) SharedSlot() = std::make_unique<Fixture>();
  return *SharedSlot();
}

void BM_OpenLargeDocument(benchmark::State& state) {
  Fixture& f = Shared();
  int round = 0;
  for (auto _ : state) {
    f.window->wizard().commands().OpenPath(f.paths[round++ % 2]);
    QApplication::processEvents();
  }
  state.counters["lines"] = static_cast<double>(
      f.window->wizard().form()["lstMixedPrintersAndServers"].lines().size());
}
BENCHMARK(BM_OpenLargeDocument)->Unit(benchmark::kMillisecond)->Iterations(5);

// Names of a real site's length, straight into the widgets.
void BM_FillLargeRecord(benchmark::State& state) {
  Fixture& f = Shared();
  int round = 0;
  for (auto _ : state) {
    toolkit::FillFormFromDocument(f.window->wizard().form(), f.records[round++ % 2]);
    QApplication::processEvents();
  }
}
BENCHMARK(BM_FillLargeRecord)->Unit(benchmark::kMillisecond)->Iterations(5);

// The largest document the engine reads whole, gathered from the widgets and
// written (names of a site's length would make lists the toolkit refuses to
// save, since the engine would cut them).
void BM_SaveLargeDocument(benchmark::State& state) {
  Fixture& f = Shared();
  f.window->wizard().commands().OpenPath(f.paths[0]);
  QApplication::processEvents();
  f.window->wizard().document().DocumentPath = (f.folder / "saved.ini").string();
  for (auto _ : state) {
    f.window->wizard().document().DocumentDirty = true;
    f.window->wizard().commands().SaveDocument();
  }
  state.counters["bytes"] =
      static_cast<double>(fs::file_size(f.window->wizard().document().DocumentPath));
}
BENCHMARK(BM_SaveLargeDocument)->Unit(benchmark::kMillisecond)->Iterations(5);

// Between the two fullest pages, drawn each time.
void BM_PageSwitch(benchmark::State& state) {
  Fixture& f = Shared();
  toolkit::FillFormFromDocument(f.window->wizard().form(), f.records[0]);
  QApplication::processEvents();
  bool mixed = false;
  for (auto _ : state) {
    mixed = !mixed;
    f.window->wizard().navigation().ShowPage(mixed ? toolkit::Page::Mixed : toolkit::Page::Servers);
    f.window->repaint();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_PageSwitch)->Unit(benchmark::kMillisecond)->Iterations(50);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SharedSlot().reset();
  return 0;
}
