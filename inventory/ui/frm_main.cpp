// frmMain over Qt Widgets: a QTreeWidget stands for the report-view list view
// with check boxes (the tag is the first column's Qt::UserRole data), and the
// buttons call DriverInventory, which holds every algorithm.
#include "inventory/ui/frm_main.h"

#include <QCoreApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "gui/qt_dialogs.h"

namespace quillon::inventory {

namespace {
QString Text(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

class frmMain::TreeDriverList : public DriverList {
 public:
  explicit TreeDriverList(QTreeWidget& tree) : tree_(tree) {}

  int RowCount() const override { return tree_.topLevelItemCount(); }

  DriverRow Row(int index) const override {
    const QTreeWidgetItem* item = tree_.topLevelItem(index);
    DriverRow row;
    if (!item) return row;
    row.printerName = item->text(0).toStdString();
    row.driverName = item->text(1).toStdString();
    row.driverFile = item->text(2).toStdString();
    row.driverPath = item->data(0, Qt::UserRole).toString().toStdString();
    row.checked = item->checkState(0) == Qt::Checked;
    return row;
  }

  void AddRow(const DriverRow& row) override {
    auto* item = new QTreeWidgetItem(
        QStringList{Text(row.printerName), Text(row.driverName), Text(row.driverFile)});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, row.checked ? Qt::Checked : Qt::Unchecked);
    item->setData(0, Qt::UserRole, Text(row.driverPath));
    tree_.addTopLevelItem(item);
  }

  void Clear() override { tree_.clear(); }

  void SetChecked(int index, bool checked) override {
    if (QTreeWidgetItem* item = tree_.topLevelItem(index)) {
      item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
    }
  }

 private:
  QTreeWidget& tree_;
};

class frmMain::BarProgress : public ProgressBar {
 public:
  explicit BarProgress(QProgressBar& bar) : bar_(bar) {}
  void Show() override { bar_.setVisible(true); }
  void SetRange(int minimum, int maximum) override { bar_.setRange(minimum, maximum); }
  void SetValue(int value) override { bar_.setValue(value); }
  void ProcessEvents() override { QCoreApplication::processEvents(); }

 private:
  QProgressBar& bar_;
};

namespace {
QPushButton* Button(QWidget* parent, const char* name, const char* caption) {
  auto* button = new QPushButton(QString::fromLatin1(caption), parent);
  button->setObjectName(QString::fromLatin1(name));
  return button;
}
}  // namespace

frmMain::frmMain(platform::DriverInfoSource& source, platform::FileSystem& files,
                 gui::Dialogs* dialogs) {
  setObjectName("frmMain");
  setWindowTitle("Quillon Inventory");

  lvwPrintDrivers = new QTreeWidget(this);
  lvwPrintDrivers->setObjectName("lvwPrintDrivers");
  lvwPrintDrivers->setColumnCount(3);
  lvwPrintDrivers->setHeaderLabels({"Printer Name", "Driver Name", "Driver File"});
  lvwPrintDrivers->setRootIsDecorated(false);
  lvwPrintDrivers->setUniformRowHeights(true);
  lvwPrintDrivers->setAllColumnsShowFocus(true);

  prbMain = new QProgressBar(this);
  prbMain->setObjectName("prbMain");
  prbMain->setTextVisible(false);
  // Hidden until the first operation shows it, without the window's layout moving then.
  QSizePolicy keepPlace = prbMain->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  prbMain->setSizePolicy(keepPlace);
  prbMain->setVisible(false);

  cmdRefresh = Button(this, "cmdRefresh", "&Refresh");
  cmdSelectAll = Button(this, "cmdSelectAll", "Select All");
  cmdUnselectAll = Button(this, "cmdUnselectAll", "Unselect All");
  cmdCopyFiles = Button(this, "cmdCopyFiles", "&Copy Drivers");
  cmdSaveText = Button(this, "cmdSaveText", "Save &Info");
  cmdExit = Button(this, "cmdExit", "E&xit");

  auto* buttons = new QHBoxLayout;
  for (QPushButton* button : {cmdRefresh, cmdSelectAll, cmdUnselectAll}) buttons->addWidget(button);
  buttons->addStretch(1);
  for (QPushButton* button : {cmdCopyFiles, cmdSaveText, cmdExit}) buttons->addWidget(button);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lvwPrintDrivers, 1);
  layout->addWidget(prbMain);
  layout->addLayout(buttons);
  resize(720, 400);

  if (!dialogs) {
    ownDialogs_ = std::make_unique<gui::QtDialogs>(this);
    dialogs = ownDialogs_.get();
  }
  list_ = std::make_unique<TreeDriverList>(*lvwPrintDrivers);
  bar_ = std::make_unique<BarProgress>(*prbMain);
  inventory_ = std::make_unique<DriverInventory>(source, files, *list_, *bar_, *dialogs);

  connect(cmdRefresh, &QPushButton::clicked, this, [this] {
    Perform([this] {
      inventory_->Refresh();
      FitColumns();
    });
  });
  connect(cmdSelectAll, &QPushButton::clicked, this,
          [this] { Perform([this] { inventory_->SelectAll(); }); });
  connect(cmdUnselectAll, &QPushButton::clicked, this,
          [this] { Perform([this] { inventory_->UnselectAll(); }); });
  connect(cmdCopyFiles, &QPushButton::clicked, this,
          [this] { Perform([this] { inventory_->CopyDrivers(); }); });
  connect(cmdSaveText, &QPushButton::clicked, this,
          [this] { Perform([this] { inventory_->SaveInfo(); }); });
  connect(cmdExit, &QPushButton::clicked, this, &QWidget::close);
}

frmMain::~frmMain() = default;

DriverList& frmMain::list() { return *list_; }

template <typename Action>
void frmMain::Perform(Action action) {
  if (busy_) return;
  busy_ = true;
  action();
  busy_ = false;
}

void frmMain::FitColumns() {
  for (int column = 0; column < lvwPrintDrivers->columnCount(); ++column) {
    lvwPrintDrivers->resizeColumnToContents(column);
  }
}

bool frmMain::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !activated_) {
    activated_ = true;
    // Queued, so that the window is drawn before the list is filled.
    QTimer::singleShot(0, this, [this] {
      Perform([this] {
        inventory_->RefreshDriverList();
        FitColumns();
      });
    });
  }
  return QWidget::event(event);
}

}  // namespace quillon::inventory
