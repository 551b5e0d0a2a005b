// The Win32 front end's window: made, filled with its controls, bound to the
// form's models and laid out. Each control kind's own code lies in a file of its
// kind (win32_buttons.cpp, win32_text_controls.cpp, win32_lists.cpp,
// win32_tree.cpp, win32_tabs.cpp, win32_menus.cpp), the messages in
// win32_window_messages.cpp, the fonts and DPI in win32_window_metrics.cpp.
// One window class for every form; the controls are the system's own classes.
// Everything is Unicode (the class, the procedure, the message loop), so that
// text outside the ANSI code page survives; the models hold UTF-8.
// The view keeps `updating_` set while it writes to a control itself, so the
// notifications that the write causes do not come back into the models.
#include "gui/win32/win32_form_view.h"

#include <commctrl.h>

#include <iterator>
#include <stdexcept>
#include <string_view>

#include "gui/win32/win32_form_parts.h"

namespace quillon::gui {

using namespace win32_parts;

namespace win32_parts {

// Lengths count UTF-16 units, the terminating NUL not included.
std::wstring WindowWideText(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

std::string WindowString(HWND window) { return Utf8(WindowWideText(window)); }

void SetWindowString(HWND window, const std::string& text) {
  SetWindowTextW(window, Wide(text).c_str());
}

POINT MessagePoint(HWND window) {
  const DWORD at = GetMessagePos();
  POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
  ScreenToClient(window, &point);
  return point;
}

void SetKey(HWND window, const std::string& key) {
  const ATOM atom = GlobalAddAtomW(Wide(key).c_str());
  SetPropW(window, kControlNameProperty, reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(atom)));
}

void ClearKey(HWND window) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(RemovePropW(window, kControlNameProperty)));
  if (atom) GlobalDeleteAtom(atom);
}

}  // namespace win32_parts

namespace {

Created ClassOf(const ControlDescription& control, bool isDefault, bool firstOfGroup,
                bool tabStop) {
  // A group's first member and the control after the group start a group:
  // Tab stops on one member, the arrow keys move within the group.
  const DWORD group = firstOfGroup ? WS_GROUP : 0;
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | group;
  switch (FamilyOf(control.kind)) {
    case ControlFamily::Buttons:
      return ButtonClass(control.kind, child, isDefault, tabStop);
    case ControlFamily::TextControls:
      return TextClass(control.kind, child);
    case ControlFamily::Lists:
      return ListClass(control.kind, child);
    case ControlFamily::Tree:
      return TreeClass(child);
    case ControlFamily::Tabs:
      return TabsClass(control, child);
  }
  return {L"STATIC", child, 0};
}

// The common controls and the one window class of every form, once per process.
bool RegisterFormClass(WNDPROC procedure) {
  static const bool registered = [procedure] {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                       ICC_TAB_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kFormWindowClass;
    return RegisterClassExW(&windowClass) != 0;
  }();
  return registered;
}

}  // namespace

std::string ControlKeyOf(HWND window) {
  const auto atom =
      static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(GetPropW(window, kControlNameProperty)));
  if (!atom) return {};
  wchar_t name[256] = {};
  const UINT length = GlobalGetAtomNameW(atom, name, static_cast<int>(std::size(name)));
  return Utf8(std::wstring_view(name, length));
}

namespace {
struct Search {
  const std::string* key;
  HWND found;
};

// A named function: 32-bit callbacks are stdcall, which a lambda cannot be.
BOOL CALLBACK MatchKey(HWND child, LPARAM data) {
  auto* wanted = reinterpret_cast<Search*>(data);
  if (ControlKeyOf(child) != *wanted->key) return TRUE;
  wanted->found = child;
  return FALSE;
}
}  // namespace

HWND FindControl(HWND parent, const std::string& key) {
  Search search{&key, nullptr};
  EnumChildWindows(parent, MatchKey, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Win32FormView::Win32FormView(Form& form, HWND owner)
    : form_(form), owner_(owner), pages_(form) {
  if (!RegisterFormClass(WindowProc)) throw std::runtime_error("cannot register the window class");
  // At the system's DPI until the window is made, then at its monitor's.
  UseDpi(SystemDpi());
  try {
    Create();
  } catch (...) {
    Release();
    throw;
  }
}

void Win32FormView::Create() {
  Form& form = form_;
  HINSTANCE instance = GetModuleHandleW(nullptr);

  const FormDescription& described = form.description();
  const DWORD style = described.modal ? (WS_POPUP | WS_CAPTION | WS_SYSMENU) : WS_OVERLAPPEDWINDOW;
  const DWORD exStyle = WS_EX_CONTROLPARENT | (described.modal ? WS_EX_DLGMODALFRAME : 0);
  window_ = CreateWindowExW(exStyle, kFormWindowClass, Wide(form.caption()).c_str(),
                            style | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                            owner_, nullptr, instance, this);
  if (!window_) throw std::runtime_error("cannot create the window " + described.name);
  if (const UINT dpi = WindowDpi(window_); dpi != dpi_) UseDpi(dpi);
  CreateControls();

  // The designed size is also the least: smaller, the anchored controls would
  // overlap.
  minimumSize_ = DesignedFrameSize();
  SetWindowPos(window_, nullptr, 0, 0, minimumSize_.x, minimumSize_.y,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // A dialog opens over the window it belongs to, a main window in the middle
  // of the screen's work area.
  CenterWindow(window_, owner_);
  Place();
  // Named last: whoever finds the window by its name finds all of its controls.
  SetKey(window_, described.name);

  // A command's menu entry and tool are greyed while it is unavailable.
  for (const auto& [id, name] : commands_) ShowCommandState(name);
  form.OnCommandState(
      [this](const std::string& name) {
        if (window_) ShowCommandState(name);
      },
      this);
  form.OnCaption([this] { SetWindowString(window_, form_.caption()); }, this);
  form.OnClose(
      [this] {
        if (window_) PostMessageW(window_, kDestroy, 0, 0);
      },
      this);
  form.SetEventProcessor([this] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // Not ours to act on: left for the loop that runs the thread.
        PostQuitMessage(static_cast<int>(message.wParam));
        break;
      }
      PumpMessage(message);
    }
  });
}

Win32FormView::~Win32FormView() { Release(); }

void Win32FormView::Release() {
  form_.Detach(this);
  form_.SetEventProcessor(nullptr);
  // Destroyed by its owner in code, not closed by the user: no quit to post.
  owner_ = owner_ ? owner_ : HWND_MESSAGE;
  if (window_) DestroyWindow(window_);
  window_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
  if (linkFont_) DeleteObject(linkFont_);
  linkFont_ = nullptr;
  for (HIMAGELIST images : images_) ImageList_Destroy(images);
  images_.clear();
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  accelerators_ = nullptr;
  ForgetPageBackgrounds();
}

HWND Win32FormView::Control(const std::string& key) const {
  const auto found = byKey_.find(key);
  return found == byKey_.end() ? nullptr : found->second;
}

ControlModel* Win32FormView::ModelOf(HWND window) {
  for (; window && window != window_; window = GetParent(window)) {
    const int index = GetDlgCtrlID(window) - kFirstControlId;
    if (index >= 0 && index < static_cast<int>(controls_.size()) &&
        controls_[static_cast<std::size_t>(index)] == window)
      return form_.controls()[static_cast<std::size_t>(index)].get();
  }
  return nullptr;
}

void Win32FormView::CreateControls() {
  const FormDescription& described = form_.description();
  HINSTANCE instance = GetModuleHandleW(nullptr);
  CreateMenus();
  CreateToolbar();
  CreateShortcuts();

  int id = kFirstControlId;
  std::vector<HWND> tabControls;
  const ControlModel* previous = nullptr;
  for (const auto& model : form_.controls()) {
    const ControlDescription& control = model->description();
    const bool sameGroup = previous && IsOption(*previous) && IsOption(*model) &&
                           previous->description().name == control.name;
    const bool groupEdge = previous && IsOption(*previous) != IsOption(*model);
    const Created kind = ClassOf(control, model->key() == described.defaultControl,
                                 groupEdge || (IsOption(*model) && !sameGroup), !sameGroup);
    previous = model.get();
    HWND created = CreateWindowExW(kind.exStyle, kind.windowClass, Wide(control.caption).c_str(),
                                   kind.style, 0, 0, 0, 0, window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance,
                                   nullptr);
    if (!created) throw std::runtime_error("cannot create the control " + model->key());
    SendMessageW(created, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetKey(created, model->key());
    switch (control.kind) {
      case ControlKind::ListView:
        SetUpListView(control, created);
        break;
      case ControlKind::Label:
      case ControlKind::ProgressBar:
        SetUpTextControl(*model, created);
        break;
      case ControlKind::TabControl:
        tabControls.push_back(created);
        SetUpTabs(control, created);
        break;
      default:
        break;
    }
    controls_.push_back(created);
    byKey_[model->key()] = created;
  }
  // A tab control lies beneath the controls of its pages.
  for (HWND tabs : tabControls)
    SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  MakeImages();
  for (std::size_t i = 0; i < controls_.size(); ++i) Bind(*form_.controls()[i], controls_[i]);
}

void Win32FormView::MakeVisible(ControlModel& model) {
  ShowWindow(Control(model.key()), IsShown(form_, model) ? SW_SHOWNA : SW_HIDE);
}

void Win32FormView::MoveFocusFrom(HWND lost) {
  if (!lost || !IsChild(window_, lost)) return;
  if (IsWindowVisible(lost) && IsWindowEnabled(lost)) return;
  // Windows gives the focus of a hidden control to its parent, and takes
  // it from a disabled one; a focus put elsewhere meanwhile is left alone.
  const HWND focus = GetFocus();
  if (focus && focus != lost && focus != window_ && IsWindowVisible(focus) &&
      IsWindowEnabled(focus)) {
    return;
  }
  HWND next = GetNextDlgTabItem(window_, lost, FALSE);
  if (next && next != lost && IsWindowVisible(next) && IsWindowEnabled(next)) ::SetFocus(next);
}

void Win32FormView::Bind(ControlModel& model, HWND control) {
  EnableWindow(control, model.enabled());
  MakeVisible(model);
  if (model.description().kind == ControlKind::TabControl && !model.description().tabsHidden)
    SendMessageW(control, TCM_SETCURSEL, static_cast<WPARAM>(model.value()), 0);
  if (IsOption(model)) {
    SendMessageW(control, BM_SETCHECK, model.checked() ? BST_CHECKED : BST_UNCHECKED, 0);
    MoveGroupTabStop(model);
  }
  const ControlModel::Listener show = [this, control](ControlModel& changed, Change change,
                                                     int row) {
        if (!window_) return;
        const bool was = updating_;
        updating_ = true;
        switch (change) {
          case Change::Enabled:
            if (row < 0) {
              const HWND focus = GetFocus();
              EnableWindow(control, changed.enabled());
              MoveFocusFrom(focus);
            } else {
              // A page's caption, drawn grey or not.
              InvalidateRect(control, nullptr, TRUE);
            }
            break;
          case Change::Visible: {
            const HWND focus = GetFocus();
            MakeVisible(changed);
            for (ControlModel* model : pages_.Within(changed)) MakeVisible(*model);
            MoveFocusFrom(focus);
            break;
          }
          case Change::Focus:
            if (changed.focused() && GetFocus() != control) ::SetFocus(control);
            break;
          default:
            if (!ShowChange(changed, control, change, row) && change == Change::Text &&
                WindowString(control) != changed.text()) {
              // The user's own typing comes back here: writing it again would
              // put the caret back at the start.
              SetWindowString(control, changed.text());
            }
            break;
        }
        updating_ = was;
      };
  model.Subscribe(show, this);
  // A form filled before its view (a dialog prepared, then shown) shows what
  // its models already hold.
  const ControlKind kind = model.description().kind;
  // Buttons keep their captions (their models hold no text); the rest were
  // made with theirs. A tab control's page and an option's check are set above.
  const bool captioned = kind == ControlKind::Button || kind == ControlKind::CheckBox ||
                         kind == ControlKind::OptionButton;
  for (const auto& [change, row] : ReplayChanges(model)) {
    if (change == Change::Value && kind == ControlKind::TabControl) continue;
    if (change == Change::Text && (captioned || model.text() == model.description().caption))
      continue;
    if (change == Change::Checked && IsOption(model)) continue;
    show(model, change, row);
  }
}

bool Win32FormView::ShowChange(ControlModel& changed, HWND control, Change change, int row) {
  switch (FamilyOf(changed.description().kind)) {
    case ControlFamily::Buttons:
      return ShowButtonChange(changed, control, change);
    case ControlFamily::TextControls:
      return ShowTextChange(changed, control, change);
    case ControlFamily::Lists:
      return ShowListChange(changed, control, change, row);
    case ControlFamily::Tree:
      return ShowTreeChange(changed, control, change);
    case ControlFamily::Tabs:
      return ShowTabsChange(changed, control, change);
  }
  return false;
}

void Win32FormView::Place() {
  if (!window_) return;
  const FormDescription& described = form_.description();
  RECT client{};
  GetClientRect(window_, &client);
  int top = 0;
  if (toolbar_) {
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    RECT bar{};
    GetWindowRect(toolbar_, &bar);
    top = bar.bottom - bar.top;
  }
  const Rect designed =
      DialogUnitsToPixels({0, 0, described.width, described.height}, baseX_, baseY_);
  ForgetPageBackgrounds();
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlDescription& control = form_.controls()[i]->description();
    Rect place = PlaceInClient(DialogUnitsToPixels(control.place, baseX_, baseY_), control.anchors,
                               designed.width, designed.height, client.right, client.bottom - top);
    if (IsCombo(control.kind)) {
      // A combo's height is that of its dropped list; the box itself sizes to
      // the font.
      place.height = std::max(place.height, 8 * baseY_);
    }
    if (control.kind == ControlKind::CheckBox || control.kind == ControlKind::OptionButton)
      place.width = WidthForButtonText(controls_[i], place.width, dpi_);
    MoveWindow(controls_[i], place.x, place.y + top, place.width, place.height, TRUE);
  }
}

void Win32FormView::Show(int showCommand) {
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
}

}  // namespace quillon::gui
