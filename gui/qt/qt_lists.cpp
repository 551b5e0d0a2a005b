// List boxes (folder and file lists among them) and list views in the Qt
// front end: their widgets, a list's lines and chosen line, a list view's
// rows, ticks and column widths, and the choices and ticks that come back.
#include <QApplication>
#include <QListWidget>
#include <QTreeWidget>

#include "gui/qt/qt_form_parts.h"

namespace quillon::gui {

using namespace qt_parts;

namespace {

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

namespace qt_parts {

QWidget* MakeList(const ControlDescription& control, QWidget* parent) {
  if (control.kind != ControlKind::ListView) return new QListWidget(parent);
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

}  // namespace qt_parts

void QtFormView::Binder::ShowListChange(ControlModel& changed, QWidget* widget, Change change,
                                        int row) {
  if (auto* list = qobject_cast<QListWidget*>(widget)) {
    if (change == Change::Value) list->setCurrentRow(changed.value());
    if (change == Change::Lines) {
      list->clear();
      for (const std::string& line : changed.lines()) list->addItem(Text(line));
      list->setCurrentRow(changed.value());
    }
    return;
  }
  auto* tree = qobject_cast<QTreeWidget*>(widget);
  if (!tree) return;
  switch (change) {
    case Change::Checked:
      if (row < 0) break;
      if (QTreeWidgetItem* item = tree->topLevelItem(row)) {
        item->setCheckState(0, changed.rows()[static_cast<std::size_t>(row)].checked
                                   ? Qt::Checked
                                   : Qt::Unchecked);
      }
      break;
    case Change::Rows:
      if (row < 0) {
        tree->clear();
        for (const ListRow& each : changed.rows()) tree->addTopLevelItem(RowItem(each));
      } else {
        tree->addTopLevelItem(RowItem(changed.rows()[static_cast<std::size_t>(row)]));
      }
      break;
    case Change::ColumnWidths:
      for (int column = 0; column < tree->columnCount(); ++column) {
        tree->resizeColumnToContents(column);
      }
      break;
    default:
      break;
  }
}

void QtFormView::Binder::ConnectList(ControlModel& model, QWidget* widget) {
  Form& form = view_.form_;
  const std::string key = model.key();
  auto* self = this;
  ControlModel* target = &model;
  if (model.description().kind == ControlKind::ListView) {
    auto* tree = static_cast<QTreeWidget*>(widget);
    QObject::connect(tree, &QTreeWidget::itemChanged, self,
                     [self, target, tree](QTreeWidgetItem* item, int column) {
                       if (self->updating() || column != 0) return;
                       target->SetRowChecked(tree->indexOfTopLevelItem(item),
                                             item->checkState(0) == Qt::Checked);
                     });
    return;
  }
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
}

}  // namespace quillon::gui
