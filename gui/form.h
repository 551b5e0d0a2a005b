// A window described once, as data, and the widget-free models of its controls.
//
// A FormDescription says what a window holds: each control's kind, name (and
// index in a control array), caption, page, place in dialog units and, by its
// order in the list, its tab order; and the window's menus and toolbar. A Form
// made from it holds one ControlModel per control: what the program logic
// reads and writes. The front ends (gui/qt/, gui/win32/) build real widgets
// from the description and keep them and the models in step, so a control is
// written once, in its description line, and the logic runs without any window.
//
// This header is the one callers include: it brings the descriptions
// (form_description.h), dialog units (dialog_units.h) and the control model
// (control_model.h) along, and holds the Form itself.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gui/control_model.h"
#include "gui/dialog_units.h"
#include "gui/form_description.h"

namespace quillon::gui {

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
