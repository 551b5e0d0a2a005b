// The Qt front end: builds a window's widgets from its description into a
// root widget and keeps them and the form's models in step. Every widget's
// objectName is its control's key (the name, or "name(index)"), so tests
// and tools find it by name.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "gui/form.h"

class QAction;
class QWidget;

namespace quillon::gui {

class QtFormView {
 public:
  // `root` is the top-level widget and must outlive the view.
  QtFormView(Form& form, QWidget& root);
  ~QtFormView();
  QtFormView(const QtFormView&) = delete;
  QtFormView& operator=(const QtFormView&) = delete;

  QWidget* Widget(const std::string& key) const;
  // Shows the window modally (every other window of the program waits) and
  // returns when it is closed, by the form or by the user.
  void RunModal();

 private:
  class Binder;
  void Place();
  // The control that `widget` is or lies in (a combo's edit box), or null.
  ControlModel* ModelOf(const QWidget* widget) const;

  Form& form_;
  QWidget& root_;
  QWidget* client_ = nullptr;
  int baseX_ = 0, baseY_ = 0;
  std::map<std::string, QWidget*> widgets_;
  std::map<std::string, std::vector<QAction*>> commands_;  // menu entries and tools, by name
  Binder* binder_ = nullptr;  // a child QObject of the root, deleted with the view
};

}  // namespace quillon::gui
