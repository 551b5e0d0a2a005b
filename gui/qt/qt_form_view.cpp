// One function per control kind makes its widget; one listener per model
// carries the logic's changes to it, and the widget's signals carry the user's
// back. `updating_` keeps a change the view itself makes from coming back.
#include "gui/qt/qt_form_view.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon::gui {

namespace {

QString Text(const std::string& text) { return QString::fromStdString(text); }

// The model keeps a multi-line text's lines as Windows edits do, "\r\n";
// Qt's editors use "\n".
QString EditorText(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
std::string ModelText(const QString& text) {
  return QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toStdString();
}

QTreeWidgetItem* RowItem(const ListRow& row) {
  QStringList cells;
  for (const std::string& cell : row.cells) cells << Text(cell);
  auto* item = new QTreeWidgetItem(cells);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
  item->setData(0, Qt::UserRole, Text(row.tag));
  return item;
}

}  // namespace

class QtFormView::Binder : public QObject {
 public:
  explicit Binder(QtFormView& view) : QObject(&view.root_), view_(view) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
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
    if (event->type() == QEvent::KeyPress)
      return MoveInGroup(watched, *static_cast<QKeyEvent*>(event));
    return false;
  }

  // The arrow keys move to the group's next or previous member and check it,
  // as in a Windows dialog; Tab leaves the group.
  bool MoveInGroup(QObject* watched, const QKeyEvent& key) {
    int step = 0;
    if (key.key() == Qt::Key_Down || key.key() == Qt::Key_Right) step = 1;
    if (key.key() == Qt::Key_Up || key.key() == Qt::Key_Left) step = -1;
    if (step == 0 || key.modifiers() != Qt::NoModifier) return false;
    ControlModel* from = nullptr;
    for (const auto& [each, widget] : view_.widgets_) {
      if (widget == watched) from = view_.form_.Find(each);
    }
    if (!from) return false;
    std::vector<ControlModel*> members;
    for (const auto& model : view_.form_.controls()) {
      if (model->description().kind == ControlKind::OptionButton &&
          model->description().name == from->description().name && model->enabled() &&
          model->visible())
        members.push_back(model.get());
    }
    const auto at = std::find(members.begin(), members.end(), from);
    if (at == members.end()) return false;
    const auto count = static_cast<std::ptrdiff_t>(members.size());
    ControlModel* next =
        members[static_cast<std::size_t>(((at - members.begin()) + step + count) % count)];
    view_.widgets_.at(next->key())->setFocus(Qt::TabFocusReason);
    view_.form_.Click(next->key());
    return true;
  }

  // Tab reaches an option group at its checked member, or at the first while
  // none is checked.
  void MoveGroupTabStop(const std::string& group) {
    ControlModel* stop = nullptr;
    for (const auto& model : view_.form_.controls()) {
      if (model->description().kind != ControlKind::OptionButton ||
          model->description().name != group)
        continue;
      if (!stop || (model->checked() && !stop->checked())) stop = model.get();
    }
    for (const auto& model : view_.form_.controls()) {
      if (model->description().kind != ControlKind::OptionButton ||
          model->description().name != group)
        continue;
      view_.widgets_.at(model->key())
          ->setFocusPolicy(model.get() == stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
  }

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

  QtFormView& view_;
  bool updating_ = false;
};

void QtFormView::Binder::MakeVisible(ControlModel& model, QWidget* widget) {
  bool shown = model.visible();
  const ControlDescription& described = model.description();
  if (!described.container.empty()) {
    ControlModel* tabs = view_.form_.Find(described.container);
    shown = shown && tabs && tabs->value() == described.page && tabs->visible();
  }
  widget->setVisible(shown);
}

void QtFormView::Binder::Bind(ControlModel& model, QWidget* widget) {
  Form& form = view_.form_;
  const std::string key = model.key();
  widget->setEnabled(model.enabled());
  model.Subscribe(
      [this, widget](ControlModel& changed, Change change, int row) {
        Quietly([&] {
          switch (change) {
            case Change::Enabled:
              widget->setEnabled(changed.enabled());
              break;
            case Change::Visible:
              MakeVisible(changed, widget);
              break;
            case Change::Focus:
              if (changed.focused()) widget->setFocus();
              break;
            case Change::Text:
              // The user's own typing comes back here: the widget already shows
              // it, and writing it again would move the cursor.
              if (auto* edit = qobject_cast<QLineEdit*>(widget);
                  edit && edit->text() != Text(changed.text())) {
                edit->setText(Text(changed.text()));
              }
              if (auto* text = qobject_cast<QPlainTextEdit*>(widget);
                  text && ModelText(text->toPlainText()) != changed.text()) {
                text->setPlainText(EditorText(changed.text()));
              }
              if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(Text(changed.text()));
              if (auto* combo = qobject_cast<QComboBox*>(widget); combo && combo->isEditable()) {
                combo->setEditText(Text(changed.text()));
              }
              break;
            case Change::Checked:
              if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
                // An exclusive group refuses to uncheck its checked member; the
                // form may leave a group with none.
                QButtonGroup* group = button->group();
                if (group && !changed.checked()) group->setExclusive(false);
                button->setChecked(changed.checked());
                if (group) {
                  group->setExclusive(true);
                  MoveGroupTabStop(changed.description().name);
                }
              }
              if (auto* tree = qobject_cast<QTreeWidget*>(widget); tree && row >= 0) {
                if (QTreeWidgetItem* item = tree->topLevelItem(row)) {
                  item->setCheckState(0, changed.rows()[static_cast<std::size_t>(row)].checked
                                             ? Qt::Checked
                                             : Qt::Unchecked);
                }
              }
              break;
            case Change::Value:
              if (auto* bar = qobject_cast<QProgressBar*>(widget)) bar->setValue(changed.value());
              if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                combo->setCurrentIndex(changed.value());
                // No line chosen empties an editable combo's box; the model's
                // text stays.
                if (combo->isEditable()) combo->setEditText(Text(changed.text()));
              }
              if (auto* list = qobject_cast<QListWidget*>(widget))
                list->setCurrentRow(changed.value());
              if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
                tabs->setCurrentIndex(changed.value());
                // The pages' controls follow the page shown.
                for (const auto& other : view_.form_.controls()) {
                  if (other->description().container == changed.key()) {
                    MakeVisible(*other, view_.widgets_.at(other->key()));
                  }
                }
              }
              break;
            case Change::Range:
              if (auto* bar = qobject_cast<QProgressBar*>(widget)) {
                bar->setRange(changed.minimum(), changed.maximum());
              }
              break;
            case Change::Lines:
              if (auto* combo = qobject_cast<QComboBox*>(widget)) {
                combo->clear();
                for (const std::string& line : changed.lines()) combo->addItem(Text(line));
                combo->setCurrentIndex(changed.value());
                // Clearing the list cleared an editable combo's box too.
                if (combo->isEditable()) combo->setEditText(Text(changed.text()));
              }
              if (auto* list = qobject_cast<QListWidget*>(widget)) {
                list->clear();
                for (const std::string& line : changed.lines()) list->addItem(Text(line));
                list->setCurrentRow(changed.value());
              }
              break;
            case Change::Rows:
              if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
                if (row < 0) {
                  tree->clear();
                  for (const ListRow& each : changed.rows()) tree->addTopLevelItem(RowItem(each));
                } else {
                  tree->addTopLevelItem(RowItem(changed.rows()[static_cast<std::size_t>(row)]));
                }
              }
              break;
            case Change::Nodes:
              if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
                tree->clear();
                std::map<std::string, QTreeWidgetItem*> byKey;
                const std::vector<StockImage>& images = changed.description().images;
                for (const TreeNode& node : changed.nodes()) {
                  const auto parent = byKey.find(node.parentKey);
                  auto* item = parent == byKey.end() ? new QTreeWidgetItem(tree)
                                                     : new QTreeWidgetItem(parent->second);
                  item->setText(0, Text(node.text));
                  item->setData(0, Qt::UserRole, Text(node.key));
                  if (node.image >= 0 && node.image < static_cast<int>(images.size())) {
                    item->setIcon(
                        0, tree->style()->standardIcon(
                               images[static_cast<std::size_t>(node.image)] == StockImage::Folder
                                   ? QStyle::SP_DirIcon
                                   : QStyle::SP_FileIcon));
                  }
                  byKey[node.key] = item;
                }
                for (const TreeNode& node : changed.nodes())
                  byKey[node.key]->setExpanded(node.expanded);
              }
              break;
            case Change::ColumnWidths:
              if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
                for (int column = 0; column < tree->columnCount(); ++column) {
                  tree->resizeColumnToContents(column);
                }
              }
              break;
          }
        });
      },
      &view_);
  MakeVisible(model, widget);

  // The user's side.
  auto* self = this;
  ControlModel* target = &model;
  switch (model.description().kind) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton: {
      auto* button = static_cast<QAbstractButton*>(widget);
      if (model.description().kind == ControlKind::OptionButton) {
        button->installEventFilter(this);
        MoveGroupTabStop(model.description().name);
      }
      QObject::connect(button, &QAbstractButton::toggled, self, [self, target](bool on) {
        if (!self->updating()) target->SetChecked(on);
      });
      QObject::connect(button, &QAbstractButton::clicked, self, [&form, key] { form.Click(key); });
      break;
    }
    case ControlKind::TextBox:
      QObject::connect(static_cast<QLineEdit*>(widget), &QLineEdit::textEdited, self,
                       [target](const QString& text) { target->SetText(text.toStdString()); });
      break;
    case ControlKind::MultiLineText: {
      auto* edit = static_cast<QPlainTextEdit*>(widget);
      QObject::connect(edit, &QPlainTextEdit::textChanged, self, [self, target, edit] {
        if (!self->updating()) target->SetText(ModelText(edit->toPlainText()));
      });
      break;
    }
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList: {
      auto* combo = static_cast<QComboBox*>(widget);
      QObject::connect(combo, &QComboBox::currentIndexChanged, self, [self, target](int index) {
        if (!self->updating()) target->SetValue(index);
      });
      QObject::connect(combo, &QComboBox::currentTextChanged, self,
                       [self, target](const QString& text) {
                         if (!self->updating()) target->SetText(text.toStdString());
                       });
      break;
    }
    case ControlKind::ListBox:
    case ControlKind::FolderList:
    case ControlKind::FileList:
      QObject::connect(static_cast<QListWidget*>(widget), &QListWidget::currentRowChanged, self,
                       [self, target](int row) {
                         if (!self->updating()) target->SetValue(row);
                       });
      break;
    case ControlKind::ListView: {
      auto* tree = static_cast<QTreeWidget*>(widget);
      QObject::connect(tree, &QTreeWidget::itemChanged, self,
                       [self, target, tree](QTreeWidgetItem* item, int column) {
                         if (self->updating() || column != 0) return;
                         target->SetRowChecked(tree->indexOfTopLevelItem(item),
                                               item->checkState(0) == Qt::Checked);
                       });
      break;
    }
    case ControlKind::TreeView:
      QObject::connect(static_cast<QTreeWidget*>(widget), &QTreeWidget::currentItemChanged, self,
                       [self, target](QTreeWidgetItem* item) {
                         if (self->updating() || !item) return;
                         target->SetText(item->data(0, Qt::UserRole).toString().toStdString());
                       });
      break;
    case ControlKind::TabControl:
      QObject::connect(static_cast<QTabWidget*>(widget), &QTabWidget::currentChanged, self,
                       [self, target](int page) {
                         if (!self->updating()) target->SetValue(page);
                       });
      break;
    case ControlKind::Label:
    case ControlKind::ProgressBar:
      break;
  }
}

namespace {

QWidget* MakeWidget(const ControlDescription& control, QWidget* parent) {
  const QString caption = Text(control.caption);
  switch (control.kind) {
    case ControlKind::Label:
      return new QLabel(caption, parent);
    case ControlKind::TextBox:
      return new QLineEdit(caption, parent);
    case ControlKind::MultiLineText: {
      // Tab leaves it, as in a Windows dialog.
      auto* text = new QPlainTextEdit(EditorText(control.caption), parent);
      text->setTabChangesFocus(true);
      return text;
    }
    case ControlKind::Button:
      return new QPushButton(caption, parent);
    case ControlKind::CheckBox:
      return new QCheckBox(caption, parent);
    case ControlKind::OptionButton: {
      // The group is the control array (a QButtonGroup), not the parent widget.
      auto* option = new QRadioButton(caption, parent);
      option->setAutoExclusive(false);
      return option;
    }
    case ControlKind::ComboBox:
    case ControlKind::ComboList:
    case ControlKind::DriveList: {
      auto* combo = new QComboBox(parent);
      combo->setEditable(control.kind == ControlKind::ComboBox);
      return combo;
    }
    case ControlKind::ListBox:
    case ControlKind::FolderList:
    case ControlKind::FileList:
      return new QListWidget(parent);
    case ControlKind::ListView: {
      auto* tree = new QTreeWidget(parent);
      tree->setColumnCount(static_cast<int>(control.columns.size()));
      QStringList headers;
      for (const std::string& column : control.columns) headers << Text(column);
      tree->setHeaderLabels(headers);
      tree->setRootIsDecorated(false);
      tree->setUniformRowHeights(true);
      tree->setAllColumnsShowFocus(true);
      return tree;
    }
    case ControlKind::TreeView: {
      auto* tree = new QTreeWidget(parent);
      tree->setHeaderHidden(true);
      return tree;
    }
    case ControlKind::TabControl: {
      auto* tabs = new QTabWidget(parent);
      // Empty pages: the pages' controls are the window's, shown by page.
      for (const std::string& page : control.columns) tabs->addTab(new QWidget, Text(page));
      return tabs;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      bar->setRange(0, 100);
      bar->setValue(0);
      return bar;
    }
  }
  return new QWidget(parent);
}

void AddMenu(QMenu& menu, const MenuDescription& item, Form& form, QObject* context) {
  if (item.caption == "-") {
    menu.addSeparator();
    return;
  }
  if (!item.items.empty()) {
    QMenu* sub = menu.addMenu(Text(item.caption));
    sub->setObjectName(Text(item.name));
    for (const MenuDescription& child : item.items) AddMenu(*sub, child, form, context);
    return;
  }
  QAction* action = menu.addAction(Text(item.caption));
  action->setObjectName(Text(item.name));
  const std::string key = item.name;
  QObject::connect(action, &QAction::triggered, context, [&form, key] { form.Click(key); });
}

}  // namespace

QtFormView::QtFormView(Form& form, QWidget& root) : form_(form), root_(root) {
  const FormDescription& described = form.description();
  root.setObjectName(Text(described.name));
  root.setWindowTitle(Text(form.caption()));
  binder_ = new Binder(*this);

  auto* layout = new QVBoxLayout(&root);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  int extraHeight = 0;  // menu bar and toolbar above the client area
  if (!described.menus.empty()) {
    auto* bar = new QMenuBar(&root);
    for (const MenuDescription& menu : described.menus) {
      QMenu* top = bar->addMenu(Text(menu.caption));
      top->setObjectName(Text(menu.name));
      for (const MenuDescription& item : menu.items) AddMenu(*top, item, form, binder_);
    }
    layout->setMenuBar(bar);
    extraHeight += bar->sizeHint().height();
  }
  if (!described.tools.empty()) {
    auto* tools = new QToolBar(&root);
    for (const ToolDescription& tool : described.tools) {
      QAction* action = tools->addAction(Text(tool.caption));
      action->setObjectName(Text(tool.name));
      const std::string key = tool.name;
      QObject::connect(action, &QAction::triggered, binder_, [&form, key] { form.Click(key); });
    }
    layout->addWidget(tools);
    extraHeight += tools->sizeHint().height();
  }
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
    pendingLabel = qobject_cast<QLabel*>(widget);
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
  // Enter presses the push button that has the focus, else the default button.
  auto* defaultButton = qobject_cast<QPushButton*>(Widget(described.defaultControl));
  if (defaultButton) defaultButton->setDefault(true);
  for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
    auto* enter = new QShortcut(QKeySequence(key), &root);
    QObject::connect(enter, &QShortcut::activated, binder_, [this, defaultButton] {
      auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      const bool ours = focused && focused->window() == &root_;
      QPushButton* button = ours ? focused : defaultButton;
      if (button && button->isEnabled()) button->animateClick();
    });
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
  client_->setMinimumSize(size.width / 2, size.height / 2);
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
    widgets_[model->key()]->setGeometry(place.x, place.y, place.width, place.height);
  }
}

}  // namespace quillon::gui
