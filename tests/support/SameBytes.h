// Byte-wise equality of two files' contents that reports the first difference instead of both buffers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace testing_support {

inline ::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t i = 0;
  while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
  auto byte = [](const std::string& s, size_t at) {
    return at < s.size() ? std::to_string(static_cast<uint8_t>(s[at])) : std::string("end");
  };
  char offset[32];
  std::snprintf(offset, sizeof offset, "0x%zX", i);
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at offset " << offset << ": " << byte(actual, i)
                                       << " instead of " << byte(expected, i);
}

}  // namespace testing_support
