// The models notify only on a real change, so a front end that writes back
// what its widget already shows does not start a round of updates.
#include "gui/control_model.h"

namespace quillon::gui {

void ControlModel::Notify(Change change, int row) {
  // A listener may subscribe another; the copy keeps the loop valid.
  const auto listeners = listeners_;
  for (const auto& [owner, listener] : listeners) listener(*this, change, row);
}

void ControlModel::Unsubscribe(Owner owner) {
  std::erase_if(listeners_, [owner](const auto& each) { return each.first == owner; });
}

void ControlModel::SetText(const std::string& text) {
  if (text_ == text) return;
  text_ = text;
  Notify(Change::Text);
}

void ControlModel::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Notify(Change::Checked);
}

void ControlModel::SetValue(int value) {
  if (value_ == value) return;
  value_ = value;
  Notify(Change::Value);
  if (IsCombo(description_.kind) && value >= 0 && value < static_cast<int>(lines_.size())) {
    SetText(lines_[static_cast<std::size_t>(value)]);
  }
}

void ControlModel::SetRange(int minimum, int maximum) {
  if (minimum_ == minimum && maximum_ == maximum) return;
  minimum_ = minimum;
  maximum_ = maximum;
  Notify(Change::Range);
}

void ControlModel::SetLines(std::vector<std::string> lines) {
  if (lines_ == lines) return;
  lines_ = std::move(lines);
  Notify(Change::Lines);
  // New lines select none, as a Windows list or combo does once refilled: a
  // kept index would name another line, and choosing that line later would
  // change nothing. A combo keeps its text.
  if (value_ >= 0) {
    value_ = -1;
    Notify(Change::Value);
  }
}

void ControlModel::AddRow(ListRow row) {
  rows_.push_back(std::move(row));
  Notify(Change::Rows, static_cast<int>(rows_.size()) - 1);
}

void ControlModel::ClearRows() {
  if (rows_.empty()) return;
  rows_.clear();
  Notify(Change::Rows);
}

void ControlModel::SetRowChecked(int row, bool checked) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return;
  ListRow& target = rows_[static_cast<std::size_t>(row)];
  if (target.checked == checked) return;
  target.checked = checked;
  Notify(Change::Checked, row);
}

void ControlModel::FitColumns() { Notify(Change::ColumnWidths); }

void ControlModel::AddNode(TreeNode node) {
  nodes_.push_back(std::move(node));
  Notify(Change::Nodes, static_cast<int>(nodes_.size()) - 1);
}

void ControlModel::ClearNodes() {
  if (nodes_.empty()) return;
  nodes_.clear();
  Notify(Change::Nodes);
}

void ControlModel::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Notify(Change::Enabled);
}

void ControlModel::SetPageEnabled(int page, bool enabled) {
  if (pageEnabled(page) == enabled) return;
  if (enabled) {
    disabledPages_.erase(page);
  } else {
    disabledPages_.insert(page);
  }
  Notify(Change::Enabled, page);
}

void ControlModel::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Notify(Change::Visible);
}

void ControlModel::SetFocus(bool focused) {
  if (focused_ == focused && !focused) return;
  focused_ = focused;
  Notify(Change::Focus);
}

int NextEnabledPage(const ControlModel& tabs, int step) {
  const int count = static_cast<int>(tabs.description().columns.size());
  for (int i = 1; i < count; ++i) {
    const int page = ((tabs.value() + step * i) % count + count) % count;
    if (tabs.pageEnabled(page)) return page;
  }
  return -1;
}

}  // namespace quillon::gui
