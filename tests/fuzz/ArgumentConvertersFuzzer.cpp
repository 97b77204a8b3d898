// The fuzz input as one option text, given to both converters; whatever they accept must lie
// in the range the volume pipeline is promised, 0 to 2147483647.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "ArgumentConverters.h"

namespace {

constexpr std::uint64_t kLargest = 2147483647;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.rdbuf(nullptr);  // rejections print a line each
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // cut at its first NUL

  std::int64_t signedValue = -1;
  if (ParsePositiveArgument(text.c_str(), signedValue) == 0) {
    Require(signedValue >= 0 && static_cast<std::uint64_t>(signedValue) <= kLargest);
  } else {
    Require(signedValue == -1);
  }
  std::uint64_t unsignedValue = kLargest + 1;
  if (ParsePositiveArgument(text.c_str(), unsignedValue) == 0) {
    Require(unsignedValue <= kLargest);
    Require(unsignedValue == static_cast<std::uint64_t>(signedValue));
  }

  std::int64_t index[2] = {-1, -1};
  std::uint64_t regionSize[2] = {0, 0};
  if (ParseRegionArgument(text.c_str(), index, regionSize) == 0) {
    for (int i = 0; i < 2; ++i) {
      Require(index[i] >= 0 && static_cast<std::uint64_t>(index[i]) <= kLargest);
      Require(regionSize[i] <= kLargest);
    }
  }
  return 0;
}
