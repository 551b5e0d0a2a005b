// What a window is, as data: each control's kind, name (and index in a
// control array), caption, page, place in dialog units and anchors; the
// window's menus, toolbar, shortcut keys and, by the order of its controls,
// its tab order. Also the names and kinds' families the front ends go by.
#pragma once

#include <string>
#include <vector>

namespace quillon::gui {

enum class ControlKind {
  Label,    // static text
  TextBox,  // single-line edit
  MultiLineText,
  Button,  // push button
  CheckBox,
  OptionButton,  // members of one control array form one group
  ComboBox,      // editable drop-down
  ComboList,     // drop-down list, no typing
  // The user's choice of a line (a click, also on the line already chosen,
  // or a move by keyboard) sets the value and reports one Click.
  ListBox,
  ListView,    // report view, check box per row, columns from `columns`
  // Nodes with images from `images`. The user's choice of a node (a mouse
  // click, also on the node already selected, or a move by keyboard) sets the
  // text to its key and then reports one Click of the tree; a selection made
  // by the logic reports none.
  TreeView,
  TabControl,  // pages `columns`; which one shows is switched by code
  ProgressBar,
  // The start dialog's file-system lists: the logic fills their lines from
  // the platform's file system; the front ends show them as a drop-down list
  // (drives) and list boxes (folders, files).
  DriveList,
  FolderList,
  FileList,
  // A label that opens something when clicked: the pointer over it is the
  // arrow with the question mark; a click is reported as the control's Click.
  Link,
};

// Which edges of the window a control keeps its distance to when the window
// is resized; left and top by default. Left and right both: it grows.
enum Anchor : unsigned { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };
inline constexpr unsigned kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom;

// Images of tree nodes: the platform's own small icons.
enum class StockImage { Document, Folder };

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

struct ControlDescription {
  ControlKind kind = ControlKind::Label;
  std::string name;
  int index = -1;       // member of a control array when >= 0
  std::string caption;  // with "&" before the mnemonic letter
  Rect place;           // dialog units, in the window's client area
  unsigned anchors = kAnchorLeft | kAnchorTop;
  std::string container;             // key of the tab control this control lies on, or empty
  int page = 0;                      // the container's page
  std::vector<std::string> columns;  // list view column headers, tab control page captions
  std::vector<StockImage> images;    // tree view image list
  // A tab control whose pages are switched by code only: no page headers are
  // shown, just the frame its pages' controls lie in.
  bool tabsHidden = false;

  // What a description line adds after Control(...): a member of a control
  // array, a place on a tab control's page, list view columns or tab captions,
  // a tree's images.
  ControlDescription Member(int arrayIndex) const;
  ControlDescription OnPage(std::string tabControl, int tabPage) const;
  ControlDescription Columns(std::vector<std::string> headers) const;
  ControlDescription Images(std::vector<StockImage> list) const;
  ControlDescription HideTabs() const;
};

// One line of a window's description: Control(ControlKind::Button, "cmdExit",
// "E&xit", {377, 210, 56, 15}, kAnchorRight | kAnchorBottom).
ControlDescription Control(ControlKind kind, std::string name, std::string caption, Rect place,
                           unsigned anchors = kAnchorLeft | kAnchorTop);

// A menu bar entry or one of its commands; a command's `name` is what the
// click reports. "-" as caption: a separator.
struct MenuDescription {
  std::string name;
  std::string caption;
  std::vector<MenuDescription> items;
};

struct ToolDescription {
  std::string name;     // what the click reports
  std::string caption;  // text on the button, also its tooltip
};

// A key that clicks a command while the window is active, as a menu entry
// would: "Ctrl+S", "F1". The command may be a menu command (its entry then
// shows the key) or any clickable control's key.
struct ShortcutDescription {
  std::string keys;
  std::string command;
};

// A shortcut's keys taken apart: modifiers and the key itself, a letter or
// digit ("S", "7") or a function key ("F1".."F24").
struct KeyChord {
  bool control = false, shift = false, alt = false;
  std::string key;
  bool operator==(const KeyChord&) const = default;
};
// Empty `key` when the text is not such a shortcut.
KeyChord ParseShortcut(const std::string& keys);

struct FormDescription {
  std::string name;
  std::string caption;
  int width = 0, height = 0;   // client area, dialog units
  bool modal = false;          // a dialog owned by another window
  std::string cancelControl;   // the button that Escape presses
  std::string defaultControl;  // the button that Enter presses
  std::vector<MenuDescription> menus;
  std::vector<ToolDescription> tools;
  std::vector<ShortcutDescription> shortcuts;
  std::vector<ControlDescription> controls;  // in tab order
};

// The keys of `command`'s shortcut, or empty.
std::string ShortcutKeys(const FormDescription& form, const std::string& command);

// Kinds shown as a combo box: their value is the chosen line, their text that
// line (or, in an editable one, what was typed).
bool IsCombo(ControlKind kind);
// Kinds shown as a list box: their value is the chosen line.
bool IsList(ControlKind kind);

// The families by which each front end keeps its controls' code, one file
// each: buttons (push, check, option, link), text controls (labels, edits,
// combos, progress bars), lists (list boxes and list views), the tree, tabs.
enum class ControlFamily { Buttons, TextControls, Lists, Tree, Tabs };
ControlFamily FamilyOf(ControlKind kind);

// The name by which tests, tools and screen readers find a control: its name,
// or "name(index)" for a member of a control array.
std::string ControlKey(const ControlDescription& control);

}  // namespace quillon::gui
