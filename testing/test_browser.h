// Headless Chromium for the tests of generated pages: a probe page of the
// test's own loads the page under test, and its script writes what it found,
// one finding per line, into <pre id="result">, which the DOM dump returns.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quillon::platform::test_process {

// A local file as a file: URL (spaces escaped).
std::string FileUrl(const std::filesystem::path& path);

struct ProbeResult {
  int exitStatus = -1;
  // The result element's lines, entities undone; nullopt when the dump has none.
  std::optional<std::vector<std::string>> lines;
  std::string dom;  // the whole dump, for a failure's message
};

// What a strict HTML5 parser (html5lib, as browsers parse) finds wrong in
// `page`: empty when nothing. Its output goes to `log`.
std::string StrictHtmlErrors(const std::filesystem::path& page, const std::filesystem::path& log);

// Opens `probe` with --dump-dom (file access between local pages allowed, five
// seconds of virtual time); `arguments` go before it. The browser's output is
// appended to `log`; `profile` is its throw-away user data folder.
ProbeResult RunProbe(const std::string& chromium, const std::filesystem::path& profile,
                     const std::vector<std::string>& arguments,
                     const std::filesystem::path& probe, const std::filesystem::path& log);

}  // namespace quillon::platform::test_process
