// The platform seam's services answered by a simulated client. One object owns
// the client's state for a run; the engine sees it through `Platform`.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"
#include "platform/sim/sim_client.h"

namespace quillon::platform::sim {

struct SimHost {
  std::string clientPath;     // folder of this file holds profile/ and system32/
  std::string programFolder;  // the real folder of the running program
  std::string hostComputerName = "LOCALHOST";
  std::string hostLoginName = "user";
  bool echoProgress = false;  // print progress labels to standard error
  bool echoMessageBoxes = true;
};

class SimPlatform : public SystemInfo,
                    public Registry,
                    public ProfileStrings,
                    public UserInterface {
 public:
  SimPlatform(SimClientState& state, SimHost host, FileSystem& files, Clock& clock);

  Platform AsPlatform();
  SimClientState& state() { return state_; }

  // A failure injected by the client file for this call and name, if any.
  std::optional<std::uint32_t> InjectedFailure(std::string_view call, std::string_view name) const;

  // SystemInfo
  OsVersion GetVersion() override;
  std::optional<std::string> GetComputerName() override;
  std::string GetUserName() override;
  std::string GetProfileFolder() override;
  std::string GetSystemFolder() override;
  std::string GetProgramFolder() override;
  // Registry
  std::optional<std::string> GetValue(const std::string& keyPath,
                                      const std::string& valueName) override;
  Status SetValue(const std::string& keyPath, const std::string& valueName,
                  const std::string& value) override;
  // ProfileStrings
  std::optional<std::string> GetProfileString(const std::string& section,
                                              const std::string& key) override;
  Status WriteProfileString(const std::string& section, const std::string& key,
                            const std::string& value) override;
  // UserInterface
  MessageAnswer ShowMessageBox(const std::string& title, const std::string& text,
                               MessageIcon icon, MessageButtons buttons) override;
  std::unique_ptr<ProgressWindow> CreateProgressWindow(const std::string& caption,
                                                       const std::string& label) override;

 private:
  std::string ClientFolder(const std::optional<std::string>& configured,
                           const char* defaultName);

  SimClientState& state_;
  SimHost host_;
  FileSystem& files_;
  Clock& clock_;
};

}  // namespace quillon::platform::sim
