#include "testing/test_browser.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>

#include "testing/test_process.h"

namespace quillon::platform::test_process {

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string Unescaped(std::string text) {
  for (const auto& [entity, plain] :
       {std::pair{"&quot;", "\""}, {"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
    for (std::size_t at = text.find(entity); at != std::string::npos;
         at = text.find(entity, at + 1)) {
      text.replace(at, std::string(entity).size(), plain);
    }
  }
  return text;
}

}  // namespace

std::string StrictHtmlErrors(const std::filesystem::path& page, const std::filesystem::path& log) {
  const int status = WaitFor(Spawn({"/usr/bin/python3", "-c",
                                    "import sys, html5lib\n"
                                    "try:\n"
                                    "    html5lib.HTMLParser(strict=True).parse(open(sys.argv[1], 'rb'))\n"
                                    "except html5lib.html5parser.ParseError as error:\n"
                                    "    print(error); sys.exit(1)\n",
                                    page.string()},
                                   log.string()),
                             std::chrono::seconds(60));
  if (status == 0) return {};
  std::ifstream text(log);
  const std::string said{std::istreambuf_iterator<char>(text), {}};
  return said.empty() ? "the parser ended with status " + std::to_string(status) : said;
}

std::string FileUrl(const std::filesystem::path& path) {
  std::string url = "file://";
  for (char c : path.string()) url += c == ' ' ? std::string("%20") : std::string(1, c);
  return url;
}

ProbeResult RunProbe(const std::string& chromium, const std::filesystem::path& profile,
                     const std::vector<std::string>& arguments,
                     const std::filesystem::path& probe, const std::filesystem::path& log) {
  std::vector<std::string> argv = {chromium, "--headless", "--no-sandbox", "--disable-gpu",
                                   "--user-data-dir=" + profile.string()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  for (const char* option : {"--allow-file-access-from-files", "--virtual-time-budget=5000",
                             "--dump-dom"}) {
    argv.push_back(option);
  }
  argv.push_back(FileUrl(probe));
  std::filesystem::remove(log);
  ProbeResult result;
  result.exitStatus = WaitFor(Spawn(argv, log.string()), std::chrono::seconds(60));
  result.dom = ReadAll(log);
  const std::string open = "<pre id=\"result\">";
  const std::size_t start = result.dom.find(open);
  const std::size_t end = result.dom.find("</pre>", start);
  if (start == std::string::npos || end == std::string::npos) return result;
  std::istringstream text(
      Unescaped(result.dom.substr(start + open.size(), end - start - open.size())));
  result.lines.emplace();
  for (std::string line; std::getline(text, line);) result.lines->push_back(line);
  return result;
}

}  // namespace quillon::platform::test_process
