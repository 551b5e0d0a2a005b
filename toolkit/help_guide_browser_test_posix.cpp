// The built guide as a browser shows it: headless Chromium opens the page
// each help context's Help opens, in a frame of a probe page of the test's
// own, follows it on to the guide and says where it landed and what is in view.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "testing/test_browser.h"
#include "testing/test_process.h"
#include "toolkit/help_guide.h"

namespace quillon::toolkit {
namespace {

namespace fs = std::filesystem;
using platform::test_process::FileUrl;
using platform::test_process::ProbeResult;
using platform::test_process::RunProbe;
using platform::test_process::StrictHtmlErrors;

// One frame, 300 pixels high, per opened page; once every frame has landed on
// the guide each says: its context, the page it shows with the fragment, how
// far it is scrolled, and the top of the fragment's element in the frame's
// view with the text of the heading there (the element's own or, for an
// anchor, that of the next heading), "none" where the id is not in the page.
constexpr const char* kProbe = R"(<html><body><pre id="result"></pre>
<script>
const pages = [PAGES];
const found = new Map();
for (const [context, url] of pages) {
  const frame = document.createElement('iframe');
  frame.style.width = '800px';
  frame.style.height = '300px';
  frame.onload = () => {
    const win = frame.contentWindow;
    if (!win.location.hash) return;  // the section's page, before its refresh
    const doc = frame.contentDocument;
    const target = doc.getElementById(decodeURIComponent(win.location.hash.slice(1)));
    let line = context + ' ' + win.location.pathname.split('/').pop() + win.location.hash +
               ' ' + Math.round(win.scrollY);
    if (!target) {
      line += ' none';
    } else {
      let heading = target;
      while (heading && !/^H[1-6]$/.test(heading.tagName)) {
        heading = heading.nextElementSibling || heading.parentElement.nextElementSibling;
      }
      line += ' ' + Math.round(target.getBoundingClientRect().top) + ' ' +
              JSON.stringify(heading ? heading.textContent : '');
    }
    found.set(context, line);
    if (found.size === pages.length) {
      document.getElementById('result').textContent =
          pages.map(([c]) => found.get(c)).join('\n');
    }
  };
  frame.src = url;
  document.body.appendChild(frame);
}
</script></body></html>
)";

TEST(GuideBrowserTest, EveryHelpContextLandsOnItsSectionInView) {
  if (!fs::exists(QUILLON_CHROMIUM)) {
    if (std::getenv("CI")) FAIL() << "chromium is missing (scripts/setup installs it)";
    GTEST_SKIP() << "chromium is not installed";
  }
  const fs::path root = fs::path(::testing::TempDir()) /
                        ("guide-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(root);
  // A program folder with a space, as "Program Files" has.
  const fs::path program = root / "Quillon Toolkit";
  fs::create_directories(program);
  fs::copy(QUILLON_GUIDE_DIR, program / kGuideFolderName, fs::copy_options::recursive);

  // The heading each context's section begins (or, for an anchor, is followed by).
  const std::map<int, std::string> headings = {
      {1081, "Starting"},
      {1036, "General"},
      {1013, "General"},
      {1014, "Targeting"},
      {1004, "Active Directory"},
      {1027, "Manual Configuration"},
      {1042, "Servers"},
      {1039, "Printers"},
      {1035, "Mixed"},
      {1038, "Notification"},
      {1008, "SMTP Mail"},
      {1012, "File Output"},
      {1040, "Client Pop-Up"},
      {1010, "Application Event Log"},
      {1006, "Deployment"},
      {1019, "Deployment General"},
      {1080, "Deployment General"},
      {1028, "MDAC"},
      {2090, "Maintenance"},
      {2100, "Populate"},
      {2010, "Prune"},
      {2020, "Set Default"},
      {2030, "Drivers"},
      {1045, "Support"}};
  ASSERT_EQ(GuideContexts().size(), headings.size());

  std::string pages;
  for (const int context : GuideContexts()) {
    pages += "[" + std::to_string(context) + ", '" + FileUrl(GuidePage(program.string(), context)) +
             "'],";
  }
  std::string html = kProbe;
  html.replace(html.find("PAGES"), 5, pages);
  const fs::path probe = root / "probe.html";
  std::ofstream(probe, std::ios::binary) << html;
  const ProbeResult result = RunProbe(QUILLON_CHROMIUM, root / "profile", {}, probe, root / "dom.txt");
  EXPECT_EQ(result.exitStatus, 0);
  ASSERT_TRUE(result.lines) << result.dom.substr(0, 3000);
  ASSERT_EQ(result.lines->size(), headings.size()) << result.dom.substr(0, 3000);

  for (const std::string& line : *result.lines) {
    std::istringstream fields(line);
    int context = 0, scrolled = -1, top = -1;
    std::string shown;
    fields >> context >> shown >> scrolled >> top;
    std::string heading;
    std::getline(fields >> std::ws, heading);
    SCOPED_TRACE(line);
    ASSERT_TRUE(headings.count(context));
    EXPECT_EQ(shown, "index.html#" + GuideSection(context));
    EXPECT_EQ(heading, "\"" + headings.at(context) + "\"");
    // Scrolled to the section, which stands in the frame's view.
    EXPECT_GT(scrolled, 0);
    EXPECT_GE(top, 0);
    EXPECT_LT(top, 300);
  }

  // The pages are sound HTML, as a strict HTML5 parser (as browsers parse) reads them.
  for (const fs::path& page : {program / kGuideFolderName / "index.html",
                               fs::path(GuidePage(program.string(), 1042))}) {
    EXPECT_EQ(StrictHtmlErrors(page, root / "html5lib.txt"), "") << page;
  }
  fs::remove_all(root);
}

}  // namespace
}  // namespace quillon::toolkit
