#pragma once
// A fresh directory for the running test, named after it and the process, so that test programs
// running at the same time (in parallel ctest or in several build trees) never share one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace velmora::testing {

inline std::filesystem::path ScratchDirectory(const std::string& prefix) {
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "-" + test->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  const auto dir =
      std::filesystem::temp_directory_path() / (prefix + std::to_string(::getpid()) + "-" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

}  // namespace velmora::testing
