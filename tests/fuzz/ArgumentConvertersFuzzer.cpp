// The fuzz input as one option text, given to both converters; whatever they accept must lie
// in the range the volume pipeline is promised, 0 to 2147483647.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <string>

#include "ArgumentConverters.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.rdbuf(nullptr);  // rejections print a line each
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);  // cut at its first NUL
  constexpr std::uint64_t kLargest = 2147483647;
  std::int64_t value = -1;
  std::uint64_t unsignedValue = kLargest + 1;
  const bool accepted = ParsePositiveArgument(text.c_str(), value) == 0;
  const bool unsignedAccepted = ParsePositiveArgument(text.c_str(), unsignedValue) == 0;
  std::int64_t index[2] = {-1, -1};
  std::uint64_t regionSize[2] = {0, 0};
  const bool region = ParseRegionArgument(text.c_str(), index, regionSize) == 0;
  if ((accepted ? value < 0 || static_cast<std::uint64_t>(value) > kLargest : value != -1) ||
      unsignedAccepted != accepted ||
      (accepted && unsignedValue != static_cast<std::uint64_t>(value)) ||
      (region && (index[0] < 0 || index[1] < 0 || index[0] > 2147483647 || index[1] > 2147483647 ||
                  regionSize[0] > kLargest || regionSize[1] > kLargest))) {
    __builtin_trap();
  }
  return 0;
}
