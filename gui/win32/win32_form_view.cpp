// One window class for every form; the controls are the system's own classes.
// Everything is Unicode (the class, the procedure, the message loop), so that
// text outside the ANSI code page survives; the models hold UTF-8.
// The view keeps `updating_` set while it writes to a control itself, so the
// notifications that the write causes do not come back into the models.
#include "gui/win32/win32_form_view.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <string_view>

namespace quillon::gui {

namespace {

constexpr int kFirstControlId = 100;
constexpr int kFirstCommandId = 1000;
constexpr int kFirstToolId = kFirstCommandId + 500;
constexpr int kFirstShortcutId = kFirstCommandId + 900;  // keys of no menu entry or tool
constexpr UINT kActivated = WM_APP + 1;  // the activation, reported after it is drawn
constexpr UINT kDestroy = WM_APP + 2;    // the form agreed to close

using platform::win32::Utf8;
using platform::win32::Wide;

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

bool IsOption(const ControlModel& model) {
  return model.description().kind == ControlKind::OptionButton;
}


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

// The DPI functions of Windows 10 1607 and later, looked up so that the
// program still starts on older systems, which draw everything at the
// system's DPI.
template <typename Function>
Function User32Function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT SystemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

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

int MetricForDpi(int index, UINT dpi) {
  using ForDpi = int(WINAPI*)(int, UINT);
  static const auto forDpi = User32Function<ForDpi>("GetSystemMetricsForDpi");
  return forDpi ? forDpi(index, dpi)
                : MulDiv(GetSystemMetrics(index), static_cast<int>(dpi),
                         static_cast<int>(SystemDpi()));
}

void AdjustFrame(RECT& frame, DWORD style, bool menu, DWORD exStyle, UINT dpi) {
  using ForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto forDpi = User32Function<ForDpi>("AdjustWindowRectExForDpi");
  if (!forDpi || !forDpi(&frame, style, menu, exStyle, dpi))
    AdjustWindowRectEx(&frame, style, menu, exStyle);
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

// Where the message being handled happened, in `window`'s client area.
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

struct Created {
  const wchar_t* windowClass;
  DWORD style;
  DWORD exStyle;
};

Created ClassOf(const ControlDescription& control, bool isDefault, bool firstOfGroup,
                bool tabStop) {
  // A group's first member and the control after the group start a group:
  // Tab stops on one member, the arrow keys move within the group.
  const DWORD group = firstOfGroup ? WS_GROUP : 0;
  const DWORD child = WS_CHILD | WS_CLIPSIBLINGS | group;
  switch (control.kind) {
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFT, 0};
    case ControlKind::TextBox:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::MultiLineText:
      return {L"EDIT",
              child | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL,
              WS_EX_CLIENTEDGE};
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
    case ControlKind::ComboBox:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::ComboList:
    case ControlKind::DriveList:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::ListBox:
    case ControlKind::FolderList:
    case ControlKind::FileList:
      return {L"LISTBOX", child | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
              WS_EX_CLIENTEDGE};
    case ControlKind::ListView:
      return {WC_LISTVIEWW, child | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
    case ControlKind::TreeView:
      return {
          WC_TREEVIEWW,
          child | WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
          WS_EX_CLIENTEDGE};
    case ControlKind::TabControl:
      // Pages switched by code only: just the frame their controls lie in,
      // drawn by the window (a frame static leaves its inside unpainted).
      if (control.tabsHidden) return {L"STATIC", child | SS_OWNERDRAW, 0};
      // Its captions drawn by the window: an unavailable page's is grey.
      return {WC_TABCONTROLW, child | WS_TABSTOP | TCS_OWNERDRAWFIXED, 0};
    case ControlKind::ProgressBar:
      return {PROGRESS_CLASSW, child, 0};
    case ControlKind::Link:
      // Drawn by the window as a link; a button, so that it is a tab stop,
      // shows the focus, acts on Space and reports a click when released.
      return {L"BUTTON", child | WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY, 0};
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

void InsertRow(HWND list, int index, const ListRow& row) {
  std::wstring first = row.cells.empty() ? std::wstring() : Wide(row.cells[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = first.data();
  const int at =
      static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  // A row that could not be inserted is -1, which would tick every row below.
  if (at < 0) return;
  for (std::size_t column = 1; column < row.cells.size(); ++column) {
    std::wstring text = Wide(row.cells[column]);
    LVITEMW cell{};
    cell.iSubItem = static_cast<int>(column);
    cell.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&cell));
  }
  ListView_SetCheckState(list, at, row.checked);
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

Win32FormView::Win32FormView(Form& form, HWND owner) : form_(form), owner_(owner) {
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

void Win32FormView::MakeImages() {
  for (HIMAGELIST images : images_) ImageList_Destroy(images);
  images_.clear();
  const int width = MetricForDpi(SM_CXSMICON, dpi_), height = MetricForDpi(SM_CYSMICON, dpi_);
  for (std::size_t i = 0; i < controls_.size(); ++i) {
    const ControlDescription& control = form_.controls()[i]->description();
    if (control.kind != ControlKind::TreeView || control.images.empty()) continue;
    // Each tree its own list: the images differ from tree to tree.
    HIMAGELIST images = ImageList_Create(width, height, ILC_COLOR32 | ILC_MASK, 2, 2);
    images_.push_back(images);
    for (StockImage image : control.images) {
      // The shell's own icons of a folder and a document, the large ones
      // where the small size is above the system's small icons'.
      const bool large = width > GetSystemMetrics(SM_CXSMICON);
      SHFILEINFOW info{};
      SHGetFileInfoW(image == StockImage::Folder ? L"folder" : L"file.txt",
                     image == StockImage::Folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL,
                     &info, sizeof info,
                     SHGFI_USEFILEATTRIBUTES | SHGFI_ICON |
                         (large ? SHGFI_LARGEICON : SHGFI_SMALLICON));
      ImageList_AddIcon(images, info.hIcon ? info.hIcon
                                           : LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(
                                                                    IDI_APPLICATION)));
      if (info.hIcon) DestroyIcon(info.hIcon);
    }
    SendMessageW(controls_[i], TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
  }
}

HWND Win32FormView::Control(const std::string& key) const {
  const auto found = byKey_.find(key);
  return found == byKey_.end() ? nullptr : found->second;
}

void Win32FormView::CreateControls() {
  const FormDescription& described = form_.description();
  HINSTANCE instance = GetModuleHandleW(nullptr);

  if (!described.menus.empty()) {
    HMENU bar = CreateMenu();
    int next = kFirstCommandId;
    // Menus nest; a command's id names it in WM_COMMAND.
    auto fill = [&](auto& self, HMENU into, const std::vector<MenuDescription>& items) -> void {
      for (const MenuDescription& item : items) {
        if (item.caption == "-") {
          AppendMenuW(into, MF_SEPARATOR, 0, nullptr);
        } else if (!item.items.empty()) {
          HMENU popup = CreatePopupMenu();
          self(self, popup, item.items);
          AppendMenuW(into, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                      Wide(item.caption).c_str());
        } else {
          commands_[next] = item.name;
          // The entry shows its key, right-aligned after the tab.
          const std::string keys = ShortcutKeys(described, item.name);
          const std::string caption = keys.empty() ? item.caption : item.caption + "\t" + keys;
          AppendMenuW(into, MF_STRING, static_cast<UINT_PTR>(next++), Wide(caption).c_str());
        }
      }
    };
    for (const MenuDescription& menu : described.menus) {
      HMENU popup = CreatePopupMenu();
      fill(fill, popup, menu.items);
      AppendMenuW(bar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(popup),
                  Wide(menu.caption).c_str());
    }
    SetMenu(window_, bar);
  }
  if (!described.tools.empty()) {
    toolbar_ = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"",
                               WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_LIST | CCS_TOP, 0, 0,
                               0, 0, window_, nullptr, instance, nullptr);
    SendMessageW(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar_, TB_SETBITMAPSIZE, 0, MAKELONG(0, 0));
    int next = kFirstToolId;
    for (const ToolDescription& tool : described.tools) {
      if (tool.caption == "-") {
        TBBUTTON separator{};
        separator.fsStyle = BTNS_SEP;  // of the default width
        SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&separator));
        continue;
      }
      commands_[next] = tool.name;
      // A list of strings: the second NUL ends it.
      const std::wstring caption = Wide(tool.caption) + L'\0';
      const INT_PTR text =
          SendMessageW(toolbar_, TB_ADDSTRINGW, 0, reinterpret_cast<LPARAM>(caption.c_str()));
      TBBUTTON button{};
      button.iBitmap = I_IMAGENONE;
      button.idCommand = next++;
      button.fsState = TBSTATE_ENABLED;
      button.fsStyle = BTNS_BUTTON | BTNS_AUTOSIZE | BTNS_SHOWTEXT;
      button.iString = text;
      SendMessageW(toolbar_, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    SendMessageW(toolbar_, TB_AUTOSIZE, 0, 0);
    SetKey(toolbar_, described.name + ".toolbar");
  }
  // The keys: a key of a menu entry sends that entry's command, any other
  // one of its own.
  std::vector<ACCEL> keys;
  int nextShortcut = kFirstShortcutId;
  for (const ShortcutDescription& shortcut : described.shortcuts) {
    const KeyChord chord = ParseShortcut(shortcut.keys);
    if (chord.key.empty()) continue;
    int id = 0;
    for (const auto& [each, name] : commands_) {
      if (name == shortcut.command && each < kFirstToolId) {
        id = each;
        break;
      }
    }
    if (!id) {
      id = nextShortcut++;
      commands_[id] = shortcut.command;
    }
    ACCEL key{};
    key.fVirt = static_cast<BYTE>(FVIRTKEY | (chord.control ? FCONTROL : 0) |
                                  (chord.shift ? FSHIFT : 0) | (chord.alt ? FALT : 0));
    key.key = static_cast<WORD>(chord.key.size() == 1 ? chord.key[0]
                                                      : VK_F1 + std::stoi(chord.key.substr(1)) - 1);
    key.cmd = static_cast<WORD>(id);
    keys.push_back(key);
  }
  if (!keys.empty())
    accelerators_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));

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
      case ControlKind::ListView: {
        SendMessageW(created, LVM_SETEXTENDEDLISTVIEWSTYLE, 0,
                     LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
        int index = 0;
        for (const std::string& header : control.columns) {
          std::wstring text = Wide(header);
          LVCOLUMNW column{};
          column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
          column.pszText = text.data();
          column.cx = 25 * baseX_;
          column.iSubItem = index;
          SendMessageW(created, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index++),
                       reinterpret_cast<LPARAM>(&column));
        }
        break;
      }
      case ControlKind::Label:
        SetWindowSubclass(created, PaintLabel, 0, 0);
        break;
      case ControlKind::TabControl: {
        tabControls.push_back(created);
        if (control.tabsHidden) break;
        int index = 0;
        for (const std::string& page : control.columns) {
          std::wstring text = Wide(page);
          TCITEMW item{};
          item.mask = TCIF_TEXT;
          item.pszText = text.data();
          SendMessageW(created, TCM_INSERTITEMW, static_cast<WPARAM>(index++),
                       reinterpret_cast<LPARAM>(&item));
        }
        break;
      }
      case ControlKind::ProgressBar:
        SendMessageW(created, PBM_SETRANGE32, static_cast<WPARAM>(model->minimum()),
                     model->maximum());
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
  for (const auto& model : form_.controls()) {
    const ControlDescription& control = model->description();
    if (control.container.empty() || control.page < 0) continue;
    auto& pages = pages_[control.container];
    if (pages.size() <= static_cast<std::size_t>(control.page))
      pages.resize(static_cast<std::size_t>(control.page) + 1);
    pages[static_cast<std::size_t>(control.page)].push_back(model.get());
  }
  for (const auto& model : form_.controls()) {
    if (model->description().kind == ControlKind::TabControl)
      shownPage_[model->key()] = model->value();
  }
  MakeImages();
  for (std::size_t i = 0; i < controls_.size(); ++i) Bind(*form_.controls()[i], controls_[i]);
}

bool Win32FormView::Shown(const ControlModel& model) {
  bool shown = model.visible();
  const ControlDescription& described = model.description();
  if (!described.container.empty()) {
    ControlModel* tabs = form_.Find(described.container);
    shown = shown && tabs && tabs->value() == described.page && tabs->visible();
  }
  return shown;
}

void Win32FormView::MakeVisible(ControlModel& model) {
  ShowWindow(Control(model.key()), Shown(model) ? SW_SHOWNA : SW_HIDE);
}

void Win32FormView::ShowPage(const ControlModel& tabs) {
  const auto found = pages_.find(tabs.key());
  if (found == pages_.end()) return;
  // The controls of the page left and of the page come, not every control.
  // Shown and hidden without drawing, then the frame's area drawn once.
  int& shown = shownPage_[tabs.key()];
  for (const int page : {shown, tabs.value()}) {
    if (page < 0 || page >= static_cast<int>(found->second.size())) continue;
    for (ControlModel* model : found->second[static_cast<std::size_t>(page)]) {
      HWND control = Control(model->key());
      const bool show = Shown(*model);
      if (((GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0) == show) continue;
      SetWindowPos(control, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW |
                       (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    }
  }
  shown = tabs.value();
  RECT area{};
  GetWindowRect(Control(tabs.key()), &area);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&area), 2);
  RedrawWindow(window_, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32FormView::SelectNode(const ControlModel& tree) {
  HWND control = Control(tree.key());
  const std::vector<HTREEITEM>& items = treeItems_[control];
  HTREEITEM chosen = nullptr;
  for (std::size_t i = 0; i < tree.nodes().size() && i < items.size(); ++i) {
    if (tree.nodes()[i].key == tree.text()) chosen = items[i];
  }
  SendMessageW(control, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(chosen));
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
        const ControlKind kind = changed.description().kind;
        switch (change) {
          case Change::Enabled:
            if (row < 0) {
              EnableWindow(control, changed.enabled());
            } else {
              // A page's caption, drawn grey or not.
              InvalidateRect(control, nullptr, TRUE);
            }
            break;
          case Change::Visible:
            MakeVisible(changed);
            if (const auto found = pages_.find(changed.key()); found != pages_.end()) {
              for (const auto& page : found->second) {
                for (ControlModel* model : page) MakeVisible(*model);
              }
            }
            break;
          case Change::Focus:
            if (changed.focused() && GetFocus() != control) ::SetFocus(control);
            break;
          case Change::Text:
            if (kind == ControlKind::TreeView) {
              SelectNode(changed);
            } else if (WindowString(control) != changed.text()) {
              // The user's own typing comes back here: writing it again would
              // put the caret back at the start.
              SetWindowString(control, changed.text());
            }
            break;
          case Change::Checked:
            if (kind == ControlKind::ListView) {
              if (row >= 0)
                ListView_SetCheckState(control, row,
                                       changed.rows()[static_cast<std::size_t>(row)].checked);
            } else {
              SendMessageW(control, BM_SETCHECK, changed.checked() ? BST_CHECKED : BST_UNCHECKED,
                           0);
              if (kind == ControlKind::OptionButton) MoveGroupTabStop(changed);
            }
            break;
          case Change::Value:
            switch (kind) {
              case ControlKind::ProgressBar:
                SendMessageW(control, PBM_SETPOS, static_cast<WPARAM>(changed.value()), 0);
                break;
              case ControlKind::ComboBox:
              case ControlKind::ComboList:
              case ControlKind::DriveList:
                SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
                // Choosing no line empties an editable combo's box; the model's
                // text stays.
                if (kind == ControlKind::ComboBox) SetWindowString(control, changed.text());
                break;
              case ControlKind::ListBox:
              case ControlKind::FolderList:
              case ControlKind::FileList:
                SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
                break;
              case ControlKind::TabControl:
                if (!changed.description().tabsHidden)
                  SendMessageW(control, TCM_SETCURSEL, static_cast<WPARAM>(changed.value()), 0);
                ShowPage(changed);
                break;
              default:
                break;
            }
            break;
          case Change::Range:
            SendMessageW(control, PBM_SETRANGE32, static_cast<WPARAM>(changed.minimum()),
                         changed.maximum());
            break;
          case Change::Lines: {
            const bool combo = IsCombo(kind);
            SendMessageW(control, combo ? CB_RESETCONTENT : LB_RESETCONTENT, 0, 0);
            for (const std::string& line : changed.lines()) {
              SendMessageW(control, combo ? CB_ADDSTRING : LB_ADDSTRING, 0,
                           reinterpret_cast<LPARAM>(Wide(line).c_str()));
            }
            SendMessageW(control, combo ? CB_SETCURSEL : LB_SETCURSEL,
                         static_cast<WPARAM>(changed.value()), 0);
            // Emptying the list emptied an editable combo's box too.
            if (kind == ControlKind::ComboBox) SetWindowString(control, changed.text());
            break;
          }
          case Change::Rows:
            if (row < 0) {
              SendMessageW(control, LVM_DELETEALLITEMS, 0, 0);
              for (std::size_t i = 0; i < changed.rows().size(); ++i) {
                InsertRow(control, static_cast<int>(i), changed.rows()[i]);
              }
            } else {
              InsertRow(control, row, changed.rows()[static_cast<std::size_t>(row)]);
            }
            break;
          case Change::Nodes: {
            SendMessageW(control, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
            std::vector<HTREEITEM>& items = treeItems_[control];
            items.clear();
            std::map<std::string, HTREEITEM> byKey;
            const std::vector<TreeNode>& nodes = changed.nodes();
            for (std::size_t i = 0; i < nodes.size(); ++i) {
              const auto parent = byKey.find(nodes[i].parentKey);
              std::wstring text = Wide(nodes[i].text);
              TVINSERTSTRUCTW insert{};
              insert.hParent = parent == byKey.end() ? TVI_ROOT : parent->second;
              insert.hInsertAfter = TVI_LAST;
              insert.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
              insert.item.pszText = text.data();
              insert.item.lParam = static_cast<LPARAM>(i);
              insert.item.iImage = insert.item.iSelectedImage = nodes[i].image;
              items.push_back(reinterpret_cast<HTREEITEM>(
                  SendMessageW(control, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert))));
              byKey[nodes[i].key] = items.back();
            }
            for (const TreeNode& node : nodes) {
              if (node.expanded)
                SendMessageW(control, TVM_EXPAND, TVE_EXPAND,
                             reinterpret_cast<LPARAM>(byKey[node.key]));
            }
            SelectNode(changed);
            break;
          }
          case Change::ColumnWidths: {
            const int columns = static_cast<int>(changed.description().columns.size());
            for (int column = 0; column < columns; ++column) {
              SendMessageW(control, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column),
                           LVSCW_AUTOSIZE_USEHEADER);
            }
            break;
          }
        }
        updating_ = was;
      };
  model.Subscribe(show, this);
  // A form filled before its view (a dialog prepared, then shown) shows what
  // its models already hold.
  if (!model.lines().empty()) show(model, Change::Lines, -1);
  if (!model.nodes().empty()) show(model, Change::Nodes, -1);
  if (!model.rows().empty()) show(model, Change::Rows, -1);
  if (model.description().kind == ControlKind::ProgressBar) {
    show(model, Change::Range, -1);
    show(model, Change::Value, -1);
  }
  if (model.description().kind != ControlKind::TabControl) show(model, Change::Value, -1);
  // Buttons keep their captions: their models hold no text.
  const ControlKind kind = model.description().kind;
  const bool captioned = kind == ControlKind::Button || kind == ControlKind::CheckBox ||
                         kind == ControlKind::OptionButton;
  if (!captioned && model.text() != model.description().caption) show(model, Change::Text, -1);
  if (model.checked() && !IsOption(model)) show(model, Change::Checked, -1);
}

void Win32FormView::MoveGroupTabStop(const ControlModel& changed) {
  // As an automatic radio button does: Tab reaches the group at its checked
  // member, or at the first while none is checked.
  const std::string& group = changed.description().name;
  const ControlModel* stop = nullptr;
  for (const auto& model : form_.controls()) {
    if (!IsOption(*model) || model->description().name != group) continue;
    if (!stop || model->checked()) stop = model.get();
    if (model->checked()) break;
  }
  for (const auto& model : form_.controls()) {
    if (!IsOption(*model) || model->description().name != group) continue;
    HWND button = Control(model->key());
    const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
    SetWindowLongPtrW(button, GWL_STYLE,
                      model.get() == stop ? (style | WS_TABSTOP) : (style & ~WS_TABSTOP));
  }
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
  switch (model.description().kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
      if (code == BN_SETFOCUS) model.SetFocus(true);
      if (code != BN_CLICKED) break;
      if (model.description().kind == ControlKind::CheckBox) {
        model.SetChecked(SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
      }
      form_.Click(model.key());
      break;
    case ControlKind::TextBox:
    case ControlKind::MultiLineText:
      if (code == EN_SETFOCUS) model.SetFocus(true);
      if (code == EN_CHANGE) model.SetText(WindowString(control));
      break;
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList:
      if (code == CBN_SETFOCUS) model.SetFocus(true);
      if (code == CBN_SELCHANGE) {
        const int selected = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
        model.SetValue(selected);
        if (selected >= 0 && selected < static_cast<int>(model.lines().size())) {
          model.SetText(model.lines()[static_cast<std::size_t>(selected)]);
        }
      }
      if (code == CBN_EDITCHANGE) model.SetText(WindowString(control));
      break;
    case ControlKind::ListBox:
    case ControlKind::FolderList:
    case ControlKind::FileList:
      if (code == LBN_SETFOCUS) model.SetFocus(true);
      // The user's choice of a line, by mouse or by key: one Click.
      if (code == LBN_SELCHANGE) {
        model.SetValue(static_cast<int>(SendMessageW(control, LB_GETCURSEL, 0, 0)));
        if (model.value() >= 0) form_.Click(model.key());
      }
      // A double click on a line, or Enter on the chosen line (the "default
      // button's" click, see DM_GETDEFID).
      if ((code == LBN_DBLCLK || code == BN_CLICKED) &&
          SendMessageW(control, LB_GETCURSEL, 0, 0) >= 0)
        form_.DoubleClick(model.key());
      break;
    case ControlKind::Link:
      if (code == BN_SETFOCUS) model.SetFocus(true);
      if (code == BN_CLICKED) form_.Click(model.key());
      break;
    default:
      break;
  }
}

LRESULT Win32FormView::OnNotify(const NMHDR& header) {
  if (header.code == NM_CUSTOMDRAW && ModelOf(header.hwndFrom) &&
      ModelOf(header.hwndFrom)->description().kind == ControlKind::TreeView) {
    // The chosen node stays highlighted while the focus is elsewhere (on the
    // Next button that led to its page), not greyed to near nothing.
    auto& draw = const_cast<NMTVCUSTOMDRAW&>(reinterpret_cast<const NMTVCUSTOMDRAW&>(header));
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT && GetFocus() != header.hwndFrom &&
        reinterpret_cast<HTREEITEM>(draw.nmcd.dwItemSpec) ==
            reinterpret_cast<HTREEITEM>(
                SendMessageW(header.hwndFrom, TVM_GETNEXTITEM, TVGN_CARET, 0))) {
      draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
      draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
    }
    return CDRF_DODEFAULT;
  }
  const int index = static_cast<int>(header.idFrom) - kFirstControlId;
  if (index < 0 || index >= static_cast<int>(controls_.size()) || updating_) return 0;
  ControlModel& model = *form_.controls()[static_cast<std::size_t>(index)];
  if (header.code == NM_SETFOCUS) model.SetFocus(true);
  switch (model.description().kind) {
    case ControlKind::ListView:
      if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) &&
            ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) &&
            (change.uOldState & LVIS_STATEIMAGEMASK) != 0) {
          // State image 2 is the ticked box, 1 the empty one.
          model.SetRowChecked(change.iItem, ((change.uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2);
        }
      }
      break;
    case ControlKind::TabControl:
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
      break;
    case ControlKind::TreeView:
      // Unicode notifications: the window is a Unicode one (WM_NOTIFYFORMAT).
      if (header.code == TVN_SELCHANGEDW) {
        // A move by key is a choice. A click's choice is reported by its
        // NM_CLICK, which comes before the selection moves (or after it, in
        // some versions). A selection by code is none.
        const auto& change = reinterpret_cast<const NMTREEVIEWW&>(header);
        const auto node = static_cast<std::size_t>(change.itemNew.lParam);
        if (change.itemNew.hItem && node < model.nodes().size()) {
          model.SetText(model.nodes()[node].key);
          if (change.action == TVC_BYKEYBOARD) form_.Click(model.key());
        }
      }
      if (header.code == NM_CLICK) {
        // The node clicked, also the one already selected, is the choice.
        TVHITTESTINFO hit{};
        hit.pt = MessagePoint(header.hwndFrom);
        auto* item = reinterpret_cast<HTREEITEM>(
            SendMessageW(header.hwndFrom, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (!item || !(hit.flags & TVHT_ONITEM)) break;
        const std::vector<HTREEITEM>& items = treeItems_[header.hwndFrom];
        for (std::size_t i = 0; i < items.size() && i < model.nodes().size(); ++i) {
          if (items[i] != item) continue;
          model.SetText(model.nodes()[i].key);
          form_.Click(model.key());
          break;
        }
      }
      break;
    default:
      break;
  }
  return 0;
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

void Win32FormView::DrawItem(const ControlModel& model, const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT box = item.rcItem;
  SetBkMode(dc, TRANSPARENT);
  if (item.CtlType == ODT_STATIC) {
    // The frame of pages without headers, as a tab control's pages lie in.
    FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
    DrawEdge(dc, &box, EDGE_RAISED, BF_RECT);
    return;
  }
  if (item.CtlType == ODT_TAB) {
    // Tab controls cannot grey a page themselves.
    const auto page = static_cast<std::size_t>(item.itemID);
    if (page >= model.description().columns.size()) return;
    const bool available = model.enabled() && model.pageEnabled(static_cast<int>(page));
    HGDIOBJ previous = SelectObject(dc, font_);
    SetTextColor(dc, GetSysColor(available ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(dc, Wide(model.description().columns[page]).c_str(), -1, &box,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, previous);
    return;
  }
  // A link: underlined in the link colour, grey when disabled.
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

bool Win32FormView::SwitchPage(int step) {
  // The tab control the focus is on or in, else the window's only one with
  // page headers shown.
  ControlModel* tabs = nullptr;
  if (ControlModel* focused = ModelOf(GetFocus())) {
    tabs = focused->description().kind == ControlKind::TabControl
               ? focused
               : form_.Find(focused->description().container);
  }
  if (tabs && tabs->description().tabsHidden) tabs = nullptr;
  if (!tabs) {
    int shown = 0;
    for (const auto& model : form_.controls()) {
      if (model->description().kind == ControlKind::TabControl &&
          !model->description().tabsHidden && IsWindowVisible(Control(model->key()))) {
        tabs = model.get();
        ++shown;
      }
    }
    if (shown != 1) return false;
  }
  if (!tabs->enabled() || !IsWindowVisible(Control(tabs->key()))) return false;
  if (const int page = NextEnabledPage(*tabs, step); page >= 0) tabs->SetValue(page);
  return true;
}

void Win32FormView::ShowCommandState(const std::string& name) {
  const bool enabled = form_.CommandEnabled(name);
  for (const auto& [id, command] : commands_) {
    if (command != name || id >= kFirstShortcutId) continue;
    if (id >= kFirstToolId) {
      SendMessageW(toolbar_, TB_ENABLEBUTTON, static_cast<WPARAM>(id), MAKELONG(enabled, 0));
    } else {
      EnableMenuItem(GetMenu(window_), static_cast<UINT>(id),
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
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
      // line: the dialog keyboard handling sends the default button's click
      // to them.
      if (ControlModel* focused = ModelOf(GetFocus())) {
        const ControlKind kind = focused->description().kind;
        if (kind == ControlKind::Link || (IsList(kind) && focused->value() >= 0))
          return MAKELONG(GetDlgCtrlID(Control(focused->key())), DC_HASDEFID);
      }
      if (HWND button = Control(form_.description().defaultControl)) {
        return MAKELONG(GetDlgCtrlID(button), DC_HASDEFID);
      }
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
