// The progress window lives on a thread of its own that does nothing but run
// its message loop: the engine's thread blocks in spooler and directory calls
// for seconds, and a window whose thread does not answer is shown as "Not
// responding" and closed by the user, which ends the process mid-move. The
// engine's thread reaches the window by sent messages, so each call has taken
// effect when it returns.
#include "platform/win32/user_interface_win32.h"

#include "platform/host/windows_api.h"

#include <commctrl.h>

#include <atomic>
#include <functional>

namespace quillon::platform::win32 {
namespace {

constexpr int kClientWidth = 360;
constexpr int kMargin = 12;
constexpr int kLabelHeight = 34;  // two lines of the dialog font
constexpr int kBarHeight = 18;
constexpr int kClientHeight = kMargin + kLabelHeight + 6 + kBarHeight + kMargin;

// Sent to the window with a `std::function<void()>*` to run on its thread.
constexpr UINT kRunOnWindowThread = WM_APP + 1;

// What the system shows while the engine holds up a logoff or shutdown.
constexpr wchar_t kShutdownBlockReason[] = L"Moving your printers";

// The open progress window, which owns the engine's message boxes.
std::atomic<HWND> openProgressWindow{nullptr};

struct Refusals {
  std::atomic<int> close{0};
  std::atomic<int> endSession{0};
};

// The reason shown for a held-up shutdown exists from Windows Vista on; on
// earlier systems refusing the query is all there is.
template <typename Function>
Function User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                : nullptr;
}

// Nothing in the window can be operated, closing included: it goes when the
// engine is done with it, and the session waits for that too.
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* refusals = reinterpret_cast<Refusals*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CLOSE:
      if (refusals) ++refusals->close;
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) {
        if (refusals) ++refusals->close;
        return 0;
      }
      break;
    case WM_QUERYENDSESSION:
      if (refusals) ++refusals->endSession;
      return FALSE;
    case kRunOnWindowThread:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default: break;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterProgressClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    static const std::wstring className = Wide(kProgressWindowClass);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ProgressWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = className.c_str();
    return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

// Runs `work` on the window's thread and returns when it has; false when the
// window is gone.
bool RunOnWindowThread(HWND window, const std::function<void()>& work) {
  bool ran = false;
  const std::function<void()> call = [&] {
    work();
    ran = true;
  };
  if (window) SendMessageW(window, kRunOnWindowThread, 0, reinterpret_cast<LPARAM>(&call));
  return ran;
}

class Win32ProgressWindow : public ProgressWindow {
 public:
  Win32ProgressWindow(const std::string& caption, const std::string& label)
      : caption_(caption), initialLabel_(label) {
    if (!RegisterProgressClass()) return;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready_) return;
    thread_ = CreateThread(nullptr, 0, &Win32ProgressWindow::WindowThread, this, 0, nullptr);
    if (!thread_) return;
    const HANDLE either[] = {ready_, thread_};
    WaitForMultipleObjects(2, either, FALSE, INFINITE);
    if (window_) {
      openProgressWindow = window_;
    } else {
      WaitForSingleObject(thread_, INFINITE);
    }
  }
  ~Win32ProgressWindow() override {
    Close();
    if (thread_) CloseHandle(thread_);
    if (ready_) CloseHandle(ready_);
  }
  Win32ProgressWindow(const Win32ProgressWindow&) = delete;
  Win32ProgressWindow& operator=(const Win32ProgressWindow&) = delete;

  void SetLabel(const std::string& text) override {
    RunOnWindowThread(window_, [&] { SetWindowTextW(label_, Wide(text).c_str()); });
  }
  void SetBarMaximum(int maximum) override {
    RunOnWindowThread(window_, [&] { SendMessageW(bar_, PBM_SETRANGE32, 0, maximum); });
  }
  void SetBarValue(int value) override {
    RunOnWindowThread(window_,
                      [&] { SendMessageW(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0); });
  }
  void Show() override {
    RunOnWindowThread(window_, [&] {
      ShowWindow(window_, SW_SHOWNORMAL);
      UpdateWindow(window_);
    });
  }
  void Repaint() override {
    RunOnWindowThread(window_, [&] {
      RedrawWindow(window_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    });
  }
  // The window answers by itself; this only serves what was sent to the
  // calling thread's own queue.
  void ProcessMessages() override {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Not ours to act on: left for whoever runs the thread's loop.
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  void Close() override {
    if (!window_) return;
    HWND window = window_;
    openProgressWindow.compare_exchange_strong(window, nullptr);
    RunOnWindowThread(window_, [this] {
      using DestroyReason = BOOL(WINAPI*)(HWND);
      if (auto destroyReason = User32Function<DestroyReason>("ShutdownBlockReasonDestroy")) {
        destroyReason(window_);
      }
      DestroyWindow(window_);
    });
    WaitForSingleObject(thread_, INFINITE);
    window_ = label_ = bar_ = nullptr;
  }
  RefusedRequests TakeRefusedRequests() override {
    return {refusals_.close.exchange(0), refusals_.endSession.exchange(0)};
  }

  HWND window() const { return window_; }

 private:
  static DWORD WINAPI WindowThread(void* self) {
    auto& progress = *static_cast<Win32ProgressWindow*>(self);
    const bool created = progress.Create();
    SetEvent(progress.ready_);
    if (!created) return 0;
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    return 0;
  }

  // On the window's thread, before the engine's thread goes on.
  bool Create() {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, 800, 600};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(0, Wide(kProgressWindowClass).c_str(), Wide(caption_).c_str(),
                                  style, x, y, width, height, nullptr, nullptr, instance,
                                  &refusals_);
    if (!window) return false;
    const int inner = kClientWidth - 2 * kMargin;
    label_ = CreateWindowExW(0, L"STATIC", Wide(initialLabel_).c_str(),
                             WS_CHILD | WS_VISIBLE | SS_LEFT,
                             kMargin, kMargin, inner, kLabelHeight, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressLabelId)),
                             instance, nullptr);
    bar_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD | WS_VISIBLE, kMargin,
                           kMargin + kLabelHeight + 6, inner, kBarHeight, window,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)),
                           instance, nullptr);
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (label_) SendMessageW(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    using CreateReason = BOOL(WINAPI*)(HWND, LPCWSTR);
    if (auto createReason = User32Function<CreateReason>("ShutdownBlockReasonCreate")) {
      createReason(window, kShutdownBlockReason);
    }
    window_ = window;
    return true;
  }

  std::string caption_;
  std::string initialLabel_;
  Refusals refusals_;
  HANDLE ready_ = nullptr;
  HANDLE thread_ = nullptr;
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND bar_ = nullptr;
};

// A box shown while the progress window is open belongs to it and is shown by
// its thread: modal for it, and the window keeps being drawn meanwhile.
int OwnedMessageBox(const std::string& text, const std::string& title, UINT style) {
  HWND owner = openProgressWindow.load();
  const std::wstring wideText = Wide(text), wideTitle = Wide(title);
  int result = 0;
  if (RunOnWindowThread(owner, [&] {
        result = MessageBoxW(owner, wideText.c_str(), wideTitle.c_str(), style);
      })) {
    return result;
  }
  return MessageBoxW(nullptr, wideText.c_str(), wideTitle.c_str(), style);
}

}  // namespace

unsigned MessageBoxStyle(MessageIcon icon, MessageButtons buttons) {
  unsigned style = MB_OK;
  switch (buttons) {
    case MessageButtons::Ok: style = MB_OK; break;
    case MessageButtons::OkCancel: style = MB_OKCANCEL; break;
    case MessageButtons::YesNo: style = MB_YESNO; break;
    case MessageButtons::YesNoCancel: style = MB_YESNOCANCEL; break;
  }
  switch (icon) {
    case MessageIcon::None: break;
    case MessageIcon::Critical: style |= MB_ICONHAND; break;
    case MessageIcon::Question: style |= MB_ICONQUESTION; break;
    case MessageIcon::Exclamation: style |= MB_ICONEXCLAMATION; break;
    case MessageIcon::Information: style |= MB_ICONASTERISK; break;
  }
  return style;
}

MessageAnswer MessageBoxAnswer(int result, MessageButtons buttons) {
  switch (result) {
    case IDOK: return MessageAnswer::Ok;
    case IDCANCEL: return MessageAnswer::Cancel;
    case IDYES: return MessageAnswer::Yes;
    case IDNO: return MessageAnswer::No;
    default: return DeclinedAnswer(buttons);
  }
}

bool Win32UserInterface::DesktopIsSeen(std::string& why) {
  why.clear();
  DWORD session = 0;
  const bool sessionKnown = ProcessIdToSessionId(GetCurrentProcessId(), &session) != 0;
  if (sessionKnown && session == 0) {
    why = "the program runs in session 0 (a service, start-up script or scheduled task), "
          "whose desktop no user sees";
    return false;
  }
  HWINSTA station = GetProcessWindowStation();
  USEROBJECTFLAGS flags{};
  wchar_t name[256] = {};
  DWORD needed = 0;
  if (station &&
      GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) &&
      GetUserObjectInformationW(station, UOI_NAME, name, sizeof name - sizeof name[0], &needed)) {
    if (lstrcmpiW(name, L"WinSta0") == 0 && (flags.dwFlags & WSF_VISIBLE)) return true;
    why = "the program runs on the window station " +
          Utf8(name) +
          ", which is not the interactive one a user sees";
    return false;
  }
  const DWORD console = WTSGetActiveConsoleSessionId();
  if (!sessionKnown || session == console) return true;
  why = "the program runs in session " + std::to_string(session) +
        ", not the console's, and its window station cannot be asked";
  return false;
}

MessageAnswer Win32UserInterface::ShowMessageBox(const std::string& title,
                                                 const std::string& text, MessageIcon icon,
                                                 MessageButtons buttons) {
  std::string unseen;
  if (!DesktopIsSeen(unseen)) return DeclinedAnswer(buttons);
  const UINT style = MessageBoxStyle(icon, buttons) | MB_TASKMODAL | MB_SETFOREGROUND;
  return MessageBoxAnswer(OwnedMessageBox(text, title, style), buttons);
}

std::unique_ptr<ProgressWindow> Win32UserInterface::CreateProgressWindow(
    const std::string& caption, const std::string& label) {
  return std::make_unique<Win32ProgressWindow>(caption, label);
}

void* NativeWindowOf(ProgressWindow* window) {
  auto* own = dynamic_cast<Win32ProgressWindow*>(window);
  return own ? own->window() : nullptr;
}

}  // namespace quillon::platform::win32
