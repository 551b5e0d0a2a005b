// A window described once, as data, and the widget-free models of its controls.
//
// A FormDescription says what a window holds: each control's kind, name (and
// index in a control array), caption, page, place in dialog units and, by its
// order in the list, its tab order; and the window's menus and toolbar. A Form
// made from it holds one ControlModel per control: what the program logic
// reads and writes. The front ends (gui/qt/, gui/win32/) build real widgets
// from the description and keep them and the models in step, so a control is
// written once, in its description line, and the logic runs without any window.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
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

// The name by which tests, tools and screen readers find a control: its name,
// or "name(index)" for a member of a control array.
std::string ControlKey(const ControlDescription& control);

// Where a control designed at `place` in a client area of `designed` lies in
// one of `client`: anchored edges keep their distance to the window's edge.
// Any unit, as long as all four are in the same one.
Rect PlaceInClient(Rect place, unsigned anchors, int designedWidth, int designedHeight,
                   int clientWidth, int clientHeight);

// Pixels of a rectangle in dialog units, for a font whose average character
// is `baseX` pixels wide and `baseY` pixels high (as MapDialogRect counts).
Rect DialogUnitsToPixels(const Rect& units, int baseX, int baseY);

// A font's dialog base units as Windows counts them: `lettersWidth` is the
// width of "A".."Z" followed by "a".."z", `height` the font's height.
struct BaseUnits {
  int x = 0, y = 0;
};
BaseUnits DialogBaseUnits(int lettersWidth, int height);
inline constexpr const char* kBaseUnitLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// A list view row or a tree node.
struct ListRow {
  std::vector<std::string> cells;  // the text, then the sub-items
  std::string tag;                 // not shown
  bool checked = false;
  bool operator==(const ListRow&) const = default;
};

struct TreeNode {
  std::string key;
  std::string parentKey;  // empty: a root
  std::string text;
  int image = 0;  // into the control's `images`
  bool expanded = false;
  bool operator==(const TreeNode&) const = default;
};

enum class Change {
  Text,
  Checked,
  Value,
  Range,
  Lines,
  Rows,
  Nodes,
  Enabled,
  Visible,
  Focus,
  ColumnWidths,
};

// What the logic reads and writes of one control. Every setter that changes
// something notifies the listeners with what changed and, for a row, which
// (-1 for all); setting a value it already has notifies nobody.
class ControlModel {
 public:
  using Listener = std::function<void(ControlModel&, Change, int row)>;
  // Who subscribed: a view passes itself and unsubscribes when it ends, so
  // its listeners never outlive the widgets they write to.
  using Owner = const void*;

  explicit ControlModel(const ControlDescription& description) : description_(description) {}
  const ControlDescription& description() const { return description_; }
  std::string key() const { return ControlKey(description_); }

  // A label's, text box's or combo's text; a tree view's selected node's key.
  // A multi-line text's lines end in "\r\n", as Windows edits keep them.
  const std::string& text() const { return text_; }
  void SetText(const std::string& text);
  bool checked() const { return checked_; }
  void SetChecked(bool checked);
  // The progress bar's position, the list's or combo's selected line (-1:
  // none), the tab control's page. Choosing a combo's line makes it the text.
  int value() const { return value_; }
  void SetValue(int value);
  int minimum() const { return minimum_; }
  int maximum() const { return maximum_; }
  void SetRange(int minimum, int maximum);

  // List box and combo lines; new lines select none.
  const std::vector<std::string>& lines() const { return lines_; }
  void SetLines(std::vector<std::string> lines);

  // List view rows.
  const std::vector<ListRow>& rows() const { return rows_; }
  void AddRow(ListRow row);
  void ClearRows();
  void SetRowChecked(int row, bool checked);
  // Asks the view to fit its columns to their contents.
  void FitColumns();

  // Tree view nodes, parents before their children.
  const std::vector<TreeNode>& nodes() const { return nodes_; }
  void AddNode(TreeNode node);
  void ClearNodes();

  bool enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // A tab control's page: an unavailable one is greyed and cannot be chosen
  // by the user. Notifies Change::Enabled with the page as the row.
  bool pageEnabled(int page) const { return !disabledPages_.contains(page); }
  void SetPageEnabled(int page, bool enabled);
  bool visible() const { return visible_; }
  void SetVisible(bool visible);
  bool focused() const { return focused_; }
  // The logic asks for the focus; the front end reports where it went. A
  // request always reaches the view, even when this control was the last
  // one reported: the focus may have gone to another window since.
  void SetFocus(bool focused = true);

  void Subscribe(Listener listener, Owner owner = nullptr) {
    listeners_.push_back({owner, std::move(listener)});
  }
  void Unsubscribe(Owner owner);

 private:
  void Notify(Change change, int row = -1);

  ControlDescription description_;
  std::string text_;
  bool checked_ = false;
  int value_ = 0, minimum_ = 0, maximum_ = 100;
  std::vector<std::string> lines_;
  std::vector<ListRow> rows_;
  std::vector<TreeNode> nodes_;
  std::set<int> disabledPages_;
  bool enabled_ = true, visible_ = true, focused_ = false;
  std::vector<std::pair<Owner, Listener>> listeners_;
};

// The page of a tab control after (step 1) or before (-1) the one shown that
// the user may choose, going round; -1 when there is none.
int NextEnabledPage(const ControlModel& tabs, int step);

// A window's models and events, made from its description. The front end
// reports what the user does (Click, Activate, and the models' setters);
// the logic subscribes with OnClick and OnActivate. A front end subscribes as
// the owner of its listeners and detaches them when it ends, so a form may
// outlive its view and be shown by another.
class Form {
 public:
  explicit Form(FormDescription description);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const FormDescription& description() const { return description_; }
  // The control of that key (name, or "name(index)"); null when there is none.
  ControlModel* Find(const std::string& key);
  // As Find, for controls the logic knows are there: a missing one is a
  // programming error and throws std::out_of_range.
  ControlModel& operator[](const std::string& key);
  const ControlModel* Find(const std::string& key) const;
  const ControlModel& operator[](const std::string& key) const;
  const std::vector<std::unique_ptr<ControlModel>>& controls() const { return controls_; }

  const std::string& caption() const { return caption_; }
  void SetCaption(const std::string& caption);

  // A button, menu command, tool or option button was operated. Disabled
  // controls take no clicks. An option button is checked and its group's
  // other members unchecked before the handlers run.
  void Click(const std::string& key);
  void OnClick(const std::string& key, std::function<void()> handler);
  // A list line was double-clicked (or Enter pressed on it): "choose this one".
  void DoubleClick(const std::string& key);
  void OnDoubleClick(const std::string& key, std::function<void()> handler);

  // Menu commands and tools, by name: available unless switched off. An
  // unavailable one takes no clicks; the front ends grey its menu entry and
  // toolbar button.
  void SetCommandEnabled(const std::string& name, bool enabled);
  bool CommandEnabled(const std::string& name) const;
  void OnCommandState(std::function<void(const std::string& name)> handler,
                      ControlModel::Owner owner = nullptr) {
    commandStateHandlers_.push_back({owner, std::move(handler)});
  }

  // The window was activated (every time; the logic decides what is first).
  void Activate();
  void OnActivate(std::function<void()> handler) {
    activateHandlers_.push_back(std::move(handler));
  }
  // Asks the window to close (the logic's Exit, the user's close box): every
  // close query may refuse ("save changes?" answered Cancel, an operation
  // still running); otherwise the close handlers run and the front end hides
  // the window (a main window's end ends the program). False when refused.
  bool Close();
  // The session ends (log-off, shutdown): the close queries ask as at a close,
  // but the window stays until the session really ends. An agreement stands
  // for the close that follows, without asking again, until the window's
  // content changes or the session end is called off.
  bool QuerySessionEnd();
  void SessionEndCancelled() { sessionEndAgreed_ = false; }
  void OnCloseQuery(std::function<bool()> mayClose) {
    closeQueries_.push_back(std::move(mayClose));
  }
  void OnClose(std::function<void()> handler, ControlModel::Owner owner = nullptr) {
    closeHandlers_.push_back({owner, std::move(handler)});
  }

  // Lets the window repaint and answer the user during a long operation; set
  // by the front end, nothing without one.
  void ProcessEvents() const {
    if (processEvents_) processEvents_();
  }
  void SetEventProcessor(std::function<void()> processor) { processEvents_ = std::move(processor); }
  void OnCaption(std::function<void()> handler, ControlModel::Owner owner = nullptr) {
    captionHandlers_.push_back({owner, std::move(handler)});
  }
  // Removes everything `owner` subscribed, on the form and on its controls.
  void Detach(ControlModel::Owner owner);

 private:
  using OwnedHandler = std::pair<ControlModel::Owner, std::function<void()>>;

  FormDescription description_;
  std::string caption_;
  std::vector<std::unique_ptr<ControlModel>> controls_;
  std::map<std::string, ControlModel*> byKey_;
  std::map<std::string, std::vector<std::function<void()>>> clickHandlers_, doubleClickHandlers_;
  std::set<std::string> disabledCommands_;
  std::vector<std::pair<ControlModel::Owner, std::function<void(const std::string&)>>>
      commandStateHandlers_;
  std::vector<std::function<void()>> activateHandlers_;
  std::vector<std::function<bool()>> closeQueries_;
  bool sessionEndAgreed_ = false;
  std::vector<OwnedHandler> closeHandlers_, captionHandlers_;
  std::function<void()> processEvents_;
};

}  // namespace quillon::gui
