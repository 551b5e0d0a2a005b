// The window's controls, one line each, and what its buttons do. Sizes are in
// dialog units (a quarter of the font's average character width, an eighth of
// its height), so the window scales with the platform's dialog font.
#include "inventory/inventory_window.h"

namespace quillon::inventory {

namespace {
using gui::Control;
constexpr auto kListView = gui::ControlKind::ListView;
constexpr auto kProgressBar = gui::ControlKind::ProgressBar;
constexpr auto kButton = gui::ControlKind::Button;
constexpr unsigned kBottomLeft = gui::kAnchorLeft | gui::kAnchorBottom;
constexpr unsigned kBottomRight = gui::kAnchorRight | gui::kAnchorBottom;
constexpr unsigned kBottomWide = gui::kAnchorLeft | gui::kAnchorRight | gui::kAnchorBottom;
}  // namespace

gui::FormDescription InventoryWindowDescription() {
  gui::FormDescription form;
  form.name = "frmMain";
  form.caption = "Quillon Inventory";
  form.width = 440;
  form.height = 232;
  // No Escape: the window ends by Exit or its close box only, so a stray key
  // does not drop the user's ticks.
  form.controls = {
      Control(kListView, "lvwPrintDrivers", "", {7, 7, 426, 180}, gui::kAnchorAll)
          .Columns({"Printer Name", "Driver Name", "Driver File"}),
      Control(kProgressBar, "prbMain", "", {7, 193, 426, 10}, kBottomWide),
      Control(kButton, "cmdRefresh", "&Refresh", {7, 210, 56, 15}, kBottomLeft),
      Control(kButton, "cmdSelectAll", "Select All", {67, 210, 56, 15}, kBottomLeft),
      Control(kButton, "cmdUnselectAll", "Unselect All", {127, 210, 56, 15}, kBottomLeft),
      Control(kButton, "cmdCopyFiles", "&Copy Drivers", {257, 210, 56, 15}, kBottomRight),
      Control(kButton, "cmdSaveText", "Save &Info", {317, 210, 56, 15}, kBottomRight),
      Control(kButton, "cmdExit", "E&xit", {377, 210, 56, 15}, kBottomRight),
  };
  return form;
}

class InventoryWindow::ModelDriverList : public DriverList {
 public:
  explicit ModelDriverList(gui::ControlModel& list) : list_(list) {}

  int RowCount() const override { return static_cast<int>(list_.rows().size()); }

  DriverRow Row(int index) const override {
    if (index < 0 || index >= RowCount()) return {};
    const gui::ListRow& row = list_.rows()[static_cast<std::size_t>(index)];
    DriverRow driver;
    driver.printerName = Cell(row, 0);
    driver.driverName = Cell(row, 1);
    driver.driverFile = Cell(row, 2);
    driver.driverPath = row.tag;
    driver.checked = row.checked;
    return driver;
  }

  void AddRow(const DriverRow& row) override {
    list_.AddRow({{row.printerName, row.driverName, row.driverFile}, row.driverPath, row.checked});
  }
  void Clear() override { list_.ClearRows(); }
  void SetChecked(int index, bool checked) override { list_.SetRowChecked(index, checked); }

 private:
  static std::string Cell(const gui::ListRow& row, std::size_t column) {
    return column < row.cells.size() ? row.cells[column] : std::string();
  }
  gui::ControlModel& list_;
};

class InventoryWindow::ModelProgress : public ProgressBar {
 public:
  ModelProgress(gui::ControlModel& bar, const gui::Form& form) : bar_(bar), form_(form) {}
  void Show() override { bar_.SetVisible(true); }
  void SetRange(int minimum, int maximum) override { bar_.SetRange(minimum, maximum); }
  void SetValue(int value) override { bar_.SetValue(value); }
  void ProcessEvents() override { form_.ProcessEvents(); }

 private:
  gui::ControlModel& bar_;
  const gui::Form& form_;
};

InventoryWindow::InventoryWindow(platform::DriverInfoSource& source, platform::FileSystem& files,
                                 gui::Dialogs& dialogs)
    : form_(InventoryWindowDescription()) {
  // Hidden until the first operation shows it.
  form_["prbMain"].SetVisible(false);
  gui::ControlModel& list = form_["lvwPrintDrivers"];
  list_ = std::make_unique<ModelDriverList>(list);
  bar_ = std::make_unique<ModelProgress>(form_["prbMain"], form_);
  inventory_ = std::make_unique<DriverInventory>(source, files, *list_, *bar_, dialogs);

  form_.OnActivate([this, &list] {
    if (activated_) return;
    activated_ = true;
    Perform([this, &list] {
      inventory_->RefreshDriverList();
      list.FitColumns();
    });
  });
  form_.OnClick("cmdRefresh", [this, &list] {
    Perform([this, &list] {
      inventory_->Refresh();
      list.FitColumns();
    });
  });
  form_.OnClick("cmdSelectAll", [this] { Perform([this] { inventory_->SelectAll(); }); });
  form_.OnClick("cmdUnselectAll", [this] { Perform([this] { inventory_->UnselectAll(); }); });
  form_.OnClick("cmdCopyFiles", [this] { Perform([this] { inventory_->CopyDrivers(); }); });
  form_.OnClick("cmdSaveText", [this] { Perform([this] { inventory_->SaveInfo(); }); });
  form_.OnClick("cmdExit", [this] { form_.Close(); });
  // While an operation runs the window stays, so that what it still has to
  // say ("Copy Error") is shown by a live window; it closes when it is done.
  form_.OnCloseQuery([this] {
    if (busy_) closeWhenDone_ = true;
    return !busy_;
  });
}

InventoryWindow::~InventoryWindow() = default;

DriverList& InventoryWindow::list() { return *list_; }

template <typename Action>
void InventoryWindow::Perform(Action action) {
  if (busy_) return;
  busy_ = true;
  {
    // An operation that throws must not leave the window refusing every other.
    struct Done {
      bool& busy;
      ~Done() { busy = false; }
    } done{busy_};
    action();
  }
  if (closeWhenDone_) {
    closeWhenDone_ = false;
    form_.Close();
  }
}

}  // namespace quillon::inventory
