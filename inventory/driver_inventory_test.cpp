// The inventory's logic on a fake driver source, an in-memory list and bar,
// scripted dialogs and real files in a temporary folder.
#include "inventory/driver_inventory.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "gui/scripted_dialogs.h"
#include "inventory/inventory_test_support.h"

namespace quillon::inventory {
namespace {

namespace fs = std::filesystem;
using gui::ScriptedDialogs;
using platform::DriverInfo2;
using platform::JoinPath;
using testing::FakeDriverSource;
using testing::FakePrinter;
using testing::MemoryDriverList;
using testing::RecordingFiles;
using testing::RecordingProgressBar;

constexpr const char* kUnidrv = "C:\\Windows\\System32\\spool\\DRIVERS\\x64\\3\\UNIDRV.DLL";

class DriverInventoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    const std::string name = "quillon-inventory-" + std::to_string(seed());
    folder_ = (fs::temp_directory_path() / name).string();
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // JoinPath, not std::filesystem: on Windows the latter re-encodes 8-bit names.
  std::string Path(const std::string& name) const { return JoinPath(folder_, name); }
  std::string WriteFile(const std::string& name, const std::string& content) {
    const std::string path = Path(name);
    files_.CreateFolders(platform::ParentFolder(path));
    EXPECT_TRUE(files_.WriteFileAtomic(path, content).ok);
    return path;
  }
  std::string Content(const std::string& path) { return files_.ReadFile(path).value_or("<none>"); }
  DriverInventory Inventory() { return DriverInventory(source_, files_, list_, bar_, dialogs_); }
  // A row as the refresh makes it, with its check box set.
  void AddRow(const std::string& printer, const std::string& driverPath, bool checked,
              const std::string& driverName = "Some Driver") {
    list_.rows.push_back({printer, driverName, DriverFileName(driverPath), driverPath, checked});
  }

  std::string folder_;
  FakeDriverSource source_;
  RecordingFiles files_;
  MemoryDriverList list_;
  RecordingProgressBar bar_;
  ScriptedDialogs dialogs_;
};

TEST_F(DriverInventoryTest, GetDriverInfoSizesTheBufferInWordsAndNamesEachFailure) {
  const DriverInfo2 hp{3, "HP Universal", "Windows x64", kUnidrv, "hp.gpd", "UNIDRVUI.DLL"};
  source_.printers = {
      {"HP", 0, 0, hp, 97},       // 97 / 4 + 1 = 25 words
      {"Exact", 0, 0, hp, 100},   // 100 / 4 + 1 = 26 words: one more than needed
      {"Locked", 5, 0, hp, 0},
      {"Unreadable", 0, 1790, hp, 0},
  };
  struct Case {
    const char* printer;
    DriverInfo2 expected;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"HP", hp,
       {"OpenPrinter HP", "GetPrinterDriver HP 0", "GetPrinterDriver HP 100", "ClosePrinter HP"}},
      {"Exact", hp,
       {"OpenPrinter Exact", "GetPrinterDriver Exact 0", "GetPrinterDriver Exact 104",
        "ClosePrinter Exact"}},
      {"Locked", {0, "ERROR: Opening printer: Locked", "", "", "", ""}, {"OpenPrinter Locked"}},
      {"Unreadable",
       {0, "ERROR: Getting driver information printer: Unreadable", "", "", "", ""},
       {"OpenPrinter Unreadable", "GetPrinterDriver Unreadable 0",
        "GetPrinterDriver Unreadable 4", "ClosePrinter Unreadable"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.printer);
    source_.calls.clear();
    EXPECT_EQ(GetDriverInfo(source_, c.printer), c.expected);
    EXPECT_EQ(source_.calls, c.calls);
    EXPECT_EQ(source_.openHandles, 0);
  }
}

TEST(DriverFileNameTest, IsThePartAfterTheLastSeparator) {
  const std::pair<const char*, const char*> cases[] = {
      {kUnidrv, "UNIDRV.DLL"},
      {"/tmp/quillon-inventory-1/Office-Laser.ppd", "Office-Laser.ppd"},
      {"\\\\SRV\\print$\\x64\\3\\mixed/kx.dll", "kx.dll"},
      {"plain.dll", "plain.dll"},
      {"C:\\drivers\\", ""},
      {"", ""},
  };
  for (const auto& [path, name] : cases) EXPECT_EQ(DriverFileName(path), name) << path;
}

TEST_F(DriverInventoryTest, RefreshListsEveryPrinterOnceAndTheBarRunsOverThem) {
  source_.printers = {
      {"\\\\OLDSRV\\HP4", 0, 0, {3, "HP LaserJet 4 PCL6", "Windows x64", kUnidrv, "", ""}, 0},
      {"Locked", 5, 0, {}, 0},
      {"Label Writer", 0, 0, {3, "Generic / Text Only", "Windows x64", "C:\\d\\TTY.DLL", "", ""},
       0},
  };
  const std::vector<DriverRow> expected{
      {"\\\\OLDSRV\\HP4", "HP LaserJet 4 PCL6", "UNIDRV.DLL", kUnidrv, false},
      {"Locked", "ERROR: Opening printer: Locked", "", "", false},
      {"Label Writer", "Generic / Text Only", "TTY.DLL", "C:\\d\\TTY.DLL", false},
  };
  DriverInventory inventory = Inventory();
  inventory.RefreshDriverList();
  EXPECT_EQ(list_.rows, expected);
  EXPECT_EQ(bar_.log, "show, range 0..2, value 0 0 1 2 0");
  EXPECT_GT(bar_.events, 0);

  // Refresh clears first, ticks included; RefreshDriverList alone appends.
  list_.rows[0].checked = true;
  inventory.Refresh();
  inventory.Refresh();
  EXPECT_EQ(list_.rows, expected);
  inventory.RefreshDriverList();
  EXPECT_EQ(list_.RowCount(), 6);
  EXPECT_TRUE(dialogs_.asked.empty());
}

TEST_F(DriverInventoryTest, RefreshBarForOneAndForNoPrinter) {
  struct Case {
    std::size_t printers;
    const char* bar;
  };
  // The maximum is the count minus one, but at least 1.
  const Case cases[] = {{0, "show, range 0..1, value 0 0"}, {1, "show, range 0..1, value 0 0 0"},
                        {2, "show, range 0..1, value 0 0 1 0"}};
  for (const Case& c : cases) {
    source_.printers.clear();
    for (std::size_t i = 0; i < c.printers; ++i) {
      source_.printers.push_back({"P" + std::to_string(i), 0, 0, {0, "D", "", "", "", ""}, 0});
    }
    bar_.log.clear();
    list_.rows.clear();
    Inventory().RefreshDriverList();
    EXPECT_EQ(bar_.log, c.bar) << c.printers << " printers";
    EXPECT_EQ(list_.rows.size(), c.printers);
  }
}

TEST_F(DriverInventoryTest, APrintSystemThatCannotListIsReportedAfterTheRefresh) {
  source_.listStatus = platform::Status::Error(1030, "Listing the CUPS printers of srv: refused");
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  Inventory().Refresh();
  EXPECT_TRUE(list_.rows.empty());
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "message [Quillon Inventory] Critical OK: Error listing printers.||"
            "ERROR NUMBER: 1030|ERROR DESCRIPTION: Listing the CUPS printers of srv: refused\n");
}

TEST_F(DriverInventoryTest, SelectAllAndUnselectAllTickEveryRow) {
  AddRow("A", "a.dll", false);
  AddRow("B", "b.dll", true);
  AddRow("C", "", false);
  DriverInventory inventory = Inventory();
  inventory.SelectAll();
  for (const DriverRow& row : list_.rows) EXPECT_TRUE(row.checked) << row.printerName;
  inventory.UnselectAll();
  for (const DriverRow& row : list_.rows) EXPECT_FALSE(row.checked) << row.printerName;
}

TEST_F(DriverInventoryTest, CopyTakesTickedRowsOnlyAddsOneSeparatorAndReportsTheLastError) {
  const std::string first = WriteFile(JoinPath("drivers1", "kx.dll"), "first kx");
  const std::string untouched = WriteFile(JoinPath("drivers1", "other.dll"), "other");
  const std::string second = WriteFile(JoinPath("drivers2", "kx.dll"), "second kx");
  const std::string missing = Path(JoinPath("drivers1", "gone.dll"));
  AddRow("Ticked", first, true);
  AddRow("Not ticked", untouched, false);
  AddRow("Error row", "", true, "ERROR: Opening printer: Error row");
  AddRow("Same file", second, true);
  AddRow("Missing", missing, true);

  // The folder as a dialog gives it, with and without its closing separator.
  const std::string target = Path("share");
  files_.CreateFolders(target);
  for (const std::string& chosen : {target, target + platform::PathSeparator()}) {
    SCOPED_TRACE(chosen);
    files_.copies.clear();
    dialogs_.asked.clear();
    dialogs_.SetNextFolder(chosen);
    dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
    bar_.log.clear();
    Inventory().CopyDrivers();

    ASSERT_EQ(files_.copies.size(), 3u);
    EXPECT_EQ(files_.copies[0].from, first);
    EXPECT_EQ(files_.copies[0].to, JoinPath(target, "kx.dll"));
    EXPECT_EQ(files_.copies[1].from, second);
    EXPECT_EQ(files_.copies[1].to, JoinPath(target, "kx.dll"));
    EXPECT_EQ(files_.copies[2].to, JoinPath(target, "gone.dll"));
    // The second printer's file of the same name replaced the first one's.
    EXPECT_EQ(Content(JoinPath(target, "kx.dll")), "second kx");
    EXPECT_FALSE(files_.FileExists(JoinPath(target, "other.dll")));
    EXPECT_EQ(bar_.log, "show, range 1..5, value 1 1 2 3 4 5 1");

    // Two rows failed; only the last failure is shown.
    const platform::Status& last = files_.copies[2].status;
    ASSERT_FALSE(last.ok);
    ASSERT_EQ(dialogs_.asked.size(), 2u);
    EXPECT_EQ(dialogs_.asked[0].kind, gui::AskedDialog::Kind::Folder);
    EXPECT_EQ(dialogs_.asked[0].title, "Please select a folder.");
    EXPECT_EQ(dialogs_.asked[1].title, "Copy Error");
    EXPECT_EQ(dialogs_.asked[1].icon, gui::MessageIcon::Critical);
    EXPECT_EQ(dialogs_.asked[1].buttons, gui::MessageButtons::Ok);
    EXPECT_EQ(dialogs_.asked[1].text,
              "Error copying driver files.\n\nERROR NUMBER: " + std::to_string(last.errorNumber) +
                  "\nERROR DESCRIPTION: " + last.description);
  }
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(DriverInventoryTest, CopyOfAnErrorRowFailsWithoutTouchingTheFiles) {
  AddRow("Locked", "", true, "ERROR: Opening printer: Locked");
  dialogs_.SetNextFolder(folder_);
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  Inventory().CopyDrivers();
  EXPECT_TRUE(files_.copies.empty());
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "folder [Please select a folder.]\n"
            "message [Copy Error] Critical OK: Error copying driver files.||ERROR NUMBER: 2|"
            "ERROR DESCRIPTION: The printer Locked has no driver file.\n");
}

TEST_F(DriverInventoryTest, CopyWithNothingTickedOrNoFolderDoesNothing) {
  AddRow("A", WriteFile("a.dll", "a"), false);
  AddRow("B", WriteFile("b.dll", "b"), false);

  dialogs_.SetNextFolder("");  // cancelled
  Inventory().CopyDrivers();
  EXPECT_EQ(bar_.log, "");

  dialogs_.SetNextFolder(Path("share"));
  Inventory().CopyDrivers();
  EXPECT_TRUE(files_.copies.empty());
  EXPECT_EQ(bar_.log, "show, range 1..2, value 1 1 2 1");
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "folder [Please select a folder.]\nfolder [Please select a folder.]\n");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST(CsvFieldTest, QuotesOnlyFieldsThatNeedIt) {
  const std::pair<const char*, const char*> cases[] = {
      {"HP LaserJet 4 PCL6", "HP LaserJet 4 PCL6"},
      {"", ""},
      {"Quillon Test Laser, 1.0", "\"Quillon Test Laser, 1.0\""},
      {"12\" plotter", "\"12\"\" plotter\""},
      {"two\r\nlines", "\"two\r\nlines\""},
      {"line\nfeed", "\"line\nfeed\""},
      {"\\\\SRV\\HP4 'quoted'", "\\\\SRV\\HP4 'quoted'"},
  };
  for (const auto& [text, field] : cases) EXPECT_EQ(CsvField(text), field) << text;
}

TEST_F(DriverInventoryTest, SaveWritesTheHeaderAndTheTickedRowsAsCsv) {
  AddRow("\\\\OLDSRV\\HP4", kUnidrv, true, "HP LaserJet 4 PCL6");
  AddRow("Not ticked", "C:\\d\\x.dll", false, "Other");
  AddRow("Office-Laser", "/tmp/q/Office-Laser.ppd", true, "Quillon Test Laser, 1.0");
  AddRow("Locked", "", true, "ERROR: Opening printer: Locked");
  // An earlier, longer file of that name is replaced whole.
  const std::string path = WriteFile("drivers.csv", std::string(500, 'x'));
  dialogs_.SetNextFileName(path);
  Inventory().SaveInfo();
  EXPECT_EQ(Content(path),
            "Printer Name,Driver Name,Driver Path\r\n"
            "\\\\OLDSRV\\HP4,HP LaserJet 4 PCL6,UNIDRV.DLL\r\n"
            "Office-Laser,\"Quillon Test Laser, 1.0\",Office-Laser.ppd\r\n"
            "Locked,ERROR: Opening printer: Locked,\r\n");
  EXPECT_EQ(gui::Transcript(dialogs_.asked),
            "save [Save Print Driver Info file As ...] extension=csv file=Default.csv "
            "filter=Comma Seperated Values(*.csv)|*.csv prompt-overwrite\n");
  EXPECT_EQ(bar_.log, "show, range 1..4, value 1 1 2 3 4");
}

TEST_F(DriverInventoryTest, SaveWithNoTickedRowWritesTheHeaderOnly) {
  AddRow("A", "a.dll", false);
  AddRow("B", "b.dll", false);
  dialogs_.SetNextFileName(Path("Default.csv"));
  Inventory().SaveInfo();
  EXPECT_EQ(Content(Path("Default.csv")), "Printer Name,Driver Name,Driver Path\r\n");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

TEST_F(DriverInventoryTest, SaveCancelledWritesNothingAndAFailedSaveIsReported) {
  AddRow("A", "a.dll", true);
  dialogs_.SetNextFileName("");
  Inventory().SaveInfo();
  EXPECT_TRUE(fs::is_empty(folder_));
  EXPECT_EQ(bar_.log, "");

  // A folder that is really a file cannot hold the CSV file, even for root.
  const std::string notAFolder = WriteFile("plain", "x");
  dialogs_.asked.clear();
  dialogs_.SetNextFileName(JoinPath(notAFolder, "drivers.csv"));
  dialogs_.SetNextAnswer(gui::MessageAnswer::Ok);
  Inventory().SaveInfo();
  ASSERT_EQ(dialogs_.asked.size(), 2u);
  const gui::AskedDialog& box = dialogs_.asked[1];
  EXPECT_EQ(box.title, "Save Error");
  EXPECT_EQ(box.icon, gui::MessageIcon::Critical);
  EXPECT_EQ(box.text.rfind("Error saving csv file.\n\nERROR NUMBER: ", 0), 0u) << box.text;
  EXPECT_EQ(box.text.find("ERROR NUMBER: 0\n"), std::string::npos) << box.text;
  EXPECT_NE(box.text.find("\nERROR DESCRIPTION: "), std::string::npos) << box.text;
  EXPECT_EQ(Content(notAFolder), "x");
  EXPECT_EQ(dialogs_.unscripted, 0);
}

}  // namespace
}  // namespace quillon::inventory
