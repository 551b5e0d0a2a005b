// FlushDebugLog's scrambling and writing of 1 MB of debug text, with the peak
// of heap memory it needs on top of the text, as a multiple of the text.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "engine/core/debug_log.h"
#include "platform/host/host_file_system.h"

namespace {

std::atomic<std::size_t> g_live{0}, g_peak{0};
bool g_counting = false;

// Every block remembers its size and whether it was counted, so that freeing a
// block from before the measurement does not disturb it.
struct Header {
  std::size_t size;
  std::size_t counted;
};

}  // namespace

void* operator new(std::size_t size) {
  auto* header = static_cast<Header*>(std::malloc(size + sizeof(Header)));
  if (!header) throw std::bad_alloc();
  header->size = size;
  header->counted = g_counting;
  if (g_counting) {
    std::size_t live = g_live += size;
    std::size_t peak = g_peak.load();
    while (live > peak && !g_peak.compare_exchange_weak(peak, live)) {
    }
  }
  return header + 1;
}
// GCC takes the replaced pair for a mismatch; it is the allocator itself.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* pointer) noexcept {
  if (!pointer) return;
  Header* header = static_cast<Header*>(pointer) - 1;
  if (header->counted) g_live -= header->size;
  std::free(header);
}
void operator delete(void* pointer, std::size_t) noexcept { operator delete(pointer); }
#pragma GCC diagnostic pop

namespace {

std::string DebugText(std::size_t bytes) {
  std::string text;
  text.reserve(bytes + 128);
  const std::string line = ">> Printer already migrated: \\\\NEWSRV\\HP LaserJet 4200 PCL6\r\n";
  while (text.size() < bytes) text += line;
  text.resize(bytes);
  return text;
}

void BM_FlushDebugLog(benchmark::State& state) {
  quillon::platform::HostFileSystem files;
  const std::string path =
      (std::filesystem::temp_directory_path() / "quillon-bench.debug").string();
  const std::size_t size = static_cast<std::size_t>(state.range(0));
  const bool ascii = state.range(1) == 0;
  std::string source = DebugText(size);
  if (!ascii) source.replace(0, 2, "\xC3\xA9");  // one non-ASCII character: the general path
  double worst = 0;
  for (auto _ : state) {
    state.PauseTiming();
    g_live = 0;
    g_peak = 0;
    g_counting = true;
    std::string text = source;  // counted: the log's own text is part of the peak
    state.ResumeTiming();
    quillon::platform::Status status;
    auto file = files.OpenForWriting(path, &status);
    quillon::engine::WriteScrambledDebugText(std::move(text), *file);
    file->Close();
    file.reset();
    state.PauseTiming();
    g_counting = false;
    worst = std::max(worst, double(g_peak.load()) / double(size));
    state.ResumeTiming();
  }
  state.counters["memory_x_text"] = worst;
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  std::filesystem::remove(path);
}
BENCHMARK(BM_FlushDebugLog)
    ->Args({1 << 20, 0})
    ->Args({1 << 20, 1})
    ->ArgNames({"bytes", "non_ascii"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
