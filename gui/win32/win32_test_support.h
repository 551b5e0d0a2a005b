// Helpers for tests of real Win32 windows: run the thread's messages with the
// keyboard handling of dialogs until a condition holds, read a window's text
// (as UTF-8), class and pixels, and move and click the mouse as the user's
// hand does.
#pragma once

#include <shellapi.h>

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "platform/host/windows_api.h"

namespace quillon::gui::testing {

// Runs the thread's messages until `done` says so or `milliseconds` pass; a
// quit message (a main window's end) is dropped. Unicode throughout, as the
// windows' own loop: an ANSI loop would turn typed characters outside the code
// page into "?".
template <typename Done>
bool PumpUntil(Done done, int milliseconds = 5000) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) continue;
      HWND top = message.hwnd ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
      if (!top || !IsDialogMessageW(top, &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
    }
    if (done()) return true;
    Sleep(10);
  }
  return done();
}

inline std::wstring WindowWideText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

inline std::string WindowText(HWND window) {
  return platform::win32::Utf8(WindowWideText(window));
}

inline std::string ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return platform::win32::Utf8(name);
}

// The program's arguments as UTF-8, the program's name first: main's own are
// in the ANSI code page.
inline std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
    for (int i = 0; i < count; ++i) arguments.push_back(platform::win32::Utf8(wide[i]));
    LocalFree(wide);
  }
  return arguments;
}

// Mouse input at `point` of `window`'s client area: every event carries its
// place, so none lands where the pointer was before.
inline INPUT MouseAt(HWND window, POINT point, DWORD flags) {
  ClientToScreen(window, &point);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  return input;
}

// The pointer to `point` of `window`'s client area, moved through the
// system's input queue as a real move is.
inline void MoveMouse(HWND window, POINT point) {
  INPUT move = MouseAt(window, point, 0);
  SendInput(1, &move, sizeof move);
}

// Clicks (twice: a double click) of the left button at `point` of `window`'s
// client area, through the system's input queue.
inline void ClickMouse(HWND window, POINT point, int clicks = 1) {
  MoveMouse(window, point);
  for (int i = 0; i < clicks; ++i) {
    INPUT press[2] = {MouseAt(window, point, MOUSEEVENTF_LEFTDOWN),
                      MouseAt(window, point, MOUSEEVENTF_LEFTUP)};
    SendInput(2, press, sizeof press[0]);
  }
}

// Keys typed through the system's input queue: each pressed and released
// in turn, a modifier (VK_MENU, VK_CONTROL, VK_SHIFT) held for the next key.
inline void TypeKey(WORD key, WORD modifier = 0) {
  INPUT keys[4] = {};
  int count = 0;
  const auto add = [&](WORD code, DWORD flags) {
    keys[count].type = INPUT_KEYBOARD;
    keys[count].ki.wVk = code;
    keys[count++].ki.dwFlags = flags;
  };
  if (modifier) add(modifier, 0);
  add(key, 0);
  add(key, KEYEVENTF_KEYUP);
  if (modifier) add(modifier, KEYEVENTF_KEYUP);
  SendInput(static_cast<UINT>(count), keys, sizeof keys[0]);
}

// How many pixels of `window`'s client area, as drawn on the screen, are
// exactly `color`.
inline int PixelsOf(HWND window, COLORREF color, const RECT* within = nullptr) {
  RECT area{};
  GetClientRect(window, &area);
  if (within) IntersectRect(&area, &area, within);
  HDC dc = GetDC(window);
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (GetPixel(dc, x, y) == color) ++count;
    }
  }
  ReleaseDC(window, dc);
  return count;
}

// The colour most used in `window`'s client area, as drawn on the screen,
// besides `background`: the ink of a text.
inline COLORREF InkOf(HWND window, COLORREF background) {
  RECT area{};
  GetClientRect(window, &area);
  HDC dc = GetDC(window);
  std::map<COLORREF, int> counts;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      const COLORREF color = GetPixel(dc, x, y);
      if (color != background && color != CLR_INVALID) ++counts[color];
    }
  }
  ReleaseDC(window, dc);
  COLORREF ink = CLR_INVALID;
  int most = 0;
  for (const auto& [color, count] : counts) {
    if (count > most) {
      ink = color;
      most = count;
    }
  }
  return ink;
}

// How far apart two colours are in lightness, 0 to 255.
inline int LightnessApart(COLORREF a, COLORREF b) {
  const auto lightness = [](COLORREF color) {
    return (GetRValue(color) * 299 + GetGValue(color) * 587 + GetBValue(color) * 114) / 1000;
  };
  const int apart = lightness(a) - lightness(b);
  return apart < 0 ? -apart : apart;
}

inline POINT Center(const RECT& rect) {
  return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The texts of `window`'s shown labels, check boxes and option buttons that
// do not fit their controls: each text measured in the control's own font,
// wrapped as the control wraps it (a label keeps an average character free
// at its right), against its client area; and a label's text drawn on the
// screen leaves that edge free (a line drawn wider than measured is cut
// there). Each entry names the text and the room it lacked.
namespace detail {
// The columns at the right edge of `control`'s client area, as the screen
// shows them, hold only one colour.
inline bool RightEdgeBlank(HWND control, int columns) {
  RECT area{};
  GetClientRect(control, &area);
  HDC dc = GetDC(control);
  const COLORREF background = GetPixel(dc, area.right - 1, area.bottom - 1);
  bool blank = true;
  for (int y = area.top; y < area.bottom && blank; ++y) {
    for (int x = area.right - columns; x < area.right && blank; ++x) {
      blank = GetPixel(dc, x, y) == background;
    }
  }
  ReleaseDC(control, dc);
  return blank;
}

// A named function: 32-bit callbacks are stdcall, which a lambda cannot be.
inline BOOL CALLBACK CheckTextFits(HWND control, LPARAM data) {
  auto& clipped = *reinterpret_cast<std::vector<std::string>*>(data);
  if (!IsWindowVisible(control)) return TRUE;
  std::string kind = ClassOf(control);
  for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const LONG style = GetWindowLongW(control, GWL_STYLE);
  const std::wstring text = WindowWideText(control);
  if (text.empty()) return TRUE;
  RECT room{};
  GetClientRect(control, &room);
  HDC dc = GetDC(control);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  bool label = false;
  if (kind == "static") {
    const LONG type = style & SS_TYPEMASK;
    label = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
    room.right -= metrics.tmAveCharWidth;
  } else if (kind == "button") {
    const LONG type = style & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_CHECKBOX || type == BS_AUTORADIOBUTTON ||
        type == BS_RADIOBUTTON) {
      // The box (12 pixels at 96 DPI and one more) and half a "0" before the
      // text, as the button lays it out; the text is drawn a pixel in from
      // where it was wrapped, so a line that ends in the last two pixels of
      // that width is cut.
      INT zero = 0;
      GetCharWidth32W(dc, L'0', L'0', &zero);
      room.left += MulDiv(12, GetDeviceCaps(dc, LOGPIXELSX), 96) + 1 + zero / 2;
      const int wrapped = room.right - room.left;
      RECT lines{0, 0, wrapped, 0};
      DrawTextW(dc, text.c_str(), -1, &lines,
                DT_CALCRECT | DT_EXPANDTABS |
                    ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE));
      if (lines.right > wrapped - 2 && lines.right <= wrapped)
        clipped.push_back(WindowText(control) + " (drawn up to its right edge)");
    } else {
      room = {};
    }
  }
  bool measured = false;
  RECT needed = room;
  if (room.right > room.left) {
    const bool wraps = label || (style & BS_MULTILINE);
    DrawTextW(dc, text.c_str(), -1, &needed,
              DT_CALCRECT | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    measured = true;
  }
  SelectObject(dc, previous);
  ReleaseDC(control, dc);
  if (!measured) return TRUE;
  const int width = needed.right - needed.left, height = needed.bottom - needed.top;
  const std::string has = std::to_string(room.right - room.left) + "x" +
                            std::to_string(room.bottom - room.top);
  if (width > room.right - room.left || height > room.bottom - room.top) {
    clipped.push_back(WindowText(control) + " (needs " + std::to_string(width) + "x" +
                      std::to_string(height) + ", has " + has + ")");
  } else if (label && !RightEdgeBlank(control, metrics.tmAveCharWidth / 2)) {
    clipped.push_back(WindowText(control) + " (drawn up to its right edge)");
  }
  return TRUE;
}
}  // namespace detail

inline std::vector<std::string> ClippedTexts(HWND window) {
  std::vector<std::string> clipped;
  EnumChildWindows(window, detail::CheckTextFits, reinterpret_cast<LPARAM>(&clipped));
  return clipped;
}

// The window as the screen shows it, frame included, as a 24-bit BMP file
// (scripts/bmp-to-png makes a PNG of it). The path is UTF-8.
inline bool SaveWindowBitmap(HWND window, const std::string& path) {
  RECT place{};
  GetWindowRect(window, &place);
  const int width = place.right - place.left;
  const int height = place.bottom - place.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files keep it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, place.left, place.top, SRCCOPY);
  GdiFlush();
  const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
  const DWORD size = stride * static_cast<DWORD>(height);
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof header + sizeof info.bmiHeader;
  header.bfSize = header.bfOffBits + size;
  bool written = false;
  if (FILE* file = _wfopen(platform::win32::Wide(path).c_str(), L"wb")) {
    written = std::fwrite(&header, sizeof header, 1, file) == 1 &&
              std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, file) == 1 &&
              std::fwrite(bits, size, 1, file) == 1;
    written = std::fclose(file) == 0 && written;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written;
}

}  // namespace quillon::gui::testing
