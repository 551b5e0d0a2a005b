// The Qt front end's window: its client area, widgets made, bound and laid
// out, its keys (Escape, Enter, Ctrl+Tab), closing and modal running. Each
// control kind's own code lies in a file of its kind (qt_buttons.cpp,
// qt_text_controls.cpp, qt_lists.cpp, qt_tree.cpp, qt_tabs.cpp), the menus,
// toolbar and shortcuts in qt_menus.cpp. One listener per model carries the
// logic's changes to its widget, and the widget's signals carry the user's
// back. `updating_` keeps a change the view itself makes from coming back.
#include "gui/qt/qt_form_view.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace {

QWidget* MakeWidget(const ControlDescription& control, QWidget* parent) {
  switch (FamilyOf(control.kind)) {
    case ControlFamily::Buttons:
      return MakeButton(control, parent);
    case ControlFamily::TextControls:
      return MakeTextControl(control, parent);
    case ControlFamily::Lists:
      return MakeList(control, parent);
    case ControlFamily::Tree:
      return MakeTree(control, parent);
    case ControlFamily::Tabs:
      return MakeTabs(control, parent);
  }
  return new QWidget(parent);
}

}  // namespace

bool QtFormView::Binder::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &view_.root_ && event->type() == QEvent::WindowActivate) {
    // Queued, so that the window is drawn before the logic acts.
    QTimer::singleShot(0, this, [this] { view_.form_.Activate(); });
  }
  if (watched == view_.client_ && event->type() == QEvent::Resize) view_.Place();
  if (watched == &view_.root_ && event->type() == QEvent::Hide && modalLoop) modalLoop->quit();
  if (watched == &view_.root_ && event->type() == QEvent::Close && !closeAgreed) {
    // The close box asks the form, which may refuse.
    askingForm = true;
    const bool agreed = view_.form_.Close();
    askingForm = false;
    if (agreed) return false;
    event->ignore();
    return true;
  }
  if (const auto link = links_.find(watched); link != links_.end())
    return OnLink(link->second, *event);
  if (event->type() == QEvent::KeyPress)
    return MoveInGroup(watched, *static_cast<QKeyEvent*>(event));
  return false;
}

void QtFormView::Binder::MakeVisible(ControlModel& model, QWidget* widget) {
  widget->setVisible(IsShown(view_.form_, model));
}

void QtFormView::Binder::Bind(ControlModel& model, QWidget* widget) {
  widget->setEnabled(model.enabled());
  const ControlModel::Listener show = [this, widget](ControlModel& changed, Change change, int row) {
        Quietly([&] {
          switch (change) {
            case Change::Enabled:
              if (row < 0) {
                widget->setEnabled(changed.enabled());
              } else {
                ShowChange(changed, widget, change, row);  // a page's
              }
              break;
            case Change::Visible:
              MakeVisible(changed, widget);
              for (ControlModel* model : pages_.Within(changed))
                MakeVisible(*model, view_.widgets_.at(model->key()));
              break;
            case Change::Focus:
              if (changed.focused()) widget->setFocus();
              break;
            default:
              ShowChange(changed, widget, change, row);
              break;
          }
        });
      };
  model.Subscribe(show, &view_);
  // A form filled before its view (a dialog prepared, then shown) shows what
  // its models already hold.
  for (const auto& [change, row] : ReplayChanges(model)) show(model, change, row);
  MakeVisible(model, widget);

  // The user's side.
  switch (FamilyOf(model.description().kind)) {
    case ControlFamily::Buttons:
      ConnectButton(model, widget);
      break;
    case ControlFamily::TextControls:
      ConnectTextControl(model, widget);
      break;
    case ControlFamily::Lists:
      ConnectList(model, widget);
      break;
    case ControlFamily::Tree:
      ConnectTree(model, widget);
      break;
    case ControlFamily::Tabs:
      ConnectTabs(model, widget);
      break;
  }
}

void QtFormView::Binder::ShowChange(ControlModel& changed, QWidget* widget, Change change,
                                    int row) {
  switch (FamilyOf(changed.description().kind)) {
    case ControlFamily::Buttons:
      ShowButtonChange(changed, widget, change);
      break;
    case ControlFamily::TextControls:
      ShowTextChange(changed, widget, change);
      break;
    case ControlFamily::Lists:
      ShowListChange(changed, widget, change, row);
      break;
    case ControlFamily::Tree:
      ShowTreeChange(changed, widget, change);
      break;
    case ControlFamily::Tabs:
      ShowTabsChange(changed, widget, change, row);
      break;
  }
}

QtFormView::QtFormView(Form& form, QWidget& root) : form_(form), root_(root) {
  const FormDescription& described = form.description();
  root.setObjectName(Text(described.name));
  root.setWindowTitle(Text(form.caption()));
  binder_ = new Binder(*this);

  auto* layout = new QVBoxLayout(&root);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  // Menu bar and toolbar above the client area.
  const int extraHeight = AddCommands(form, root, *layout, binder_, commands_);
  // A command's menu entry and tool are greyed while it is unavailable.
  for (const auto& [name, actions] : commands_) {
    for (QAction* action : actions) action->setEnabled(form.CommandEnabled(name));
  }
  form.OnCommandState(
      [this](const std::string& name) {
        const auto found = commands_.find(name);
        if (found == commands_.end()) return;
        for (QAction* action : found->second) action->setEnabled(form_.CommandEnabled(name));
      },
      this);

  client_ = new QWidget(&root);
  client_->setObjectName(Text(described.name + ".client"));
  layout->addWidget(client_, 1);

  const QFontMetrics metrics(root.font());
  // As Windows counts a font's dialog base units: the average of the letters.
  const BaseUnits base =
      DialogBaseUnits(metrics.horizontalAdvance(kBaseUnitLetters), metrics.height());
  baseX_ = base.x;
  baseY_ = base.y;

  QWidget* previous = nullptr;
  QLabel* pendingLabel = nullptr;
  std::map<std::string, QButtonGroup*> groups;
  for (const auto& model : form.controls()) {
    QWidget* widget = MakeWidget(model->description(), client_);
    if (model->description().kind == ControlKind::OptionButton) {
      // Exclusive, so that Tab stops on the checked member only and the arrow
      // keys move within the group, as in a Windows dialog.
      QButtonGroup*& group = groups[model->description().name];
      if (!group) group = new QButtonGroup(binder_);
      group->addButton(static_cast<QRadioButton*>(widget));
    }
    widget->setObjectName(Text(model->key()));
    // Tab order is the description's order; a label's mnemonic moves the
    // focus to the control after it, as on Windows.
    if (pendingLabel) pendingLabel->setBuddy(widget);
    pendingLabel =
        model->description().kind == ControlKind::Label ? static_cast<QLabel*>(widget) : nullptr;
    if (!pendingLabel && previous) QWidget::setTabOrder(previous, widget);
    if (!pendingLabel) previous = widget;
    widgets_[model->key()] = widget;
  }
  for (const auto& model : form.controls()) binder_->Bind(*model, widgets_[model->key()]);
  // Controls on tab pages lie above their tab control.
  for (const auto& model : form.controls()) {
    if (!model->description().container.empty()) widgets_[model->key()]->raise();
  }

  if (QWidget* cancel = Widget(described.cancelControl)) {
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &root);
    QObject::connect(escape, &QShortcut::activated, binder_, [cancel] {
      if (auto* button = qobject_cast<QAbstractButton*>(cancel)) button->animateClick();
    });
  }
  // Enter presses the push button that has the focus, else the default
  // button; on a link it follows it, on a list's line it chooses the line.
  auto* defaultButton = qobject_cast<QPushButton*>(Widget(described.defaultControl));
  if (defaultButton) defaultButton->setDefault(true);
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), &root);
    QObject::connect(enter, &QShortcut::activated, binder_, [this] {
      const EnterTarget target = EnterTargetOf(form_, ModelOf(QApplication::focusWidget()));
      if (target.act == EnterTarget::Act::FollowLink) {
        form_.Click(target.key);
        return;
      }
      if (target.act == EnterTarget::Act::ChooseLine) {
        form_.DoubleClick(target.key);
        return;
      }
      auto* button = qobject_cast<QPushButton*>(Widget(target.key));
      if (button && button->isEnabled()) button->animateClick();
    });
  }
  for (const auto& [sequence, step] :
       {std::pair{QKeySequence::NextChild, 1}, std::pair{QKeySequence::PreviousChild, -1}}) {
    auto* switchPage = new QShortcut(sequence, &root);
    QObject::connect(switchPage, &QShortcut::activated, binder_,
                     [this, step] { binder_->SwitchPage(step); });
  }

  form.OnCaption([this] { root_.setWindowTitle(Text(form_.caption())); }, this);
  form.OnClose(
      [this] {
        // When the close box asked, the window closes as the event goes on.
        if (binder_->askingForm) return;
        binder_->closeAgreed = true;
        root_.close();
        binder_->closeAgreed = false;
      },
      this);
  form.SetEventProcessor([] { QCoreApplication::processEvents(); });
  QObject::connect(qApp, &QApplication::focusChanged, binder_, [this](QWidget*, QWidget* now) {
    for (const auto& [key, widget] : widgets_) {
      if (widget == now) form_[key].SetFocus(true);
    }
  });
  root.installEventFilter(binder_);
  client_->installEventFilter(binder_);

  const Rect size = DialogUnitsToPixels({0, 0, described.width, described.height}, baseX_, baseY_);
  // The designed size is also the least: smaller, the anchored controls would
  // overlap or leave the window.
  client_->setMinimumSize(size.width, size.height);
  root.resize(size.width, size.height + extraHeight);
  client_->resize(size.width, size.height);
  Place();
}

QtFormView::~QtFormView() {
  form_.Detach(this);
  form_.SetEventProcessor(nullptr);
  // Its connections and filters end with it; the widgets live on with the root.
  delete binder_;
}

QWidget* QtFormView::Widget(const std::string& key) const {
  const auto found = widgets_.find(key);
  return found == widgets_.end() ? nullptr : found->second;
}

ControlModel* QtFormView::ModelOf(const QWidget* widget) const {
  for (; widget && widget != client_; widget = widget->parentWidget()) {
    for (const auto& [key, each] : widgets_) {
      if (each == widget) return form_.Find(key);
    }
  }
  return nullptr;
}

void QtFormView::RunModal() {
  QEventLoop loop;
  binder_->modalLoop = &loop;
  root_.setWindowModality(Qt::ApplicationModal);
  root_.show();
  if (root_.isVisible()) loop.exec();
  binder_->modalLoop = nullptr;
}

void QtFormView::Place() {
  const FormDescription& described = form_.description();
  const Rect designed =
      DialogUnitsToPixels({0, 0, described.width, described.height}, baseX_, baseY_);
  for (const auto& model : form_.controls()) {
    const ControlDescription& control = model->description();
    const Rect place =
        PlaceInClient(DialogUnitsToPixels(control.place, baseX_, baseY_), control.anchors,
                      designed.width, designed.height, client_->width(), client_->height());
    QWidget* widget = widgets_[model->key()];
    widget->setGeometry(place.x, place.y, place.width, place.height);
    // Qt's check boxes and option buttons do not wrap their text as Windows'
    // do: one designed for two lines or more gets its line breaks here.
    if ((control.kind == ControlKind::CheckBox || control.kind == ControlKind::OptionButton) &&
        place.height >= 2 * widget->fontMetrics().height()) {
      const bool option = control.kind == ControlKind::OptionButton;
      const int indicator =
          widget->style()->pixelMetric(option ? QStyle::PM_ExclusiveIndicatorWidth
                                              : QStyle::PM_IndicatorWidth) +
          widget->style()->pixelMetric(option ? QStyle::PM_RadioButtonLabelSpacing
                                              : QStyle::PM_CheckBoxLabelSpacing) + 4;
      static_cast<QAbstractButton*>(widget)->setText(
          WrappedCaption(Text(control.caption), widget->fontMetrics(), place.width - indicator));
    }
  }
}

}  // namespace quillon::gui
