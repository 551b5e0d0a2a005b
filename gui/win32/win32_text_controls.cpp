// Labels, text boxes, combos and progress bars in the Win32 front end: their
// classes, a label's own painting, a combo's lines and choice, a progress
// bar's range and position, and the typing and choosing that come back.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>

namespace quillon::gui {

using namespace win32_parts;

namespace {

// A label draws its own text: wrapped an average character short of its
// right edge, because a line is drawn a few pixels wider than it measures
// and the static control would cut its last letters there. It stays a static
// control otherwise (its mnemonic, its text for screen readers), and its
// background is what its parent gives for it (a tab page's).
LRESULT CALLBACK PaintLabel(HWND label, UINT message, WPARAM wParam, LPARAM lParam,
                            UINT_PTR id, DWORD_PTR) {
  switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: {
      PAINTSTRUCT paint{};
      HDC dc = message == WM_PAINT ? BeginPaint(label, &paint) : reinterpret_cast<HDC>(wParam);
      RECT box{};
      GetClientRect(label, &box);
      auto brush = reinterpret_cast<HBRUSH>(SendMessageW(
          GetParent(label), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
          reinterpret_cast<LPARAM>(label)));
      FillRect(dc, &box, brush ? brush : GetSysColorBrush(COLOR_BTNFACE));
      HGDIOBJ previous =
          SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
      TEXTMETRICW metrics{};
      GetTextMetricsW(dc, &metrics);
      box.right -= metrics.tmAveCharWidth;
      SetBkMode(dc, TRANSPARENT);
      if (!IsWindowEnabled(label)) SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      const bool hideMnemonics = (SendMessageW(label, WM_QUERYUISTATE, 0, 0) & UISF_HIDEACCEL) != 0;
      const std::wstring text = WindowWideText(label);
      DrawTextW(dc, text.c_str(), -1, &box,
                DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK | (hideMnemonics ? DT_HIDEPREFIX : 0));
      SelectObject(dc, previous);
      if (message == WM_PAINT) EndPaint(label, &paint);
      return 0;
    }
    case WM_ERASEBKGND:
      return TRUE;  // painted with the text
    case WM_NCDESTROY:
      RemoveWindowSubclass(label, PaintLabel, id);
      break;
    default:
      break;
  }
  return DefSubclassProc(label, message, wParam, lParam);
}

}  // namespace

namespace win32_parts {

Created TextClass(ControlKind kind, DWORD child) {
  switch (kind) {
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFT, 0};
    case ControlKind::TextBox:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::MultiLineText:
      return {L"EDIT",
              child | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
    case ControlKind::ComboBox:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::ComboList:
    case ControlKind::DriveList:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::ProgressBar:
      return {PROGRESS_CLASSW, child, 0};
    default:
      return {L"STATIC", child, 0};
  }
}

}  // namespace win32_parts

void Win32FormView::SetUpTextControl(const ControlModel& model, HWND control) {
  if (model.description().kind == ControlKind::Label) SetWindowSubclass(control, PaintLabel, 0, 0);
  if (model.description().kind == ControlKind::ProgressBar)
    SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(model.minimum()), model.maximum());
}

bool Win32FormView::ShowTextChange(ControlModel& changed, HWND control, Change change) {
  const ControlKind kind = changed.description().kind;
  if (kind == ControlKind::ProgressBar) {
    if (change == Change::Value) {
      SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(changed.value()), 0);
      return true;
    }
    if (change == Change::Range) {
      SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(changed.minimum()),
                   changed.maximum());
      return true;
    }
    return false;
  }
  if (!IsCombo(kind)) return false;
  if (change == Change::Value) {
    SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
    // Choosing no line empties an editable combo's box; the model's text
    // stays.
    if (kind == ControlKind::ComboBox) SetWindowString(control, changed.text());
    return true;
  }
  if (change == Change::Lines) {
    SendMessageW(control, CB_RESETCONTENT, 0, 0);
    for (const std::string& line : changed.lines()) {
      SendMessageW(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(line).c_str()));
    }
    SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
    // Emptying the list emptied an editable combo's box too.
    if (kind == ControlKind::ComboBox) SetWindowString(control, changed.text());
    return true;
  }
  return false;
}

void Win32FormView::OnTextCommand(ControlModel& model, HWND control, int code) {
  const ControlKind kind = model.description().kind;
  // A label's and a progress bar's notifications change no model.
  if (kind == ControlKind::Label || kind == ControlKind::ProgressBar) return;
  if (!IsCombo(kind)) {
    if (code == EN_SETFOCUS) model.SetFocus(true);
    if (code == EN_CHANGE) model.SetText(WindowString(control));
    return;
  }
  if (code == CBN_SETFOCUS) model.SetFocus(true);
  if (code == CBN_SELCHANGE) {
    const int selected = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
    model.SetValue(selected);
    if (selected >= 0 && selected < static_cast<int>(model.lines().size())) {
      model.SetText(model.lines()[static_cast<std::size_t>(selected)]);
    }
  }
  if (code == CBN_EDITCHANGE) model.SetText(WindowString(control));
}

}  // namespace quillon::gui
