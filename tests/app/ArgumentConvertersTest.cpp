#include "ArgumentConverters.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

TEST(ParsePositiveArgument, AcceptsAndRejects) {
  struct Case {
    const char* text;
    bool accepted;
    std::int64_t value;
  };
  const Case cases[] = {
      {"0", true, 0},
      {"", true, 0},  // nothing converted, and the stop is also the end of the text
      {"7", true, 7},
      {"+7", true, 7},
      {"007", true, 7},
      {" 7", true, 7},
      {"\t\n\v\f\r 7", true, 7},
      {"-0", true, 0},
      {"2147483647", true, 2147483647},
      {"2147483648", true, 2147483647},
      {"3000000000", true, 2147483647},
      {"99999999999999999999999", true, 2147483647},
      {"-1", false, 0},
      {"-2147483649", false, 0},
      {"-99999999999999999999999", false, 0},
      {"12abc", false, 0},
      {"0x10", false, 0},
      {"5 ", false, 0},
      {"1.5", false, 0},
      {" ", false, 0},
      {"+", false, 0},
      {"-", false, 0},
      {"abc", false, 0},
  };
  for (const Case& c : cases) {
    std::int64_t value = -42;
    testing::internal::CaptureStdout();
    const int result = ParsePositiveArgument(c.text, value);
    const std::string output = testing::internal::GetCapturedStdout();
    if (c.accepted) {
      EXPECT_EQ(result, 0) << '"' << c.text << '"';
      EXPECT_EQ(value, c.value) << '"' << c.text << '"';
      EXPECT_EQ(output, "");
    } else {
      EXPECT_EQ(result, 1) << '"' << c.text << '"';
      EXPECT_EQ(value, -42) << '"' << c.text << '"';
      EXPECT_EQ(output, std::string("Invalid positive argument: ") + c.text + "\n");
    }
  }
}

TEST(ParsePositiveArgument, UnsignedDestinationAndNullText) {
  std::uint64_t value = 5;
  EXPECT_EQ(ParsePositiveArgument("4000000000", value), 0);
  EXPECT_EQ(value, 2147483647u);
  testing::internal::CaptureStdout();
  EXPECT_EQ(ParsePositiveArgument(nullptr, value), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(value, 2147483647u);
}

TEST(ParseRegionArgument, AcceptsAndRejects) {
  struct Case {
    const char* text;
    const char* output;  // empty when accepted
    std::int64_t x, y;
    std::uint64_t sx, sy;
  };
  const std::string wrongCount = "', must be a string of four numbers\n";
  const Case cases[] = {
      {"10 20 30 40", "", 10, 20, 30, 40},
      {"   1  2   3 4   ", "", 1, 2, 3, 4},
      {"0 0 2147483647 3000000000", "", 0, 0, 2147483647, 2147483647},
      {"1 2 3", "invalid region argument '1 2 3", 0, 0, 0, 0},
      {"1 2 3 4 5", "invalid region argument '1 2 3 4 5", 0, 0, 0, 0},
      {"1,2,3,4", "invalid region argument '1,2,3,4", 0, 0, 0, 0},
      {"", "invalid region argument '", 0, 0, 0, 0},
      {"1\t2 3 4", "invalid region argument '1\t2 3 4", 0, 0, 0, 0},
      {"1 2 3 x 5", "invalid region argument '1 2 3 x 5", 0, 0, 0, 0},
      {"1 2 -3 4", "Invalid positive argument: -3\n", 0, 0, 0, 0},
      {"a 2 3 4", "Invalid positive argument: a\n", 0, 0, 0, 0},
      {"1 2 3 4x", "Invalid positive argument: 4x\n", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::int64_t index[2] = {-1, -1};
    std::uint64_t size[2] = {9, 9};
    testing::internal::CaptureStdout();
    const int result = ParseRegionArgument(c.text, index, size);
    const std::string output = testing::internal::GetCapturedStdout();
    std::string expected = c.output;
    if (expected.rfind("invalid region", 0) == 0) expected += wrongCount;
    EXPECT_EQ(output, expected) << '"' << c.text << '"';
    EXPECT_EQ(result, expected.empty() ? 0 : 1) << '"' << c.text << '"';
    if (expected.empty()) {
      EXPECT_EQ(index[0], c.x);
      EXPECT_EQ(index[1], c.y);
      EXPECT_EQ(size[0], c.sx);
      EXPECT_EQ(size[1], c.sy);
    }
  }
}

}  // namespace
