#include "platform/sim/sim_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

#include "platform/file_system.h"

namespace quillon::platform::sim {
namespace {
namespace fs = std::filesystem;

// Every key of the format, with unknown keys at the top level and unknown
// members in records. Records list their members in the order a save writes
// them, so a faithful round trip gives the same text byte for byte.
const char* const kFullClient = R"({
  "comment": "kept as it is",
  "computerName": null,
  "dnsFullName": "pc042.corp.example",
  "userName": "jdoe",
  "os": { "platformId": 2, "majorVersion": 5, "buildNumber": 2195, "error": 0, "build": 2195 },
  "profileFolder": "prof",
  "systemFolder": "/opt/sys32",
  "printers": [
    { "name": "\\\\OLDSRV\\HP4", "serverName": "\\\\OLDSRV", "shareName": "HP4",
      "portName": "IP_10.0.0.4", "driverName": "HP LaserJet 4", "comment": "2nd floor",
      "location": "B2", "attributes": 4294967295, "perMachine": true, "status": "ready" },
    { "name": "Local", "serverName": "", "shareName": "", "portName": "LPT1:",
      "driverName": "Generic", "comment": "", "location": "", "attributes": 64 }
  ],
  "defaultPrinter": "\\\\OLDSRV\\HP4",
  "legacyDefaultPrinterMode": false,
  "printServers": {
    "NEWSRV": [ { "shareName": "HP4", "driverName": "HP LaserJet 4", "portName": "P1",
                  "comment": "", "location": "", "needsPrompt": true, "duplex": true } ],
    "EMPTY": []
  },
  "drivers": [ "HP LaserJet 4",
               { "name": "Generic", "driverPath": "C:\\d\\gen.dll", "dataFile": "gen.ppd",
                 "configFile": "genui.dll", "environment": "Windows x64", "version": 3,
                 "vendor": "x" } ],
  "ports": [ "LPT1:", "IP_10.0.0.4" ],
  "future": { "nested": [1, 2.5, "three"] },
  "winIni": { "Windows": { "device": "\\\\OLDSRV\\HP4,winspool,Ne00:" },
              "PrinterPorts": {} },
  "registry": { "HKEY_CURRENT_USER\\Software\\Quillon\\doc.ini": { "Status": "True" } },
  "directory": { "corp.example.com": [ { "name": "HP4", "printShareName": ["\\\\NEWSRV\\HP4"],
                                         "cn": "HP4-cn" } ] },
  "failures": [ { "call": "OpenPrinter", "name": "\\\\OLDSRV\\HP4", "error": 1801 },
                { "call": "AddPort", "error": 5, "why": "test" } ],
  "messageBoxes": [ { "title": "T", "text": "x", "icon": "Critical", "buttons": "OK",
                      "answered": false } ],
  "eventLog": [ { "source": "Quillon", "type": 4, "eventId": 20001, "message": "m",
                  "category": 0 } ],
  "spoolerCalls": [ { "call": "AddPrinterConnection", "name": "\\\\NEWSRV\\HP4",
                      "result": true, "error": 0, "ms": 3 },
                    { "call": "GetPrinter", "name": "x", "result": { "n": 1 },
                      "error": 122 } ],
  "zlast": null
})";

class SimClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("quillon-simclient-" + std::to_string(seed()));
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::string Path(const std::string& name) const { return (folder_ / name).string(); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::string> FolderNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder_;
};

TEST_F(SimClientTest, FullClientSurvivesLoadAndSave) {
  const std::string canonical = Json::parse(kFullClient).dump(2) + "\n";
  const std::string path = Path("client.json");
  Write(path, kFullClient);

  LoadResult loaded = LoadClient(path);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  const SimClientState& s = loaded.state;
  EXPECT_EQ(s.keysPresent,
            (std::vector<std::string>{"comment", "computerName", "dnsFullName", "userName", "os",
                                      "profileFolder", "systemFolder", "printers",
                                      "defaultPrinter", "legacyDefaultPrinterMode",
                                      "printServers", "drivers", "ports",
                                      "future", "winIni", "registry", "directory", "failures",
                                      "messageBoxes", "eventLog", "spoolerCalls", "zlast"}));
  // The typed state is what the engine works on: spot-check each kind of member.
  ASSERT_TRUE(s.computerName.has_value());
  EXPECT_FALSE(s.computerName->has_value());
  EXPECT_EQ(s.dnsFullName, std::optional<std::optional<std::string>>("pc042.corp.example"));
  EXPECT_EQ(s.os->majorVersion, 5);
  EXPECT_EQ(s.os->extra, Json({{"build", 2195}}));
  EXPECT_EQ(s.os->buildNumber, std::optional<std::uint32_t>(2195));
  EXPECT_EQ(s.legacyDefaultPrinterMode, std::optional<bool>(false));
  EXPECT_EQ(s.printers[0].perMachine, std::optional<bool>(true));
  EXPECT_EQ(s.printers[1].perMachine, std::nullopt);
  ASSERT_EQ(s.printers.size(), 2u);
  EXPECT_EQ(s.printers[0].name, "\\\\OLDSRV\\HP4");
  EXPECT_EQ(s.printers[0].attributes, 4294967295u);
  EXPECT_EQ(s.printers[0].extra, Json({{"status", "ready"}}));
  EXPECT_TRUE(s.drivers[0].bareName);
  EXPECT_FALSE(s.drivers[1].bareName);
  EXPECT_EQ(s.drivers[1].version, 3u);
  EXPECT_EQ(s.printServers[1].first, "EMPTY");
  EXPECT_EQ(s.registry[0].second[0].second, "True");
  EXPECT_EQ(s.directory->at(0).second[0].printShareName[0], "\\\\NEWSRV\\HP4");
  EXPECT_EQ(s.failures[0].name, std::optional<std::string>("\\\\OLDSRV\\HP4"));
  EXPECT_FALSE(s.failures[1].name.has_value());
  EXPECT_EQ(s.eventLog[0].eventId, 20001);
  EXPECT_EQ(s.spoolerCalls[1].result, Json({{"n", 1}}));
  EXPECT_EQ(s.extra.size(), 3u);

  ASSERT_EQ(SerializeClient(s), canonical);
  std::string error;
  ASSERT_TRUE(SaveClient(path, s, &error)) << error;
  const std::string saved = Read(path);
  // ordered_json compares objects member by member in order, so this also
  // checks the order of keys at every level.
  EXPECT_EQ(Json::parse(saved), Json::parse(kFullClient));
  EXPECT_EQ(saved, canonical);
}

TEST_F(SimClientTest, SavedFilesAreExplicitAndAddKeysInDocumentedOrder) {
  struct Case {
    const char* input;
    const char* expectedAfterLoadAndSave;
  };
  const Case cases[] = {
      // Empty keys the file had are kept; missing members are spelled out.
      {R"({"ports": [], "printers": [{"name": "P"}], "winIni": {}})",
       R"({"ports": [], "printers": [{"name": "P", "serverName": "", "shareName": "",
           "portName": "", "driverName": "", "comment": "", "location": "",
           "attributes": 0}], "winIni": {}})"},
      {R"({"drivers": ["A", {"name": "B"}], "failures": [{"error": 2, "call": "X"}]})",
       R"({"drivers": ["A", {"name": "B", "driverPath": "", "dataFile": "",
           "configFile": "", "environment": "", "version": 0}],
           "failures": [{"call": "X", "error": 2}]})"},
      {R"({"directory": {}, "computerName": "PC"})",
       R"({"directory": {}, "computerName": "PC"})"},
      {"{}", "{}"},
  };
  for (const Case& c : cases) {
    LoadResult loaded = ParseClient(c.input, "c.json");
    ASSERT_TRUE(loaded.ok) << c.input << ": " << loaded.error;
    EXPECT_EQ(Json::parse(SerializeClient(loaded.state)), Json::parse(c.expectedAfterLoadAndSave))
        << c.input;
  }

  // Keys the file lacked follow the file's own, in the documented order,
  // whatever order the run filled them in.
  LoadResult loaded = ParseClient(R"({"spoolerCalls": [], "x": 1})", "c.json");
  ASSERT_TRUE(loaded.ok) << loaded.error;
  loaded.state.eventLog.push_back({"Quillon", 4, 20001, "done", Json::object()});
  loaded.state.messageBoxes.push_back({"T", "t", "None", "OK", Json::object()});
  loaded.state.userName = "u";
  std::vector<std::string> order;
  Json saved = Json::parse(SerializeClient(loaded.state));
  for (auto it = saved.begin(); it != saved.end(); ++it) order.push_back(it.key());
  EXPECT_EQ(order, (std::vector<std::string>{"spoolerCalls", "x", "userName", "messageBoxes",
                                             "eventLog"}));
}

TEST_F(SimClientTest, MissingFileIsAnEmptyClientAndSavesOnlyWhatWasAdded) {
  const std::string path = Path("new/sub/client.json");
  LoadResult loaded = LoadClient(path);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_TRUE(loaded.state.keysPresent.empty());
  EXPECT_FALSE(loaded.state.computerName.has_value());
  EXPECT_FALSE(loaded.state.os.has_value());
  EXPECT_FALSE(loaded.state.directory.has_value());
  EXPECT_EQ(SerializeClient(loaded.state), "{}\n");

  loaded.state.messageBoxes.push_back({"Title", "Text", "Information", "OK", Json::object()});
  loaded.state.printers.push_back({"\\\\S\\Q", "\\\\S", "Q", "", "", "", "", 0, Json::object()});
  std::string error;
  ASSERT_TRUE(SaveClient(path, loaded.state, &error)) << error;
  EXPECT_EQ(Json::parse(Read(path)), Json::parse(R"({
    "printers": [{"name": "\\\\S\\Q", "serverName": "\\\\S", "shareName": "Q",
                  "portName": "", "driverName": "", "comment": "", "location": "",
                  "attributes": 0}],
    "messageBoxes": [{"title": "Title", "text": "Text", "icon": "Information",
                      "buttons": "OK"}]})"));
}

TEST_F(SimClientTest, InvalidFilesAreRefusedWithTheKeyPathAndLeftUntouched) {
  struct Case {
    const char* text;
    const char* expected;  // part of the message after "<path>: "
  };
  const Case cases[] = {
      {"{ \"printers\": [ ", "not valid JSON: "},
      {"", "not valid JSON: "},
      {"{\"a\": 1,}", "not valid JSON: "},
      {"[1, 2]", "the top level must be an object, not an array"},
      {"\"text\"", "the top level must be an object, not a string"},
      {R"({"computerName": 5})", R"("computerName" must be a string or null)"},
      {R"({"dnsFullName": 5})", R"("dnsFullName" must be a string or null)"},
      {R"({"site": ["HQ"]})", R"("site" must be a string or null)"},
      {R"({"userGroups": "IT"})", R"("userGroups" must be an array)"},
      {R"({"addresses": [1]})", R"("addresses[0]" must be a string)"},
      {R"({"userName": null})", R"("userName" must be a string)"},
      {R"({"os": "NT"})", R"("os" must be an object)"},
      {R"({"os": {"platformId": "2"}})", R"("os.platformId" must be a number)"},
      {R"({"os": {"majorVersion": 5.5}})", R"("os.majorVersion" must be a whole number)"},
      {R"({"os": {"error": -1}})", R"("os.error" must not be negative)"},
      {R"({"os": {"majorVersion": 3000000000}})", R"("os.majorVersion" is too large)"},
      {R"({"profileFolder": 1})", R"("profileFolder" must be a string)"},
      {R"({"systemFolder": []})", R"("systemFolder" must be a string)"},
      {R"({"printers": {}})", R"("printers" must be an array)"},
      {R"({"printers": ["P"]})", R"("printers[0]" must be an object)"},
      {R"({"printers": [{}, {}, {"attributes": "2"}]})",
       R"("printers[2].attributes" must be a number)"},
      {R"({"printers": [{"attributes": 4294967296}]})",
       R"("printers[0].attributes" is too large)"},
      {R"({"printers": [{"attributes": -1}]})", R"("printers[0].attributes" must not be negative)"},
      {R"({"printers": [{"location": false}]})", R"("printers[0].location" must be a string)"},
      {R"({"defaultPrinter": null})", R"("defaultPrinter" must be a string)"},
      {R"({"legacyDefaultPrinterMode": 1})", R"("legacyDefaultPrinterMode" must be true or false)"},
      {R"({"printers": [{"perMachine": "yes"}]})", R"("printers[0].perMachine" must be true or false)"},
      {R"({"os": {"buildNumber": -1}})", R"("os.buildNumber" must not be negative)"},
      {R"({"printServers": []})", R"("printServers" must be an object)"},
      {R"({"printServers": {"S": {}}})", R"("printServers.S" must be an array)"},
      {R"({"printServers": {"S": [{"shareName": 1}]}})",
       R"("printServers.S[0].shareName" must be a string)"},
      {R"({"printServers": {"S": [{"needsPrompt": "yes"}]}})",
       R"("printServers.S[0].needsPrompt" must be true or false)"},
      {R"({"drivers": [1]})", R"("drivers[0]" must be a string or an object)"},
      {R"({"drivers": [{"version": "3"}]})", R"("drivers[0].version" must be a number)"},
      {R"({"drivers": [{"environment": 3}]})", R"("drivers[0].environment" must be a string)"},
      {R"({"ports": ["LPT1:", 2]})", R"("ports[1]" must be a string)"},
      {R"({"winIni": {"Windows": "x"}})", R"("winIni.Windows" must be an object)"},
      {R"({"winIni": {"Windows": {"device": 1}}})", R"("winIni.Windows.device" must be a string)"},
      {R"({"registry": {"HKEY_CURRENT_USER\\Software": {"v": []}}})",
       R"("registry[HKEY_CURRENT_USER\Software].v" must be a string)"},
      {R"({"directory": {"corp.example": [{"printShareName": "x"}]}})",
       R"("directory[corp.example][0].printShareName" must be an array)"},
      {R"({"directory": {"corp.example": [{"printShareName": [1]}]}})",
       R"("directory[corp.example][0].printShareName[0]" must be a string)"},
      {R"({"failures": [{"call": "OpenPrinter", "error": "5"}]})",
       R"("failures[0].error" must be a number)"},
      {R"({"failures": [{"call": "OpenPrinter", "name": 5, "error": 5}]})",
       R"("failures[0].name" must be a string)"},
      {R"({"failures": [{"error": 5}]})", R"("failures[0].call" is missing)"},
      {R"({"failures": [{"call": "AddPort"}]})", R"("failures[0].error" is missing)"},
      {R"({"messageBoxes": [{"icon": 1}]})", R"("messageBoxes[0].icon" must be a string)"},
      {R"({"eventLog": [{"type": "1"}]})", R"("eventLog[0].type" must be a number)"},
      {R"({"eventLog": [{"eventId": 1.5}]})", R"("eventLog[0].eventId" must be a whole number)"},
      {R"({"spoolerCalls": [{"error": -1}]})", R"("spoolerCalls[0].error" must not be negative)"},
      {R"({"spoolerCalls": [{"call": 1}]})", R"("spoolerCalls[0].call" must be a string)"},
  };
  const std::string path = Path("bad.json");
  for (const Case& c : cases) {
    Write(path, c.text);
    LoadResult loaded = LoadClient(path);
    EXPECT_FALSE(loaded.ok) << c.text;
    EXPECT_NE(loaded.error.find(path + ": " + c.expected), std::string::npos)
        << c.text << "\n  gave: " << loaded.error;
    EXPECT_EQ(Read(path), c.text) << "the file must be left as it was";
  }
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"bad.json"});

  LoadResult folder = LoadClient(folder_.string());
  EXPECT_FALSE(folder.ok);
  EXPECT_NE(folder.error.find(folder_.string()), std::string::npos);
}

TEST_F(SimClientTest, TargetingFactsRoundTripAndNullMeansCannotBeFound) {
  const std::string text =
      R"({"userGroups": ["Domain Users", "Floor2-Pilot"], "computerGroups": null,)"
      R"( "site": "HQ", "addresses": []})";
  LoadResult loaded = ParseClient(text, "client.json");
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.state.userGroups,
            std::optional<std::optional<std::vector<std::string>>>(
                std::vector<std::string>{"Domain Users", "Floor2-Pilot"}));
  ASSERT_TRUE(loaded.state.computerGroups.has_value());
  EXPECT_FALSE(loaded.state.computerGroups->has_value());
  EXPECT_EQ(loaded.state.site, std::optional<std::optional<std::string>>("HQ"));
  EXPECT_EQ(nlohmann::json::parse(SerializeClient(loaded.state)), nlohmann::json::parse(text));
  EXPECT_EQ(SerializeClient(ParseClient("{}", "c.json").state).find("Groups"), std::string::npos);
}

TEST_F(SimClientTest, SaveIsAtomicAndReportsFailures) {
  SimClientState state;
  state.userName = "first";
  const std::string path = Path("client.json");
  std::string error;
  ASSERT_TRUE(SaveClient(path, state, &error)) << error;
  state.userName = "second";
  ASSERT_TRUE(SaveClient(path, state, &error)) << error;
  EXPECT_EQ(Read(path), "{\n  \"userName\": \"second\"\n}\n");
  EXPECT_EQ(FolderNames(), std::vector<std::string>{"client.json"});

  // The target is a folder: the rename fails, nothing is left behind.
  fs::create_directories(Path("taken"));
  error.clear();
  EXPECT_FALSE(SaveClient(Path("taken"), state, &error));
  EXPECT_NE(error.find(Path("taken")), std::string::npos) << error;
  EXPECT_TRUE(fs::is_directory(Path("taken")));
  EXPECT_FALSE(fs::exists(Path("taken.tmp")));

  // The temporary cannot be written: the earlier file keeps its content.
  fs::create_directories(path + ".tmp");
  const std::string before = Read(path);
  state.userName = "third";
  error.clear();
  EXPECT_FALSE(SaveClient(path, state, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(path), before);

  // The parent folder cannot be created because a file stands in its way.
  error.clear();
  EXPECT_FALSE(SaveClient(Path("client.json/inner.json"), state, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(Read(path), before);
}

TEST_F(SimClientTest, TextThatIsNotUtf8SavesWithReplacementCharacters) {
  SimClientState state;
  state.messageBoxes.push_back({"Fehler", "Drucker \xE4 \xFF", "Critical", "OK", Json::object()});
  state.registry.push_back(
      {"HKEY_CURRENT_USER\\\xFC", OrderedMap<std::string>{{std::string("v\xE9"), "\xC3"}}});
  const std::string path = Path("client.json");
  std::string error;
  bool saved = false;
  EXPECT_NO_THROW(saved = SaveClient(path, state, &error));
  ASSERT_TRUE(saved) << error;
  LoadResult loaded = LoadClient(path);
  ASSERT_TRUE(loaded.ok) << loaded.error;
  EXPECT_EQ(loaded.state.messageBoxes[0].text, "Drucker \xEF\xBF\xBD \xEF\xBF\xBD");
  EXPECT_EQ(loaded.state.registry[0].first, "HKEY_CURRENT_USER\\\xEF\xBF\xBD");
  EXPECT_EQ(loaded.state.registry[0].second[0].second, "\xEF\xBF\xBD");
}

// Empty or absent both mean "not set" to DefaultClientPath.
void SetVariable(const char* name, const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s(name, value ? value->c_str() : "");
#else
  if (value) setenv(name, value->c_str(), 1);
  else unsetenv(name);
#endif
}

TEST(DefaultClientPathTest, FollowsTheEnvironment) {
  const char* names[] = {"QUILLON_CLIENT", "XDG_DATA_HOME", "HOME"};
  std::vector<std::optional<std::string>> saved;
  for (const char* name : names) {
    const char* value = std::getenv(name);
    saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
  }
  struct Case {
    const char *client, *dataHome, *home;
    std::string expected;
  };
  const Case cases[] = {
      {"/x/c.json", "/data", "/home/u", "/x/c.json"},
      {"", "/data", "/home/u", JoinPath(JoinPath("/data", "quillon"), "client.json")},
      {"", "", "/home/u",
       JoinPath(JoinPath(JoinPath(JoinPath("/home/u", ".local"), "share"), "quillon"),
                "client.json")},
  };
  for (const Case& c : cases) {
    SetVariable("QUILLON_CLIENT", c.client);
    SetVariable("XDG_DATA_HOME", c.dataHome);
    SetVariable("HOME", c.home);
    EXPECT_EQ(DefaultClientPath(), c.expected) << c.client << "|" << c.dataHome;
  }
  for (std::size_t i = 0; i < saved.size(); ++i) {
    SetVariable(names[i], saved[i]);
  }
}

}  // namespace
}  // namespace quillon::platform::sim

namespace quillon::platform::sim {
namespace {

TEST(SimServerConditionsTest, AreReadCheckedAndKeptAcrossASave) {
  const char* const text = R"({
  "serverConditions": {
    "OLDSRV": {
      "reachable": false,
      "note": "switched off"
    },
    "FARSRV": {
      "latencyMs": 1500
    }
  }
}
)";
  LoadResult loaded = ParseClient(text, "client.json");
  ASSERT_TRUE(loaded.ok) << loaded.error;
  ASSERT_TRUE(loaded.state.serverConditions.has_value());
  const auto& conditions = *loaded.state.serverConditions;
  ASSERT_EQ(conditions.size(), 2u);
  EXPECT_EQ(conditions[0].first, "OLDSRV");
  EXPECT_EQ(conditions[0].second.reachable, std::optional<bool>(false));
  EXPECT_EQ(conditions[0].second.latencyMs, std::nullopt);
  EXPECT_EQ(conditions[0].second.extra, Json({{"note", "switched off"}}));
  EXPECT_EQ(conditions[1].second.reachable, std::nullopt);
  EXPECT_EQ(conditions[1].second.latencyMs, std::optional<std::uint32_t>(1500));
  // Absent members stay absent, unknown ones are kept.
  EXPECT_EQ(SerializeClient(loaded.state), text);
  EXPECT_EQ(SerializeClient(ParseClient("{}", "c").state), "{}\n");

  const std::pair<const char*, const char*> invalid[] = {
      {R"({"serverConditions": []})", R"("serverConditions" must be an object)"},
      {R"({"serverConditions": {"A": {"reachable": 0}}})",
       R"("serverConditions.A.reachable" must be true or false)"},
      {R"({"serverConditions": {"A": {"latencyMs": -5}}})",
       R"("serverConditions.A.latencyMs" must not be negative)"},
  };
  for (const auto& [bad, message] : invalid) {
    LoadResult refused = ParseClient(bad, "client.json");
    EXPECT_FALSE(refused.ok) << bad;
    EXPECT_NE(refused.error.find(message), std::string::npos) << refused.error;
  }
}

}  // namespace
}  // namespace quillon::platform::sim
