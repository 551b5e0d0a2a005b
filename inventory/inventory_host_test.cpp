// InventoryHost: the simulated client when a client file is named, read but
// never written; a client file that is not valid stops with a message.
#include "inventory/inventory_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "gui/scripted_dialogs.h"
#include "inventory/driver_inventory.h"
#include "inventory/inventory_test_support.h"

namespace quillon::inventory {
namespace {

namespace fs = std::filesystem;
using platform::JoinPath;

class InventoryHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = (fs::temp_directory_path() / ("quillon-invhost-" + std::to_string(seed()))).string();
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = JoinPath(folder_, name);
    EXPECT_TRUE(files_.WriteFileAtomic(path, content).ok);
    return path;
  }

  // A client with printers on driver "KX" at `driverPath`, failing copies of `failingCopy`.
  std::string WriteClient(const std::vector<std::string>& printers, const std::string& driverPath,
                          const std::string& failingCopy) {
    platform::sim::Json client = {{"printers", platform::sim::Json::array()},
                                  {"drivers", {{{"name", "KX"}, {"driverPath", driverPath}}}},
                                  {"failures", {{{"call", "CopyFile"}, {"name", failingCopy},
                                                 {"error", 5}}}}};
    for (const std::string& name : printers) {
      client["printers"].push_back({{"name", name}, {"driverName", "KX"}});
    }
    return Write("client.json", client.dump(2));
  }

  std::string folder_;
  platform::HostFileSystem files_;
};

TEST_F(InventoryHostTest, ASimulatedClientIsReadAndNeverWritten) {
  const std::string driver = Write("KX.DLL", "driver bytes");
  const std::string client = WriteClient({"Copier", "Fax"}, driver, "nothing-matches.dll");
  const std::string before = files_.ReadFile(client).value();

  std::string error;
  auto host = InventoryHost::Open(client, &error);
  ASSERT_TRUE(host) << error;
  EXPECT_TRUE(host->simulated());
  testing::MemoryDriverList list;
  testing::RecordingProgressBar bar;
  gui::ScriptedDialogs dialogs;
  DriverInventory inventory(host->drivers(), host->files(), list, bar, dialogs);
  inventory.Refresh();
  ASSERT_EQ(list.RowCount(), 2);
  EXPECT_EQ(list.Row(1), (DriverRow{"Fax", "KX", "KX.DLL", driver, false}));

  inventory.SelectAll();
  const std::string share = JoinPath(folder_, "share");
  ASSERT_TRUE(files_.CreateFolders(share).ok);
  dialogs.SetNextFolder(share);
  inventory.CopyDrivers();
  EXPECT_EQ(files_.ReadFile(JoinPath(share, "KX.DLL")), std::optional<std::string>("driver bytes"));
  EXPECT_EQ(gui::Transcript(dialogs.asked), "folder [Please select a folder.]\n");
  host.reset();
  EXPECT_EQ(files_.ReadFile(client), std::optional<std::string>(before));
}

TEST_F(InventoryHostTest, CopiesOnASimulatedClientHonourItsInjectedFailures) {
  const std::string driver = Write("KX.DLL", "driver bytes");
  const std::string client = WriteClient({"Copier"}, driver, "kx.dll");
  std::string error;
  auto host = InventoryHost::Open(client, &error);
  ASSERT_TRUE(host) << error;
  const platform::Status copied = host->files().CopyFile(driver, JoinPath(folder_, "copy.dll"));
  EXPECT_FALSE(copied.ok);
  EXPECT_EQ(copied.errorNumber, 5u);
  EXPECT_FALSE(files_.FileExists(JoinPath(folder_, "copy.dll")));
}

TEST_F(InventoryHostTest, AClientFileThatIsNotValidIsRefusedWithItsName) {
  const std::string text = R"({ "printers": [ { "name": 7 } ] })";
  const std::string client = Write("client.json", text);
  std::string error;
  EXPECT_FALSE(InventoryHost::Open(client, &error));
  EXPECT_NE(error.find(client), std::string::npos) << error;
  EXPECT_NE(error.find("printers[0].name"), std::string::npos) << error;
  EXPECT_EQ(files_.ReadFile(client), std::optional<std::string>(text));
}

}  // namespace
}  // namespace quillon::inventory
