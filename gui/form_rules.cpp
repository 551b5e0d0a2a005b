// A description may name a tab control that is missing, or (by mistake) put
// a tab control on its own page: the walks up and down the pages are bounded,
// so such a form shows less, never hangs.
#include "gui/form_rules.h"

#include <algorithm>

namespace quillon::gui {

namespace {

bool IsOptionOf(const ControlModel& model, const std::string& group) {
  return model.description().kind == ControlKind::OptionButton &&
         model.description().name == group;
}

}  // namespace

bool IsShown(const Form& form, const ControlModel& model) {
  const ControlModel* at = &model;
  for (std::size_t depth = 0; depth <= form.controls().size(); ++depth) {
    if (!at->visible()) return false;
    const ControlDescription& described = at->description();
    if (described.container.empty()) return true;
    const ControlModel* tabs = form.Find(described.container);
    if (!tabs || tabs->value() != described.page) return false;
    at = tabs;
  }
  return false;
}

PageMap::PageMap(const Form& form) {
  for (const auto& model : form.controls()) {
    const ControlDescription& control = model->description();
    if (control.kind == ControlKind::TabControl) shown_[model->key()] = model->value();
    if (control.container.empty() || control.page < 0) continue;
    auto& pages = pages_[control.container];
    if (pages.size() <= static_cast<std::size_t>(control.page))
      pages.resize(static_cast<std::size_t>(control.page) + 1);
    pages[static_cast<std::size_t>(control.page)].push_back(model.get());
  }
}

void PageMap::AddPage(const std::string& tabs, int page, std::vector<ControlModel*>& into) const {
  const auto found = pages_.find(tabs);
  if (found == pages_.end() || page < 0 || page >= static_cast<int>(found->second.size())) return;
  for (ControlModel* model : found->second[static_cast<std::size_t>(page)]) {
    // Met before: a tab control lies, through others or directly, on its own page.
    if (std::find(into.begin(), into.end(), model) != into.end()) continue;
    into.push_back(model);
    if (model->description().kind == ControlKind::TabControl) AddWithin(*model, into);
  }
}

void PageMap::AddWithin(const ControlModel& tabs, std::vector<ControlModel*>& into) const {
  const auto found = pages_.find(tabs.key());
  if (found == pages_.end()) return;
  for (std::size_t page = 0; page < found->second.size(); ++page)
    AddPage(tabs.key(), static_cast<int>(page), into);
}

std::vector<ControlModel*> PageMap::Within(const ControlModel& tabs) const {
  std::vector<ControlModel*> within;
  AddWithin(tabs, within);
  return within;
}

std::vector<ControlModel*> PageMap::ShowPage(const ControlModel& tabs) {
  std::vector<ControlModel*> changed;
  int& shown = shown_[tabs.key()];
  AddPage(tabs.key(), shown, changed);
  if (tabs.value() != shown) AddPage(tabs.key(), tabs.value(), changed);
  shown = tabs.value();
  return changed;
}

bool SwitchPage(Form& form, const ControlModel* focused, int step) {
  ControlModel* tabs = nullptr;
  if (focused) {
    tabs = focused->description().kind == ControlKind::TabControl
               ? form.Find(focused->key())
               : form.Find(focused->description().container);
  }
  // Pages switched by code only are not the user's to switch.
  if (tabs && tabs->description().tabsHidden) tabs = nullptr;
  if (!tabs) {
    int shown = 0;
    for (const auto& model : form.controls()) {
      if (model->description().kind == ControlKind::TabControl &&
          !model->description().tabsHidden && IsShown(form, *model)) {
        tabs = model.get();
        ++shown;
      }
    }
    // Of two or more, the user could not tell which one the keys switch.
    if (shown != 1) return false;
  }
  if (!tabs->enabled() || !IsShown(form, *tabs)) return false;
  if (const int page = NextEnabledPage(*tabs, step); page >= 0) tabs->SetValue(page);
  return true;
}

std::vector<ControlModel*> GroupMembers(const Form& form, const std::string& group) {
  std::vector<ControlModel*> members;
  for (const auto& model : form.controls()) {
    if (IsOptionOf(*model, group)) members.push_back(model.get());
  }
  return members;
}

const ControlModel* GroupTabStop(const Form& form, const std::string& group) {
  const ControlModel* stop = nullptr;
  for (const ControlModel* member : GroupMembers(form, group)) {
    if (member->checked()) return member;
    if (!stop) stop = member;
  }
  return stop;
}

std::vector<Replayed> ReplayChanges(const ControlModel& model) {
  std::vector<Replayed> changes;
  // Lines before the value: the value chooses one of them.
  if (!model.lines().empty()) changes.push_back({Change::Lines});
  if (!model.nodes().empty()) changes.push_back({Change::Nodes});
  if (!model.rows().empty()) changes.push_back({Change::Rows});
  changes.push_back({Change::Range});
  changes.push_back({Change::Value});
  changes.push_back({Change::Text});
  if (model.checked()) changes.push_back({Change::Checked});
  for (int page = 0; page < static_cast<int>(model.description().columns.size()); ++page) {
    if (!model.pageEnabled(page)) changes.push_back({Change::Enabled, page});
  }
  return changes;
}

EnterTarget EnterTargetOf(const Form& form, const ControlModel* focused) {
  if (focused) {
    const ControlKind kind = focused->description().kind;
    if (kind == ControlKind::Link) return {EnterTarget::Act::FollowLink, focused->key()};
    if (IsList(kind) && focused->value() >= 0)
      return {EnterTarget::Act::ChooseLine, focused->key()};
    if (kind == ControlKind::Button) return {EnterTarget::Act::PressButton, focused->key()};
  }
  return {EnterTarget::Act::PressButton, form.description().defaultControl};
}

}  // namespace quillon::gui
