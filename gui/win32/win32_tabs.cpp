// Tab controls and their pages in the Win32 front end: the class (a frame
// where the page headers are hidden), the headers and their grey captions,
// the page shown and Ctrl+Tab (by the rules of gui/form_rules.h), the page's
// own background behind labels and buttons, and the page choices that come
// back.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>

#include <algorithm>

namespace quillon::gui {

using namespace win32_parts;

namespace win32_parts {

Created TabsClass(const ControlDescription& control, DWORD child) {
  // Pages switched by code only: just the frame their controls lie in,
  // drawn by the window (a frame static leaves its inside unpainted).
  if (control.tabsHidden) return {L"STATIC", child | SS_OWNERDRAW, 0};
  // Its captions drawn by the window: an unavailable page's is grey.
  return {WC_TABCONTROLW, child | WS_TABSTOP | TCS_OWNERDRAWFIXED, 0};
}

}  // namespace win32_parts

void Win32FormView::SetUpTabs(const ControlDescription& control, HWND created) {
  if (control.tabsHidden) return;
  int index = 0;
  for (const std::string& page : control.columns) {
    std::wstring text = Wide(page);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text.data();
    SendMessageW(created, TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                 reinterpret_cast<LPARAM>(&item));
  }
}

bool Win32FormView::ShowTabsChange(ControlModel& changed, HWND control, Change change) {
  if (change != Change::Value) return false;
  if (!changed.description().tabsHidden)
    SendMessageW(control, TCM_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
  ShowPage(changed);
  return true;
}

void Win32FormView::ShowPage(const ControlModel& tabs) {
  if (!pages_.Mapped(tabs)) return;
  const HWND focus = GetFocus();
  // Shown and hidden without drawing, then the frame's area drawn once.
  for (ControlModel* model : pages_.ShowPage(tabs)) {
    HWND control = Control(model->key());
    const bool show = IsShown(form_, *model);
    if (((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0) == show) continue;
    SetWindowPos(control, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW |
                     (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
  }
  RECT area{};
  GetWindowRect(Control(tabs.key()), &area);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
  RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  MoveFocusFrom(focus);
}

bool Win32FormView::SwitchPage(int step) {
  return gui::SwitchPage(form_, ModelOf(GetFocus()), step);
}

LRESULT Win32FormView::OnTabsNotify(ControlModel& model, const NMHDR& header) {
  if (header.code == TCN_SELCHANGING && (GetKeyState(VK_LBUTTON) & 0x8000)) {
    // A click on an unavailable page's header is refused.
    TCHITTESTINFO hit{};
    hit.pt = MessagePoint(header.hwndFrom);
    const int page = static_cast<int>(
        SendMessageW(header.hwndFrom, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return page >= 0 && !model.pageEnabled(page) ? TRUE : FALSE;
  }
  if (header.code == TCN_SELCHANGE) {
    int page = static_cast<int>(SendMessageW(header.hwndFrom, TCM_GETCURSEL, 0, 0));
    if (!model.pageEnabled(page)) {
      // A key moved onto an unavailable page, which the tab control does
      // not tell beforehand: on to the next available one that way, else
      // back.
      const int step = page > model.value() ? 1 : -1;
      const int count = static_cast<int>(model.description().columns.size());
      int next = page;
      while (next >= 0 && next < count && !model.pageEnabled(next)) next += step;
      page = next >= 0 && next < count ? next : model.value();
      SendMessageW(header.hwndFrom, TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    }
    model.SetValue(page);
  }
  return 0;
}

void Win32FormView::DrawPageFrame(const DRAWITEMSTRUCT& item) {
  // The frame of pages without headers, as a tab control's pages lie in.
  RECT box = item.rcItem;
  FillRect(item.hDC, &box, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(item.hDC, &box, EDGE_RAISED, BF_RECT);
}

void Win32FormView::DrawTabCaption(const ControlModel& model, const DRAWITEMSTRUCT& item) {
  // Tab controls cannot grey a page themselves.
  const auto page = static_cast<std::size_t>(item.itemID);
  if (page >= model.description().columns.size()) return;
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  const bool available = model.enabled() && model.pageEnabled(static_cast<int>(page));
  HGDIOBJ previous = SelectObject(dc, font_);
  SetTextColor(dc, GetSysColor(available ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
  DrawTextW(dc, Wide(model.description().columns[page]).c_str(), -1, &box,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  SelectObject(dc, previous);
}

void Win32FormView::ForgetPageBackgrounds() {
  for (auto& [tabs, picture] : pageBackgrounds_) {
    DeleteObject(picture.brush);
    DeleteObject(picture.bitmap);
  }
  pageBackgrounds_.clear();
}

HBRUSH Win32FormView::PageBackground(HWND tabs) {
  auto found = pageBackgrounds_.find(tabs);
  if (found != pageBackgrounds_.end()) return found->second.brush;
  // The tab control drawn into a bitmap: with visual styles its pages are not
  // the dialog face but the theme's (often a gradient), which a solid brush
  // cannot give.
  RECT area{};
  GetClientRect(tabs, &area);
  HDC screen = GetDC(tabs);
  HDC memory = CreateCompatibleDC(screen);
  PagePicture picture;
  picture.bitmap = CreateCompatibleBitmap(screen, std::max(1L, area.right), std::max(1L, area.bottom));
  HGDIOBJ previous = SelectObject(memory, picture.bitmap);
  FillRect(memory, &area, GetSysColorBrush(COLOR_BTNFACE));
  SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
               PRF_CLIENT | PRF_ERASEBKGND);
  SelectObject(memory, previous);
  DeleteDC(memory);
  ReleaseDC(tabs, screen);
  picture.brush = CreatePatternBrush(picture.bitmap);
  pageBackgrounds_[tabs] = picture;
  return picture.brush;
}

HWND Win32FormView::PageOf(HWND control) {
  const ControlModel* model = ModelOf(control);
  if (!model || model->description().container.empty()) return nullptr;
  const ControlKind kind = model->description().kind;
  if (kind != ControlKind::Label && kind != ControlKind::CheckBox &&
      kind != ControlKind::OptionButton)
    return nullptr;
  const ControlModel* tabs = form_.Find(model->description().container);
  if (!tabs || tabs->description().tabsHidden) return nullptr;
  return Control(tabs->key());
}

}  // namespace quillon::gui
