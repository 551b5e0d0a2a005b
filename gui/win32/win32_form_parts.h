// Internal to the Win32 front end, shared by its files by control kind: the
// ids of controls and commands, window text in UTF-8, control keys, the DPI
// functions looked up at run time, and each kind's window class and styles.
// Callers use win32_form_view.h.
#pragma once

#include <string>

#include "gui/form.h"
#include "gui/win32/win32_form_view.h"

namespace quillon::gui::win32_parts {

inline constexpr int kFirstControlId = 100;
inline constexpr int kFirstCommandId = 1000;
inline constexpr int kFirstToolId = kFirstCommandId + 500;
inline constexpr int kFirstShortcutId = kFirstCommandId + 900;  // keys of no menu entry or tool
inline constexpr UINT kActivated = WM_APP + 1;  // the activation, reported after it is drawn
inline constexpr UINT kDestroy = WM_APP + 2;    // the form agreed to close

using platform::win32::Utf8;
using platform::win32::Wide;

// Lengths count UTF-16 units, the terminating NUL not included.
std::wstring WindowWideText(HWND window);
std::string WindowString(HWND window);
void SetWindowString(HWND window, const std::string& text);

inline bool IsOption(const ControlModel& model) {
  return model.description().kind == ControlKind::OptionButton;
}

// Where the message being handled happened, in `window`'s client area.
POINT MessagePoint(HWND window);

void SetKey(HWND window, const std::string& key);
void ClearKey(HWND window);

// The DPI functions of Windows 10 1607 and later, looked up so that the
// program still starts on older systems, which draw everything at the
// system's DPI.
template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}
UINT SystemDpi();
int MetricForDpi(int index, UINT dpi);

// The window class and styles a control is created with. `child` holds the
// styles of every control (its group start among them).
struct Created {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};
Created ButtonClass(ControlKind kind, DWORD child, bool isDefault, bool tabStop);
Created TextClass(ControlKind kind, DWORD child);
Created ListClass(ControlKind kind, DWORD child);
Created TreeClass(DWORD child);
Created TabsClass(const ControlDescription& control, DWORD child);

// The width a check box or option button needs for its text to keep its
// lines, given the width it was designed with.
int WidthForButtonText(HWND button, int width, UINT dpi);

}  // namespace quillon::gui::win32_parts
