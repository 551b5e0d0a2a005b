// Tree views in the Qt front end: their widget, their nodes and images, the
// chosen node, and the choices by key and by press that come back.
#include <QApplication>
#include <QStyle>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace {

QTreeWidgetItem* NodeItem(QTreeWidget& tree, const std::string& key) {
  const QString wanted = QString::fromStdString(key);
  for (QTreeWidgetItemIterator each(&tree); *each; ++each) {
    if ((*each)->data(0, Qt::UserRole).toString() == wanted) return *each;
  }
  return nullptr;
}

}  // namespace

namespace qt_parts {

QWidget* MakeTree(const ControlDescription&, QWidget* parent) {
  auto* tree = new QTreeWidget(parent);
  tree->setHeaderHidden(true);
  return tree;
}

}  // namespace qt_parts

void QtFormView::Binder::SelectNode(QTreeWidget& tree, const std::string& key) {
  QTreeWidgetItem* item = NodeItem(tree, key);
  tree.setCurrentItem(item);
  if (!item) tree.clearSelection();
}

void QtFormView::Binder::ShowTreeChange(ControlModel& changed, QWidget* widget, Change change) {
  auto* tree = qobject_cast<QTreeWidget*>(widget);
  if (!tree) return;
  if (change == Change::Text) SelectNode(*tree, changed.text());
  if (change != Change::Nodes) return;
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
      item->setIcon(0, tree->style()->standardIcon(
                           images[static_cast<std::size_t>(node.image)] == StockImage::Folder
                               ? QStyle::SP_DirIcon
                               : QStyle::SP_FileIcon));
    }
    byKey[node.key] = item;
  }
  for (const TreeNode& node : changed.nodes()) byKey[node.key]->setExpanded(node.expanded);
  SelectNode(*tree, changed.text());
}

void QtFormView::Binder::ConnectTree(ControlModel& model, QWidget* widget) {
  // One Click per choice. A press makes its node current (unselected yet)
  // before it selects it and reports the press: the press is the choice,
  // also on the node already selected. A key moves the current node and
  // selects it: that move is the choice. The focus coming in makes a node
  // current without selecting it: no choice.
  Form& form = view_.form_;
  const std::string key = model.key();
  auto* self = this;
  ControlModel* target = &model;
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
  QObject::connect(tree, &QTreeWidget::itemPressed, self, [self, choose](QTreeWidgetItem* item) {
    if (!self->updating() && item) choose(item);
  });
  Quietly([&] { SelectNode(*tree, model.text()); });
}

}  // namespace quillon::gui
