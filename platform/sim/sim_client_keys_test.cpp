// The client file's key table against a sample of every key: each is read
// into its own member, refused with its own name when of the wrong type, and
// written back as it was, in the table's order when the file lacked it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/sim_client.h"
#include "platform/sim/sim_client_format.h"

namespace quillon::platform::sim {
namespace {

// Values other than the defaults, records with every member a save writes.
const char* const kSamples = R"({
  "computerName": "PC1",
  "dnsFullName": null,
  "userName": "jdoe",
  "os": { "platformId": 2, "majorVersion": 6, "buildNumber": 7601, "error": 0,
          "environment": "Windows NT x86" },
  "elevated": false,
  "profileFolder": "prof",
  "systemFolder": "sys",
  "printers": [ { "name": "P", "serverName": "", "shareName": "", "portName": "LPT1:",
                  "driverName": "D", "comment": "", "location": "", "attributes": 64 } ],
  "defaultPrinter": "P",
  "legacyDefaultPrinterMode": true,
  "printServers": { "S": [ { "shareName": "Q", "driverName": "D", "portName": "P1",
                             "comment": "", "location": "", "needsPrompt": true,
                             "driverVersion": "1.2.3.4", "environments": ["Windows x64"],
                             "packageAware": true } ] },
  "drivers": [ "D" ],
  "ports": [ "LPT1:" ],
  "winIni": { "Windows": { "device": "P,winspool,LPT1:" } },
  "registry": { "HKEY_CURRENT_USER\\X": { "v": "1" } },
  "directory": { "corp": [ { "name": "Q", "printShareName": ["\\\\S\\Q"] } ] },
  "failures": [ { "call": "OpenPrinter", "name": "P", "error": 5 } ],
  "messageBoxes": [ { "title": "T", "text": "x", "icon": "None", "buttons": "OK" } ],
  "eventLog": [ { "source": "Quillon", "type": 4, "eventId": 1, "message": "m" } ],
  "spoolerCalls": [ { "call": "OpenPrinter", "name": "P", "result": true, "error": 0 } ],
  "pointAndPrint": { "restrictDriverInstallationToAdministrators": true },
  "profiles": [ { "userName": "u", "connections": ["\\\\S\\Q"] } ],
  "serverConditions": { "S": { "reachable": false, "latencyMs": 20 } },
  "userGroups": [ "G" ],
  "computerGroups": null,
  "site": "HQ",
  "addresses": [ "10.0.0.1" ]
})";

TEST(SimClientKeysTest, EveryKeyIsReadCheckedAndWrittenBackByTheTable) {
  const Json samples = Json::parse(kSamples);
  std::vector<std::string> tableOrder;
  for (const client_file::ClientKey& key : client_file::ClientKeys()) {
    tableOrder.push_back(key.name);
  }
  std::vector<std::string> sampleOrder;
  for (auto it = samples.begin(); it != samples.end(); ++it) sampleOrder.push_back(it.key());
  // A key added to the table needs a sample here.
  ASSERT_EQ(tableOrder, sampleOrder);

  Json reversed = Json::object();
  for (auto it = tableOrder.rbegin(); it != tableOrder.rend(); ++it) {
    const std::string& key = *it;
    SCOPED_TRACE(key);
    const Json alone = {{key, samples.at(key)}};
    LoadResult loaded = ParseClient(alone.dump(), "c.json");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(loaded.state.extra, Json::object()) << "the key must be one of ours";
    EXPECT_EQ(Json::parse(SerializeClient(loaded.state)), alone);

    LoadResult wrong = ParseClient(Json({{key, 12345}}).dump(), "c.json");
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.error.rfind("c.json: \"" + key + "\" must ", 0), 0u) << wrong.error;
    reversed[key] = samples.at(key);
  }

  // Read in the opposite order, each into its own member: saved without the
  // file's keys, every one is written as it was, in the table's order.
  LoadResult loaded = ParseClient(reversed.dump(), "c.json");
  ASSERT_TRUE(loaded.ok) << loaded.error;
  loaded.state.keysPresent.clear();
  EXPECT_EQ(Json::parse(SerializeClient(loaded.state)), samples);
}

}  // namespace
}  // namespace quillon::platform::sim
