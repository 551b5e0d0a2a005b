// The progress window lives on the engine's only thread and is drawn only when
// the engine lets it: Show, Repaint and ProcessMessages, which the progress
// calls make at their fixed points. Between them it does not repaint.
#include "platform/win32/user_interface_win32.h"

#include "platform/host/windows_api.h"
#include "platform/text.h"

#include <commctrl.h>

namespace quillon::platform::win32 {
namespace {

constexpr int kClientWidth = 360;
constexpr int kMargin = 12;
constexpr int kLabelHeight = 34;  // two lines of the dialog font
constexpr int kBarHeight = 18;
constexpr int kClientHeight = kMargin + kLabelHeight + 6 + kBarHeight + kMargin;

// Nothing in the window can be operated, closing included: it goes when the
// engine is done with it.
LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterProgressClass() {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = ProgressWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kProgressWindowClass;
    return RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }();
  return registered;
}

class Win32ProgressWindow : public ProgressWindow {
 public:
  Win32ProgressWindow(const std::string& caption, const std::string& label) {
    if (!RegisterProgressClass()) return;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION;
    RECT frame{0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{0, 0, 800, 600};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    const int x = work.left + ((work.right - work.left) - width) / 2;
    const int y = work.top + ((work.bottom - work.top) - height) / 2;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    window_ = CreateWindowExA(0, kProgressWindowClass, caption.c_str(), style, x, y, width, height,
                              nullptr, nullptr, instance, nullptr);
    if (!window_) return;
    const int inner = kClientWidth - 2 * kMargin;
    label_ = CreateWindowExA(0, "STATIC", label.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, kMargin,
                             kMargin, inner, kLabelHeight, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressLabelId)),
                             instance, nullptr);
    bar_ = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, kMargin,
                           kMargin + kLabelHeight + 6, inner, kBarHeight, window_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProgressBarId)),
                           instance, nullptr);
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (label_) SendMessageA(label_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  ~Win32ProgressWindow() override { Close(); }
  Win32ProgressWindow(const Win32ProgressWindow&) = delete;
  Win32ProgressWindow& operator=(const Win32ProgressWindow&) = delete;

  void SetLabel(const std::string& text) override {
    if (label_) SetWindowTextA(label_, text.c_str());
  }
  void SetBarMaximum(int maximum) override {
    if (bar_) SendMessageA(bar_, PBM_SETRANGE32, 0, maximum);
  }
  void SetBarValue(int value) override {
    if (bar_) SendMessageA(bar_, PBM_SETPOS, static_cast<WPARAM>(value), 0);
  }
  void Show() override {
    if (!window_) return;
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
  }
  void Repaint() override {
    if (window_) {
      RedrawWindow(window_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
  }
  void ProcessMessages() override {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Not ours to act on: left for whoever runs the thread's loop.
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  void Close() override {
    if (!window_) return;
    DestroyWindow(window_);
    window_ = label_ = bar_ = nullptr;
    ProcessMessages();
  }

  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
  HWND label_ = nullptr;
  HWND bar_ = nullptr;
};

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
          Utf16ToNarrow(reinterpret_cast<const char16_t*>(name)) +
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
  return MessageBoxAnswer(MessageBoxA(nullptr, text.c_str(), title.c_str(), style), buttons);
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
