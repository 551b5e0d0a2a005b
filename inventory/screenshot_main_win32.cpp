// Draws frmMain as the Win32 front end shows it, over a simulated client, into
// a 24-bit BMP file (scripts/screenshot-inventory turns it into a PNG).
// Usage: inventory_screenshot_win32 <client.json> <out.bmp> [row to tick ...]
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui/scripted_dialogs.h"
#include "gui/win32/win32_form_view.h"
#include "inventory/inventory_host.h"
#include "inventory/inventory_window.h"

namespace {

void Pump(int milliseconds) {
  for (int waited = 0; waited < milliseconds; waited += 10) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    Sleep(10);
  }
}

// The window as the screen shows it, frame included.
bool SaveBitmap(HWND window, const char* path) {
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
  if (FILE* file = std::fopen(path, "wb")) {
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: inventory_screenshot_win32 <client.json> <out.bmp> [row ...]\n");
    return 2;
  }
  std::string error;
  auto host = quillon::inventory::InventoryHost::Open(argv[1], &error);
  if (!host) {
    std::fprintf(stderr, "inventory_screenshot_win32: %s\n", error.c_str());
    return 2;
  }
  // A picture never asks anything; a dialog would be answered as cancelled.
  quillon::gui::ScriptedDialogs dialogs;
  quillon::inventory::InventoryWindow window(host->drivers(), host->files(), dialogs);
  quillon::gui::Win32FormView view(window.form());
  SetWindowPos(view.window(), HWND_TOP, 40, 40, 0, 0, SWP_NOSIZE);
  view.Show();
  SetForegroundWindow(view.window());
  Pump(1500);  // the first activation fills the list
  if (window.list().RowCount() == 0) {
    std::fprintf(stderr, "inventory_screenshot_win32: the list was not filled\n");
    return 1;
  }
  for (int i = 3; i < argc; ++i) window.list().SetChecked(std::atoi(argv[i]), true);
  Pump(500);
  if (!SaveBitmap(view.window(), argv[2])) {
    std::fprintf(stderr, "inventory_screenshot_win32: cannot write %s\n", argv[2]);
    return 1;
  }
  return dialogs.asked.empty() ? 0 : 1;
}
