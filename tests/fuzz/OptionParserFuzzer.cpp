// Argument vectors cut from the fuzz input at NUL bytes, scanned by a parser with the tool's
// declarations plus enough more to make its tables grow; then every lookup.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "OptionParser.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::cout.rdbuf(nullptr);  // the usage text and the parser's notes are not wanted here
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments = {"slice2vol", ""};
  for (std::size_t i = 0; i < size && arguments.size() < 64; ++i) {
    if (data[i] == '\0') {
      arguments.emplace_back();
    } else {
      arguments.back().push_back(static_cast<char>(data[i]));
    }
  }
  std::vector<const char*> vector;
  for (const std::string& argument : arguments) vector.push_back(argument.c_str());
  vector.push_back(nullptr);

  std::vector<std::string> names = {"help", "region", "depth", "input2d", "output", "absent"};
  for (int i = 0; i < 24; ++i) names.push_back("extra" + std::to_string(i));
  OptionParser parser;
  parser.AddUsageLine("Usage: slice2vol options");
  parser.DeclareFlag("help", 'h');
  parser.DeclareValueOption("region", 'r');
  parser.DeclareValueOption("depth", 'd');
  parser.DeclareValueOption("input2d");
  parser.DeclareValueOption("output");
  for (int i = 0; i < 24; ++i) {
    if (i % 2 == 0) {
      parser.DeclareFlag(names[6 + i].c_str(), static_cast<char>('a' + i));
    } else {
      parser.DeclareValueOption(names[6 + i].c_str(), static_cast<char>('a' + i));
    }
  }
  parser.ScanArguments(static_cast<int>(arguments.size()), vector.data());
  std::size_t total = 0;  // every value is read to its end
  for (const std::string& name : names) {
    if (const char* value = parser.FindValue(name.c_str())) total += std::strlen(value);
    parser.IsFlagSet(name.c_str());
    parser.IsFlagSet(name[0]);
  }
  if (!parser.HasParsedOptions()) __builtin_trap();
  parser.WriteUsage();
  return total == static_cast<std::size_t>(-1);
}
