// The Win32 front end's measures of the screen: the DPI a window is drawn at,
// the dialog font and its base units at that DPI, the window's frame around
// its designed client area, and a window's place in the middle of its owner.
#include "gui/win32/win32_form_parts.h"

#include <algorithm>

namespace quillon::gui {

using namespace win32_parts;

namespace {

// The message font at `dpi`.
LOGFONTW MessageFont(UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  static const auto forDpi = User32Function<ForDpi>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi && forDpi(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0, dpi))
    return metrics.lfMessageFont;
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) {
    // Before Vista the record ends before its last field.
    metrics.cbSize = sizeof metrics - sizeof metrics.iPaddedBorderWidth;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0);
  }
  // Given at the system's DPI.
  metrics.lfMessageFont.lfHeight =
      MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
  return metrics.lfMessageFont;
}

void AdjustFrame(RECT& frame, DWORD style, bool menu, DWORD exStyle, UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto forDpi = User32Function<ForDpi>("AdjustWindowRectExForDpi");
  if (!forDpi || !forDpi(&frame, style, menu, exStyle, dpi))
    AdjustWindowRectEx(&frame, style, menu, exStyle);
}

}  // namespace

namespace win32_parts {

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

int MetricForDpi(int index, UINT dpi) {
  using ForDpi = int(WINAPI*)(int, UINT);
  static const auto forDpi = User32Function<ForDpi>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(index, dpi)
                : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                         static_cast<int>(SystemDpi()));
}

}  // namespace win32_parts

UINT WindowDpi(HWND window) {
  using ForWindow = UINT(WINAPI*)(HWND);
  static const auto forWindow = User32Function<ForWindow>("GetDpiForWindow");
  const UINT dpi = forWindow && window ? forWindow(window) : 0;
  return dpi ? dpi : SystemDpi();
}

void CenterWindow(HWND window, HWND over) {
  RECT place{};
  GetWindowRect(window, &place);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(over ? over : window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  RECT around = work;
  if (over && IsWindowVisible(over) && !IsIconic(over)) GetWindowRect(over, &around);
  const int width = place.right - place.left, height = place.bottom - place.top;
  int x = (around.left + around.right - width) / 2;
  int y = (around.top + around.bottom - height) / 2;
  // Inside the work area, its top left corner first: the title bar stays reachable.
  x = std::max(std::min(x, static_cast<int>(work.right) - width), static_cast<int>(work.left));
  y = std::max(std::min(y, static_cast<int>(work.bottom) - height), static_cast<int>(work.top));
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32FormView::UseDpi(UINT dpi) {
  dpi_ = dpi;
  // The dialog font of this system, and its base units as MapDialogRect counts them.
  const LOGFONTW message = MessageFont(dpi);
  if (font_) DeleteObject(font_);
  if (linkFont_) DeleteObject(linkFont_);
  font_ = CreateFontIndirectW(&message);
  LOGFONTW underlined = message;
  underlined.lfUnderline = TRUE;
  linkFont_ = CreateFontIndirectW(&underlined);
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font_);
  TEXTMETRICW text{};
  GetTextMetricsW(screen, &text);
  SIZE letters{};
  const std::wstring alphabet = Wide(kBaseUnitLetters);
  GetTextExtentPoint32W(screen, alphabet.c_str(), static_cast<int>(alphabet.size()), &letters);
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  const BaseUnits base = DialogBaseUnits(letters.cx, text.tmHeight);
  baseX_ = base.x;
  baseY_ = base.y;
}

POINT Win32FormView::DesignedFrameSize() {
  // The frame around the designed client area, the menu and toolbar included.
  const FormDescription& described = form_.description();
  RECT toolbar{};
  if (toolbar_) GetWindowRect(toolbar_, &toolbar);
  const Rect client =
      DialogUnitsToPixels({0, 0, described.width, described.height}, baseX_, baseY_);
  RECT frame{0, 0, client.width, client.height + (toolbar.bottom - toolbar.top)};
  AdjustFrame(frame, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)),
              GetMenu(window_) != nullptr, static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)),
              dpi_);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace quillon::gui
