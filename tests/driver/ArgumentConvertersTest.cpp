#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "ArgumentConverters.h"

namespace {

constexpr std::int64_t kRejected = -42;

// kRejected: rejected with its message, the destination untouched.
TEST(ParsePositiveArgument, AcceptsAndRejects) {
  const std::pair<const char*, std::int64_t> cases[] = {
      {"0", 0},
      {"", 0},  // nothing converted, and the stop is also the end of the text
      {"+7", 7},
      {"007", 7},
      {"\t\n\v\f\r 7", 7},
      {"-0", 0},
      {"2147483647", 2147483647},
      {"2147483648", 2147483647},
      {"99999999999999999999999", 2147483647},
      {"-1", kRejected},
      {"-2147483649", kRejected},
      {"-99999999999999999999999", kRejected},
      {"12abc", kRejected},
      {"0x10", kRejected},
      {"5 ", kRejected},
      {"1.5", kRejected},
      {" ", kRejected},
      {"+", kRejected},
  };
  for (const auto& [text, expected] : cases) {
    std::int64_t value = kRejected;
    testing::internal::CaptureStdout();
    const int result = ParsePositiveArgument(text, value);
    const std::string rejection =
        expected == kRejected ? std::string("Invalid positive argument: ") + text + "\n" : "";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), rejection) << '"' << text << '"';
    EXPECT_EQ(result, expected == kRejected ? 1 : 0) << '"' << text << '"';
    EXPECT_EQ(value, expected) << '"' << text << '"';
  }
  std::uint64_t value = 5;
  EXPECT_EQ(ParsePositiveArgument("4000000000", value), 0);
  EXPECT_EQ(value, 2147483647u);
  EXPECT_EQ(ParsePositiveArgument(nullptr, value), 1);
  EXPECT_EQ(value, 2147483647u);
}

// The region converter is seen whole through the tool's output in the end-to-end tests.

}  // namespace
