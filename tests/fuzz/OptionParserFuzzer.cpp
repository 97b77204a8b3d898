// Argument vectors cut from the fuzz input at NUL bytes, scanned by a parser with the tool's
// declarations plus enough more to make its tables grow; then every lookup.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "OptionParser.h"

namespace {

constexpr std::size_t kMostArguments = 64;

const std::vector<std::string>& ExtraNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> list;
    for (int i = 0; i < 24; ++i) list.push_back("extra" + std::to_string(i));
    return list;
  }();
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.rdbuf(nullptr);  // the usage text and the parser's notes are not wanted here
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments = {"slice2vol"};
  std::string current;
  for (std::size_t i = 0; i < size && arguments.size() < kMostArguments; ++i) {
    if (data[i] == '\0') {
      arguments.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (arguments.size() < kMostArguments) arguments.push_back(current);
  std::vector<const char*> vector;
  for (const std::string& argument : arguments) vector.push_back(argument.c_str());
  vector.push_back(nullptr);

  OptionParser parser;
  parser.AddUsageLine("Usage: slice2vol options");
  parser.DeclareFlag("help", 'h');
  parser.DeclareValueOption("region", 'r');
  parser.DeclareValueOption("depth", 'd');
  parser.DeclareValueOption("input2d");
  parser.DeclareValueOption("output");
  for (std::size_t i = 0; i < ExtraNames().size(); ++i) {
    const char character = static_cast<char>('a' + i);
    if (i % 2 == 0) {
      parser.DeclareFlag(ExtraNames()[i].c_str(), character);
    } else {
      parser.DeclareValueOption(ExtraNames()[i].c_str(), character);
    }
  }
  parser.ScanArguments(static_cast<int>(arguments.size()), vector.data());

  std::size_t total = 0;
  for (const char* name : {"help", "region", "depth", "input2d", "output", "absent"}) {
    if (const char* value = parser.FindValue(name)) total += std::strlen(value);
    parser.IsFlagSet(name);
  }
  for (const std::string& name : ExtraNames()) {
    if (const char* value = parser.FindValue(name.c_str())) total += std::strlen(value);
  }
  for (char character : {'h', 'r', 'd', 'a', 'z', '-'}) parser.IsFlagSet(character);
  if (parser.HasParsedOptions() != (arguments.size() > 1)) __builtin_trap();
  parser.WriteUsage();
  return total == static_cast<std::size_t>(-1);
}
