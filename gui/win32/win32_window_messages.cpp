// The Win32 front end's window procedure and message loop: the dialog
// keyboard (Tab, mnemonics, Enter, Escape, Ctrl+Tab), the window's shortcut
// keys, activation, closing and the end of the session, DPI changes, and the
// controls' commands, notifications and drawing handed to their kinds' code.
#include "gui/win32/win32_form_parts.h"

#include <commctrl.h>

#include <algorithm>

namespace quillon::gui {

using namespace win32_parts;

bool Win32FormView::PumpMessage(const MSG& message) {
  // Ctrl+Tab and Ctrl+Shift+Tab switch pages, before the dialog keyboard
  // handling takes them for Tab.
  if (window_ && message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
      (GetKeyState(VK_CONTROL) & 0x8000) &&
      (message.hwnd == window_ || IsChild(window_, message.hwnd)) &&
      SwitchPage((GetKeyState(VK_SHIFT) & 0x8000) ? -1 : 1))
    return true;
  // The window's keys, wherever in it the focus is.
  if (window_ && accelerators_ && (message.hwnd == window_ || IsChild(window_, message.hwnd)) &&
      TranslateAcceleratorW(window_, accelerators_, const_cast<MSG*>(&message)))
    return true;
  // Tab, mnemonics, Enter and Escape as in a dialog.
  if (window_ && IsDialogMessageW(window_, const_cast<MSG*>(&message))) return true;
  TranslateMessage(&message);
  DispatchMessageW(&message);
  return true;
}

int Win32FormView::Loop() {
  MSG message{};
  while (window_) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return -1;  // the queue failed: nothing more will come
    if (got == 0) {
      // Someone else's quit: left for the loop that runs the thread.
      PostQuitMessage(static_cast<int>(message.wParam));
      return static_cast<int>(message.wParam);
    }
    PumpMessage(message);
  }
  if (owner_ == nullptr) {
    // The main window's end posted the quit; take it so a later loop does not
    // see it.
    if (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
      return static_cast<int>(message.wParam);
  }
  return 0;
}

int Win32FormView::Run() { return Loop(); }

void Win32FormView::RunModal() {
  if (owner_) EnableWindow(owner_, FALSE);
  Show();
  Loop();
  if (owner_) {
    EnableWindow(owner_, TRUE);
    SetActiveWindow(owner_);
  }
}

void Win32FormView::OnCommand(int id, int code, HWND from) {
  if (id == IDCANCEL || id == IDOK) {
    // Escape and Enter, from the dialog keyboard handling.
    const std::string& key =
        id == IDCANCEL ? form_.description().cancelControl : form_.description().defaultControl;
    if (HWND button = Control(key); button && IsWindowEnabled(button)) form_.Click(key);
    return;
  }
  if (const auto command = commands_.find(id);
      command != commands_.end() && (from == nullptr || from == toolbar_)) {
    form_.Click(command->second);
    return;
  }
  const int index = id - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls_.size()) || updating_) return;
  ControlModel& model = *form_.controls()[static_cast<std::size_t>(index)];
  HWND control = controls_[static_cast<std::size_t>(index)];
  switch (FamilyOf(model.description().kind)) {
    case ControlFamily::Buttons:
      OnButtonCommand(model, control, code);
      break;
    case ControlFamily::TextControls:
      OnTextCommand(model, control, code);
      break;
    case ControlFamily::Lists:
      OnListCommand(model, control, code);
      break;
    case ControlFamily::Tree:  // these two speak through WM_NOTIFY
    case ControlFamily::Tabs:
      break;
  }
}

LRESULT Win32FormView::OnNotify(const NMHDR& header) {
  if (header.code == NM_CUSTOMDRAW) {
    if (const ControlModel* drawn = ModelOf(header.hwndFrom);
        drawn && drawn->description().kind == ControlKind::TreeView)
      return DrawTreeItem(header);
  }
  const int index = static_cast<int>(header.idFrom) - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls_.size()) || updating_) return 0;
  ControlModel& model = *form_.controls()[static_cast<std::size_t>(index)];
  if (header.code == NM_SETFOCUS) model.SetFocus(true);
  switch (model.description().kind) {
    case ControlKind::ListView:
      OnListViewNotify(model, header);
      break;
    case ControlKind::TabControl:
      return OnTabsNotify(model, header);
    case ControlKind::TreeView:
      OnTreeNotify(model, header);
      break;
    default:
      break;
  }
  return 0;
}

void Win32FormView::DrawItem(const ControlModel& model, const DRAWITEMSTRUCT& item) {
  SetBkMode(item.hDC, TRANSPARENT);
  if (item.CtlType == ODT_STATIC) {
    DrawPageFrame(item);
  } else if (item.CtlType == ODT_TAB) {
    DrawTabCaption(model, item);
  } else {
    DrawLink(item);
  }
}

LRESULT CALLBACK Win32FormView::WindowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* view = reinterpret_cast<Win32FormView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!view || !view->window_) return DefWindowProcW(window, message, wParam, lParam);
  return view->Handle(message, wParam, lParam);
}

LRESULT Win32FormView::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_SIZE:
      Place();
      return 0;
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the window and comes back to
      // the same control, or to the first in the tab order.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (!IsWindow(lastFocus_) || !IsChild(window_, lastFocus_)) {
        lastFocus_ = GetNextDlgTabItem(window_, nullptr, FALSE);
      }
      if (lastFocus_ && !HIWORD(wParam)) ::SetFocus(lastFocus_);
      PostMessageW(window_, kActivated, 0, 0);
      return 0;
    case kActivated:
      form_.Activate();
      return 0;
    case WM_NEXTDLGCTL: {
      // What the dialog procedure does for the keyboard handling of dialogs
      // (a label's mnemonic moves on with it); a plain window ignores it.
      HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(window_, GetFocus(), wParam != 0);
      if (next) {
        ::SetFocus(next);
        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) {
          SendMessageW(next, EM_SETSEL, 0, -1);
        }
      }
      return 0;
    }
    case DM_GETDEFID:
      // Enter on a link follows it, on a list's chosen line chooses the
      // line, on a push button presses it: the dialog keyboard handling
      // sends the default button's click to them (a plain window has no
      // dialog procedure to make the focused button the default).
      if (HWND target = Control(EnterTargetOf(form_, ModelOf(GetFocus())).key))
        return MAKELONG(GetDlgCtrlID(target), DC_HASDEFID);
      return 0;
    case WM_CLOSE:
      // The close box and Alt+F4 ask the form, which may refuse.
      form_.Close();
      return 0;
    case WM_QUERYENDSESSION:
      // Log-off or shutdown: a main window asks as its close box does, and
      // Windows waits for the answer, showing why.
      if (owner_) break;
      {
        ShutdownBlockReasonCreate(window_, L"Asking whether to save the changed document.");
        const bool agreed = form_.QuerySessionEnd();
        if (window_) ShutdownBlockReasonDestroy(window_);
        return agreed ? TRUE : FALSE;
      }
    case WM_ENDSESSION:
      if (owner_) break;
      // Ended: closed as agreed, without asking again. Called off: the next
      // close asks again.
      if (wParam) {
        form_.Close();
      } else {
        form_.SessionEndCancelled();
      }
      return 0;
    case kDestroy:
      if (owner_ && owner_ != HWND_MESSAGE)
        EnableWindow(owner_, TRUE);  // before the owner would lose the activation
      DestroyWindow(window_);
      return 0;
    case WM_SETCURSOR:
      // Over a link, the arrow with the question mark.
      if (ControlModel* model = ModelOf(reinterpret_cast<HWND>(wParam));
          model && model->description().kind == ControlKind::Link && LOWORD(lParam) == HTCLIENT) {
        SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HELP)));
        return TRUE;
      }
      break;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (ControlModel* model = ModelOf(item.hwndItem)) {
        DrawItem(*model, item);
        return TRUE;
      }
      break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      // Labels, check boxes and option buttons on a tab control's page show
      // the page, not a box of the dialog face.
      if (HWND tabs = PageOf(reinterpret_cast<HWND>(lParam))) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        POINT origin{0, 0};
        MapWindowPoints(tabs, reinterpret_cast<HWND>(lParam), &origin, 1);
        SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(PageBackground(tabs));
      }
      break;
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
      ForgetPageBackgrounds();
      break;
    case WM_DPICHANGED: {
      // Moved to a monitor of another DPI: the fonts, images and layout of
      // that DPI, in the rectangle the system proposes.
      UseDpi(LOWORD(wParam));
      for (HWND control : controls_)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      if (toolbar_) {
        SendMessageW(toolbar_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
        SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
      }
      MakeImages();
      ForgetPageBackgrounds();
      minimumSize_ = DesignedFrameSize();
      const RECT& proposed = *reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, proposed.left, proposed.top,
                   std::max(proposed.right - proposed.left, minimumSize_.x),
                   std::max(proposed.bottom - proposed.top, minimumSize_.y),
                   SWP_NOZORDER | SWP_NOACTIVATE);
      Place();
      RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
      return 0;
    }
    case WM_GETMINMAXINFO:
      reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = minimumSize_;
      return 0;
    case WM_DESTROY: {
      for (HWND control : controls_) ClearKey(control);
      if (toolbar_) ClearKey(toolbar_);
      ClearKey(window_);
      const bool main = owner_ == nullptr;  // HWND_MESSAGE while the view is destroyed
      window_ = nullptr;
      controls_.clear();
      treeItems_.clear();
      byKey_.clear();
      if (main) PostQuitMessage(0);
      return 0;
    }
    default:
      break;
  }
  HWND self = window_;
  return DefWindowProcW(self, message, wParam, lParam);
}

}  // namespace quillon::gui
