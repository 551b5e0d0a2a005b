// The models notify only on a real change, so a front end that writes back
// what its widget already shows does not start a round of updates.
#include "gui/form.h"

#include <stdexcept>

namespace quillon::gui {

std::string ControlKey(const ControlDescription& control) {
  if (control.index < 0) return control.name;
  return control.name + "(" + std::to_string(control.index) + ")";
}

ControlDescription Control(ControlKind kind, std::string name, std::string caption, Rect place,
                           unsigned anchors) {
  ControlDescription control;
  control.kind = kind;
  control.name = std::move(name);
  control.caption = std::move(caption);
  control.place = place;
  control.anchors = anchors;
  return control;
}

ControlDescription ControlDescription::Member(int arrayIndex) const {
  ControlDescription control = *this;
  control.index = arrayIndex;
  return control;
}

ControlDescription ControlDescription::OnPage(std::string tabControl, int tabPage) const {
  ControlDescription control = *this;
  control.container = std::move(tabControl);
  control.page = tabPage;
  return control;
}

ControlDescription ControlDescription::Columns(std::vector<std::string> headers) const {
  ControlDescription control = *this;
  control.columns = std::move(headers);
  return control;
}

ControlDescription ControlDescription::Images(std::vector<StockImage> list) const {
  ControlDescription control = *this;
  control.images = std::move(list);
  return control;
}

ControlDescription ControlDescription::HideTabs() const {
  ControlDescription control = *this;
  control.tabsHidden = true;
  return control;
}

Rect PlaceInClient(Rect place, unsigned anchors, int designedWidth, int designedHeight,
                   int clientWidth, int clientHeight) {
  const int growX = clientWidth - designedWidth;
  const int growY = clientHeight - designedHeight;
  if (anchors & kAnchorRight) {
    if (anchors & kAnchorLeft) {
      place.width += growX;
    } else {
      place.x += growX;
    }
  }
  if (anchors & kAnchorBottom) {
    if (anchors & kAnchorTop) {
      place.height += growY;
    } else {
      place.y += growY;
    }
  }
  if (place.width < 0) place.width = 0;
  if (place.height < 0) place.height = 0;
  return place;
}

KeyChord ParseShortcut(const std::string& keys) {
  KeyChord chord;
  std::size_t start = 0;
  while (true) {
    const std::size_t plus = keys.find('+', start);
    const std::string part = keys.substr(start, plus == std::string::npos ? plus : plus - start);
    if (plus == std::string::npos) {
      chord.key = part;
      break;
    }
    if (part == "Ctrl" && !chord.control) {
      chord.control = true;
    } else if (part == "Shift" && !chord.shift) {
      chord.shift = true;
    } else if (part == "Alt" && !chord.alt) {
      chord.alt = true;
    } else {
      return {};
    }
    start = plus + 1;
  }
  const std::string& key = chord.key;
  const bool letterOrDigit =
      key.size() == 1 && ((key[0] >= 'A' && key[0] <= 'Z') || (key[0] >= '0' && key[0] <= '9'));
  bool function = false;
  if (key.size() >= 2 && key.size() <= 3 && key[0] == 'F' && key[1] >= '1' && key[1] <= '9' &&
      (key.size() == 2 || (key[2] >= '0' && key[2] <= '9'))) {
    function = std::stoi(key.substr(1)) <= 24;
  }
  // A bare letter would take the key from every text box.
  if (!function && !(letterOrDigit && (chord.control || chord.alt))) return {};
  return chord;
}

std::string ShortcutKeys(const FormDescription& form, const std::string& command) {
  for (const ShortcutDescription& shortcut : form.shortcuts) {
    if (shortcut.command == command) return shortcut.keys;
  }
  return {};
}

bool IsCombo(ControlKind kind) {
  return kind == ControlKind::ComboBox || kind == ControlKind::ComboList ||
         kind == ControlKind::DriveList;
}

BaseUnits DialogBaseUnits(int lettersWidth, int height) {
  // The average of the 52 letters, rounded as GetDialogBaseUnits rounds it.
  return {(lettersWidth / 26 + 1) / 2, height};
}

Rect DialogUnitsToPixels(const Rect& units, int baseX, int baseY) {
  // Rounded as MapDialogRect rounds.
  const auto scaleX = [baseX](int value) { return (value * baseX + 2) / 4; };
  const auto scaleY = [baseY](int value) { return (value * baseY + 4) / 8; };
  return {scaleX(units.x), scaleY(units.y), scaleX(units.width), scaleY(units.height)};
}

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

Form::Form(FormDescription description)
    : description_(std::move(description)), caption_(description_.caption) {
  for (const ControlDescription& control : description_.controls) {
    auto model = std::make_unique<ControlModel>(control);
    const std::string key = model->key();
    if (!byKey_.emplace(key, model.get()).second) {
      throw std::invalid_argument("two controls named " + key + " in " + description_.name);
    }
    if (IsCombo(control.kind) || control.kind == ControlKind::ListBox ||
        control.kind == ControlKind::FolderList || control.kind == ControlKind::FileList) {
      model->SetValue(-1);  // no line selected
    }
    if (control.kind == ControlKind::Label || control.kind == ControlKind::Link ||
        control.kind == ControlKind::TextBox ||
        control.kind == ControlKind::MultiLineText || control.kind == ControlKind::ComboBox) {
      model->SetText(control.caption);
    }
    // Focus follows the front end's report: one control holds it at a time.
    model->Subscribe(
        [this](ControlModel& changed, Change change, int) {
          // What the session's end agreed to is what the window held then.
          if (change != Change::Focus) sessionEndAgreed_ = false;
          if (change != Change::Focus || !changed.focused()) return;
          for (const auto& other : controls_) {
            if (other.get() != &changed) other->SetFocus(false);
          }
        },
        this);
    controls_.push_back(std::move(model));
  }
}

ControlModel* Form::Find(const std::string& key) {
  const auto found = byKey_.find(key);
  return found == byKey_.end() ? nullptr : found->second;
}

ControlModel& Form::operator[](const std::string& key) {
  ControlModel* model = Find(key);
  if (!model) throw std::out_of_range("no control " + key + " in " + description_.name);
  return *model;
}

bool IsList(ControlKind kind) {
  return kind == ControlKind::ListBox || kind == ControlKind::FolderList ||
         kind == ControlKind::FileList;
}

int NextEnabledPage(const ControlModel& tabs, int step) {
  const int count = static_cast<int>(tabs.description().columns.size());
  for (int i = 1; i < count; ++i) {
    const int page = ((tabs.value() + step * i) % count + count) % count;
    if (tabs.pageEnabled(page)) return page;
  }
  return -1;
}

const ControlModel* Form::Find(const std::string& key) const {
  const auto found = byKey_.find(key);
  return found == byKey_.end() ? nullptr : found->second;
}

const ControlModel& Form::operator[](const std::string& key) const {
  const ControlModel* model = Find(key);
  if (!model) throw std::out_of_range("no control " + key + " in " + description_.name);
  return *model;
}

void Form::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  const auto handlers = captionHandlers_;
  for (const auto& [owner, handler] : handlers) handler();
}

void Form::Click(const std::string& key) {
  if (!CommandEnabled(key)) return;
  if (ControlModel* model = Find(key)) {
    if (!model->enabled()) return;
    if (model->description().kind == ControlKind::OptionButton) {
      for (const auto& other : controls_) {
        const ControlDescription& described = other->description();
        if (described.kind == ControlKind::OptionButton &&
            described.name == model->description().name) {
          other->SetChecked(other.get() == model);
        }
      }
    }
  }
  const auto handlers = clickHandlers_.find(key);
  if (handlers == clickHandlers_.end()) return;
  // Copied: a handler may add handlers.
  const std::vector<std::function<void()>> toRun = handlers->second;
  for (const auto& handler : toRun) handler();
}

void Form::OnClick(const std::string& key, std::function<void()> handler) {
  clickHandlers_[key].push_back(std::move(handler));
}

void Form::DoubleClick(const std::string& key) {
  if (ControlModel* model = Find(key); model && !model->enabled()) return;
  const auto handlers = doubleClickHandlers_.find(key);
  if (handlers == doubleClickHandlers_.end()) return;
  const std::vector<std::function<void()>> toRun = handlers->second;
  for (const auto& handler : toRun) handler();
}

void Form::OnDoubleClick(const std::string& key, std::function<void()> handler) {
  doubleClickHandlers_[key].push_back(std::move(handler));
}

void Form::SetCommandEnabled(const std::string& name, bool enabled) {
  if (CommandEnabled(name) == enabled) return;
  if (enabled) {
    disabledCommands_.erase(name);
  } else {
    disabledCommands_.insert(name);
  }
  const auto handlers = commandStateHandlers_;
  for (const auto& [owner, handler] : handlers) handler(name);
}

bool Form::CommandEnabled(const std::string& name) const {
  return !disabledCommands_.contains(name);
}

void Form::Activate() {
  const auto handlers = activateHandlers_;
  for (const auto& handler : handlers) handler();
}

bool Form::QuerySessionEnd() {
  sessionEndAgreed_ = false;
  const auto queries = closeQueries_;
  for (const auto& mayClose : queries) {
    if (!mayClose()) return false;
  }
  sessionEndAgreed_ = true;
  return true;
}

bool Form::Close() {
  const auto queries = sessionEndAgreed_ ? decltype(closeQueries_)() : closeQueries_;
  for (const auto& mayClose : queries) {
    if (!mayClose()) return false;
  }
  const auto handlers = closeHandlers_;
  for (const auto& [owner, handler] : handlers) handler();
  return true;
}

void Form::Detach(ControlModel::Owner owner) {
  for (const auto& control : controls_) control->Unsubscribe(owner);
  const auto owned = [owner](const OwnedHandler& each) { return each.first == owner; };
  std::erase_if(closeHandlers_, owned);
  std::erase_if(captionHandlers_, owned);
  std::erase_if(commandStateHandlers_, [owner](const auto& each) { return each.first == owner; });
}

}  // namespace quillon::gui
