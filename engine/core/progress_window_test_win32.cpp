// A whole engine run with the real progress window and message boxes over the
// simulated client, whose connection call is made to block for longer than
// Windows waits before it calls a window hung. A watcher thread plays the
// user and the session: it checks that the window answers meanwhile, tries to
// close it and to end the session, and answers the run's pop-up.
#include "platform/host/windows_api.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "engine/core/engine_test_support.h"
#include "engine/core/run_context.h"
#include "engine/core/run_sequence.h"
#include "platform/win32/user_interface_win32.h"

namespace quillon::engine {
namespace {

// The simulated spooler, except that adding a connection takes `delayMs`.
class SlowSpooler : public platform::Spooler {
 public:
  SlowSpooler(platform::Spooler& inner, DWORD delayMs) : inner_(inner), delayMs_(delayMs) {}

  platform::PrinterNameList EnumPrinterNames() override { return inner_.EnumPrinterNames(); }
  platform::SizedResult<std::vector<platform::PrinterInfo2>> EnumDefaultPrinter(
      std::size_t bufferSize) override {
    return inner_.EnumDefaultPrinter(bufferSize);
  }
  platform::HandleResult OpenPrinter(const std::string& name,
                                     platform::PrinterAccess access) override {
    return inner_.OpenPrinter(name, access);
  }
  platform::SizedResult<platform::PrinterInfo2> GetPrinter(platform::PrinterHandle printer,
                                                           std::size_t bufferSize) override {
    return inner_.GetPrinter(printer, bufferSize);
  }
  platform::SpoolerResult SetPrinter(platform::PrinterHandle printer,
                                     const platform::PrinterInfo2& info) override {
    return inner_.SetPrinter(printer, info);
  }
  void ClosePrinter(platform::PrinterHandle printer) override { inner_.ClosePrinter(printer); }
  platform::SpoolerResult AddPrinterConnection(const std::string& name,
                                               platform::ConnectionPrompts prompts) override {
    inSlowCall = true;
    Sleep(delayMs_);
    inSlowCall = false;
    return inner_.AddPrinterConnection(name, prompts);
  }
  platform::SpoolerResult DeletePrinterConnection(const std::string& name) override {
    return inner_.DeletePrinterConnection(name);
  }
  platform::HandleResult AddPrinter(const platform::PrinterInfo2& info) override {
    return inner_.AddPrinter(info);
  }
  platform::SpoolerResult DeletePrinter(platform::PrinterHandle printer) override {
    return inner_.DeletePrinter(printer);
  }
  platform::SpoolerResult AddPrinterDriver(const platform::DriverInfo2& info) override {
    return inner_.AddPrinterDriver(info);
  }
  platform::SpoolerResult AddPort(const std::string& monitorName,
                                  platform::ProgressWindow* owner) override {
    return inner_.AddPort(monitorName, owner);
  }
  platform::SpoolerResult AddPrinterDriverFromFolder(const platform::DriverInfo2& info) override {
    return inner_.AddPrinterDriverFromFolder(info);
  }
  platform::SpoolerResult AddLocalPort(const std::string& portName) override {
    return inner_.AddLocalPort(portName);
  }
  platform::SizedResult<std::string> GetDefaultPrinter(std::size_t bufferChars) override {
    return inner_.GetDefaultPrinter(bufferChars);
  }
  platform::SpoolerResult SetDefaultPrinter(const std::string& name) override {
    return inner_.SetDefaultPrinter(name);
  }

  std::atomic<bool> inSlowCall{false};

 private:
  platform::Spooler& inner_;
  DWORD delayMs_;
};

// What the watcher saw; read after it has been joined.
struct Seen {
  bool window = false;
  HWND progressWindow = nullptr;
  bool slowCall = false;
  bool hung = true;
  bool answeredWithinASecond = false;
  bool endSessionAnswered = false;
  LRESULT endSessionAnswer = TRUE;
  bool openAfterClosing = false;
  bool box = false;
  HWND boxOwner = nullptr;
  bool windowDisabledByBox = false;
};

template <typename Condition>
bool WaitFor(Condition condition, int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

TEST(EngineProgressWindow, AnswersAndStaysOpenWhileTheSpoolerBlocksTheRun) {
  testing::EngineWorld world;
  world.AddQueue("OLDSRV", "HP4");
  world.AddQueue("NEWSRV", "HP4");
  world.AddConnection("OLDSRV", "HP4");
  const std::string path = world.WriteFile(
      world.Path("move.ini"),
      testing::CompleteDocument({{"ShowProgress=", "ShowProgress=True"},
                                 {"UseClientPopup=", "UseClientPopup=True"},
                                 {"UseSuccessClientPopup=", "UseSuccessClientPopup=True"},
                                 {"SuccessMessage=", "SuccessMessage=Your printers have moved."}}));

  auto base = world.NewContext();
  platform::win32::Win32UserInterface ui;
  SlowSpooler spooler(base->platform.spooler, 6000);  // Windows calls a window hung after 5 s
  platform::Platform services{base->platform.system,   base->platform.registry,
                              base->platform.profileStrings, base->platform.files,
                              ui,                      world.clock,
                              spooler,                 base->platform.directory,
                              base->platform.eventLog, base->platform.network};
  RunContext context(services);

  Seen seen;
  std::thread watcher([&] {
    HWND window = nullptr;
    seen.window = WaitFor(
        [&] {
          window = FindWindowA(platform::win32::kProgressWindowClass, nullptr);
          return window && IsWindowVisible(window);
        },
        10000);
    seen.progressWindow = window;
    seen.slowCall = WaitFor([&] { return spooler.inSlowCall.load(); }, 10000);
    if (seen.window && seen.slowCall) {
      Sleep(5500);
      seen.hung = IsHungAppWindow(window);
      DWORD_PTR ignored = 0;
      seen.answeredWithinASecond =
          SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
      PostMessageA(window, WM_CLOSE, 0, 0);
      PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
      DWORD_PTR answer = TRUE;
      seen.endSessionAnswered = SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0,
                                                    ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG, 1000,
                                                    &answer) != 0;
      seen.endSessionAnswer = static_cast<LRESULT>(answer);
      seen.openAfterClosing = spooler.inSlowCall && IsWindow(window) && IsWindowVisible(window);
    }
    // The success pop-up, shown while the progress window is still open.
    HWND box = nullptr;
    seen.box = WaitFor(
        [&] {
          box = FindWindowA("#32770", "Quillon");
          return box && IsWindowVisible(box);
        },
        20000);
    if (seen.box) {
      seen.boxOwner = GetWindow(box, GW_OWNER);
      seen.windowDisabledByBox = window && !IsWindowEnabled(window);
      PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    } else if (HWND other = FindWindowA("#32770", nullptr)) {
      PostMessageA(other, WM_CLOSE, 0, 0);  // fail at once rather than at CTest's time-out
    }
  });
  RunEngine(context, path);
  watcher.join();

  ASSERT_TRUE(seen.window) << "no progress window was shown";
  ASSERT_TRUE(seen.slowCall) << "the run never reached the connection";
  EXPECT_FALSE(seen.hung) << "the window was hung while the spooler call blocked";
  EXPECT_TRUE(seen.answeredWithinASecond) << "the window did not answer while the call blocked";
  EXPECT_TRUE(seen.endSessionAnswered);
  EXPECT_EQ(seen.endSessionAnswer, FALSE) << "the session may not end mid-run";
  EXPECT_TRUE(seen.openAfterClosing) << "closing it ended the window mid-run";
  ASSERT_TRUE(seen.box) << "no pop-up appeared";
  EXPECT_EQ(seen.boxOwner, seen.progressWindow) << "the pop-up belongs to the progress window";
  EXPECT_TRUE(seen.windowDisabledByBox) << "the pop-up was not modal for the progress window";
  EXPECT_EQ(FindWindowA(platform::win32::kProgressWindowClass, nullptr), nullptr)
      << "the window is gone after the run";

  // The run went to its end: the connection moved and the success stored.
  EXPECT_EQ(world.PrinterNames(), std::vector<std::string>{"\\\\NEWSRV\\HP4"});
  const std::optional<std::string> debug = world.DebugFileText();
  ASSERT_TRUE(debug.has_value());
  EXPECT_NE(debug->find(">> The user tried to close the progress window; the run goes on."),
            std::string::npos);
  EXPECT_NE(debug->find(">> Windows asked to end the session; it waits until the run has ended."),
            std::string::npos);
  auto again = world.Run(path);
  EXPECT_NE(again->RunMessage.find(kAlreadySucceededText), std::string::npos)
      << "the success was not stored";
}

}  // namespace
}  // namespace quillon::engine
