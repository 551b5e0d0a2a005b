// The form keeps one model per control, checks option groups on a click and
// keeps the focus in one control at a time.
#include "gui/form.h"

#include <stdexcept>

namespace quillon::gui {

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

