#include "ToolDriver.h"

#include <array>
#include <cstdint>
#include <iostream>
#include <string>

#include "ArgumentConverters.h"
#include "Failures.h"
#include "OptionParser.h"
#include "StandardStreams.h"
#include "VolumePipeline.h"

namespace {

int RunCommandLine(int argc, char* argv[]) {
  const char* programName = argc > 0 && argv[0] != nullptr ? argv[0] : "slice2vol";
  // The parser keeps a pointer to each usage line, so this one outlives it.
  const std::string usageTitle = std::string("Usage: ") + programName + " options";

  OptionParser parser;
  parser.AddUsageLine(usageTitle.c_str());
  parser.AddUsageLine("");
  parser.AddUsageLine(" -h  --help  \t\tPrints this help ");
  parser.AddUsageLine(" -r  --region  \tROI as \"x y sx sy\" ");
  parser.AddUsageLine(" -d  --depth  \tnumber of slices to replicate in 2D ");
  parser.AddUsageLine("     --input2d  \tsingle input file ");
  parser.AddUsageLine("     --input3d  \ttext file with the list of 2D slices ");
  parser.AddUsageLine("");
  parser.DeclareFlag("help", 'h');
  parser.DeclareValueOption("region", 'r');
  parser.DeclareValueOption("depth", 'd');
  parser.DeclareValueOption("input2d");
  parser.DeclareValueOption("output");
  parser.ScanArguments(argc, argv);

  if (!parser.HasParsedOptions() || parser.IsFlagSet("help") || parser.IsFlagSet('h')) {
    parser.WriteUsage();
    FlushStandardOutput();
    return 0;
  }

  bool regionGiven = false;
  std::array<std::int64_t, 2> regionIndex{};
  std::array<std::uint64_t, 2> regionSize{};
  if (const char* region = parser.FindValue("region")) {
    if (ParseRegionArgument(region, regionIndex, regionSize) != 0) return 1;
    std::cout << "argument --region accepted = '" << region << "'\n";
    regionGiven = true;
  } else {
    std::cout << "no argument --region provided\n";
  }

  std::uint64_t tileDepth = 10;
  if (const char* depth = parser.FindValue("depth")) {
    if (ParsePositiveArgument(depth, tileDepth) != 0) return 1;
    std::cout << "using provided tile depth = ";
  } else {
    std::cout << "using default tile depth = ";
  }
  std::cout << tileDepth << '\n';

  const char* inputPath = parser.FindValue("input2d");
  const char* outputPath = parser.FindValue("output");
  if (inputPath == nullptr) {
    std::cout << "option --input2d is required\n";
    return 1;
  }
  if (outputPath == nullptr) {
    std::cout << "option --output is required\n";
    return 1;
  }

  RunVolumePipeline(inputPath, outputPath, regionGiven, regionIndex, regionSize, tileDepth);
  return 0;
}

}  // namespace

// What the run throws is worded already: the pipeline sorts every failure into its message.
int RunTool(int argc, char* argv[]) {
  try {
    return RunCommandLine(argc, argv);
  } catch (const PipelineFailure& failure) {
    std::cout.flush();
    std::cerr << ErrorLine(failure.what()) << std::flush;
    return 2;
  }
}
