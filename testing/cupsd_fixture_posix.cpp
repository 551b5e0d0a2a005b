// CupsdFixture: cupsd in the foreground (-f) from a generated configuration, as
// a child that the kernel kills when the test process dies. Every folder the
// scheduler writes lies in the fixture's own; programs and data come from the
// installed CUPS.
#include "testing/cupsd_fixture.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "testing/test_process.h"

namespace quillon::platform::cups_test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kCupsd = "/usr/sbin/cupsd";
constexpr const char* kLpadmin = "/usr/sbin/lpadmin";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string Tail(std::string text) {
  constexpr std::size_t kKeep = 1500;
  if (text.size() > kKeep) text = "..." + text.substr(text.size() - kKeep);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

CupsdFixture::CupsdFixture() {
  if (access(kCupsd, X_OK) != 0 || access(kLpadmin, X_OK) != 0) {
    failure_ = std::string(kCupsd) + " or " + kLpadmin +
               " is not installed (scripts/setup installs cups-daemon and cups-client)";
    return;
  }
  if (Prepare()) Launch();
}

CupsdFixture::~CupsdFixture() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    test_process::WaitFor(pid_, std::chrono::seconds(5));  // killed outright after that
  }
  if (!folder_.empty()) {
    std::error_code error;
    fs::remove_all(folder_, error);
  }
}

bool CupsdFixture::Prepare() {
  std::error_code error;
  std::string pattern = (fs::temp_directory_path(error) / "quillon-cupsd-XXXXXX").string();
  if (error || !mkdtemp(pattern.data())) {
    failure_ = "cannot create a temporary folder for cupsd";
    return false;
  }
  folder_ = pattern;
  const fs::path folder(folder_);
  for (const char* sub : {"state", "cache", "spool", "spool/tmp", "log"}) {
    fs::create_directories(folder / sub, error);
  }
  // The scheduler's helpers run as the unprivileged "lp" when it runs as root.
  fs::permissions(folder, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                  error);
  return true;
}

bool CupsdFixture::Launch() {
  const fs::path folder(folder_);
  const std::string files = "ServerRoot " + folder_ + "\n" +
                            "StateDir " + (folder / "state").string() + "\n" +
                            "CacheDir " + (folder / "cache").string() + "\n" +
                            "RequestRoot " + (folder / "spool").string() + "\n" +
                            "TempDir " + (folder / "spool/tmp").string() + "\n" +
                            "AccessLog " + (folder / "log/access_log").string() + "\n" +
                            "ErrorLog " + (folder / "log/error_log").string() + "\n" +
                            "PageLog " + (folder / "log/page_log").string() + "\n" +
                            "ServerBin /usr/lib/cups\n"
                            "DataDir /usr/share/cups\n"
                            "FileDevice Yes\n"
                            "Printcap " + (folder / "printcap").string() + "\n";
  WriteFile("cups-files.conf", files);
  // The free port may be taken between choosing and listening: try a few.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const int port = test_process::UnusedLoopbackPort();
    if (port <= 0) {
      failure_ = "no free loopback port";
      return false;
    }
    // Anyone may do anything: the tests add queues without logging in.
    WriteFile("cupsd.conf", "Listen 127.0.0.1:" + std::to_string(port) + "\n" +
                                "Browsing No\n"
                                "DefaultAuthType None\n"
                                "WebInterface No\n"
                                "LogLevel warn\n"
                                "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                                "<Policy default>\n  <Limit All>\n    Order deny,allow\n"
                                "  </Limit>\n</Policy>\n");
    const fs::path log = folder / "cupsd.out";
    const pid_t pid = test_process::Spawn({kCupsd, "-f", "-c", (folder / "cupsd.conf").string(),
                                           "-s", (folder / "cups-files.conf").string()},
                                          log.string());
    if (pid < 0) {
      failure_ = "cannot start cupsd";
      return false;
    }
    const auto started =
        test_process::WaitUntilListening(pid, port, std::chrono::seconds(10));
    if (started == test_process::StartOutcome::kListening) {
      pid_ = pid;
      port_ = port;
      failure_.clear();
      return true;
    }
    const std::string why = Tail(ReadAll(log) + ReadAll(folder / "log/error_log"));
    if (started == test_process::StartOutcome::kSilent) {
      failure_ = "cupsd did not answer within 10 s: " + why;
      return false;
    }
    failure_ = "cupsd stopped at start: " + why;
  }
  return false;
}

std::string CupsdFixture::WriteFile(const std::string& name, const std::string& text) {
  const fs::path path = fs::path(folder_) / name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return path.string();
}

bool CupsdFixture::Lpadmin(const std::vector<std::string>& arguments, std::string* output) {
  std::vector<std::string> argv{kLpadmin, "-h", Server()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const fs::path log = fs::path(folder_) / "lpadmin.out";
  std::error_code ignored;
  fs::remove(log, ignored);  // the log is appended to: each call's output alone
  const pid_t pid = test_process::Spawn(argv, log.string());
  const int status = pid < 0 ? -1 : test_process::WaitFor(pid, std::chrono::seconds(30));
  if (output) *output = Tail(ReadAll(log));
  return status == 0;
}

}  // namespace quillon::platform::cups_test
