// The report's page as a browser shows it: headless Chromium opens the page
// inside a probe page of the test's own, which reads the chart, clicks the
// table's headers and reads the rows back, and lists what the page fetched.
// Every request that would leave the machine goes to a proxy of the test's
// own, which counts them; a page that fetches something shows that the count
// works.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <thread>

#include "engine/core/debug_log.h"
#include "platform/host/host_file_system.h"
#include "testing/test_browser.h"
#include "testing/test_process.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools {
namespace {

namespace fs = std::filesystem;
using platform::test_process::FileUrl;
using platform::test_process::ProbeResult;
using platform::test_process::RunProbe;
using platform::test_process::StrictHtmlErrors;

// Takes every connection on a loopback port, keeps its first line (the
// request a browser sends its proxy) and closes it at once, so a page that
// waits for it fails fast instead of hanging.
class CountingProxy {
 public:
  CountingProxy() {
    socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (socket_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(socket_, 16) != 0 ||
        ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~CountingProxy() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (socket_ >= 0) ::close(socket_);
  }
  int port() const { return port_; }
  std::vector<std::string> Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.clear();
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd listening{socket_, POLLIN, 0};
      if (::poll(&listening, 1, 50) <= 0) continue;
      const int connection = ::accept(socket_, nullptr, nullptr);
      if (connection < 0) continue;
      std::string first;
      pollfd readable{connection, POLLIN, 0};
      char buffer[1024];
      if (::poll(&readable, 1, 500) > 0) {
        const ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got > 0) first.assign(buffer, static_cast<std::size_t>(got));
      }
      ::close(connection);
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(first.substr(0, first.find("\r\n")));
    }
  }

  int socket_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::vector<std::string> requests_;
};

constexpr const char* kBrowsersOwn = "accounts.google.com;update.googleapis.com;clients2.google.com";

// Reads the framed page once it has loaded: each chart day with its total and
// bars, the users' first two columns before and after clicks on the headers,
// and the resources the page fetched.
constexpr const char* kProbe = R"(<html><body><pre id="result"></pre>
<iframe id="page" src="PAGE" width="1200" height="900"></iframe>
<script>
const frame = document.getElementById('page');
frame.onload = () => {
  const doc = frame.contentDocument;
  const out = [];
  const days = doc.querySelectorAll('#chart g.day');
  out.push('days ' + Array.from(days, g =>
      g.dataset.day + '=' + g.dataset.total + '/' + g.querySelectorAll('rect.bar').length).join(' '));
  const users = () => Array.from(doc.querySelectorAll('#users tbody tr'),
      row => row.cells[0].textContent + ':' + row.cells[1].textContent).join(' ');
  const click = name => {
    for (const header of doc.querySelectorAll('#users thead th')) {
      if (header.textContent === name) header.querySelector('button').click();
    }
  };
  out.push('first ' + users());
  click('User');
  out.push('user ' + users());
  click('User');
  out.push('user again ' + users());
  click('Runs');
  out.push('runs ' + users());
  click('Last run');
  out.push('last run ' + users());
  const sorted = doc.querySelector('#users th[aria-sort]');
  out.push('sorted ' + (sorted ? sorted.textContent + ' ' + sorted.getAttribute('aria-sort') : 'none'));
  out.push('title ' + doc.title);
  const fetched = frame.contentWindow.performance.getEntriesByType('resource');
  out.push('fetched ' + fetched.length + Array.from(fetched, entry => ' ' + entry.name).join(''));
  document.getElementById('result').textContent = out.join('\n');
};
</script></body></html>
)";

std::string ReportText(const std::string& day, const std::string& computer, const std::string& user,
                   bool failed) {
  return "\r\n\r\nReport At: " + day + "\r\n\r\n\r\n* ----- Computer: " + computer +
         " Username: " + user + " Printers ----- *\r\n\\\\OLDSRV\\HP4 (\\\\OLDSRV)\r\n\r\n"
         "Migrating: \\\\OLDSRV\\HP4 to \\\\NEWSRV\\HP4\r\n" +
         (failed ? "Error (3019) populating network printer: \\\\NEWSRV\\HP4\r\n"
                 : "Populated networked printer: \\\\NEWSRV\\HP4\r\nDeleted networked printer: \\\\OLDSRV\\HP4\r\n");
}

class ReportPageBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(QUILLON_CHROMIUM)) {
      if (std::getenv("CI")) FAIL() << "chromium is missing (scripts/setup installs it)";
      GTEST_SKIP() << "chromium is not installed";
    }
    root_ = fs::path(::testing::TempDir()) /
            ("report-browser-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "share" / "reports");
    ASSERT_GT(proxy_.port(), 0);
  }
  void TearDown() override { fs::remove_all(root_); }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(root_ / "share" / "reports" / name, std::ios::binary) << bytes;
  }

  // The probe's result lines for a page, every request through the proxy.
  std::vector<std::string> Probe(const fs::path& page, const char* script = kProbe) {
    const fs::path probe = root_ / "probe.html";
    std::string html = script;
    html.replace(html.find("PAGE"), 4, FileUrl(page));
    std::ofstream(probe, std::ios::binary) << html;
    const std::string proxy = "--proxy-server=http://127.0.0.1:" + std::to_string(proxy_.port());
    const ProbeResult result = RunProbe(
        QUILLON_CHROMIUM, root_ / "profile",
        {proxy,
         // Loopback too goes through the proxy. The browser's own calls home
         // (sign-in, updates, network time), which no switch stops in
         // headless Chromium, go nowhere instead.
         "--proxy-bypass-list=<-loopback>;" + std::string(kBrowsersOwn),
         "--host-resolver-rules=MAP accounts.google.com ~NOTFOUND, MAP update.googleapis.com "
         "~NOTFOUND, MAP clients2.google.com ~NOTFOUND",
         "--disable-background-networking", "--disable-component-update", "--no-first-run",
         "--disable-sync", "--disable-features=NetworkTimeServiceQuerying"},
        probe, root_ / "dom.txt");
    EXPECT_EQ(result.exitStatus, 0);
    if (!result.lines) ADD_FAILURE() << result.dom.substr(0, 3000);
    return result.lines.value_or(std::vector<std::string>{});
  }

  fs::path root_;
  CountingProxy proxy_;
};

TEST_F(ReportPageBrowserTest, ChartsEachDaySortsByAnyColumnAndFetchesNothing) {
  // Three days with runs and two without between them, and a run whose date
  // no one can read.
  Write("PC1_ann_SUCCESS_moves.txt", ReportText("12/1/2026 9:00:00 AM", "PC1", "ann", false) +
                                         ReportText("12/5/2026 9:00:00 AM", "PC1", "ann", false) +
                                         ReportText("12/5/2026 10:00:00 AM", "PC1", "ann", false));
  Write("PC2_bob_SUCCESS_moves.txt", ReportText("12/2/2026 8:00:00 AM", "PC2", "bob", true) +
                                         ReportText("12/5/2026 8:00:00 AM", "PC2", "bob", true));
  Write("PC3_cy_SUCCESS_moves.txt", ReportText("at some time", "PC3", "cy", false));
  Write("PC4_dee_SUCCESS_moves.txt", ReportText("12/2/2026 7:00:00 AM", "PC4", "dee", false) +
                                         ReportText("12/1/2026 7:00:00 AM", "PC4", "dee", false) +
                                         ReportText("12/2/2026 7:30:00 AM", "PC4", "dee", false) +
                                         ReportText("12/2/2026 7:45:00 AM", "PC4", "dee", false));
  const fs::path page = root_ / "report page.html";
  platform::HostFileSystem files;
  std::ostringstream out, err;
  ASSERT_EQ(tools::Report({"--html", page.string(), (root_ / "share").string()}, files, {}, out, err), 1)
      << err.str();

  // First a page that fetches from elsewhere, a picture and a web font's
  // style sheet: the probe and the proxy see both.
  const fs::path fetching = root_ / "fetching.html";
  std::ofstream(fetching, std::ios::binary)
      << "<html><head><link rel=\"stylesheet\" href=\"https://fonts.googleapis.com/css?family=Roboto\">"
         "</head><body><img src=\"http://printers.example/logo.png\"></body></html>";
  proxy_.Clear();
  const std::vector<std::string> control = Probe(fetching);
  ASSERT_FALSE(control.empty());
  EXPECT_EQ(control.back().rfind("fetched 2 ", 0), 0u) << control.back();
  std::string asked;
  for (const std::string& request : proxy_.Requests()) asked += request + "\n";
  EXPECT_NE(asked.find("http://printers.example/logo.png"), std::string::npos) << asked;
  EXPECT_NE(asked.find("CONNECT fonts.googleapis.com:443"), std::string::npos) << asked;

  proxy_.Clear();
  const std::vector<std::string> lines = Probe(page);
  ASSERT_EQ(lines.size(), 9u);
  // One slot per day from the first to the last, the empty ones too, then the
  // unknown day; a bar per outcome a day has.
  EXPECT_EQ(lines[0],
            "days 2026-12-01=2/1 2026-12-02=4/2 2026-12-03=0/0 2026-12-04=0/0 2026-12-05=3/2 unknown=1/1");
  // Failed last runs first, then by computer; then by what is clicked.
  EXPECT_EQ(lines[1], "first PC2:bob PC1:ann PC3:cy PC4:dee");
  EXPECT_EQ(lines[2], "user PC1:ann PC2:bob PC3:cy PC4:dee");
  EXPECT_EQ(lines[3], "user again PC4:dee PC3:cy PC2:bob PC1:ann");
  EXPECT_EQ(lines[4], "runs PC3:cy PC2:bob PC1:ann PC4:dee");
  EXPECT_EQ(lines[5], "last run PC3:cy PC4:dee PC2:bob PC1:ann");
  EXPECT_EQ(lines[6], "sorted Last run ascending");
  EXPECT_EQ(lines[7].rfind("title Quillon report: ", 0), 0u) << lines[7];
  EXPECT_EQ(lines[8], "fetched 0");
  EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{}) << "nothing left the page";

  // A script that an escaping fault let into the page does not run; the
  // page's own still sorts.
  std::string html;
  {
    std::ifstream file(page, std::ios::binary);
    html.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  const std::size_t body = html.find("<main>");
  ASSERT_NE(body, std::string::npos);
  html.insert(body, "<script>document.title='pwned'</script><img src=x onerror=\"document.title='pwned'\">");
  const fs::path injected = root_ / "injected.html";
  std::ofstream(injected, std::ios::binary) << html;
  const std::vector<std::string> attacked = Probe(injected);
  ASSERT_EQ(attacked.size(), 9u);
  EXPECT_EQ(attacked[7].rfind("title Quillon report: ", 0), 0u) << attacked[7];
  EXPECT_EQ(attacked[2], "user PC1:ann PC2:bob PC3:cy PC4:dee");
}

// The not-targeted table's rows, as shown and sorted by a click on its count.
constexpr const char* kNotTargetedProbe = R"(<html><body><pre id="result"></pre>
<iframe id="page" src="PAGE" width="1200" height="900"></iframe>
<script>
const frame = document.getElementById('page');
frame.onload = () => {
  const doc = frame.contentDocument;
  const rows = () => Array.from(doc.querySelectorAll('#not-targeted tbody tr'),
      row => row.cells[0].textContent + '=' + row.cells[1].textContent).join(' ');
  const out = ['reasons ' + rows()];
  doc.querySelectorAll('#not-targeted thead th button')[1].click();
  out.push('by count ' + rows());
  out.push('title ' + doc.title);
  document.getElementById('result').textContent = out.join('\n');
};
</script></body></html>
)";

TEST_F(ReportPageBrowserTest, NotTargetedComputersByReasonParseStrictlyAndSort) {
  Write("PC1_ann_SUCCESS_moves.txt", ReportText("12/1/2026 9:00:00 AM", "PC1", "ann", false));
  const auto notTargeted = [this](const std::string& computer, const std::string& reason) {
    std::ofstream(root_ / "share" / (computer + ".debug"), std::ios::binary)
        << engine::ScrambleDebugText("*****     BEGIN DEBUG     *****\r\n>> Not targeted: " + reason + "\r\n");
  };
  notTargeted("PC2", "computer PC2 is outside the 10% roll-out");
  notTargeted("PC3", "computer PC3 is outside the 10% roll-out");
  notTargeted("PC4", "user <img src=x onerror=\"document.title='pwned'\"> is in none of the groups IT");
  const fs::path page = root_ / "report page.html";
  platform::HostFileSystem files;
  std::ostringstream out, err;
  ASSERT_EQ(tools::Report({"--html", page.string(), (root_ / "share").string()}, files, {}, out, err), 0)
      << err.str();

  // A strict HTML5 parser (html5lib, as browsers parse) finds no error.
  EXPECT_EQ(StrictHtmlErrors(page, root_ / "html5lib.txt"), "");

  const std::vector<std::string> lines = Probe(page, kNotTargetedProbe);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "reasons outside the roll-out=2 user groups=1");
  EXPECT_EQ(lines[1], "by count user groups=1 outside the roll-out=2");
  EXPECT_EQ(lines[2].rfind("title Quillon report: ", 0), 0u) << lines[2];
  EXPECT_EQ(proxy_.Requests(), std::vector<std::string>{});
}

}  // namespace
}  // namespace quillon::tools
