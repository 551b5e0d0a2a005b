// A whole simulated client for engine tests: real files in a temporary folder
// (program folder, profile, documents), the client state in memory, and a clock
// that records pauses instead of waiting.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/core/run_context.h"
#include "platform/host/host_file_system.h"
#include "platform/sim/sim_platform.h"

namespace quillon::engine::testing {

class RecordingClock : public platform::Clock {
 public:
  platform::LocalTime Now() override { return now; }
  // Central European Time.
  platform::ZonedTime NowWithOffset() override { return {Now(), 60}; }
  void Sleep(int milliseconds) override {
    sleeps.push_back(milliseconds);
    slept += static_cast<std::uint64_t>(milliseconds);
  }
  // Time passes only by the pauses, so that a measured wait is exact.
  std::uint64_t ElapsedMilliseconds() override { return slept; }
  std::vector<int> sleeps;
  std::uint64_t slept = 0;
  platform::LocalTime now{2026, 12, 8, 9, 30, 15};  // a test may move it
};

// A complete document: server pair OLDSRV to NEWSRV, manual method on, debug on.
// `replace` pairs substitute whole lines ("Key=Value" or "[SECTION]").
std::string CompleteDocument(const std::vector<std::pair<std::string, std::string>>& replace = {});

class EngineWorld {
 public:
  EngineWorld();
  ~EngineWorld();

  std::string ProgramFolder() const { return programFolder_; }
  std::string ProfileFolder() const;
  std::string Path(const std::string& name) const;  // inside the program folder
  std::string WriteFile(const std::string& path, const std::string& content);

  // A fresh run context over this world (state and files persist across runs).
  std::unique_ptr<RunContext> Run(const std::string& commandLine);
  // A context over this world with debugging on, before any run step.
  std::unique_ptr<RunContext> NewContext();
  // The same with the user's printers inventoried and report and debug text empty.
  std::unique_ptr<RunContext> Inventoried();

  // Client set-up: a print server queue, a connection to it, a local printer.
  void AddQueue(const std::string& server, const std::string& share);
  void AddConnection(const std::string& server, const std::string& share);
  void AddLocal(const std::string& name, const std::string& port = "LPT1:",
                const std::string& driver = "Generic / Text Only");
  // A queue the directory of `domain` publishes, as "name" and share names.
  void Publish(const std::string& domain, const std::string& name,
               const std::vector<std::string>& shares);
  std::vector<std::string> PrinterNames() const;
  // "call name" of every recorded spooler call of the given kinds, in order.
  std::vector<std::string> Calls(const std::vector<std::string>& kinds) const;

  // The debug file of the run, decoded; nullopt when there is none.
  std::optional<std::string> DebugFileText() const;
  std::string DebugFilePath() const;

  platform::sim::SimClientState state;
  platform::sim::SimHost host;
  platform::HostFileSystem files;
  RecordingClock clock;

 private:
  std::string root_, programFolder_;
  // Every run's client and services stay alive, so earlier contexts stay usable.
  std::vector<std::unique_ptr<platform::sim::SimPlatform>> sims_;
  std::vector<std::unique_ptr<platform::Platform>> services_;
};

// Undoes the debug file's scrambling and UTF-16LE form (ASCII text only).
std::string DecodeDebugBytes(const std::string& bytes);

// A report or debug text without the lines that explain error codes, for
// tests about the lines around them.
std::string WithoutExplanations(std::string_view text);

// 80 "*", the middle line, 80 "*", each with CR LF.
std::string Banner(int left, const std::string& title, int right);

}  // namespace quillon::engine::testing
