#ifndef SLICE2VOL_TESTS_TOOLRUN_H
#define SLICE2VOL_TESTS_TOOLRUN_H

#include <string>
#include <vector>

struct ToolResult {
  int status;  // the exit status, or 128 + the signal that ended the process
  std::string out;
  std::string err;
};

/// Runs the built executable with argv[0] "slice2vol" and the given arguments.
ToolResult RunTool(const std::vector<std::string>& arguments);

#endif
