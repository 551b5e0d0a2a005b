// Helpers for tests of real Win32 windows: run the thread's messages with the
// keyboard handling of dialogs until a condition holds, and read a window's
// text and class.
#pragma once

#include <string>

#include "platform/host/windows_api.h"

namespace quillon::gui::testing {

// Runs the thread's messages until `done` says so or `milliseconds` pass; a
// quit message (a main window's end) is dropped.
template <typename Done>
bool PumpUntil(Done done, int milliseconds = 5000) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (!top || !IsDialogMessageA(top, &message)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
    }
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

inline std::string WindowText(HWND window) {
  char text[260] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

inline std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
}

}  // namespace quillon::gui::testing
