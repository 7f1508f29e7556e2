// What the engine tests share around a run: the list's rows, a file's lines, the vector
// paths this processor has.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/FastFill.h"
#include "engine/PasswordGenerator.h"

// The list sink's rows, each ID checked to be its index in decimal.
struct Rows : PasswordRows {
  std::vector<std::string> passwords;
  void AddRow(int index, std::string_view id, std::string_view password) override {
    EXPECT_EQ(id, std::to_string(index));
    passwords.emplace_back(password);
  }
};

// A password file's lines, each ended by CR LF.
inline std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < file.size();) {
    const std::size_t end = file.find("\r\n", at);
    if (end == std::string::npos) {
      ADD_FAILURE() << "the file does not end with CR LF";
      break;
    }
    lines.push_back(file.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// Restores the widest path when a test ends.
struct PathLimit {
  explicit PathLimit(FillPath path) { LimitFillPath(path); }
  ~PathLimit() { LimitFillPath(FillPath::Avx512); }
};

// Every path this processor can run, narrowest first.
inline std::vector<FillPath> Paths() {
  std::vector<FillPath> paths;
  for (FillPath path : kFillPaths)
    if (LimitFillPath(path) == path) paths.push_back(path);
  LimitFillPath(FillPath::Avx512);
  return paths;
}
