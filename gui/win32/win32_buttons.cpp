// Buttons, check boxes, option buttons and links in the Win32 front end:
// their classes, their width for wrapped text, their checks and the option
// group's tab stop, their clicks, and a link's drawing.
#include "gui/win32/win32_form_parts.h"

#include <algorithm>
#include <cstdlib>

namespace quillon::gui {

using namespace win32_parts;

namespace {

// The system's link colour, unless it barely stands out from the face of
// dialogs (as in some themes): then the usual link blue.
COLORREF LinkColor() {
  const auto lightness = [](COLORREF color) {
    return (GetRValue(color) * 299 + GetGValue(color) * 587 + GetBValue(color) * 114) / 1000;
  };
  const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
  return std::abs(lightness(link) - lightness(GetSysColor(COLOR_BTNFACE))) >= 96 ? link
                                                                                 : RGB(0, 102, 204);
}

}  // namespace

namespace win32_parts {

Created ButtonClass(ControlKind kind, DWORD child, bool isDefault, bool tabStop) {
  switch (kind) {
    case ControlKind::Button:
      return {L"BUTTON",
              child | WS_TABSTOP | BS_NOTIFY | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), 0};
    case ControlKind::CheckBox:
      return {L"BUTTON", child | WS_TABSTOP | BS_NOTIFY | BS_AUTOCHECKBOX | BS_MULTILINE, 0};
    case ControlKind::OptionButton:
      // Automatic, so that the dialog keyboard's arrows check the member they
      // reach; the group the button checks within (up to the next WS_GROUP) is
      // the control array, which the form checks alike.
      return {L"BUTTON",
              child | (tabStop ? WS_TABSTOP : 0) | BS_NOTIFY | BS_AUTORADIOBUTTON | BS_MULTILINE,
              0};
    case ControlKind::Link:
      // Drawn by the window as a link; a button, so that it is a tab stop,
      // shows the focus, acts on Space and reports a click when released.
      return {L"BUTTON", child | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY, 0};
    default:
      return {L"STATIC", child, 0};
  }
}

// A check box or option button lays its text out a pixel in from the left of
// the width it wrapped it to, so a line that fills that width loses its last
// pixels at the edge (Wine's buttons do so). Such a button gets
// two pixels more, which no word can take: its lines stay, with room.
int WidthForButtonText(HWND button, int width, UINT dpi) {
  const std::wstring text = WindowWideText(button);
  if (text.empty()) return width;
  HDC dc = GetDC(button);
  HGDIOBJ previous =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
  INT zero = 0;
  GetCharWidth32W(dc, L'0', L'0', &zero);
  const int room = width - (MulDiv(12, static_cast<int>(dpi), 96) + 1) - zero / 2;
  RECT needed{0, 0, std::max(room, 1), 0};
  DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SelectObject(dc, previous);
  ReleaseDC(button, dc);
  return needed.right > room - 2 && needed.right <= room ? width + 2 : width;
}

}  // namespace win32_parts

bool Win32FormView::ShowButtonChange(ControlModel& changed, HWND control, Change change) {
  if (change != Change::Checked) return false;
  SendMessageW(control, BM_SETCHECK, changed.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
  if (IsOption(changed)) MoveGroupTabStop(changed);
  return true;
}

void Win32FormView::OnButtonCommand(ControlModel& model, HWND control, int code) {
  if (code == BN_SETFOCUS) model.SetFocus(true);
  if (code != BN_CLICKED) return;
  if (model.description().kind == ControlKind::CheckBox) {
    model.SetChecked(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
  }
  form_.Click(model.key());
}

void Win32FormView::MoveGroupTabStop(const ControlModel& changed) {
  // As an automatic radio button does.
  const std::string& group = changed.description().name;
  const ControlModel* stop = GroupTabStop(form_, group);
  for (const ControlModel* member : GroupMembers(form_, group)) {
    HWND button = Control(member->key());
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    SetWindowLongPtrW(button, GWL_STYLE,
                      member == stop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
}

void Win32FormView::DrawLink(const DRAWITEMSTRUCT& item) {
  // Underlined in the link colour, grey when disabled.
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
  const std::wstring text = WindowWideText(item.hwndItem);
  HGDIOBJ previous = SelectObject(dc, linkFont_);
  SetTextColor(dc, (item.itemState & ODS_DISABLED) ? GetSysColor(COLOR_GRAYTEXT) : LinkColor());
  const UINT format =
      DT_LEFT | DT_TOP | DT_WORDBREAK | ((item.itemState & ODS_NOACCEL) ? DT_HIDEPREFIX : 0);
  RECT drawn = box;
  DrawTextW(dc, text.c_str(), -1, &drawn, format | DT_CALCRECT);
  DrawTextW(dc, text.c_str(), -1, &box, format);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    IntersectRect(&drawn, &drawn, &item.rcItem);
    DrawFocusRect(dc, &drawn);
  }
  SelectObject(dc, previous);
}

}  // namespace quillon::gui
