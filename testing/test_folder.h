// A folder name of the running test's own, under GoogleTest's temporary
// folder, so that runs and tests side by side never share files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>

namespace quillon {

inline std::filesystem::path TestFolder(std::string_view prefix) {
  const auto* test = ::testing::UnitTest::GetInstance();
  return std::filesystem::path(::testing::TempDir()) /
         (std::string(prefix) + std::to_string(test->random_seed()) +
          test->current_test_info()->name());
}

}  // namespace quillon
