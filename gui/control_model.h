// The widget-free model of one control: what the logic reads and writes
// (text, check, value, lines, rows, nodes, state), and the changes it
// notifies to its listeners; with the rows and nodes of lists and trees.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/form_description.h"

namespace quillon::gui {

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

}  // namespace quillon::gui
