// The Win32 front end: builds a window's controls from its description with
// CreateWindowExW over the common controls (version 6, by the manifest every
// windowed program embeds: gui/win32/visual_styles.rc) and keeps them and the
// form's models in step. Every window and control carries its key (the name,
// or "name(index)") as the global atom in its window property "QuillonName",
// so that tests and tools in other processes find it (ControlKeyOf).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "gui/form.h"
#include "gui/form_rules.h"
#include "platform/host/windows_api.h"

#include <commctrl.h>

namespace quillon::gui {

inline constexpr const wchar_t* kControlNameProperty = L"QuillonName";
inline constexpr const wchar_t* kFormWindowClass = L"QuillonForm";

// Moves `window` to the middle of `over` (its owner), or of the work area of
// its monitor when `over` is null, kept inside that work area.
void CenterWindow(HWND window, HWND over);

// The DPI `window` is drawn at: its monitor's where the system tells it
// (Windows 10 1607 and later), else the system's.
UINT WindowDpi(HWND window);

// The key a window of any process carries, or empty.
std::string ControlKeyOf(HWND window);
// The child of `parent` (any process) whose key is `key`, or null.
HWND FindControl(HWND parent, const std::string& key);

class Win32FormView {
 public:
  // A window owned by `owner` when there is one; shown by Show. The view must
  // live as long as the form is used.
  explicit Win32FormView(Form& form, HWND owner = nullptr);
  ~Win32FormView();
  Win32FormView(const Win32FormView&) = delete;
  Win32FormView& operator=(const Win32FormView&) = delete;

  HWND window() const { return window_; }
  HWND Control(const std::string& key) const;
  void Show(int showCommand = SW_SHOWNORMAL);
  // Runs the thread's messages, keyboard handling of dialogs included (Tab,
  // mnemonics, Enter, Escape), until the window is gone. A main window's end
  // ends the loop; the answer is the quit code.
  int Run();
  // A modal window: the owner is disabled until this one closes.
  void RunModal();

 private:
  // The window, its fonts and its layout (win32_form_view.cpp,
  // win32_window_metrics.cpp).
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  void Bind(ControlModel& model, HWND control);
  // Writes a change of `changed` into its control, by its kind; false when the
  // kind leaves that change to the window (a text written as it is).
  bool ShowChange(ControlModel& changed, HWND control, Change change, int row);
  void MakeVisible(ControlModel& model);
  // A control hidden or disabled while it holds the focus keeps it (or leaves
  // none), so the keys would reach nothing: the focus moves on to the next tab
  // stop that can take it, as a dialog's page switch and Qt do.
  void MoveFocusFrom(HWND lost);
  void Place();
  // The control that `window` is or lies in (a combo's edit box); null when
  // none.
  ControlModel* ModelOf(HWND window);
  void Create();
  void Release();
  // The fonts and dialog base units at `dpi`.
  void UseDpi(UINT dpi);
  // The window's frame around the designed client area at the window's DPI.
  POINT DesignedFrameSize();

  // Messages and the message loop (win32_window_messages.cpp).
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code, HWND from);
  LRESULT OnNotify(const NMHDR& header);
  void DrawItem(const ControlModel& model, const DRAWITEMSTRUCT& item);
  bool PumpMessage(const MSG& message);
  int Loop();

  // Buttons, check boxes, option buttons and links (win32_buttons.cpp).
  bool ShowButtonChange(ControlModel& changed, HWND control, Change change);
  void OnButtonCommand(ControlModel& model, HWND control, int code);
  void MoveGroupTabStop(const ControlModel& changed);
  void DrawLink(const DRAWITEMSTRUCT& item);

  // Labels, text boxes, combos and progress bars (win32_text_controls.cpp).
  void SetUpTextControl(const ControlModel& model, HWND control);
  bool ShowTextChange(ControlModel& changed, HWND control, Change change);
  void OnTextCommand(ControlModel& model, HWND control, int code);

  // List boxes and list views (win32_lists.cpp).
  void SetUpListView(const ControlDescription& control, HWND created);
  bool ShowListChange(ControlModel& changed, HWND control, Change change, int row);
  void OnListCommand(ControlModel& model, HWND control, int code);
  void OnListViewNotify(ControlModel& model, const NMHDR& header);

  // Trees (win32_tree.cpp).
  bool ShowTreeChange(ControlModel& changed, HWND control, Change change);
  void SelectNode(const ControlModel& tree);
  void ShowNodes(const ControlModel& tree, HWND control);
  // Each tree's images, at the small icon size of the window's DPI.
  void MakeImages();
  LRESULT DrawTreeItem(const NMHDR& header);
  void OnTreeNotify(ControlModel& model, const NMHDR& header);

  // Tab controls and their pages (win32_tabs.cpp).
  void SetUpTabs(const ControlDescription& control, HWND created);
  bool ShowTabsChange(ControlModel& changed, HWND control, Change change);
  void ShowPage(const ControlModel& tabs);
  bool SwitchPage(int step);
  LRESULT OnTabsNotify(ControlModel& model, const NMHDR& header);
  void DrawPageFrame(const DRAWITEMSTRUCT& item);
  void DrawTabCaption(const ControlModel& model, const DRAWITEMSTRUCT& item);
  // The brush that paints what a tab control shows behind its pages' controls.
  HBRUSH PageBackground(HWND tabs);
  void ForgetPageBackgrounds();
  // The tab control with page headers whose page `control` lies on, or null.
  HWND PageOf(HWND control);

  // The menu bar, the toolbar and the shortcut keys (win32_menus.cpp).
  void CreateMenus();
  void CreateToolbar();
  void CreateShortcuts();
  void ShowCommandState(const std::string& name);

  Form& form_;
  HWND owner_ = nullptr;
  HWND window_ = nullptr;
  HWND toolbar_ = nullptr;
  HWND lastFocus_ = nullptr;  // the control that had the focus when the window lost it
  HFONT font_ = nullptr;
  HFONT linkFont_ = nullptr;        // the dialog font, underlined
  HACCEL accelerators_ = nullptr;   // the description's shortcuts
  std::vector<HIMAGELIST> images_;  // one per tree view
  UINT dpi_ = 96;
  struct PagePicture {
    HBITMAP bitmap = nullptr;
    HBRUSH brush = nullptr;
  };
  std::map<HWND, PagePicture> pageBackgrounds_;  // by tab control, made when first asked
  POINT minimumSize_{};             // the window's frame around the designed client area
  int baseX_ = 0, baseY_ = 0;
  bool updating_ = false;
  std::vector<HWND> controls_;  // in the form's order
  std::map<std::string, HWND> byKey_;
  std::map<int, std::string> commands_;  // menu and toolbar command ids
  PageMap pages_;  // the controls on each page of each tab control, and the page shown
  std::map<HWND, std::vector<HTREEITEM>> treeItems_;  // each tree's items, in its model's order
};

}  // namespace quillon::gui
