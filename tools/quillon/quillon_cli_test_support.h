// What the tests of the quillon command share: running it on files in
// memory, a document with one value changed, and where a line is.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "document/profile_file.h"
#include "engine/core/engine_test_support.h"
#include "testing/memory_file_system.h"
#include "tools/quillon/quillon_cli.h"

namespace quillon::tools::cli_tests {

using engine::testing::CompleteDocument;

struct Output {
  int code;
  std::string out;
  std::string err;
};

inline Output Quillon(platform::FileSystem& files, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = RunQuillon(args, files, out, err);
  return {code, out.str(), err.str()};
}

// The document with `key` of `section` set to `value` (added when missing).
inline std::string With(std::string text, const char* section, const char* key, const std::string& value) {
  document::ProfileFile file = document::ProfileFile::Parse(text);
  file.SetValue(section, key, value);
  return file.Serialize();
}

// The 1-based number of the first line that is exactly `line`, counted here
// on its own, apart from the profile file's counting.
inline std::size_t LineNumber(const std::string& text, const std::string& line, std::size_t after = 0) {
  std::istringstream lines(text);
  std::string current;
  for (std::size_t number = 1; std::getline(lines, current); ++number) {
    if (!current.empty() && current.back() == '\r') current.pop_back();
    if (number > after && current == line) return number;
  }
  return 0;
}

inline std::vector<Finding> Check(const std::string& text) {
  platform::MemoryFileSystem files;
  return CheckDocumentText(text, files);
}

}  // namespace quillon::tools::cli_tests
