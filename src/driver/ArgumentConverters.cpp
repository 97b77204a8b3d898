#include "ArgumentConverters.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

// The tool's numbers were defined on a platform whose long has 32 bits; the conversion clamps
// to that range so that the accepted values stay 0 to 2147483647 where long is wider.
bool ConvertInt32(const char* text, std::int64_t& result) {
  char* end = nullptr;
  const long converted = std::strtol(text, &end, 10);
  if (*end != '\0') return false;
  if (converted > INT32_MAX) {
    result = INT32_MAX;
  } else if (converted < INT32_MIN) {
    result = INT32_MIN;
  } else {
    result = converted;
  }
  return true;
}

template <typename Integer>
int ParseNonNegative(const char* text, Integer& value) {
  if (text == nullptr) return 1;
  std::int64_t result;
  if (!ConvertInt32(text, result) || result < 0) {
    std::cout << "Invalid positive argument: " << text << std::endl;
    return 1;
  }
  value = static_cast<Integer>(result);
  return 0;
}

}  // namespace

int ParsePositiveArgument(const char* text, std::int64_t& value) {
  return ParseNonNegative(text, value);
}

int ParsePositiveArgument(const char* text, std::uint64_t& value) {
  return ParseNonNegative(text, value);
}

int ParseRegionArgument(const char* text, std::array<std::int64_t, 2>& index,
                        std::array<std::uint64_t, 2>& size) {
  // strtok writes into the text it splits, so it works on a private copy.
  std::string copy(text);
  std::vector<const char*> tokens;
  for (char* token = std::strtok(&copy[0], " "); token != nullptr;
       token = std::strtok(nullptr, " ")) {
    tokens.push_back(token);
  }
  if (tokens.size() != 4) {
    std::cout << "invalid region argument '" << text << "', must be a string of four numbers\n";
    return 1;
  }
  if (ParsePositiveArgument(tokens[0], index[0]) != 0) return 1;
  if (ParsePositiveArgument(tokens[1], index[1]) != 0) return 1;
  if (ParsePositiveArgument(tokens[2], size[0]) != 0) return 1;
  if (ParsePositiveArgument(tokens[3], size[1]) != 0) return 1;
  return 0;
}
