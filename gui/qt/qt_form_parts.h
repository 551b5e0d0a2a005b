// Internal to the Qt front end, shared by its files by control kind: text
// between the models and Qt, each kind's widget maker, the menus and keys of
// the window, and the Binder, which carries the models' changes to the
// widgets and the user's back. Callers use qt_form_view.h.
#pragma once

#include <QObject>
#include <QString>

#include <map>
#include <string>
#include <vector>

#include "gui/form.h"
#include "gui/form_rules.h"
#include "gui/qt/qt_form_view.h"

class QAction;
class QEventLoop;
class QFontMetrics;
class QKeyEvent;
class QTreeWidget;
class QVBoxLayout;

namespace quillon::gui {

namespace qt_parts {

inline QString Text(const std::string& text) { return QString::fromStdString(text); }

// The model keeps a multi-line text's lines as Windows edits do, "\r\n";
// Qt's editors use "\n".
QString EditorText(const std::string& text);
std::string ModelText(const QString& text);

// Each kind's widget, in `parent`.
QWidget* MakeButton(const ControlDescription& control, QWidget* parent);
QWidget* MakeTextControl(const ControlDescription& control, QWidget* parent);
QWidget* MakeList(const ControlDescription& control, QWidget* parent);
QWidget* MakeTree(const ControlDescription& control, QWidget* parent);
QWidget* MakeTabs(const ControlDescription& control, QWidget* parent);

// A caption broken into lines of at most `width` pixels at its blanks; the
// mnemonic's "&" takes no room.
QString WrappedCaption(const QString& caption, const QFontMetrics& metrics, int width);

// The menu bar, the toolbar and the shortcut keys of the description, in
// `layout` above the client area, their actions acting on `context`'s
// behalf; the menu entries and tools by command in `commands`. The answer
// is the height they take.
using Commands = std::map<std::string, std::vector<QAction*>>;
int AddCommands(Form& form, QWidget& root, QVBoxLayout& layout, QObject* context,
                Commands& commands);

}  // namespace qt_parts

class QtFormView::Binder : public QObject {
 public:
  explicit Binder(QtFormView& view)
      : QObject(&view.root_), pages_(view.form_), view_(view) {}

  bool eventFilter(QObject* watched, QEvent* event) override;

  // Ctrl+Tab and Ctrl+Shift+Tab (gui::SwitchPage's rule).
  void SwitchPage(int step);

  bool closeAgreed = false;  // the form agreed: the window's close goes through
  bool askingForm = false;   // the close box's close, being asked of the form

  QEventLoop* modalLoop = nullptr;  // while RunModal runs

  // Runs a change the view makes to a widget without its signal reaching the
  // model.
  template <typename Action>
  void Quietly(Action action) {
    const bool was = updating_;
    updating_ = true;
    action();
    updating_ = was;
  }
  bool updating() const { return updating_; }

  void Bind(ControlModel& model, QWidget* widget);

 private:
  void MakeVisible(ControlModel& model, QWidget* widget);
  // Writes a change of `changed` into its widget, by its kind.
  void ShowChange(ControlModel& changed, QWidget* widget, Change change, int row);

  // Buttons, check boxes, option buttons and links (qt_buttons.cpp).
  void ShowButtonChange(ControlModel& changed, QWidget* widget, Change change);
  void ConnectButton(ControlModel& model, QWidget* widget);
  // A link acts on a click of the left button released over it, and on
  // Space; Enter is the window's shortcut, which acts on it too.
  bool OnLink(const std::string& key, QEvent& event);
  // The arrow keys move to the group's next or previous member and check it,
  // as in a Windows dialog; Tab leaves the group.
  bool MoveInGroup(QObject* watched, const QKeyEvent& key);
  // Tab reaches an option group at its checked member, or at the first while
  // none is checked.
  void MoveGroupTabStop(const std::string& group);

  // Labels, text boxes, combos and progress bars (qt_text_controls.cpp).
  void ShowTextChange(ControlModel& changed, QWidget* widget, Change change);
  void ConnectTextControl(ControlModel& model, QWidget* widget);

  // List boxes and list views (qt_lists.cpp).
  void ShowListChange(ControlModel& changed, QWidget* widget, Change change, int row);
  void ConnectList(ControlModel& model, QWidget* widget);

  // Trees (qt_tree.cpp).
  void ShowTreeChange(ControlModel& changed, QWidget* widget, Change change);
  void ConnectTree(ControlModel& model, QWidget* widget);
  // The logic's choice of a node: selected, or none when no node has that key.
  static void SelectNode(QTreeWidget& tree, const std::string& key);

  // Tab controls and their pages (qt_tabs.cpp).
  void ShowTabsChange(ControlModel& changed, QWidget* widget, Change change, int row);
  void ConnectTabs(ControlModel& model, QWidget* widget);
  // The controls on a tab control's page follow the page shown: those of
  // the page left and of the page come, not every control of the window.
  void ShowPage(const ControlModel& tabs);

  std::map<QObject*, std::string> links_;  // link widgets and their keys
  PageMap pages_;

  QtFormView& view_;
  bool updating_ = false;
};

}  // namespace quillon::gui
