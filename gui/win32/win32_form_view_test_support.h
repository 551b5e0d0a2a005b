// What the tests of the Win32 front end share: the window with a control of
// every kind (the fixture), keys posted and held as the keyboard gives them,
// a pause past the double-click time, a watcher thread that waits for a
// window (a dialog) and plays the user in it, and text outside any ANSI code
// page.
#pragma once

// First: the Windows headers before the common controls'.
#include "gui/win32/win32_form_view.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <versionhelpers.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <thread>
#include <utility>
#include <vector>

#include "gui/form_test_support.h"
#include "gui/win32/win32_test_support.h"

namespace quillon::gui::testing {

inline std::string Text(HWND window) { return WindowText(window); }

inline void Pump() {
  PumpUntil([] { return false; }, 50);
}

// Posts a key to the control as the keyboard would, for the dialog handling.
inline void PressKey(HWND control, WPARAM key) {
  PostMessageA(control, WM_KEYDOWN, key, 1);
  PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

// Holds or lets go of modifier keys in this thread's keyboard state, as the
// posted keys that come next see it.
inline void HoldKeys(std::initializer_list<int> keys, bool down) {
  BYTE state[256] = {};
  GetKeyboardState(state);
  for (const int key : keys) state[key] = down ? 0x80 : 0;
  SetKeyboardState(state);
}

// Pauses longer than a double click, so that the next click is a new one.
inline void AfterDoubleClickTime() { Sleep(GetDoubleClickTime() + 100); }

struct WindowSearch {
  const std::function<bool(HWND)>* match;
  HWND hit;
};

// Named functions: 32-bit callbacks are stdcall, which a lambda cannot be.
inline BOOL CALLBACK MatchWindow(HWND window, LPARAM data) {
  auto* wanted = reinterpret_cast<WindowSearch*>(data);
  if (!IsWindowVisible(window) || !(*wanted->match)(window)) return TRUE;
  wanted->hit = window;
  return FALSE;
}

inline BOOL CALLBACK CancelDialogOfThisProcess(HWND window, LPARAM) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window) && ClassOf(window) == "#32770") {
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
  }
  return TRUE;
}

// Waits on another thread for a top-level window that `match` accepts, then
// runs `act` on it. A window it never finds leaves `found` false, and the
// dialog that did come is cancelled, so that the test fails instead of
// waiting for a user who never comes.
inline std::thread Watch(std::function<bool(HWND)> match, std::function<void(HWND)> act,
                         std::atomic<bool>& found) {
  return std::thread([match, act, &found] {
    for (int i = 0; i < 200 && !found; ++i) {
      WindowSearch search{&match, nullptr};
      EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
      if (search.hit) {
        found = true;
        act(search.hit);
        return;
      }
      Sleep(25);
    }
    EnumWindows(CancelDialogOfThisProcess, 0);
  });
}

// Text outside any ANSI code page: "Łódź" and "Büro" in UTF-8 for the models,
// in UTF-16 for the controls.
inline constexpr const char* kLodz = "\xC5\x81\xC3\xB3" "d\xC5\xBA";
inline constexpr const wchar_t* kWideLodz = L"\u0141\u00F3d\u017A";
inline constexpr const char* kBuro = "B\xC3\xBCro";
inline constexpr const wchar_t* kWideBuro = L"B\u00FCro";

class Win32FormViewTest : public ::testing::Test {
 protected:
  Form form_{SampleForm()};
  Win32FormView view_{form_};
  HWND window_ = view_.window();
  HWND Control(const char* key) { return view_.Control(key); }
};

}  // namespace quillon::gui::testing
