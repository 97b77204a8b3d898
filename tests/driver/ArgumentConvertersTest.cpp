#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ArgumentConverters.h"

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
  EXPECT_EQ(ParsePositiveArgument(nullptr, value), 1);
  EXPECT_EQ(value, 2147483647u);
}

// The region converter is seen whole through the tool's output in the end-to-end tests.

}  // namespace
