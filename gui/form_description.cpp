// Description lines are built by copying: each helper returns a changed copy,
// so one line reads as a chain.
#include "gui/form_description.h"

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

bool IsList(ControlKind kind) {
  return kind == ControlKind::ListBox || kind == ControlKind::FolderList ||
         kind == ControlKind::FileList;
}

ControlFamily FamilyOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
    case ControlKind::Link:
      return ControlFamily::Buttons;
    case ControlKind::Label:
    case ControlKind::TextBox:
    case ControlKind::MultiLineText:
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList:
    case ControlKind::ProgressBar:
      return ControlFamily::TextControls;
    case ControlKind::ListBox:
    case ControlKind::FolderList:
    case ControlKind::FileList:
    case ControlKind::ListView:
      return ControlFamily::Lists;
    case ControlKind::TreeView:
      return ControlFamily::Tree;
    case ControlKind::TabControl:
      return ControlFamily::Tabs;
  }
  return ControlFamily::TextControls;
}

}  // namespace quillon::gui
