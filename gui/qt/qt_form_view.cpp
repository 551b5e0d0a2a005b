// One function per control kind makes its widget; one listener per model
// carries the logic's changes to it, and the widget's signals carry the user's
// back. `updating_` keeps a change the view itself makes from coming back.
#include "gui/qt/qt_form_view.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
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

// A label that acts when clicked: a tab stop, so it shows the focus itself.
class LinkLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    if (!hasFocus()) return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
  }
};


QTreeWidgetItem* NodeItem(QTreeWidget& tree, const std::string& key) {
  const QString wanted = QString::fromStdString(key);
  for (QTreeWidgetItemIterator each(&tree); *each; ++each) {
    if ((*each)->data(0, Qt::UserRole).toString() == wanted) return *each;
  }
  return nullptr;
}

// A caption broken into lines of at most `width` pixels at its blanks; the
// mnemonic's "&" takes no room.
QString WrappedCaption(const QString& caption, const QFontMetrics& metrics, int width) {
  const auto shown = [](QString text) { return text.remove(QLatin1Char('&')); };
  QString wrapped, line;
  for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && metrics.horizontalAdvance(shown(longer)) > width) {
      wrapped += line + QLatin1Char('\n');
      line = word;
    } else {
      line = longer;
    }
  }
  return wrapped + line;
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
    if (const auto link = links.find(watched); link != links.end())
      return OnLink(link->second, *event);
    if (event->type() == QEvent::KeyPress)
      return MoveInGroup(watched, *static_cast<QKeyEvent*>(event));
    return false;
  }

  // A link acts on a click of the left button released over it, and on
  // Space; Enter is the window's shortcut, which acts on it too.
  bool OnLink(const std::string& key, QEvent& event) {
    if (event.type() == QEvent::MouseButtonRelease) {
      const auto& mouse = static_cast<QMouseEvent&>(event);
      if (mouse.button() == Qt::LeftButton &&
          view_.widgets_.at(key)->rect().contains(mouse.position().toPoint()))
        view_.form_.Click(key);
    }
    if (event.type() == QEvent::KeyPress && static_cast<QKeyEvent&>(event).key() == Qt::Key_Space &&
        !static_cast<QKeyEvent&>(event).isAutoRepeat()) {
      view_.form_.Click(key);
      return true;
    }
    return false;
  }

  // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous page the user may
  // choose, of the tab control the focus is on or in, else of the window's
  // only one with page headers shown.
  void SwitchPage(int step) {
    ControlModel* tabs = nullptr;
    if (ControlModel* focused = view_.ModelOf(QApplication::focusWidget())) {
      tabs = focused->description().kind == ControlKind::TabControl
                 ? focused
                 : view_.form_.Find(focused->description().container);
    }
    if (tabs && tabs->description().tabsHidden) tabs = nullptr;
    if (!tabs) {
      int shown = 0;
      for (const auto& model : view_.form_.controls()) {
        if (model->description().kind == ControlKind::TabControl &&
            !model->description().tabsHidden && view_.widgets_.at(model->key())->isVisible()) {
          tabs = model.get();
          ++shown;
        }
      }
      if (shown != 1) return;
    }
    if (!tabs || !tabs->enabled()) return;
    if (const int page = NextEnabledPage(*tabs, step); page >= 0) tabs->SetValue(page);
  }

  // The controls on a tab control's page follow the page shown: those of
  // the page left and of the page come, not every control of the window.
  void ShowPage(const ControlModel& tabs) {
    const auto found = pages.find(tabs.key());
    if (found == pages.end()) return;
    int& shown = shownPage[tabs.key()];
    for (const int page : {shown, tabs.value()}) {
      if (page < 0 || page >= static_cast<int>(found->second.size())) continue;
      for (ControlModel* model : found->second[static_cast<std::size_t>(page)])
        MakeVisible(*model, view_.widgets_.at(model->key()));
    }
    shown = tabs.value();
  }

  std::map<QObject*, std::string> links;  // link widgets and their keys
  // The controls on each page of each tab control.
  std::map<std::string, std::vector<std::vector<ControlModel*>>> pages;
  std::map<std::string, int> shownPage;

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
  // The logic's choice of a node: selected, or none when no node has that key.
  static void SelectNode(QTreeWidget& tree, const std::string& key) {
    QTreeWidgetItem* item = NodeItem(tree, key);
    tree.setCurrentItem(item);
    if (!item) tree.clearSelection();
  }

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
  const ControlModel::Listener show = [this, widget](ControlModel& changed, Change change, int row) {
        Quietly([&] {
          switch (change) {
            case Change::Enabled:
              if (row < 0) {
                widget->setEnabled(changed.enabled());
              } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
                tabs->setTabEnabled(row, changed.pageEnabled(row));
                // The tab bar leaves a page greyed while shown; the logic
                // still shows it, and decides when to leave it.
                tabs->setCurrentIndex(changed.value());
              }
              break;
            case Change::Visible:
              MakeVisible(changed, widget);
              if (const auto found = pages.find(changed.key()); found != pages.end()) {
                for (const auto& page : found->second) {
                  for (ControlModel* model : page)
                    MakeVisible(*model, view_.widgets_.at(model->key()));
                }
              }
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
              if (auto* tree = qobject_cast<QTreeWidget*>(widget);
                  tree && changed.description().kind == ControlKind::TreeView) {
                SelectNode(*tree, changed.text());
              }
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
              if (auto* tabs = qobject_cast<QTabWidget*>(widget))
                tabs->setCurrentIndex(changed.value());
              if (changed.description().kind == ControlKind::TabControl) ShowPage(changed);
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
                SelectNode(*tree, changed.text());
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
      };
  model.Subscribe(show, &view_);
  // A form filled before its view (a dialog prepared, then shown) shows what
  // its models already hold.
  ControlModel& state = model;
  if (!state.lines().empty()) show(state, Change::Lines, -1);
  if (!state.nodes().empty()) show(state, Change::Nodes, -1);
  if (!state.rows().empty()) show(state, Change::Rows, -1);
  show(state, Change::Range, -1);
  show(state, Change::Value, -1);
  show(state, Change::Text, -1);
  if (state.checked()) show(state, Change::Checked, -1);
  for (int page = 0; page < static_cast<int>(state.description().columns.size()); ++page) {
    if (!state.pageEnabled(page)) show(state, Change::Enabled, page);
  }
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
    case ControlKind::FileList: {
      // One Click per choice of a line, as for a tree: the press (also on the
      // line already chosen), or a key's move; not the focus coming in.
      auto* list = static_cast<QListWidget*>(widget);
      QObject::connect(list, &QListWidget::currentRowChanged, self,
                       [self, target, list, &form, key](int row) {
                         if (self->updating()) return;
                         target->SetValue(row);
                         if (row >= 0 && list->item(row)->isSelected() &&
                             QApplication::mouseButtons() == Qt::NoButton)
                           form.Click(key);
                       });
      QObject::connect(list, &QListWidget::itemPressed, self,
                       [self, target, list, &form, key](QListWidgetItem* item) {
                         if (self->updating() || !item) return;
                         target->SetValue(list->row(item));
                         form.Click(key);
                       });
      QObject::connect(list, &QListWidget::itemDoubleClicked, self,
                       [&form, key] { form.DoubleClick(key); });
      break;
    }
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
    case ControlKind::TreeView: {
      // One Click per choice. A press makes its node current (unselected yet)
      // before it selects it and reports the press: the press is the choice,
      // also on the node already selected. A key moves the current node and
      // selects it: that move is the choice. The focus coming in makes a node
      // current without selecting it: no choice.
      auto* tree = static_cast<QTreeWidget*>(widget);
      const auto choose = [&form, key, target](QTreeWidgetItem* item) {
        target->SetText(item->data(0, Qt::UserRole).toString().toStdString());
        form.Click(key);
      };
      QObject::connect(tree, &QTreeWidget::currentItemChanged, self,
                       [self, choose](QTreeWidgetItem* item) {
                         if (self->updating() || !item || !item->isSelected() ||
                             QApplication::mouseButtons() != Qt::NoButton)
                           return;
                         choose(item);
                       });
      QObject::connect(tree, &QTreeWidget::itemPressed, self,
                       [self, choose](QTreeWidgetItem* item) {
                         if (!self->updating() && item) choose(item);
                       });
      Quietly([&] { SelectNode(*tree, model.text()); });
      break;
    }
    case ControlKind::TabControl:
      if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
        for (int page = 0; page < tabs->count(); ++page)
          tabs->setTabEnabled(page, model.pageEnabled(page));
        tabs->setCurrentIndex(model.value());
        QObject::connect(tabs, &QTabWidget::currentChanged, self, [self, target](int page) {
          if (!self->updating()) target->SetValue(page);
        });
      }
      shownPage[key] = model.value();
      break;
    case ControlKind::Link:
      links[widget] = key;
      widget->installEventFilter(this);
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
    case ControlKind::Label: {
      // As a Windows static: the text wraps within its box, from the top.
      auto* label = new QLabel(caption, parent);
      label->setWordWrap(true);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      return label;
    }
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
      if (control.tabsHidden) {
        // Pages switched by code only: the frame their controls lie in.
        auto* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
        return frame;
      }
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
    case ControlKind::Link: {
      // Underlined in the link colour (grey when disabled); the pointer over
      // it is the arrow with the question mark. Its own buddy: its mnemonic
      // takes the focus to it.
      auto* link = new LinkLabel(caption, parent);
      link->setTextFormat(Qt::PlainText);
      QFont font = link->font();
      font.setUnderline(true);
      link->setFont(font);
      QPalette palette = link->palette();
      for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
        palette.setColor(group, QPalette::WindowText, palette.color(group, QPalette::Link));
      link->setPalette(palette);
      link->setCursor(Qt::WhatsThisCursor);
      link->setFocusPolicy(Qt::StrongFocus);
      link->setBuddy(link);
      return link;
    }
  }
  return new QWidget(parent);
}

using Commands = std::map<std::string, std::vector<QAction*>>;

void AddMenu(QMenu& menu, const MenuDescription& item, Form& form, QObject* context,
             Commands& commands) {
  if (item.caption == "-") {
    menu.addSeparator();
    return;
  }
  if (!item.items.empty()) {
    QMenu* sub = menu.addMenu(Text(item.caption));
    sub->setObjectName(Text(item.name));
    for (const MenuDescription& child : item.items) AddMenu(*sub, child, form, context, commands);
    return;
  }
  QAction* action = menu.addAction(Text(item.caption));
  action->setObjectName(Text(item.name));
  const std::string key = item.name;
  QObject::connect(action, &QAction::triggered, context, [&form, key] { form.Click(key); });
  commands[key].push_back(action);
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
      for (const MenuDescription& item : menu.items) AddMenu(*top, item, form, binder_, commands_);
    }
    layout->setMenuBar(bar);
    extraHeight += bar->sizeHint().height();
  }
  if (!described.tools.empty()) {
    auto* tools = new QToolBar(&root);
    tools->setObjectName(Text(described.name + ".toolbar"));
    for (const ToolDescription& tool : described.tools) {
      if (tool.caption == "-") {
        tools->addSeparator();
        continue;
      }
      QAction* action = tools->addAction(Text(tool.caption));
      action->setObjectName(Text(tool.name));
      const std::string key = tool.name;
      QObject::connect(action, &QAction::triggered, binder_, [&form, key] { form.Click(key); });
      commands_[key].push_back(action);
    }
    layout->addWidget(tools);
    extraHeight += tools->sizeHint().height();
  }
  // A command's key sits on its menu entry, which shows it; a key of no
  // entry gets an action of the window's own.
  for (const ShortcutDescription& shortcut : described.shortcuts) {
    const QKeySequence keys =
        QKeySequence::fromString(Text(shortcut.keys), QKeySequence::PortableText);
    if (const auto entry = commands_.find(shortcut.command); entry != commands_.end()) {
      entry->second.front()->setShortcut(keys);
      continue;
    }
    auto* action = new QAction(&root);
    action->setObjectName(Text(shortcut.command + ".shortcut"));
    action->setShortcut(keys);
    root.addAction(action);
    const std::string key = shortcut.command;
    QObject::connect(action, &QAction::triggered, binder_, [&form, key] { form.Click(key); });
  }
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
  for (const auto& model : form.controls()) {
    const ControlDescription& control = model->description();
    if (control.container.empty() || control.page < 0) continue;
    auto& pages = binder_->pages[control.container];
    if (pages.size() <= static_cast<std::size_t>(control.page))
      pages.resize(static_cast<std::size_t>(control.page) + 1);
    pages[static_cast<std::size_t>(control.page)].push_back(model.get());
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
    QObject::connect(enter, &QShortcut::activated, binder_, [this, defaultButton] {
      if (ControlModel* focused = ModelOf(QApplication::focusWidget())) {
        const ControlKind kind = focused->description().kind;
        if (kind == ControlKind::Link) {
          form_.Click(focused->key());
          return;
        }
        if (IsList(kind) && focused->value() >= 0) {
          form_.DoubleClick(focused->key());
          return;
        }
      }
      auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
      const bool ours = focused && focused->window() == &root_;
      QPushButton* button = ours ? focused : defaultButton;
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
